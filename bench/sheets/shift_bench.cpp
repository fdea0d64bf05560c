// Inserting and deleting a row before 100,000 formula cells, timed against LibreOffice doing the
// same on the same file (through python-uno, shift_libreoffice.py), and against ourselves on twice
// the cells to show the cost grows linearly.
//
//   sheets_shift_bench [--rows N] [--no-libreoffice]
//
// The sheet: numbers in A, B(i) = A(i)*2 + B(i-1), C(i) = SUM(A1:Ai) over N rows (2N formulas), a
// second sheet of N formulas referring to the first, and names over the data. Our times are
// processor time of one insertion of row 2 and one deletion of it (every formula adjusted and
// every cell below moved); LibreOffice's are the wall time of the same two calls inside a running
// soffice (its start-up and loading not counted).
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "sheets/edit/shift_cells.h"
#include "bench/bench_common.h"
#include "sheets/io/workbook_io.h"

using namespace sheets;
namespace fs = std::filesystem;

namespace {

std::unique_ptr<Workbook> MakeWorkbook(uint32_t rows) {
  auto book = std::make_unique<Workbook>("shift.xlsx", SheetLimits::Large());
  Sheet& data = book->AddSheet("Data");
  Sheet& other = book->AddSheet("Other");
  for (uint32_t r = 0; r < rows; ++r) {
    std::string row = std::to_string(r + 1);
    data.SetNumber(r, 0, double(r % 89));
    data.SetFormula(r, 1, r == 0 ? "A1*2" : "A" + row + "*2+B" + std::to_string(r));
    data.SetFormula(r, 2, "SUM($A$1:A" + row + ")");
    other.SetFormula(r / 2, r % 2, "Data!B" + row + "-Data!$C$" + row);
  }
  book->names().Define("Dataset", "Data!$A$1:$C$" + std::to_string(rows), book->limits());
  data.names().Define("__sm_ER_0", "Data!$A$1:$C$" + std::to_string(rows), book->limits());
  return book;
}

// Processor seconds of inserting row 2 and of deleting it again.
std::pair<double, double> OurSeconds(Workbook& book) {
  Sheet& data = *book.FindSheet("Data");
  const RangeAddress row2{{1, 0}, {1, book.limits().cols - 1}};
  std::string why;
  double start = bench::CpuSeconds();
  if (!InsertCells(data, row2, ShiftAxis::Down, {}, &why)) std::fprintf(stderr, "insert: %s\n", why.c_str());
  double inserted = bench::CpuSeconds();
  if (!DeleteCells(data, row2, ShiftAxis::Down, {}, &why)) std::fprintf(stderr, "delete: %s\n", why.c_str());
  return {inserted - start, bench::CpuSeconds() - inserted};
}

}  // namespace

int main(int argc, char** argv) {
  const bench::RowsOptions options = bench::ParseRowsOptions(argc, argv);
  const uint32_t rows = options.rows;
  const bool libreoffice = options.libreoffice;
  const uint32_t formulas = rows * 3;
  auto book = MakeWorkbook(rows);
  auto [insert, remove] = OurSeconds(*book);
  auto twice = MakeWorkbook(rows * 2);
  auto [insert2, remove2] = OurSeconds(*twice);
  std::printf("quelstat, %u formula cells: insert row 2 %.3f s, delete it %.3f s\n", formulas, insert, remove);
  std::printf("quelstat, %u formula cells: insert row 2 %.3f s, delete it %.3f s (ratio to half: %.2f, %.2f)\n",
              formulas * 2, insert2, remove2, insert2 / insert, remove2 / remove);
  if (!libreoffice) return 0;
  fs::path dir = fs::temp_directory_path() / ("qs-shift-bench-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  fs::path file = dir / "shift.xlsx";
  SaveWorkbook(*MakeWorkbook(rows), file.string());
  std::string cmd = "python3 '" QS_BENCH_DIR "/shift_libreoffice.py' '" + file.string() + "' '" + dir.string() + "'";
  FILE* pipe = ::popen(cmd.c_str(), "r");
  double lo_insert = -1, lo_remove = -1;
  if (pipe) {
    if (std::fscanf(pipe, "%lf %lf", &lo_insert, &lo_remove) != 2) lo_insert = lo_remove = -1;
    ::pclose(pipe);
  }
  fs::remove_all(dir);
  if (lo_insert < 0) {
    std::printf("LibreOffice: not measured (soffice or python3-uno missing)\n");
    return 0;
  }
  std::printf("LibreOffice, %u formula cells: insert row 2 %.3f s, delete it %.3f s\n", formulas, lo_insert, lo_remove);
  std::printf("ratio quelstat / LibreOffice: insert %.2f, delete %.2f\n", insert / lo_insert, remove / lo_remove);
  return 0;
}
