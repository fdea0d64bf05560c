// Every file of tests/data/sheets/hostile/ is read; each gives exactly the message listed for it in
// expected.txt (or is read, for "OK"), quickly and without crashing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include <sys/wait.h>
#include <unistd.h>

#include "sheets/io/workbook_io.h"
#include "tests/bounds.h"
#include "sheets/io/zip.h"

using namespace sheets;

namespace {
std::string Slurp(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}
}  // namespace

// What reading one file gave: its message (or "OK"), the time taken and the memory it took, measured
// in a child process so that one file's peak does not hide the next one's.
struct Attempt {
  std::string message;
  double seconds = 0;
  uint64_t peak_bytes = 0;
};

// A line of /proc/self/status ("VmHWM", "VmRSS") in bytes.
uint64_t StatusBytes(const std::string& key) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(key + ":", 0) == 0) return std::stoull(line.substr(key.size() + 1)) * 1024;
  return 0;
}

Attempt ReadInChild(const std::filesystem::path& path, const std::string& name) {
  int fds[2];
  if (pipe(fds) != 0) return {"pipe failed"};
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    std::string bytes = Slurp(path);
    // The peak resident size starts again from here (a child inherits its parent's peak).
    std::ofstream("/proc/self/clear_refs") << "5";
    uint64_t before = StatusBytes("VmRSS");
    double start = test_bounds::CpuSeconds();
    std::string got;
    try {
      auto book = ReadWorkbookBytes({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, name);
      got = name + ": OK";
    } catch (const FileError& e) {
      got = e.file() == name ? e.what() : "wrong file name in: " + std::string(e.what());
    }
    double seconds = test_bounds::CpuSeconds() - start;
    uint64_t peak = StatusBytes("VmHWM");
    std::string report = std::to_string(seconds) + " " + std::to_string(peak > before ? peak - before : 0) + " " + got;
    if (write(fds[1], report.data(), report.size()) < 0) _exit(2);
    _exit(0);
  }
  close(fds[1]);
  std::string report;
  char buf[4096];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) report.append(buf, size_t(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return {"the reading process died with status " + std::to_string(status)};
  Attempt a;
  std::istringstream in(report);
  in >> a.seconds >> a.peak_bytes;
  in.get();
  std::getline(in, a.message, '\0');
  return a;
}

TEST(HostileFiles, EachIsRefusedWithItsExactMessageWithinASecondAnd256MB) {
  const std::filesystem::path dir = std::filesystem::path(QS_SHEETS_DATA) / "hostile";
  std::map<std::string, std::string> expected;
  std::ifstream manifest(dir / "expected.txt");
  ASSERT_TRUE(manifest) << "missing " << (dir / "expected.txt");
  for (std::string line; std::getline(manifest, line);) {
    if (line.empty() || line[0] == '#') continue;
    size_t colon = line.find(": ");
    ASSERT_NE(colon, std::string::npos) << line;
    expected[line.substr(0, colon)] = line;
  }
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    std::string name = entry.path().filename().string();
    if (name == "expected.txt") continue;
    ++files;
    ASSERT_TRUE(expected.count(name)) << name << " has no expected message";
    Attempt got = ReadInChild(entry.path(), name);
    EXPECT_EQ(got.message, expected[name]);
    EXPECT_LT(got.seconds, test_bounds::Seconds(1.0)) << name;
    EXPECT_LT(got.peak_bytes, test_bounds::Bytes(uint64_t(256) << 20)) << name;
    if (std::getenv("QS_SHOW_PEAKS"))
      std::cerr << name << " " << got.seconds << " s " << got.peak_bytes / 1024 << " KB\n";
  }
  EXPECT_EQ(files, expected.size()) << "expected.txt lists files that are not there";
}

