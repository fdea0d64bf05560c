// Reading and writing a workbook of 1,000,000 numeric cells (100,000 rows x 10 columns) and one of
// 1,000,000 text cells, timed against openpyxl (write-only and read-only modes) in the same run and
// reported as ratios, with the peak memory per cell of our read and write.
//
//   sheets_file_bench [--rows N] [--cols N] [--no-openpyxl]
//
// Each measurement runs in a child process, so that its peak resident size is its own. Times are
// processor time (user + system) on both sides, which a machine busy with other work skews least.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "sheets/io/workbook_io.h"

using namespace sheets;

namespace {

struct Result {
  double seconds = 0;     // processor time (user + system) of the work, so a busy machine does not skew it
  double peak_bytes = 0;  // above the child's resident size before the work
};

long ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

// Runs work in a child; the child writes its seconds and starting resident size through a pipe.
template <typename Work>
Result InChild(Work work) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    long base = ResidentBytes();
    auto cpu = [] {
      struct rusage u {};
      getrusage(RUSAGE_SELF, &u);
      return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    };
    double start = cpu();
    work();
    double s = cpu() - start;
    char buf[64];
    int n = std::snprintf(buf, sizeof buf, "%.6f %ld", s, base);
    if (write(fds[1], buf, size_t(n)) < 0) _exit(2);
    _exit(0);
  }
  close(fds[1]);
  char buf[64] = {0};
  ssize_t got = read(fds[0], buf, sizeof buf - 1);
  close(fds[0]);
  int status = 0;
  struct rusage ru {};
  wait4(pid, &status, 0, &ru);
  Result r;
  long base = 0;
  if (got > 0) std::sscanf(buf, "%lf %ld", &r.seconds, &base);
  r.peak_bytes = double(ru.ru_maxrss) * 1024.0 - double(base);
  return r;
}

void FillCells(Sheet& s, bool texts, uint32_t rows, uint32_t cols) {
  for (uint32_t r = 0; r < rows; ++r)
    for (uint32_t c = 0; c < cols; ++c) {
      if (texts)
        s.SetText(r, c, "s" + std::to_string(uint64_t(r) * cols + c));
      else
        s.SetNumber(r, c, double(uint64_t(r) * cols + c) + 0.5);
    }
}

double Python(const std::string& args) {
  std::string cmd = "/usr/bin/python3 " QS_BENCH_DIR "/openpyxl_bench.py " + args;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return -1;
  double s = -1;
  if (std::fscanf(p, "%lf", &s) != 1) s = -1;
  return pclose(p) == 0 ? s : -1;
}

}  // namespace

int main(int argc, char** argv) {
  uint32_t rows = 100000, cols = 10;
  bool openpyxl = true;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--rows") && i + 1 < argc)
      rows = uint32_t(std::atoi(argv[++i]));
    else if (!std::strcmp(argv[i], "--cols") && i + 1 < argc)
      cols = uint32_t(std::atoi(argv[++i]));
    else if (!std::strcmp(argv[i], "--no-openpyxl"))
      openpyxl = false;
  }
  if (openpyxl && std::system("/usr/bin/python3 -c 'import openpyxl' 2>/dev/null") != 0) {
    std::printf("openpyxl is not installed for /usr/bin/python3: measuring our side only\n");
    openpyxl = false;
  }
  const double cells = double(rows) * cols;
  auto dir = std::filesystem::temp_directory_path() / ("qs-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  std::printf("%u rows x %u columns = %.0f cells\n\n", rows, cols, cells);
  std::printf("%-8s %-6s %12s %14s %12s %10s\n", "cells", "op", "ours (s)", "openpyxl (s)", "speed-up", "B/cell");
  bool all_ok = true;
  for (bool texts : {false, true}) {
    const char* kind = texts ? "texts" : "numbers";
    std::string ours = (dir / (std::string(kind) + "-ours.xlsx")).string();
    std::string theirs = (dir / (std::string(kind) + "-openpyxl.xlsx")).string();
    // Writing: building the cells and saving them, as openpyxl's write-only mode does both.
    Result w = InChild([&] {
      Workbook book("bench", SheetLimits::Large());
      FillCells(book.AddSheet("Data"), texts, rows, cols);
      SaveWorkbook(book, ours);
    });
    double pw = openpyxl ? Python(std::string("write ") + kind + " " + std::to_string(rows) + " " +
                                  std::to_string(cols) + " " + theirs)
                         : -1;
    // Reading: each side reads the file the other wrote as well as its own; we report ours of
    // openpyxl's file and openpyxl's of ours, the fair pairing, falling back to our own file.
    std::string input = openpyxl && pw > 0 ? theirs : ours;
    Result r = InChild([&] {
      auto book = ReadWorkbook(input);
      if (book->sheet(0).CellCount() != size_t(cells)) _exit(3);
    });
    double pr = openpyxl ? Python("read " + ours) : -1;
    auto row = [&](const char* op, const Result& res, double theirs_s) {
      double ratio = theirs_s > 0 ? theirs_s / res.seconds : 0;
      std::printf("%-8s %-6s %12.3f %14s %12s %10.1f\n", kind, op, res.seconds,
                  theirs_s > 0 ? std::to_string(theirs_s).substr(0, 7).c_str() : "-",
                  ratio > 0 ? (std::to_string(ratio).substr(0, 5) + "x").c_str() : "-", res.peak_bytes / cells);
      if (theirs_s > 0 && ratio < 10) all_ok = false;
      if (res.peak_bytes / cells >= 200) all_ok = false;
    };
    row("write", w, pw);
    row("read", r, pr);
  }
  std::filesystem::remove_all(dir);
  std::printf("\ntarget: at least 10x openpyxl, under 200 bytes per cell: %s\n", all_ok ? "met" : "NOT met");
  return 0;
}
