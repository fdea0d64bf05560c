// Reports: a worksheet made from a test's report template. The template's sheet carries output
// slots (local names of the stored-name scheme naming the cells where result fields go) and the
// test record "__sm_TV_0"; the report writes the header and the test's result blocks through the
// slots, removes them, and keeps the records from which it can be recognised and computed again.
//
// Slot names: "__sm_" + kind + "R_" + root + one "_%x" per level of the label-id path from the
// root block down to the field (levels flagged transparent add nothing). Root "" is the report
// header (its own level 0x7d0 follows), root "0" the test's blocks. Kinds: R a single field (a
// number, text, pair, nested block or an array written downwards), S a field of the rows of a
// block array (one value per row, downwards), M, P and Q the chart slots.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "addin/dataset/dataset.h"
#include "addin/framework/results.h"
#include "addin/framework/test.h"
#include "addin/host/commandset.h"
#include "addin/host/shared.h"
#include "addin/host/xlvalue.h"

namespace qs {

// The last worksheet row a report slot may reach (0-based).
constexpr int kLastReportRow = 0x4000 - 1;

class Report : public ActiveReport {
public:
    // The report header block (label "Report Header", 2000).
    struct Header : Results {
        double date = numerics::MissingValue();  // the run's date serial (NOW)
        CSharedString test, user, variables, dataset, module;
        // Test (2001), Date (2002), User (2003), Module (2004), Dataset (2005), Variables (2006).
        const FieldTable& GetFields() const override;
        size_t Size() const override { return 40; }
    };

    // A test record read from a report sheet: the test id and the test made for it from the
    // catalogue (null when the catalogue has no such test).
    struct LoadedTest {
        unsigned id = 0;
        CRef<Test> test;
    };

    std::vector<LoadedTest> tests;
    CRef<Test> current;
    Header header;
};

class ReportExcel : public Report {
public:
    // The report on the sheet with this id; with `load`, its stored test records are read (and the
    // test record is written again, as every load does).
    ReportExcel(XL_SHEET_ID sheet, bool load);

    XL_SHEET_ID sheet;
    // Workbooks opened to find the report's dataset.
    std::vector<std::string> openedWorkbooks;

    // "[Book]Sheet" of the report's sheet as it is now called.
    std::string SheetKey() const;
    // A reference to cell A1 of the report's sheet.
    XlValue SheetRef() const;
    bool IsOnActiveSheet() const override;

    // Reads the test records ("__sm_TV*": {1; id; name}); then deletes every "__sm_T*" name and
    // writes "__sm_TV_0" again for the first record's test.
    void Load();

    // Fills the header from the test: date and time, user name, test, module, dataset, variables.
    void FillHeader(const Test& test);
    // Writes the header and every block of `test` through the output slots, then deletes the slot
    // names (kinds R, S, M, P and the reference form of Q). The sheet must be the active sheet.
    void Output(const Test& test);
    // After a successful output: the dataset reference "__sm_ER_0", its layout record
    // "__sm_EV_1" and one "__sm_VV_n" per parameter (earlier "__sm_V*" and "__sm_E*" removed).
    void WriteRecords(const Test& test);

    // The local names of the report's sheet matching a pattern ("__sm_RR*").
    std::vector<std::string> Names(const std::string& pattern) const;
    void DeleteNames(const std::string& pattern) const;

private:
    struct Slot;
    void WriteSlot(const std::string& name, const Test& test);
    void Resize(int row, int rows, int wanted, int lastCol);
    void Put(int row, int col, const XlValue& value);
    int PutField(const Field& field, const Results& owner, int row, int col);
    int PutRow(const Results& block, int row, int col, int depth);
    std::vector<std::pair<const void*, int>> m_grown;  // arrays already given their rows
};

// The writer of a test's chart blocks, run by Output after the slots are filled; the chart subsystem
// installs it when the add-in loads (none: charts keep the template's placeholders).
using ChartOutputFn = void (*)(ReportExcel& report, const Test& test);
void SetChartOutput(ChartOutputFn writer);

// True when the sheet is a worksheet carrying the sheet-level name "__sm_TV_0".
bool IsReportSheet(const std::string& sheetKey);

// Parses a slot name: its kind letter, its root ("" header, "0" test) and its label path.
struct SlotName {
    char kind = 0;
    std::string root;
    std::vector<unsigned> path;
};
bool ParseSlotName(const std::string& name, SlotName& out);

// Where a label path leads inside a block: the field and the block holding it, or, when the path
// passes through an array of blocks, that array (its owner and field) and the path below it.
struct FieldLocation {
    const Results* owner = nullptr;
    const Field* field = nullptr;
    const Results* arrayOwner = nullptr;
    const Field* arrayField = nullptr;
    std::vector<unsigned> rest;
};
bool LocateField(const Results& block, const std::vector<unsigned>& path, FieldLocation& out);

}  // namespace qs
