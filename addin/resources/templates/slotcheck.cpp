// qs_slotcheck: the build's check of the compiled report templates against the tests built into the
// add-in. Every slot of a template's test part must name a field of its test's field table (a slot
// of an array's rows a field of the rows), and a slot over an array must be an array slot. The build
// stops on the first template that fails, naming each bad slot.
//
//   qs_slotcheck STAMP TEMPLATE.xlt...    (writes STAMP when every template passes)
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "addin/framework/report.h"
#include "addin/framework/test.h"
#include "sheets/io/workbook_io.h"

namespace {

const qs::Test::Info* TestOfTemplate(const std::string& stem) {
    for (const qs::Test::Info* info : qs::Catalogue())
        if (stem == info->templateName) return info;
    return nullptr;
}

// The problems of one slot, or empty.
std::string SlotProblem(const qs::Test& test, const qs::SlotName& slot) {
    qs::FieldLocation at;
    if (!qs::LocateField(test, slot.path, at)) return "names no field of the test";
    if ((at.arrayField != nullptr) != (slot.kind == 'S'))
        return at.arrayField ? "lies in an array of rows but is no array slot" : "is an array slot over a single field";
    if (at.arrayField && !at.rest.empty()) {
        if (!at.arrayField->row) return "goes below an array whose rows have no fields";
        qs::FieldLocation cell;
        if (!qs::LocateField(*at.arrayField->row(), at.rest, cell)) return "names no field of the array's rows";
    }
    return {};
}

// Checks one template; prints each bad slot and answers how many there were.
int CheckTemplate(const std::filesystem::path& path) {
    const qs::Test::Info* info = TestOfTemplate(path.stem().string());
    if (!info) return 0;  // a template of a test not built yet
    qs::CRef<qs::Test> test(info->Create());
    if (!test) {
        std::cerr << path.string() << ": the catalogue cannot make its test " << info->id << "\n";
        return 1;
    }
    std::unique_ptr<sheets::Workbook> book = sheets::ReadWorkbook(path.string());
    if (!book || book->sheet_count() == 0) {
        std::cerr << path.string() << ": not a readable template\n";
        return 1;
    }
    int bad = 0;
    for (const sheets::DefinedName& n : book->sheet(0).names().entries()) {
        qs::SlotName slot;
        if (!qs::ParseSlotName(n.name, slot) || slot.root != "0") continue;
        const std::string problem = SlotProblem(*test, slot);
        if (problem.empty()) continue;
        std::cerr << path.string() << ": slot " << n.name << " " << problem << " (test " << info->id << ")\n";
        ++bad;
    }
    return bad;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: qs_slotcheck STAMP TEMPLATE.xlt...\n";
        return 2;
    }
    int bad = 0;
    try {
        for (int i = 2; i < argc; ++i) bad += CheckTemplate(argv[i]);
    } catch (const std::exception& e) {
        std::cerr << "qs_slotcheck: " << e.what() << "\n";
        return 1;
    }
    if (bad) {
        std::cerr << "qs_slotcheck: " << bad << " slot(s) name no field of their test\n";
        return 1;
    }
    std::ofstream(argv[1]) << "checked " << argc - 2 << " templates\n";
    return 0;
}
