#include "addin/ui/dialog_dataset.h"

#include <cmath>

#include "addin/host/xlcalls.h"

namespace qs {

namespace {
std::string SheetName(const std::string& sheetKey) {
    size_t close = sheetKey.rfind(']');
    return close == std::string::npos ? sheetKey : sheetKey.substr(close + 1);
}
}  // namespace

DialogDataset::DialogDataset(DatasetSourceExcel& s)
    : Dialog("dataset", "Dataset properties"),
      source(&s),
      m_opened(&s),
      m_layouts({"list (columns are variables; rows are cases)", "tabular (columns are independent groups)",
                 "contingency table (tallied counts)"}) {
    width = 250;
    height = 150;
    Add<ControlFieldString>(kName, "&Name:", 60).rect = {50, 7, 190, 12};
    Add<ControlStatic>(kRegion, "").rect = {50, 22, 140, 8};
    Add<ControlButton>(kReset, "Reset").rect = {195, 20, 45, 14};
    Add<ControlDropdownList>(kLayout, "Layout", &m_layouts).rect = {50, 40, 190, 60};
    Add<ControlCheckBox>(kRepeatMeasures, "repeat measures").rect = {50, 58, 120, 10};
    Add<ControlStatic>(kWithLabel, "with ").rect = {50, 59, 18, 8};
    Add<ControlFieldNumeric>(kFactors, "classifying factors", 1, 0).rect = {70, 57, 20, 12};
    Add<ControlBitmapButton>(kFactorsSpin, "spin", 0).rect = {90, 57, 10, 12};
    Add<ControlStatic>(kFactorsLabel, "classifying factors").rect = {104, 59, 80, 8};
    Add<ControlCheckBox>(kIdentifierLabel, "First column contains identifier &label").rect = {50, 76, 190, 10};
    Add<ControlCheckBox>(kAutoFormat, "&Apply AutoFormat").rect = {50, 92, 190, 10};
    Add<ControlButton>(kIdOK, "OK").rect = {136, 128, 50, 14};
    Add<ControlButton>(kIdCancel, "Cancel").rect = {190, 128, 50, 14};
    Fill();
}

void DialogDataset::Fill() {
    m_refreshing = true;
    properties = CurrentProperties(*source);
    properties.name = source->dataset->name;
    properties.autoFormat = true;
    // The identifier label holds when its first variable is still information.
    const Dataset& d = *source->dataset;
    properties.identifierLabel = properties.layoutIndex == 0 && d.IdentifierLabel() && !d.variables.empty() &&
                                 SameType(d.variables[0]->type, kTypeInformation);
    regionAddress = SheetName(source->sheetKey) + "!" + source->region.Address();
    FindAs<ControlField>(kName)->SetText(*properties.name);
    Find(kRegion)->label = regionAddress;
    FindAs<ControlDropdownList>(kLayout)->selectedRow = properties.layoutIndex;
    FindAs<ControlCheckBox>(kRepeatMeasures)->checked = properties.repeatMeasures;
    FindAs<ControlFieldNumeric>(kFactors)->SetValue(properties.factors);
    FindAs<ControlCheckBox>(kIdentifierLabel)->checked = properties.identifierLabel;
    FindAs<ControlCheckBox>(kAutoFormat)->checked = properties.autoFormat;
    m_refreshing = false;
    ShowLayoutControls();
    SelectHeaderArea();
}

void DialogDataset::ReadControls() {
    properties.name = FindAs<ControlField>(kName)->Text();
    properties.layoutIndex = std::max(0, FindAs<ControlDropdownList>(kLayout)->selectedRow);
    properties.repeatMeasures = FindAs<ControlCheckBox>(kRepeatMeasures)->checked;
    // The spin button keeps the count between 1 and 2; a typed count outside is taken as the nearer.
    double f = FindAs<ControlFieldNumeric>(kFactors)->GetValue();
    if (!std::isnan(f)) properties.factors = f >= 2 ? 2 : 1;
    properties.identifierLabel = FindAs<ControlCheckBox>(kIdentifierLabel)->checked;
    properties.autoFormat = FindAs<ControlCheckBox>(kAutoFormat)->checked;
}

void DialogDataset::ShowLayoutControls() {
    bool list = properties.layoutIndex == 0;
    Find(kRepeatMeasures)->visible = list;
    for (int id : {kWithLabel, kFactors, kFactorsSpin, kFactorsLabel}) Find(id)->visible = !list;
    Find(kIdentifierLabel)->enabled = list;
}

void DialogDataset::SelectHeaderArea() const {
    const DatasetSourceExcel& s = *source;
    if (s.region.Empty()) return;
    bool list = properties.layoutIndex == 0;
    int headerRows = list ? (properties.repeatMeasures ? 2 : 1) : std::max(1, s.headerBand.count);
    headerRows = std::min(headerRows, s.region.Rows());
    std::vector<XLREF> areas{s.region.Offset(0, 0, headerRows, s.region.Cols()).Ref()};
    if (!list && properties.factors == 2 && s.region.Rows() > headerRows)
        areas.push_back(s.region.Offset(headerRows, 0, s.region.Rows() - headerRows, 1).Ref());
    try {
        XlCall(XLC_SELECT, {XlValue::Ref(s.region.sheet, areas)});
    } catch (CException* e) {
        e->Delete();  // the selection only helps the user see the layout
    }
}

void DialogDataset::OnChange(Control& c, bool) {
    if (c.id == kReset) {
        Reset();
        return;
    }
    if (c.id == kFactorsSpin) {
        // The spin button steps the count within 1 to 2: either arrow moves it to the other value.
        auto* field = FindAs<ControlFieldNumeric>(kFactors);
        field->SetValue(field->GetValue() == 2 ? 1 : 2);
    }
    int layout = properties.layoutIndex, factors = properties.factors;
    bool repeats = properties.repeatMeasures;
    ReadControls();
    if (properties.layoutIndex != layout || properties.factors != factors || properties.repeatMeasures != repeats) {
        ShowLayoutControls();
        SelectHeaderArea();
    }
}

void DialogDataset::Reset() {
    // Forget every stored dataset and variable whose cells lie in the dataset's region widened by
    // one cell, then detect the dataset again from the cell it was first found from.
    CellRange from = source->activeCell;
    const CellRange around = source->region.Widened(1);
    for (const char* pattern : {"__sm_DR*", "__sm_VR*"}) {
        XlValue names = XlCallResultNA(XLF_NAMES, {source->sheetKey, 3, std::string(pattern)});
        if (!names.Is(XLTYPE_MULTI)) continue;
        for (uint16_t r = 0; r < names.Rows(); ++r)
            for (uint16_t c = 0; c < names.Columns(); ++c) {
                if (!names.At(r, c).Is(XLTYPE_STR)) continue;
                StoredName stored;
                stored.sheetKey = source->sheetKey;
                stored.name = names.At(r, c).Text();
                XlValue ref = XlCallResultNA(XLF_EVALUATE, {stored.Qualified(stored.name)});
                std::vector<XLREF> areas = ref.Areas();
                bool inside = !areas.empty();
                for (const XLREF& a : areas) {
                    CellRange cells = CellRange::Of(around.sheet, a);
                    inside = inside && cells.firstRow >= around.firstRow && cells.lastRow <= around.lastRow &&
                             cells.firstCol >= around.firstCol && cells.lastCol <= around.lastCol;
                }
                if (inside) stored.Delete();
            }
    }
    CRef<DatasetSourceExcel> found = FindDataset(from, kLayoutDetect, -1, -1, false, true);
    if (found) source = found;
    Fill();
}

void DialogDataset::OnOK() {
    ReadControls();
    // After Reset the values come from the dataset found again; they are applied to the object the
    // dialog was opened for (its scan rebuilds it from the sheet), which the caller goes on using.
    if (source.get() != m_opened.get()) m_opened->region = source->region;
    ConfirmDataset(*m_opened, properties);
    End(kIdOK);
}

bool ShowDatasetPropertiesDialog(DatasetSourceExcel& source) {
    DialogDataset dialog(source);
    return dialog.Run() == kIdOK;
}

}  // namespace qs
