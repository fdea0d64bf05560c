#include "addin/ui/install.h"

#include "addin/dataset/dataset_commands.h"
#include "addin/host/addin_services.h"
#include "addin/ui/dialog_dataset.h"
#include "addin/ui/dialog_variable.h"
#ifdef QS_UI_RUN_TEST
#include "addin/framework/dialogs.h"
#include "addin/ui/dialog_run_test.h"
#endif

namespace qs {

namespace {
void DatasetPropertiesCommand(const XlValue&) {
    CRef<DatasetSourceExcel> source = FindDatasetForCommand();
    ShowDatasetPropertiesDialog(*source);
}

void VariablePropertiesCommand(const XlValue&) {
    CRef<DatasetSourceExcel> source = FindDatasetForCommand();
    VariableSourceExcel* variable = FindVariableForCommand(*source);
    ShowVariablePropertiesDialog(*source, *variable);
}

// Installed as the add-in is loaded.
const bool g_installed = (InstallUserInterface(), true);
}  // namespace

void InstallUserInterface() {
    (void)g_installed;
    SetDatasetPropertiesDialog(&ShowDatasetPropertiesDialog);
    Services().datasetProperties = &DatasetPropertiesCommand;
    Services().variableProperties = &VariablePropertiesCommand;
#ifdef QS_UI_RUN_TEST
    SetParameterDialog(&ShowRunTestDialog);
#endif
}

}  // namespace qs
