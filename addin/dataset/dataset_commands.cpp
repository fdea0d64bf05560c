#include "addin/dataset/dataset_commands.h"

#include "addin/dataset/dataset_strings.h"
#include "addin/host/messages.h"
#include "addin/host/xlcalls.h"
#include "addin/resources/string_ids.h"

namespace qs {

namespace {
DatasetPropertiesDialog g_dialog = nullptr;
}

CRef<DatasetSourceExcel> FindDatasetForCommand() {
  CRef<DatasetSourceExcel> s = FindDataset(ActiveCell(), kLayoutDetect, -1, -1, true, true);
  if (!s) ThrowDatasetMessage(ids::kMessageNoDataset);
  return s;
}

DatasetPropertiesDialog SetDatasetPropertiesDialog(DatasetPropertiesDialog dialog) {
  DatasetPropertiesDialog old = g_dialog;
  g_dialog = dialog;
  return old;
}

CRef<DatasetSourceExcel> EnsureConfirmed(const CRef<DatasetSourceExcel>& source) {
  if (!source || !source->dataset->isNew) return source;
  // The found block is highlighted while the user is asked.
  try {
    XlCall(XLC_SELECT, {source->region.Value(), source->activeCell.Value()});
  } catch (CException* e) {
    e->Delete();
  }
  if (!ShowText(CSharedString(DatasetString(ids::kMessageNewDataset)), MB_OKCANCEL | MB_ICONQUESTION,
                ids::kMessageNewDataset))
    return CRef<DatasetSourceExcel>();
  if (!g_dialog || !g_dialog(*source)) return CRef<DatasetSourceExcel>();
  return source;
}

VariableSourceExcel* FindVariableForCommand(DatasetSourceExcel& source) {
  VariableSourceExcel* v = source.FindVariableAt(ActiveCell());
  if (!v) ThrowDatasetMessage(ids::kMessageNoVariable);
  return v;
}

void CheckVariablePropertiesAllowed(const VariableSource& variable) {
  if (SameType(variable.type, kTypeIntegralCount)) ThrowDatasetMessage(ids::kMessageCountsTable);
}

void CheckOrdinalValues(const VariableSource& variable) {
  if (!variable.categories) return;
  for (const CRef<Category>& c : variable.categories->Order())
    if (!c->first && !c->HasValue()) ThrowDatasetMessage(ids::kMessageNoOrdinalValues, {variable.DisplayName()});
}

bool Variable::IsEqual(const CShared& other) const {
  const Variable& o = static_cast<const Variable&>(other);
  return source.get() == o.source.get() && criteria.get() == o.criteria.get();
}

std::vector<double> Variable::Values() {
  if (criteria) criteria->Update();
  return ObservationValues(*source, criteria.get());
}

CRef<Variable> MakeVariable(VariableSource* source, Criteria* criteria) {
  return CRef<Variable>(Intern(new Variable(source, criteria)));
}

}  // namespace qs
