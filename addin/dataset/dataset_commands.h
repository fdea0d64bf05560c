// What commands ask of the dataset model: the dataset at the active cell (message 64 when there is
// none), confirmed by the user before use, the variable at the active cell (message 65), the checks
// of the variable properties command and of tests that need ordinal values, and the variables as
// tests hold them (a source seen through a filter, shared).
#pragma once

#include "addin/dataset/criteria.h"
#include "addin/dataset/dataset.h"

namespace qs {

// The dataset around the active cell, stored properties applied; raises message 64 when none.
CRef<DatasetSourceExcel> FindDatasetForCommand();

// The Dataset properties dialog: shows the dataset's properties and, when the user confirms them,
// applies them (ConfirmDataset). True when confirmed. Installed by the user interface.
using DatasetPropertiesDialog = bool (*)(DatasetSourceExcel& source);
DatasetPropertiesDialog SetDatasetPropertiesDialog(DatasetPropertiesDialog dialog);

// A dataset not yet confirmed asks the user (message 34, OK/Cancel) and opens the dialog; none when
// the user cancels either (the command then ends quietly) or no dialog is installed.
CRef<DatasetSourceExcel> EnsureConfirmed(const CRef<DatasetSourceExcel>& source);

// The variable whose column holds the active cell; raises message 65 when none.
VariableSourceExcel* FindVariableForCommand(DatasetSourceExcel& source);

// Message 102 for a contingency table's counts.
void CheckVariablePropertiesAllowed(const VariableSource& variable);
// Message 101 unless every category of the variable has a value.
void CheckOrdinalValues(const VariableSource& variable);

// A variable as a test sees it: a source and the filter in force, with the values loaded for them.
// Equal pairs are one object.
class Variable : public CShared {
 public:
  Variable(VariableSource* source, Criteria* criteria) : source(source), criteria(criteria) {}
  bool IsEqual(const CShared& other) const override;
  CRef<VariableSource> source;
  CRef<Criteria> criteria;
  std::vector<double> Values();  // observation values through the filter
};
CRef<Variable> MakeVariable(VariableSource* source, Criteria* criteria);
using Variables = std::vector<CRef<Variable>>;

}  // namespace qs
