// Reading a test's result blocks in tests: fields found by label through their field tables,
// looking through transparent levels.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "addin/framework/results.h"

namespace qs::procedures::testing {

// The field labelled `label` of `block` and the block that owns it (null when none).
const Field* FindField(const Results& block, unsigned label, const Results** owner);
// A number, a pair, a text or the rows of a table; a missing field is a test failure.
double NumberField(const Results& block, unsigned label);
std::pair<double, double> PairField(const Results& block, unsigned label);
std::string TextField(const Results& block, unsigned label);
std::vector<const Results*> RowsField(const Results& block, unsigned label);
// A nested block by label (null when none).
const Results* BlockField(const Results& block, unsigned label);

}  // namespace qs::procedures::testing
