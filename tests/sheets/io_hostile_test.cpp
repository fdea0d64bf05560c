// Every file of tests/data/sheets/hostile/ is read; each gives exactly the message listed for it in
// expected.txt (or is read, for "OK"), quickly and without crashing.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "sheets/io/workbook_io.h"

using namespace sheets;

namespace {
std::string Slurp(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}
}  // namespace

TEST(HostileFiles, EachIsRefusedWithItsExactMessageWithinASecond) {
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
    std::string bytes = Slurp(entry.path());
    auto start = std::chrono::steady_clock::now();
    std::string got;
    try {
      auto book = ReadWorkbookBytes({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, name);
      got = name + ": OK";
    } catch (const FileError& e) {
      got = e.what();
      EXPECT_EQ(e.file(), name);
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(got, expected[name]);
    EXPECT_LT(seconds, 1.0) << name;
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
    } catch (const FileError&) {
    }
  }
}
