// Saves land in the file the user meant: through symbolic links, never over a read-only file or one
// with several hard links, and without temporary files left behind by a killed save.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "sheets/io/link_paths.h"
#include "sheets/io/preserved.h"
#include "sheets/io/workbook_io.h"

using namespace sheets;
namespace fs = std::filesystem;

namespace {

struct Folder {
  fs::path path;
  Folder() {
    path = fs::temp_directory_path() / ("qs-save-" + std::to_string(::getpid()));
    fs::remove_all(path);
    fs::create_directories(path);
  }
  ~Folder() {
    std::error_code ec;
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path, ec);
  }
};

std::unique_ptr<Workbook> BookWith(double x) {
  auto book = std::make_unique<Workbook>();
  book->AddSheet("S").SetNumber(0, 0, x);
  return book;
}

double FirstNumber(const fs::path& p) { return ReadWorkbook(p.string())->sheet(0).GetValue(0, 0).number; }

std::vector<std::string> Hidden(const fs::path& dir) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().filename().string()[0] == '.') out.push_back(e.path().filename().string());
  return out;
}

}  // namespace

TEST(Saving, ThroughASymbolicLinkUpdatesTheTargetAndKeepsTheLink) {
  Folder f;
  fs::create_directories(f.path / "real");
  auto one = BookWith(1);
  SaveWorkbook(*one, (f.path / "real" / "data.xlsx").string());
  fs::create_symlink("real/data.xlsx", f.path / "link.xlsx");
  auto two = BookWith(2);
  SaveWorkbook(*two, (f.path / "link.xlsx").string());
  EXPECT_TRUE(fs::is_symlink(f.path / "link.xlsx"));
  EXPECT_EQ(FirstNumber(f.path / "real" / "data.xlsx"), 2);
  EXPECT_TRUE(Hidden(f.path).empty());
  EXPECT_TRUE(Hidden(f.path / "real").empty());
  EXPECT_EQ(two->path(), (f.path / "link.xlsx").string());  // the workbook keeps the name it was opened by
}

TEST(Saving, ReadOnlyAndHardLinkedFilesAreRefusedAndKept) {
  Folder f;
  fs::path book_path = f.path / "data.xlsx";
  auto one = BookWith(1);
  SaveWorkbook(*one, book_path.string());
  fs::permissions(book_path, fs::perms(0444));
  auto two = BookWith(2);
  // The permission bits decide, for root too.
  try {
    SaveWorkbook(*two, book_path.string());
    ADD_FAILURE() << "a read-only workbook was replaced";
  } catch (const FileError& e) {
    EXPECT_EQ(std::string(e.what()), book_path.string() + ": cannot save: the file is read-only");
  }
  EXPECT_EQ(FirstNumber(book_path), 1);
  EXPECT_EQ(fs::status(book_path).permissions(), fs::perms(0444));
  fs::permissions(book_path, fs::perms(0644));
  fs::create_hard_link(book_path, f.path / "other.xlsx");
  try {
    SaveWorkbook(*two, book_path.string());
    ADD_FAILURE() << "a hard-linked workbook was split from its link";
  } catch (const FileError& e) {
    EXPECT_NE(std::string(e.what()).find("has 2 hard links"), std::string::npos) << e.what();
  }
  EXPECT_EQ(fs::hard_link_count(book_path), 2u);
  EXPECT_TRUE(Hidden(f.path).empty());
}

TEST(Saving, TerminationDuringASaveLeavesNoTemporaryAndStaleOnesAreRemoved) {
  Folder f;
  fs::path book_path = f.path / "big.xlsx";
  Workbook book;
  Sheet& s = book.AddSheet("S");
  for (uint32_t r = 0; r < 60000; ++r)
    for (uint32_t c = 0; c < 4; ++c) s.SetNumber(r, c, r * 0.5 + c);
  SaveWorkbook(book, book_path.string());
  for (int delay_ms : {5, 30, 80}) {
    pid_t child = fork();
    if (child == 0) {
      for (;;) SaveWorkbook(book, book_path.string());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
    ::kill(child, SIGTERM);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    EXPECT_TRUE(Hidden(f.path).empty()) << "after " << delay_ms << " ms";
    EXPECT_EQ(ReadWorkbook(book_path.string())->sheet(0).GetValue(59999, 0).number, 59999 * 0.5);
  }
  // What a killed save leaves: a temporary of a process that is gone, one of a live process (this
  // one's parent), and a file of the user's that only looks alike.
  for (const char* name : {".big.xlsx.qs999999999.Ab12Cd", ".big.xlsx.qsPARENT.Xy34Zw", ".big.xlsx.notes"}) {
    std::string n = name;
    if (auto at = n.find("PARENT"); at != std::string::npos) n.replace(at, 6, std::to_string(::getppid()));
    std::ofstream(f.path / n) << "left";
  }
  SaveWorkbook(book, book_path.string());
  std::vector<std::string> left = Hidden(f.path);
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left,
            (std::vector<std::string>{".big.xlsx.notes", ".big.xlsx.qs" + std::to_string(::getppid()) + ".Xy34Zw"}));
}

