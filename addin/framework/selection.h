// The observations behind the variables a user selected in a test's dialog: the values of one
// selected variable or group, and the values of two selected variables taken in pairs.
#pragma once

#include <cstdint>
#include <vector>

#include "addin/dataset/criteria.h"
#include "addin/framework/parameters.h"

namespace qs {

// The filter that selects one choice's observations with its missing values left out: a plain
// variable through itself; a group through the split by its factor (its category's group among the
// criteria's groups is GroupIndexOf).
CRef<Criteria> ChoiceCriteria(const VariableChoice& choice);
// The index of the choice's category among the groups of `criteria`'s split (-1 when none).
int GroupIndexOf(const VariableChoice& choice, const Criteria& criteria);

// The observed values of one choice, in dataset order, missing values left out. A plain variable
// gives all its present values; a group the data variable's present values in that category.
std::vector<double> ChoiceValues(const VariableChoice& choice);
// Number of observations of the choice that are missing (they are left out of ChoiceValues).
uint32_t MissingCount(const VariableChoice& choice);
// The observations of the choice left out of ChoiceValues: empty ones, and ones that hold something
// other than a number (blank cells that only pad a shorter group column are no observations).
struct LeftOut {
    uint32_t missing = 0, notNumbers = 0;
};
LeftOut LeftOutOf(const VariableChoice& choice);

// Two choices taken in pairs: the observations where both values are present (observation i of the
// first with observation i of the second; for groups, the i-th member of each group).
struct PairedValues {
    std::vector<double> first, second;
    uint32_t excludedMissing = 0;  // pairs left out because a value was missing
};
PairedValues PairedChoiceValues(const VariableChoice& a, const VariableChoice& b);

// The name of a choice as reports show it (its full " - " name).
inline const std::string& ChoiceName(const VariableChoice& c) { return c.name; }

}  // namespace qs
