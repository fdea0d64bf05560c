// A test class of the framework's and the dialog's tests: its parameters are whatever the case
// declares, and it keeps the mode of every exchange pass. The test program defines GetInfo.
#pragma once

#include <functional>
#include <vector>

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
    qs::Parameters& p = *qs::Parameters::Current();
    passes.push_back(p.mode);
    if (exchange) exchange(p);
  }
  void Compute() override {
    ++computed;
    if (compute) compute();
  }
  std::function<void(qs::Parameters&)> exchange;
  std::function<void()> compute;
  int computed = 0;
  std::vector<int> passes;  // the modes of the exchange passes
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
