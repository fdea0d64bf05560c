// Recalculating a workbook of 100,000 formula cells (50,000 in a chain, 50,000 summing ranges of
// the chain and of the data), timed against LibreOffice headless recalculating the same file.
//
//   sheets_calc_bench [--rows N] [--no-libreoffice]
//
// Our calculation time is processor time of parsing every formula, building the dependency graph
// and recalculating. LibreOffice's calculation alone cannot be isolated from outside (converting
// the file with and without recalculation on load differ by less than the run-to-run noise of its
// start-up), so the ratio compares the whole job: our wall time to read the file, recalculate and
// save it, against soffice converting the same file to CSV with recalculation on load forced (best
// of three); the difference of the two LibreOffice conversions is printed too.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "sheets/calc/calculator.h"
#include "bench/bench_common.h"
#include "sheets/io/workbook_io.h"

using namespace sheets;
namespace fs = std::filesystem;

namespace {

// Column A: data; B: a chain B(i) = B(i-1) + A(i)/2; C: SUM of ten cells of B and ten of A.
void MakeWorkbook(const std::string& path, uint32_t rows) {
    Workbook book("bench.xlsx", SheetLimits::Large());
    Sheet& s = book.AddSheet("Sheet1");
    for (uint32_t r = 0; r < rows; ++r) {
        std::string row = std::to_string(r + 1), prev = std::to_string(r);
        std::string first = std::to_string(r >= 9 ? r - 8 : 1);
        s.SetNumber(r, 0, double(r % 97) + 0.25);
        s.SetFormula(r, 1, r == 0 ? "A1" : "B" + prev + "+A" + row + "/2");
        s.SetFormula(r, 2, "SUM(B" + first + ":B" + row + ")-SUM(A" + first + ":A" + row + ")");
    }
    SaveWorkbook(book, path);
}

// Wall seconds of soffice converting `file` to CSV in `dir`, recalculating on load or not.
double LibreOfficeSeconds(const fs::path& dir, const fs::path& file, bool recalc) {
    fs::path profile = dir / (recalc ? "lo-always" : "lo-never");
    fs::create_directories(profile / "user");
    std::ofstream(profile / "user" / "registrymodifications.xcu")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\" xmlns:xs=\"http://www.w3.org/2001/XMLSchema\""
           " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n"
           "<item oor:path=\"/org.openoffice.Office.Calc/Formula/Load\"><prop oor:name=\"OOXMLRecalcMode\" "
           "oor:op=\"fuse\">"
           "<value>"
        << (recalc ? 0 : 1) << "</value></prop></item>\n</oor:items>\n";
    std::string cmd = "cd '" + dir.string() + "' && soffice -env:UserInstallation=file://" + profile.string() +
                      " --headless --convert-to csv --outdir out '" + file.string() + "' >/dev/null 2>&1";
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        auto start = std::chrono::steady_clock::now();
        if (std::system(cmd.c_str()) != 0) return -1;
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    const bench::RowsOptions options = bench::ParseRowsOptions(argc, argv);
    const uint32_t rows = options.rows;
    const bool libreoffice = options.libreoffice;
    fs::path dir = fs::temp_directory_path() / ("qs-calc-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    fs::path file = dir / "bench.xlsx";
    MakeWorkbook(file.string(), rows);

    auto wall = std::chrono::steady_clock::now();
    auto book = ReadWorkbook(file.string());
    double start = bench::CpuSeconds();
    calc::Calculator calculator(*book);
    double built = bench::CpuSeconds();
    calc::CalcReport report = calculator.RecalculateAll();
    double done = bench::CpuSeconds();
    fs::path cached = dir / "cached.xlsx";
    SaveWorkbook(*book, cached.string());
    double whole = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
    std::printf("formula cells: %zu (calculated %zu, circular %zu)\n", calculator.FormulaCount(), report.calculated,
                report.circular.size());
    std::printf(
        "quelstat: parse + graph %.3f s, recalculate %.3f s, calculation %.3f s; read + calculate + save %.3f s\n",
        built - start, done - built, done - start, whole);
    std::printf("last chain value %s\n", FormatConstant(book->sheet(0).GetValue(rows - 1, 1)).c_str());
    if (libreoffice && std::system("command -v soffice >/dev/null 2>&1") == 0) {
        double with = LibreOfficeSeconds(dir, cached, true), without = LibreOfficeSeconds(dir, cached, false);
        if (with > 0 && without > 0) {
            std::printf("LibreOffice: convert with recalculation %.3f s, without %.3f s (difference %.3f s)\n", with,
                        without, with - without);
            std::printf("ratio quelstat / LibreOffice (read, recalculate, write): %.3f\n", whole / with);
        } else {
            std::printf("LibreOffice: conversion failed\n");
        }
    } else {
        std::printf("LibreOffice: not run\n");
    }
    fs::remove_all(dir);
    return 0;
}