namespace {

// The first external link's target as the file holds it.
std::string FirstLinkTarget(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto book = ReadWorkbookBytes({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, "r.xlsx");
  return book->preserved() && !book->preserved()->external_links.empty() ? book->preserved()->external_links[0] : "";
}

}  // namespace

// A name's reference to another workbook keeps where that workbook is: written relative to the
// file's folder, read back as the path it means, so that files moved together still find each other.
TEST(SaveLinks, ExternalWorkbooksAreLinkedRelativeToTheFile) {
  Folder f;
  fs::create_directories(f.path / "data");
  fs::create_directories(f.path / "reports");
  std::string data = (f.path / "data" / "Sales.xlsx").string();
  auto book = BookWith(1);
  book->sheet(0).names().Define("__sm_ER_0", "'" + (f.path / "data").string() + "/[Sales.xlsx]Data'!$A$1:$B$9",
                                book->limits());
  std::string reports = (f.path / "reports" / "r.xlsx").string();
  SaveWorkbook(*book, reports);
  EXPECT_EQ(LinkTargetFor(data, (f.path / "reports").string()), "../data/Sales.xlsx");
  auto back = ReadWorkbook(reports);
  const DefinedName* n = back->sheet(0).names().Find("__sm_ER_0");
  ASSERT_NE(n, nullptr);
  EXPECT_EQ(n->references.at(0).workbook, data);
  EXPECT_EQ(FirstLinkTarget(reports), "../data/Sales.xlsx");
  // The folder moved as a whole: the link follows it.
  fs::rename(f.path / "reports", f.path / "moved");
  fs::create_directories(f.path / "elsewhere");
  fs::rename(f.path / "data", f.path / "elsewhere" / "data");
  fs::rename(f.path / "moved", f.path / "elsewhere" / "moved");
  back = ReadWorkbook((f.path / "elsewhere" / "moved" / "r.xlsx").string());
  EXPECT_EQ(back->sheet(0).names().Find("__sm_ER_0")->references.at(0).workbook,
            (f.path / "elsewhere" / "data" / "Sales.xlsx").string());
  // Saved again unchanged, the link is the one kept, not a second one.
  std::string again = (f.path / "elsewhere" / "moved" / "r2.xlsx").string();
  SaveWorkbook(*back, again);
  EXPECT_EQ(ReadWorkbook(again)->preserved()->external_links.size(), 1u);
}

TEST(SaveLinks, LinkTargetsOfOtherFormsAreReadAsTheyMean) {
  EXPECT_EQ(LinkPathFrom("Sales.xlsx", "/d/r"), "/d/r/Sales.xlsx");
  EXPECT_EQ(LinkPathFrom("../x/Sales.xlsx", "/d/r"), "/d/x/Sales.xlsx");
  EXPECT_EQ(LinkPathFrom("file:///d/My%20Data/Sales.xlsx", "/d/r"), "/d/My Data/Sales.xlsx");
  EXPECT_EQ(LinkPathFrom("C:\\data\\Sales.xlsx", "/d/r"), "C:\\data\\Sales.xlsx");
  EXPECT_EQ(LinkPathFrom("https://example.org/Sales.xlsx", "/d/r"), "https://example.org/Sales.xlsx");
  EXPECT_EQ(LinkPathFrom("2", "/d/r"), "2");
  EXPECT_EQ(LinkTargetFor("Sales.xlsx", "/d/r"), "Sales.xlsx");
  EXPECT_EQ(LinkTargetFor("/d/r/Sales.xlsx", "/d/r"), "Sales.xlsx");
}
