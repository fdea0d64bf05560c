// Parameter descriptors, exchange passes, checks with their messages, remembered and stored values.
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "addin/framework/parameters.h"
#include "addin/host/platform_bridge.h"
#include "addin/host/messages.h"
#include "addin/host/settings.h"
#include "tests/dataset/dataset_harness.h"
#include "tests/framework/framework_probe.h"

namespace fwtest {

const qs::Test::Info Probeinfo(1008, []() -> qs::Test* { return new Probe; });
const qs::Test::Info& Probe::GetInfo() const { return Probeinfo; }

namespace {

using dstest::HostTest;
namespace params = qs::params;

// A probe bound to no dataset; `exchange` declares its parameters.
qs::CRef<Probe> Bound(std::function<void(qs::Parameters&)> exchange) {
  qs::CRef<Probe> p(new Probe);
  p->exchange = std::move(exchange);
  p->Bind(nullptr);
  return p;
}

// The message of the checking pass (empty when it passes).
std::string CheckMessage(Probe& p) {
  return MessageOf([&] { p.parameters->Run(qs::Parameters::kCheck); });
}

void SetNumber(Probe& p, unsigned label, double v) {
  qs::ParameterItem* item = p.parameters->Find(label);
  ASSERT_NE(item, nullptr);
  item->value.number = v;
}

TEST(Descriptors, CatalogueOfDescriptorsWithWordsAndSettingNames) {
  EXPECT_EQ(qs::ParameterDescriptor::All().size(), 76u);  // 75 and the alternative hypothesis
  // Listed once each, in the order they are defined, the chi-square test's switch last.
  const std::set<const qs::ParameterDescriptor*> listed(qs::ParameterDescriptor::All().begin(),
                                                        qs::ParameterDescriptor::All().end());
  EXPECT_EQ(listed.size(), qs::ParameterDescriptor::All().size());
  EXPECT_EQ(qs::ParameterDescriptor::All().front(), &params::ConfidenceInterval);
  EXPECT_EQ(qs::ParameterDescriptor::All().back(), &params::ContinuityCorrection);
  EXPECT_EQ(params::ContinuityCorrection.SettingName(), "5228");
  EXPECT_EQ(params::PercentilePlot.SettingName(), "5109_5_7041");
  EXPECT_EQ(params::PointEstimate2.SettingName(), "5108_2_6096");
  EXPECT_EQ(params::ConfidenceInterval.SettingName(), "5025");
  EXPECT_EQ(params::AlternativeHypothesis.Kind(), qs::kKindHypothesis);
  EXPECT_EQ(params::VariableGroups2406.Requirement(), 0x06);
  EXPECT_EQ(params::VariableGroups2406.Kind(), qs::kKindVariable);
  EXPECT_EQ(params::UnequalVariances.Kind(), qs::kKindCheckBox);
  // Option word: first option id, count, one enable bit per option from bit 20.
  uint32_t w = params::ErrorProtection30.OptionWord();
  EXPECT_EQ(w & 0x7FFF, 7096u);
  EXPECT_EQ((w >> 15) & 0x1F, 5u);
  EXPECT_EQ(w >> 20, 30u);
  // Remembered descriptors have names that tell them apart in the settings store.
  std::set<std::string> names;
  for (qs::ParameterDescriptor* d : qs::ParameterDescriptor::All()) {
    if (d->word & qs::kParamRemember) {
      EXPECT_TRUE(names.insert(d->SettingName()).second) << d->SettingName();
    }
  }
  EXPECT_EQ(qs::LoadString(5022).str(), "Variable - Groups");
}

TEST(Checks, ConfidenceIntervalIsAPercentageAbove50HeldAsFloat) {
  double level = 0;
  auto p = Bound([&](qs::Parameters& x) { x.Percentage(params::ConfidenceInterval, level); });
  EXPECT_EQ(level, 95);
  const std::string refused = "Confidence interval must be a percentage between 50% and 100%";
  for (double bad : {100.0, 50.0, 99.999999999, 0.0, -5.0, std::nan("")}) {
    SetNumber(*p, 5025, bad);
    EXPECT_EQ(CheckMessage(*p), refused) << bad;
  }
  for (double good : {50.1, 99.9, 95.0}) {
    SetNumber(*p, 5025, good);
    EXPECT_EQ(CheckMessage(*p), "") << good;
    EXPECT_EQ(level, good);
  }
}

TEST(Checks, NumberChecksGiveTheirMessages) {
  double proportion = 0, mean = 0, order = 0, sd = 0;
  auto p = Bound([&](qs::Parameters& x) {
    x.Proportion(params::HypothesisedProportion, proportion);
    x.CheckRequired();
    x.Number(params::HypothesisedMean, mean);
    x.CheckRequired();
    x.Number(params::PolynomialOrder, order);
    x.CheckRange(1, 5);
    x.Number(params::PopulationSD, sd);
    x.CheckPositive();
  });
  SetNumber(*p, 5104, 3);
  SetNumber(*p, 5105, 2);
  SetNumber(*p, 5107, 1);
  EXPECT_EQ(CheckMessage(*p), "Hypothesised proportion must be between 0 and 1 exclusive.");
  SetNumber(*p, 5107, 0.5);
  EXPECT_EQ(CheckMessage(*p), "");
  EXPECT_EQ(proportion, 0.5);
  SetNumber(*p, 5104, std::nan(""));
  EXPECT_EQ(CheckMessage(*p), "Hypothesised mean value must be specified.");
  SetNumber(*p, 5104, INFINITY);  // all exponent bits set: not given
  EXPECT_EQ(CheckMessage(*p), "Hypothesised mean value must be specified.");
  SetNumber(*p, 5104, 0);
  for (double bad : {0.0, 6.0, 2.5}) {
    SetNumber(*p, 5110, bad);
    EXPECT_EQ(CheckMessage(*p), "Polynomial order must be between 1 and 5.") << bad;
  }
  SetNumber(*p, 5110, 5);
  SetNumber(*p, 5105, 0);
  EXPECT_EQ(CheckMessage(*p), "Population SD must be greater than zero.");
  SetNumber(*p, 5105, 0.1);
  EXPECT_EQ(CheckMessage(*p), "");
  EXPECT_EQ(order, 5);
}

TEST(Checks, RangePhrasesFollowTheBounds) {
  double v = 0;
  double a = 0, b = 0;
  auto p = Bound([&](qs::Parameters& x) {
    x.Number(params::PolynomialOrder, v);
    x.CheckRange(a, b);
  });
  SetNumber(*p, 5110, 0);
  a = 2, b = INFINITY;
  EXPECT_EQ(CheckMessage(*p), "Polynomial order must be at least 2.");
  a = 3, b = 3;
  EXPECT_EQ(CheckMessage(*p), "Polynomial order must be 3.");
  a = -INFINITY, b = -1;
  EXPECT_EQ(CheckMessage(*p), "Polynomial order must be at most -1.");
}

TEST(Checks, ChoiceMustBeAllowedByTheMask) {
  int protection = -1;
  auto p = Bound([&](qs::Parameters& x) { x.Choice(params::ErrorProtection30, protection); });
  EXPECT_EQ(protection, 1);  // Dunnett is not offered: the first allowed option
  SetNumber(*p, 5042, 0);
  EXPECT_EQ(CheckMessage(*p), "Error protection must be selected from one of Tukey, Scheffe, Bonferroni, LSD.");
  SetNumber(*p, 5042, 4);
  EXPECT_EQ(CheckMessage(*p), "");
  EXPECT_EQ(protection, 4);
  SetNumber(*p, 5042, 5);  // past the last option
  EXPECT_NE(CheckMessage(*p), "");
}

TEST(Checks, ChoiceFilledAtRunTime) {
  int group = -1;
  std::vector<std::string> options = {"Placebo", "Low", "High"};
  auto p = Bound([&](qs::Parameters& x) { x.Choice(params::ControlGroup, group, options); });
  qs::ParameterItem& item = p->parameters->items[0];
  EXPECT_EQ(group, 0);
  EXPECT_EQ(item.options, options);
  EXPECT_EQ((item.optionWord >> 15) & 0x1F, 3u);
  EXPECT_EQ(item.optionWord >> 20, 7u);
  item.value.number = 2;
  p->parameters->Run(qs::Parameters::kUpdate);
  EXPECT_EQ(group, 2);
  EXPECT_FALSE(item.changed);
  // Fewer options than the value needs: back to the first.
  options.pop_back();
  p->parameters->Run(qs::Parameters::kUpdate);
  EXPECT_EQ(group, 0);
  EXPECT_TRUE(p->parameters->items[0].changed);
  options.clear();
  EXPECT_EQ(CheckMessage(*p), "Control group value must be specified.");
}

TEST(Passes, LayoutChangesAndChangedFlags) {
  bool unequal = false;
  double level = 0;
  qs::numerics::Tail tail = 0;
  bool hideLevel = false;
  std::string left = "m";
  auto p = Bound([&](qs::Parameters& x) {
    x.CheckBox(params::UnequalVariances, unequal);
    x.Hypothesis(params::AlternativeHypothesis, tail, left, "0");
    x.Percentage(params::ConfidenceInterval, level);
    x.Hide(hideLevel);
  });
  qs::Parameters& ps = *p->parameters;
  ASSERT_EQ(ps.items.size(), 3u);
  EXPECT_EQ(ps.items[0].label, "Unequal variances");
  EXPECT_EQ(ps.items[1].hypothesisLeft, "m");
  EXPECT_FALSE(unequal);
  // An update with the dialog's values: the members receive them, nothing changes in the layout.
  ps.items[0].value.number = 1;
  ps.items[1].value.number = 2;
  ps.Run(qs::Parameters::kUpdate);
  EXPECT_TRUE(unequal);
  EXPECT_EQ(tail, 2);
  EXPECT_FALSE(ps.layoutChanged);
  EXPECT_FALSE(ps.items[1].changed);
  // Hiding an item and changing a hypothesis text are reported.
  hideLevel = true;
  left = "x";
  ps.Run(qs::Parameters::kUpdateHypothesis);
  EXPECT_TRUE(ps.layoutChanged);
  EXPECT_TRUE(ps.items[2].hidden);
  EXPECT_TRUE(ps.items[1].changed);
  EXPECT_EQ(ps.items[1].hypothesisLeft, "x");
  ps.Run(qs::Parameters::kUpdate);
  EXPECT_FALSE(ps.layoutChanged);
  // A value that is no alternative falls back to "not equal".
  ps.items[1].value.number = 7;
  ps.Run(qs::Parameters::kUpdate);
  EXPECT_EQ(tail, 0);
  EXPECT_TRUE(ps.items[1].changed);
}

TEST(Passes, ItemsKeepTheirValuesWhenOthersAppear) {
  bool withMean = false;
  double mean = 0, level = 0;
  auto p = Bound([&](qs::Parameters& x) {
    if (withMean) x.Number(params::HypothesisedMean, mean);
    x.Percentage(params::ConfidenceInterval, level);
  });
  qs::Parameters& ps = *p->parameters;
  ps.items[0].value.number = 90;
  withMean = true;
  ps.Run(qs::Parameters::kUpdate);
  EXPECT_TRUE(ps.layoutChanged);
  ASSERT_EQ(ps.items.size(), 2u);
  EXPECT_EQ(ps.items[0].descriptor, &params::HypothesisedMean);
  EXPECT_TRUE(ps.items[0].changed);
  EXPECT_EQ(level, 90);
  withMean = false;
  ps.Run(qs::Parameters::kUpdate);
  EXPECT_TRUE(ps.layoutChanged);
  ASSERT_EQ(ps.items.size(), 1u);
  EXPECT_EQ(level, 90);
  // A failing check leaves every item in place.
  withMean = true;
  ps.Run(qs::Parameters::kUpdate);
  ps.items[1].value.number = 100;
  EXPECT_NE(CheckMessage(*p), "");
  EXPECT_EQ(ps.items.size(), 2u);
}

// Remembered values go through the settings store of the machine (a temporary settings folder).
class Remembered : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() / ("qs-fw-params-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    ::setenv("QUELSTAT_HOME", dir.c_str(), 1);
    qs::UsePlatformServices();
  }
  void TearDown() override {
    for (qs::ParameterDescriptor* d : qs::ParameterDescriptor::All()) d->hasRemembered = false;
    qs::SetSettingsBackend(nullptr);
    qs::SetMessageBoxFrontEnd(nullptr);
    ::unsetenv("QUELSTAT_HOME");
    std::filesystem::remove_all(dir);
  }
  std::filesystem::path dir;
};

TEST_F(Remembered, ConfirmedValuesBecomeTheNextLoadsDefaults) {
  double level = 0, mean = 0;
  int plot = 0;
  auto exchange = [&](qs::Parameters& x) {
    x.Percentage(params::ConfidenceInterval, level);
    x.Number(params::HypothesisedMean, mean);
    x.Choice(params::PercentilePlot, plot);
  };
  auto p = Bound(exchange);
  EXPECT_EQ(plot, 1);
  SetNumber(*p, 5025, 90);
  SetNumber(*p, 5104, 12);
  SetNumber(*p, 5109, 3);
  p->parameters->Run(qs::Parameters::kCheck);
  p->parameters->RememberDefaults();
  qs::SaveRememberedParameters();
  // A new load of the add-in: the descriptors forget, then read the store again.
  for (qs::ParameterDescriptor* d : qs::ParameterDescriptor::All()) d->hasRemembered = false;
  qs::SetSettingsBackend(nullptr);
  qs::UsePlatformServices();
  qs::SettingsKey key(qs::SettingsRoot::CurrentUser, qs::kQuelstatKey);
  auto stored = key.ReadBinary("Parameters", "5109_5_7041");
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->size(), 16u);
  EXPECT_FALSE(key.ReadBinary("Parameters", "5104"));  // not a remembered parameter
  qs::LoadRememberedParameters();
  auto again = Bound(exchange);
  EXPECT_EQ(level, 90);
  EXPECT_EQ(plot, 3);
  EXPECT_TRUE(std::isnan(mean));
  // A stored block of the wrong size is ignored.
  key.WriteBinary("Parameters", "5025", "abc", 3);
  params::ConfidenceInterval.hasRemembered = false;
  qs::LoadRememberedParameters();
  EXPECT_FALSE(params::ConfidenceInterval.hasRemembered);
}

