// The Dataset properties dialog: the dataset's name, region, layout, classifying factors, repeat
// measures, identifier label and AutoFormat. OK hands the values to the dataset model, which scans
// again with them and keeps them in the workbook.
#pragma once

#include "addin/dataset/dataset.h"
#include "addin/ui/dialog.h"

namespace qs {

class DialogDataset : public Dialog {
public:
    enum : int {
        kName = 1013,
        kRegion = 1014,
        kReset = 3,
        kLayout = 20,
        kRepeatMeasures = 1114,
        kFactors = 1115,
        kFactorsSpin = 1116,
        kFactorsLabel = 1117,
        kWithLabel = 1118,
        kIdentifierLabel = 1108,
        kAutoFormat = 1077,
    };

    explicit DialogDataset(DatasetSourceExcel& source);

    CRef<DatasetSourceExcel> source;  // replaced by Reset
    DatasetProperties properties;     // the values shown
    std::string regionAddress;

    // Fills the controls from the dataset (on opening and after Reset).
    void Fill();

protected:
    void OnChange(Control& c, bool click) override;
    void OnOK() override;

private:
    void ReadControls();
    void ShowLayoutControls();
    void SelectHeaderArea() const;
    void Reset();
    CRef<DatasetSourceExcel> m_opened;
    StringListData m_layouts;
};

// Shows the dialog for a dataset; true when confirmed (the properties are then applied).
bool ShowDatasetPropertiesDialog(DatasetSourceExcel& source);

}  // namespace qs
