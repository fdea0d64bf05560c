// The run-test flow: from a test command to a finished report sheet in the "Unfiled reports"
// workbook, with its status texts, ESC handling and clean-up when anything fails.
#pragma once

#include <string>

#include "addin/dataset/dataset.h"
#include "addin/framework/report.h"
#include "addin/framework/test.h"

namespace qs {

struct RunRequest {
    unsigned testId = 0;
    CRef<DatasetSourceExcel> dataset;
    CellRange selection;
    bool passEscape = false;  // raise CancelKeyException to the caller instead of showing 307 (306)
    // An update: the stored report computed again in place (its test, dataset and parameters), with
    // the parameter dialog when asked; the session keeps the workbooks opened to find the dataset.
    CRef<ReportExcel> oldReport;
    bool showDialog = false;
    class UpdateSession* session = nullptr;
};

// Runs a test and returns its new report, or none when the run ended without one (the message
// has been shown, or the user cancelled).
CRef<ReportExcel> Run(const RunRequest& request);

// The command entry: the test with this id on the dataset around `selection` (message 64 when
// there is none).
void RunTest(int id, const XlValue& selection);

// The test of the last successful run (kept alive until the next one), or null.
Test* LastCompletedTest();
// The report of the last successful run, or null.
ReportExcel* LastReport();

// Whether the dataset's layout can serve a test needing `needsMessage` (1500..1522), as far as the
// layout and the variables' types tell: the catalogue's DatasetNeed of that message; messages
// without one pass.
bool DatasetServes(unsigned needsMessage, const DatasetSourceExcel& dataset);

// The folder report templates are read from; empty (the default) uses the application's template
// folder. For tests that run without the add-in's application object.
void SetTemplateFolder(const std::string& folder);

// The number the next new report sheet is named with, raised to at least `next` (never lowered):
// a reports workbook read back from a file continues its count instead of starting at 1 again.
void ContinueReportCount(long next);

// Installs the run flow into the add-in's services: running tests and the report of the active
// sheet.
void InstallRunServices();

}  // namespace qs