TEST(HostileFiles, DeclaredSizesAreNeverTrusted) {
  const std::filesystem::path dir = std::filesystem::path(QS_SHEETS_DATA) / "hostile";
  // A sheet that claims the whole grid holds one cell, and the shared-string table that claims four
  // billion strings holds one: the model holds exactly what is there.
  std::string bytes = Slurp(dir / "sheet-dimension-claims-full-grid.xlsx");
  auto book = ReadWorkbookBytes({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, "d.xlsx");
  EXPECT_EQ(book->sheet(0).CellCount(), 1u);
  EXPECT_EQ(book->sheet(0).UsedRange(), RangeAddress::Cell(0, 0));
  EXPECT_LT(book->sheet(0).CellMemoryUsed(), 64u * 1024);
  bytes = Slurp(dir / "sst-count-claims-billions.xlsx");
  book = ReadWorkbookBytes({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, "s.xlsx");
  EXPECT_EQ(book->sheet(0).GetValue(0, 0), Value::Text("only one"));
}

TEST(HostileFiles, EveryTruncationOfAGoodPackageIsRefusedCleanly) {
  Workbook book;
  Sheet& s = book.AddSheet("S");
  for (uint32_t r = 0; r < 20; ++r) {
    s.SetNumber(r, 0, r);
    s.SetText(r, 1, "t" + std::to_string(r));
  }
  std::string bytes = WriteXlsxBytes(book);
  for (size_t cut = 4; cut < bytes.size(); cut += 7) {  // from a whole zip signature on
    try {
      ReadWorkbookBytes({reinterpret_cast<const uint8_t*>(bytes.data()), cut}, "cut.xlsx");
      ADD_FAILURE() << "a package cut at " << cut << " bytes was read";
    } catch (const FileError& e) {
      EXPECT_EQ(e.file(), "cut.xlsx");
    }
  }
  // Flipping bytes must give a clean refusal or a workbook, never a crash.
  for (size_t at = 0; at < bytes.size(); at += 13) {
    std::string damaged = bytes;
    damaged[at] = char(damaged[at] ^ 0x5A);
    try {
      ReadWorkbookBytes({reinterpret_cast<const uint8_t*>(damaged.data()), damaged.size()}, "flip.xlsx");
    } catch (const FileError&) {}
  }
}

namespace {
std::unique_ptr<Workbook> ReadHostile(const std::string& name) {
  std::string bytes = Slurp(std::filesystem::path(QS_SHEETS_DATA) / "hostile" / name);
  return ReadWorkbookBytes({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, name);
}
}  // namespace

TEST(HostileFiles, FilesThatWouldMultiplyTheirSizeAreReadAsTheySay) {
  // Two thousand column elements over the whole width: one span, of the last element's width.
  auto book = ReadHostile("column-ranges-over-the-whole-width.xlsx");
  ASSERT_EQ(book->sheet(0).columns().size(), 1u);
  EXPECT_EQ(book->sheet(0).columns().begin()->second.last, 16383u);
  EXPECT_EQ(book->sheet(0).GetColumn(9000).width, 1999 % 50 + 1);
  // Every merged area is there, in xlsx and in xls.
  EXPECT_EQ(ReadHostile("merged-areas-forty-thousand.xlsx")->sheet(0).merged().size(), 40000u);
  auto xls = ReadHostile("xls-merged-areas-forty-thousand.xls");
  EXPECT_EQ(xls->sheet(0).merged().size(), 40000u);
  EXPECT_EQ(xls->sheet(0).MergedAreaAt({7499, 7}), RangeAddress({7499, 6}, {7499, 7}));
}

TEST(HostileFiles, TextXmlCannotCarryIsEscapedOnSaving) {
  // _xD800_ and _xFFFF_ name a lone surrogate and a non-character: kept, and written as escapes
  // again, so that the saved workbook reads back the same.
  auto book = ReadHostile("text-escaping-a-surrogate.xlsx");
  std::string text = book->sheet(0).GetValue(0, 0).text;
  EXPECT_EQ(text,
            "a\xED\xA0\x80"
            "b\xEF\xBF\xBF"
            "c");
  std::string saved = WriteXlsxBytes(*book);
  auto again = ReadWorkbookBytes({reinterpret_cast<const uint8_t*>(saved.data()), saved.size()}, "again.xlsx");
  EXPECT_EQ(again->sheet(0).GetValue(0, 0).text, text);
}

TEST(HostileFiles, TextThatIsNotUtf8IsReadAsLatin1) {
  // A surrogate, a lead byte above F4 and an overlong form: the file is Latin-1, so every name and
  // text is well-formed UTF-8 and the workbook saves and reads back.
  auto book = ReadHostile("csv-invalid-utf8.csv");
  EXPECT_EQ(book->sheet(0).GetValue(0, 0).text, "name\xC3\xAD\xC2\xA0\xC2\x80");
  EXPECT_EQ(book->sheet(0).GetValue(0, 1).text, "x\xC3\xB5y");
  std::string saved = WriteXlsxBytes(*book);
  auto again = ReadWorkbookBytes({reinterpret_cast<const uint8_t*>(saved.data()), saved.size()}, "again.xlsx");
  EXPECT_EQ(again->sheet(0).GetValue(0, 2).text, "z\xC3\x80\xC2\xAF");
  // A file name that is not UTF-8 gives a sheet name that is.
  std::string csv = "a,b\n1,2\n";
  book = ReadWorkbookBytes({reinterpret_cast<const uint8_t*>(csv.data()), csv.size()}, "/tmp/caf\xE9\xED\xA0\x80.csv");
  EXPECT_EQ(book->sheet(0).name(), "caf\xC3\xA9\xC3\xAD\xC2\xA0\xC2\x80");
}

TEST(HostileFiles, KeptPartsNeverTakeTheNamesOfWrittenOnes) {
  // Unreferenced parts named as the shared strings and the styles: the saved
  // package has one entry of each name, in any letter case, and reads back.
  auto book = ReadHostile("kept-parts-named-as-written-ones.xlsx");
  std::string saved = WriteXlsxBytes(*book);
  ZipReader zip({reinterpret_cast<const uint8_t*>(saved.data()), saved.size()});
  std::set<std::string> names;
  for (const auto& e : zip.entries()) {
    std::string lower = e.name;
    for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_TRUE(names.insert(lower).second) << "two entries named " << e.name;
  }
  EXPECT_TRUE(names.count("xl/sharedstrings.xml"));
  auto again = ReadWorkbookBytes({reinterpret_cast<const uint8_t*>(saved.data()), saved.size()}, "again.xlsx");
  EXPECT_EQ(again->sheet(0).GetValue(0, 0).text, "text");
}
