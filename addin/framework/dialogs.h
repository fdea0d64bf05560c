// The dialogs the run flow shows, installed by the user interface. Without an installed dialog the
// parameters are taken as they stand: the checking pass runs and its message ends the run.
#pragma once

#include "addin/dataset/dataset.h"
#include "addin/framework/parameters.h"

namespace qs {

// The test parameter dialog: true when the user confirmed (the checking pass has passed and the
// remembered values are stored), false when cancelled.
using ParameterDialog = bool (*)(Parameters& parameters, const CellRange& selection);
ParameterDialog SetParameterDialog(ParameterDialog dialog);
bool ShowParameterDialog(Parameters& parameters, const CellRange& selection);

}  // namespace qs
