// The parameter dialog hook and the stand-in used when no dialog is installed.
#include "addin/framework/dialogs.h"

namespace qs {

namespace {
ParameterDialog g_dialog = nullptr;
}

ParameterDialog SetParameterDialog(ParameterDialog dialog) {
    ParameterDialog old = g_dialog;
    g_dialog = dialog;
    return old;
}

bool ShowParameterDialog(Parameters& parameters, const CellRange& selection) {
    if (g_dialog) return g_dialog(parameters, selection);
    // No dialog: the values stand as they are; the checking pass raises the first failure.
    parameters.Run(Parameters::kCheck);
    parameters.RememberDefaults();
    return true;
}

}  // namespace qs
