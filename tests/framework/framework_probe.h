// A test class of the framework's own tests: its parameters are whatever the case declares.
#pragma once

#include <functional>

#include "addin/framework/test.h"
#include "tests/dataset/dataset_harness.h"

namespace fwtest {

class Probe : public qs::Test {
 public:
  const Info& GetInfo() const override;
  const qs::FieldTable& GetFields() const override {
    static const qs::FieldTable none;
    return none;
  }
  size_t Size() const override { return 0; }
  void ExchangeParameters() override {
    if (exchange) exchange(*qs::Parameters::Current());
  }
  void Compute() override {
    ++computed;
    if (compute) compute();
  }
  std::function<void(qs::Parameters&)> exchange;
  std::function<void()> compute;
  int computed = 0;
};

// The message of the add-in exception `fn` raises (empty when none).
template <class F>
std::string MessageOf(F fn) {
  try {
    fn();
  } catch (qs::CException* e) {
    return dstest::ExceptionText(e);
  }
  return {};
}

}  // namespace fwtest
