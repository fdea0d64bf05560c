// Reports that follow their data: finding a stored report's dataset again (opening its workbook when
// it is closed), restoring the stored parameters, and the report commands Update, Update All, Edit
// Test Parameters, Move To Dataset Workbook and Discard.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "addin/dataset/dataset.h"
#include "addin/framework/report.h"
#include "addin/framework/test.h"

namespace qs {

// The dataset reference "__sm_ER_0" split into its parts: the workbook as stored (a path, a file
// name, or empty for the report's own workbook), the sheet and the range.
struct DatasetReference {
    std::string workbook;
    std::string sheet;
    std::string range;
};
// Splits "='/data/[Sales.xlsx]Year 1'!$A$3:$C$40", "=[Sales.xlsx]Data!$A$1:$B$9" or "=Data!$A$1";
// false when the text is no reference of one of these forms.
bool SplitDatasetReference(const std::string& text, DatasetReference& out);
// The dataset reference of the report on the sheet; message 135 when it has none that can be read.
DatasetReference ReadDatasetReference(const std::string& sheetKey);

// What one update, or one Update All, holds on to: the workbooks it opened to find datasets (closed
// again, unchanged, when it ends) and the datasets it found, so that reports on the same data load it
// once.
class UpdateSession {
public:
    UpdateSession() = default;
    UpdateSession(const UpdateSession&) = delete;
    UpdateSession& operator=(const UpdateSession&) = delete;
    ~UpdateSession();

    // The workbook (by name) is to stay open: a report was moved into it.
    void Keep(const std::string& book);

    std::vector<std::string> opened;
    std::map<std::string, CRef<DatasetSourceExcel>> datasets;  // by reference text and layout
};

// Locates the dataset of a stored report (its test records loaded first): messages 135 (no dataset
// record), 129 (the workbook cannot be opened), 130 (the range is gone), 134 (the layout changed).
CRef<DatasetSourceExcel> LocateDataset(ReportExcel& report, UpdateSession& session);

// Binds `test` to `dataset` and puts the report's stored parameters ("__sm_VV_n") into it; false when
// any of them is missing or no longer fits (a variable renamed or gone).
bool RestoreParameters(const ReportExcel& report, Test& test, DatasetSourceExcel& dataset);

// The parameter step of an update (run-test flow): locate, restore, the dataset and parameter
// dialogs where needed, and the checking pass with message 133 until it passes. False when the user
// cancelled.
bool UpdateParameters(ReportExcel& report, Test& test, bool withDialog, UpdateSession& session);

// Update (with the dialog: Edit Test Parameters): the report computed again in place. The new report,
// or none (the message has been shown; the old sheet is as it was). With `passEscape`, ESC is raised
// to the caller.
CRef<ReportExcel> UpdateReport(ReportExcel& report, bool withDialog, bool passEscape, UpdateSession* session = nullptr);
// Update All: every report sheet of the workbook in order; the number updated (messages 304 or 305
// when ESC ends it).
int UpdateAllReports(const std::string& book);
// Move To Dataset Workbook and Discard.
void MoveToDatasetWorkbook(ReportExcel& report);
void DiscardReport(ReportExcel& report);

// Installs the report commands into the add-in's services.
void InstallReportServices();

}  // namespace qs
