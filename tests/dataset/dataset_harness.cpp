#include "tests/dataset/dataset_harness.h"

#include <cstdlib>

#include "sheets/xlm/host.h"

namespace dstest {

void HostTest::SetUp() {
  char tmpl[] = "/tmp/qsdataset.XXXXXX";
  home = ::mkdtemp(tmpl);
  ::setenv("QUELSTAT_HOME", home.c_str(), 1);
  xlm::Host::Reset(xlm::HostOptions{});
  xlm::InstallModelDocuments();
  docs = static_cast<xlm::ModelDocuments*>(xlm::Host::Get().documents);
}

void HostTest::TearDown() {
  xlm::Host::Shutdown();
  std::filesystem::remove_all(home);
}

void HostTest::Open(const std::string& name) {
  std::string path = name.find('/') == std::string::npos ? std::string(DATASET_FIXTURES) + "/" + name : name;
  std::string error;
  ASSERT_TRUE(docs->Open(path, error)) << error;
}

void HostTest::NewBook() {
  std::string error;
  ASSERT_TRUE(docs->New(error)) << error;
}

sheets::Sheet& HostTest::Sheet() { return *docs->ActiveSheet(); }

void HostTest::Select(const std::string& ref) {
  std::string error;
  ASSERT_TRUE(docs->Select(ref, error)) << error;
}

qs::CRef<qs::DatasetSourceExcel> HostTest::Find(const std::string& ref) {
  Select(ref);
  try {
    return qs::FindDataset(qs::ActiveCell(), qs::kLayoutDetect, -1, -1, true, true);
  } catch (qs::CException* e) {
    std::string text = ExceptionText(e);
    ADD_FAILURE() << "finding the dataset at " << ref << " failed: " << text;
    throw new qs::CStdException(qs::CSharedString(text), 0);
  }
}

qs::VariableSource* HostTest::Var(qs::DatasetSourceExcel& s, const std::string& name) {
  for (const auto& v : s.dataset->variables)
    if (v->name == name) return v.get();
  return nullptr;
}

std::string ExceptionText(qs::CException* e) {
  char buf[2048];
  std::string text = e->GetErrorMessage(buf, sizeof buf) ? buf : "(no text)";
  e->Delete();
  return text;
}

}  // namespace dstest
