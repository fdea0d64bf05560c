// The catalogue, the compute driver and the shared computation guards.
#include <cfenv>
#include <cmath>
#include <stdexcept>

#include "addin/framework/dialogs.h"
#include "addin/framework/services.h"
#include "addin/host/addin_services.h"
#include "addin/host/messages.h"
#include "tests/dataset/dataset_harness.h"
#include "tests/framework/framework_probe.h"

namespace fwtest {
namespace {

using dstest::HostTest;

qs::Test* MakeProbe() { return new Probe; }

TEST(Catalogue, EntriesInConstructionOrderWithTheirCatalogueData) {
  size_t before = qs::Catalogue().size();
  {
    qs::Test::Info first(1026, &MakeProbe);
    qs::Test::Info second(1232, &MakeProbe);
    ASSERT_EQ(qs::Catalogue().size(), before + 2);
    EXPECT_EQ(qs::Catalogue()[before], &first);
    EXPECT_EQ(qs::Catalogue()[before + 1], &second);
    EXPECT_EQ(qs::FindTest(1026), &first);
    EXPECT_EQ(std::string(first.templateName), "ttesti");
    EXPECT_EQ(first.needsMessage, 1505u);
    EXPECT_EQ(first.Name().str(), "Independent samples t-test");
    EXPECT_EQ(second.module->nameId, 14u);
    EXPECT_EQ(qs::FindTest(1012), nullptr);
    EXPECT_EQ(qs::FindTest(1203), nullptr);
    qs::CRef<qs::Test> made(first.Create());
    ASSERT_TRUE(made);
    EXPECT_TRUE(first.IsAvailable());  // no "Modules" setting: every module
    qs::InstallFrameworkServices();
    EXPECT_TRUE(qs::Services().testAvailable(1026));
    EXPECT_FALSE(qs::Services().testAvailable(1027));
  }
  EXPECT_EQ(qs::Catalogue().size(), before);
  EXPECT_EQ(qs::FindTest(1026), nullptr);
  qs::Services().testAvailable = nullptr;
  qs::Services().loadParameters = nullptr;
  qs::Services().saveParameters = nullptr;
}

TEST(ComputeDriver, MasksExceptionsRoundsToNearestAndRestoresTheEnvironment) {
  qs::CRef<Probe> p(new Probe);
  volatile double zero = 0;
  double result = 0;
  int rounding = -1;
  p->compute = [&] {
    rounding = std::fegetround();
    result = 1.0 / zero;
  };
  // The caller runs with division by zero trapping and rounding upwards.
  std::fenv_t outer;
  std::fegetenv(&outer);
  ::feenableexcept(FE_DIVBYZERO);
  std::fesetround(FE_UPWARD);
  qs::ComputeTest(*p);
  EXPECT_EQ(::fegetexcept() & FE_DIVBYZERO, FE_DIVBYZERO);
  EXPECT_EQ(std::fegetround(), FE_UPWARD);
  std::fesetenv(&outer);
  EXPECT_TRUE(std::isinf(result));
  EXPECT_EQ(rounding, FE_TONEAREST);
  EXPECT_EQ(p->computed, 1);
  EXPECT_FALSE(p->Pending());
  EXPECT_EQ(p->SeenBits(), 1u);
  // Nothing pending: nothing computed.
  qs::ComputeTest(*p, 0);
  EXPECT_EQ(p->computed, 1);
}

TEST(ComputeDriver, RestoresTheEnvironmentWhenComputeRaises) {
  qs::CRef<Probe> p(new Probe);
  p->compute = [] { qs::ThrowMessage(150, "%s", "Weight"); };
  std::fenv_t outer;
  std::fegetenv(&outer);
  std::fesetround(FE_DOWNWARD);
  ::feenableexcept(FE_OVERFLOW);
  std::string text = MessageOf([&] { qs::ComputeTest(*p, 4); });
  EXPECT_EQ(std::fegetround(), FE_DOWNWARD);
  EXPECT_EQ(::fegetexcept() & FE_OVERFLOW, FE_OVERFLOW);
  std::fesetenv(&outer);
  EXPECT_EQ(text, "Test cannot be computed.  All observations in 'Weight' are the same.");
  EXPECT_TRUE(p->Pending());  // not brought up to date
  // Exceptions of any kind pass through unchanged.
  p->compute = [] { throw std::runtime_error("x"); };
  EXPECT_THROW(qs::ComputeTest(*p), std::runtime_error);
}

TEST(Guards, ZeroAndAllEqual) {
  EXPECT_EQ(MessageOf([] { qs::Test::CheckNotZero(1e-15, "SD", "differences"); }),
            "Test cannot be computed.  SD of differences is zero.");
  EXPECT_EQ(MessageOf([] { qs::Test::CheckNotZero(-2e-14, "SD", "x"); }), "");
  EXPECT_EQ(MessageOf([] {
              qs::Test::CheckNotAllEqual({3, 3, 3}, "Weight");
            }),
            "Test cannot be computed.  All observations in 'Weight' are the same.");
  EXPECT_EQ(MessageOf([] { qs::Test::CheckNotAllEqual({3, 3, 3.0000001}, "Weight"); }), "");
}

TEST(ParameterDialog, WithoutADialogTheCheckingPassDecides) {
  qs::CRef<Probe> p(new Probe);
  double level = 0;
  p->exchange = [&](qs::Parameters& x) { x.Percentage(qs::params::ConfidenceInterval, level); };
  p->Bind(nullptr);
  p->parameters->items[0].value.number = 80;
  EXPECT_TRUE(qs::ShowParameterDialog(*p->parameters, qs::CellRange{}));
  EXPECT_EQ(level, 80);
  EXPECT_TRUE(qs::params::ConfidenceInterval.hasRemembered);
  qs::params::ConfidenceInterval.hasRemembered = false;
  p->parameters->items[0].value.number = 100;
  EXPECT_NE(MessageOf([&] { qs::ShowParameterDialog(*p->parameters, qs::CellRange{}); }), "");
  // An installed dialog takes over.
  auto old = qs::SetParameterDialog([](qs::Parameters&, const qs::CellRange&) { return false; });
  EXPECT_FALSE(qs::ShowParameterDialog(*p->parameters, qs::CellRange{}));
  qs::SetParameterDialog(old);
}

}  // namespace
}  // namespace fwtest
