// A host with the sheet engine's workbooks, in this process, for the dataset model's tests.
#pragma once

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "addin/dataset/dataset.h"
#include "addin/host/exceptions.h"
#include "sheets/model/model.h"
#include "sheets/xlm/documents_model.h"
#include "sheets/xlm/host.h"

namespace dstest {

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Opens a fixture of tests/data/dataset (or any path) and makes it active.
  void Open(const std::string& name);
  // A new empty workbook; cells are set on Sheet().
  void NewBook();
  sheets::Sheet& Sheet();
  void Select(const std::string& ref);
  // Finds the dataset at the cell as a command does (detection, stored names searched).
  qs::CRef<qs::DatasetSourceExcel> Find(const std::string& ref);
  // The message of the add-in exception `fn` raises (empty when none).
  template <class F>
  static std::string MessageOf(F fn);
  // The variable of the dataset by name.
  static qs::VariableSource* Var(qs::DatasetSourceExcel& s, const std::string& name);

  std::filesystem::path home;
  xlm::ModelDocuments* docs = nullptr;
};

std::string ExceptionText(qs::CException* e);

template <class F>
std::string HostTest::MessageOf(F fn) {
  try {
    fn();
  } catch (qs::CException* e) {
    return ExceptionText(e);
  }
  return {};
}

}  // namespace dstest