// Stored values of a report's parameter records, variables by name.
class StoredValues : public HostTest {};

TEST_F(StoredValues, RoundTripAndRefusals) {
  Open("list_repeat_measures.xlsx");
  auto source = Find("B4");
  std::vector<qs::VariableChoice> vars;
  double level = 0;
  bool unequal = false;
  qs::CRef<Probe> p(new Probe);
  p->exchange = [&](qs::Parameters& x) {
    x.Variables(params::Variables2404, vars);
    x.Percentage(params::ConfidenceInterval, level);
    x.CheckBox(params::UnequalVariances, unequal);
  };
  p->Bind(source.get());
  qs::Parameters& ps = *p->parameters;
  // The load pass offers the repeats of the repeat-measures variable at the cell.
  ASSERT_EQ(vars.size(), 3u);
  EXPECT_EQ(vars[0].name, "Glucose - Day 1");
  ps.items[0].value.variables.pop_back();
  ps.items[1].value.number = 90;
  ps.items[2].value.number = 1;
  std::vector<qs::XlValue> stored;
  for (size_t i = 0; i < ps.items.size(); ++i) stored.push_back(ps.StoredValue(i));
  ASSERT_EQ(stored[0].Rows(), 5);
  EXPECT_EQ(stored[0].At(0, 0).Number(), 16);
  EXPECT_EQ(stored[0].At(1, 0).Number(), 0x2404);
  EXPECT_EQ(stored[0].At(2, 0).Number(), 2);
  EXPECT_EQ(stored[0].At(4, 0).Text(), "Glucose - Day 2");
  EXPECT_EQ(stored[1].At(1, 0).Number(), 0x0102);  // the remember bit is masked off
  EXPECT_EQ(stored[1].At(0, 0).Number(), static_cast<double>(qs::kValueNumber));

  qs::CRef<Probe> q(new Probe);
  q->exchange = p->exchange;
  q->Bind(source.get());
  for (size_t i = 0; i < stored.size(); ++i) EXPECT_TRUE(q->parameters->RestoreValue(i, stored[i])) << i;
  q->parameters->Run(qs::Parameters::kCheck);
  ASSERT_EQ(vars.size(), 2u);
  EXPECT_EQ(vars[1].name, "Glucose - Day 2");
  EXPECT_EQ(level, 90);
  EXPECT_TRUE(unequal);
  // A value for another kind of parameter, or a variable that is gone, does not fit.
  EXPECT_FALSE(q->parameters->RestoreValue(1, stored[2]));
  stored[0].At(4, 0) = qs::XlValue("Glucose - Day 9");
  EXPECT_FALSE(q->parameters->RestoreValue(0, stored[0]));
  EXPECT_FALSE(q->parameters->RestoreValue(0, qs::XlValue(3.0)));
}

}  // namespace
}  // namespace fwtest
