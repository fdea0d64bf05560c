// The ANOVA tests: one-way between subjects with its contrasts, one-way within subjects (repeated
// measures) and two-way between subjects. They share the model of anova_model.h and the result
// blocks declared here; the classes live in their own units.
#pragma once

#include <string>
#include <vector>

#include "addin/framework/test.h"
#include "addin/procedures/anova_model.h"
#include "addin/procedures/catalogue.h"
#include "addin/procedures/ttest.h"

namespace qs {

// The ANOVA tests' own labels and texts are the string tables' named constants (ids::kLabelSS,
// ids::kStringSubjects ...); the error protection's label (ids::kLabelErrorProtection) and its option
// names (ids::kStringDunnett, then the other four methods in order) are the dialog's.

// One row of an "n" table: a group (or cell) and its count.
struct CountRow : Results {
    CSharedString group;
    uint32_t n = 0;
    const FieldTable& GetFields() const override;  // Group, n
    size_t Size() const override { return 8; }
};

// One term of the ANOVA table.
struct TermRow : Results {
    CSharedString group;
    double ss = 0, df = 0, ms = 0, f = 0, p = 0;
    const FieldTable& GetFields() const override;  // Group, SS, DF, MS, F, p
    size_t Size() const override { return 48; }
};

// The ANOVA table: the terms' rows, then the error and total lines.
struct TableANOVA : Results {
    std::vector<TermRow> terms;
    double ssWithin = numerics::MissingValue(), dfWithin = numerics::MissingValue();
    double msWithin = numerics::MissingValue(), ssTotal = numerics::MissingValue();
    double dfTotal = numerics::MissingValue();
    void Set(const procedures::AnovaTable& t);
    const FieldTable& GetFields() const override;
    size_t Size() const override { return 48; }
};

// One row of the contrasts: "A v B", the difference, the simultaneous interval, the mark and the
// method.
struct ContrastResult : Results {
    CSharedString group;
    double contrast = numerics::MissingValue();
    CI ci;
    CSharedString significant;
    CSharedString protection;
    const FieldTable& GetFields() const override;  // Group, Contrast, CI, Significant, Error protection
    size_t Size() const override { return 40; }
};

}  // namespace qs
