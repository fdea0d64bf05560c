#include "addin/ui/install.h"

#include "addin/dataset/dataset_commands.h"
#include "addin/framework/dialogs.h"
#include "addin/host/addin_services.h"
#include "addin/ui/dialog_dataset.h"
#include "addin/ui/dialog_run_test.h"
#include "addin/ui/dialog_variable.h"

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
}  // namespace

void InstallUserInterface() {
    SetDatasetPropertiesDialog(&ShowDatasetPropertiesDialog);
    Services().datasetProperties = &DatasetPropertiesCommand;
    Services().variableProperties = &VariablePropertiesCommand;
    SetParameterDialog(&ShowRunTestDialog);
}

}  // namespace qs
