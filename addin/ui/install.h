// Puts the add-in's dialogs in place: the test parameter dialog of the run flow, the Dataset
// properties dialog of the dataset model (also behind the new-dataset prompt), and the Data menu's
// Dataset... and Variable... commands. The add-in does this when it is loaded.
#pragma once

namespace qs {

void InstallUserInterface();

}  // namespace qs
