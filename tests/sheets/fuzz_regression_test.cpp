// Replays the fuzz targets' seeds and every crash the fuzzers found (tests/data/sheets/fuzz-crashes/,
// named "<target>-crash-<hash>"): each must be read or refused cleanly, and what is read must write
// and read back.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/sheets/fuzz/fuzz_entries.h"

namespace fs = std::filesystem;

namespace {
std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool Replay(const fs::path& p) {
  std::string bytes = Slurp(p);
  auto data = reinterpret_cast<const uint8_t*>(bytes.data());
  std::string name = p.filename().string();
  std::string ext = p.extension().string();
  if (name.rfind("xlsx-", 0) == 0 || ext == ".xlsx") return sheets::fuzz::XlsxOne(data, bytes.size());
  if (name.rfind("xls-", 0) == 0 || ext == ".xls") return sheets::fuzz::XlsOne(data, bytes.size());
  if (name.rfind("xml-", 0) == 0 || ext == ".xml") return sheets::fuzz::XmlOne(data, bytes.size());
  return sheets::fuzz::CsvOne(data, bytes.size());
}
}  // namespace

TEST(FuzzRegression, CrashesFoundByFuzzingAreRefusedCleanly) {
  fs::path dir = fs::path(QS_SHEETS_DATA) / "fuzz-crashes";
  if (!fs::exists(dir)) GTEST_SKIP() << "no fuzz crashes recorded";
  size_t n = 0;
  for (const auto& e : fs::directory_iterator(dir)) {
    SCOPED_TRACE(e.path().filename().string());
    Replay(e.path());
    ++n;
  }
  EXPECT_GT(n, 0u);
}

TEST(FuzzRegression, SeedFixturesAreReadWrittenAndReadAgain) {
  size_t read = 0;
  for (const auto& sub : {fs::path(QS_SHEETS_DATA), fs::path(QS_SHEETS_DATA) / "hostile"})
    for (const auto& e : fs::directory_iterator(sub)) {
      auto ext = e.path().extension().string();
      if (ext != ".xlsx" && ext != ".xls" && ext != ".csv") continue;
      SCOPED_TRACE(e.path().filename().string());
      read += Replay(e.path()) ? 1 : 0;
    }
  EXPECT_GE(read, 6u);  // the good fixtures and the hostile files that must be read
}

TEST(FuzzRegression, XmlSeedsParseAlikeInBothParsers) {
  size_t read = 0;
  for (const auto& e : fs::directory_iterator(fs::path(QS_SHEETS_DATA) / "xml-seeds")) {
    SCOPED_TRACE(e.path().filename().string());
    read += Replay(e.path()) ? 1 : 0;
  }
  EXPECT_GE(read, 3u);
}
