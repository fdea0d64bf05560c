// Result blocks: shared field tables, p-value texts, the JSON form.
#include <cmath>

#include "addin/framework/results.h"
#include "addin/host/shared.h"
#include <gtest/gtest.h>

namespace fwtest {
namespace {

struct Row : qs::Results {
  qs::CSharedString group;
  uint32_t n = 0;
  double mean = 0;
  const qs::FieldTable& GetFields() const override {
    static const qs::FieldTable t =
        qs::FieldTableOf<Row>().Text(2176, &Row::group).Count(2017, &Row::n).Number(2021, &Row::mean).Build();
    return t;
  }
  size_t Size() const override { return 16; }
};

struct Root : qs::Results {
  qs::N n;
  std::vector<Row> rows;
  qs::VCI difference;
  qs::P p;
  qs::ARRAY_CI limits;
  qs::CI* missing = nullptr;
  double hidden = 1;
  const qs::FieldTable& GetFields() const override {
    static const qs::FieldTable t = [] {
      qs::FieldTableOf<Root> f;
      f.Nested(2017, &Root::n, qs::kFieldTransparent)
          .Rows(2016, &Root::rows)
          .Nested(2050, &Root::difference)
          .Nested(2113, &Root::p, qs::kFieldTransparent)
          .Nested(2064, &Root::limits);
      qs::Field indirect(2098, qs::FieldKind::Block, qs::kFieldIndirect);
      indirect.block = [](const qs::Results& r) -> const qs::Results* { return static_cast<const Root&>(r).missing; };
      f.Add(std::move(indirect));
      f.Number(2029, &Root::hidden, qs::kFieldHidden);
      return f.Build();
    }();
    return t;
  }
  size_t Size() const override { return 0; }
};

TEST(Results, JsonNestsBlocksMergesTransparentLevelsAndSpellsSpecialNumbers) {
  Root r;
  r.n.n = 12;
  Row a, b;
  a.group = "Low \"diet\"";
  a.n = 5;
  a.mean = 61.4;
  r.hidden = 0.1 + 0.2;  // hidden: not in the JSON
  b.group = "High";
  b.n = 7;
  b.mean = std::nan("");
  r.rows = {a, b};
  r.difference.value = -0.5;
  r.difference.ci.lower = -INFINITY;
  r.difference.ci.upper = 2.25;
  r.p.Set(0.03125, 0, 4);
  r.limits.lower = {1, 2};
  r.limits.upper = {3, INFINITY};
  EXPECT_EQ(qs::ResultsJson(r),
            "{\"n\":12,"
            "\"Descriptive\":[{\"Group\":\"Low \\\"diet\\\"\",\"n\":5,\"Mean\":61.4},"
            "{\"Group\":\"High\",\"n\":7,\"Mean\":null}],"
            "\"Difference between means\":{\"value\":-0.5,\"CI\":[\"-inf\",2.25]},"
            "\"p\":0.03125,"
            "\"CI\":{\"Lower\":[1,2],\"Upper\":[3,\"inf\"]}}");
}

TEST(Results, SmallBlocksShareOneTablePerClass) {
  qs::VCI one, two;
  EXPECT_EQ(&one.GetFields(), &two.GetFields());
  ASSERT_EQ(one.GetFields().size(), 2u);
  EXPECT_EQ(one.GetFields()[0].label, 2041u);
  EXPECT_EQ(one.GetFields()[1].label, 2064u);
  EXPECT_TRUE(one.GetFields()[1].flags & qs::kFieldTransparent);
  two.ci.Set({0.05, 1, 2});
  EXPECT_EQ(qs::ResultsJson(two), "{\"value\":null,\"CI\":[1,2]}");
  two.value = 0.1 + 0.2;  // needs all 17 digits to read back
  EXPECT_EQ(qs::ResultsJson(two), "{\"value\":0.30000000000000004,\"CI\":[1,2]}");
}

TEST(Results, PDescriptionNamesTailMethodAndFlags) {
  qs::P p;
  p.Set(0.2, 0, 1);
  EXPECT_EQ(p.Description(), "2-tailed, exact");
  p.tiesPercent = 12.4;
  p.Set(0.2, 2, 1, qs::P::kCorrectedForContinuity);
  EXPECT_EQ(p.Description(), "1-tailed, exact tables used, 12% ties, corrected for continuity");
  p.Set(0.2, 1, 5);
  EXPECT_EQ(p.Description(), "1-tailed, Welch's approximation for unequal variances");
  p.Set(0.2, qs::P::kNoTailShown, 2, qs::P::kCorrectedForTies | qs::P::kDouble1TailedP);
  EXPECT_EQ(p.Description(), "normal approximation, corrected for ties, double 1-tailed p");
  EXPECT_EQ(p.TailCode(), 3u);
  EXPECT_EQ(p.Method(), 2u);
}

}  // namespace
}  // namespace fwtest
