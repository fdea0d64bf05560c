#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>

#include "setup/cab/cab_handler.h"
#include "setup/cab/cabinet.h"
#include "setup/cab/member_file.h"
#include "setup/cab/resources.h"
#include "setup/core/exceptions.h"
#include "setup/core/extract_folder.h"
#include "tests/setup/test_util.h"

namespace fs = std::filesystem;
using namespace quelstat;
using namespace quelstat::cab;
using quelstat::testing::TempFolder;

namespace {

const fs::path kData = QUELSTAT_SETUP_TESTDATA;

// Every file below `root`, as paths relative to it.
std::vector<std::string> treeOf(const fs::path& root) {
    std::vector<std::string> out;
    for (auto& e : fs::recursive_directory_iterator(root)) out.push_back(fs::relative(e.path(), root).string());
    std::sort(out.begin(), out.end());
    return out;
}

struct HostileCase {
    std::string file;
    int message;
};

std::vector<HostileCase> hostileCases() {
    std::ifstream in(kData / "hostile" / "expected.txt");
    std::vector<HostileCase> cases;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        HostileCase c;
        fields >> c.file >> c.message;
        cases.push_back(c);
    }
    return cases;
}

}  // namespace

// Each hostile cabinet ends with its exact message, and whatever was written before the
// problem showed lies inside the extraction folder.
TEST(HostileCabinets, RefusedWithExactMessageAndNothingOutsideFolder) {
    auto cases = hostileCases();
    ASSERT_GE(cases.size(), 40u);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        TempFolder top;
        fs::path out = top.path() / "out";
        int id = 0;
        std::string text;
        try {
            setup::extractCabinetToFolder((kData / "hostile" / c.file).string(), out.string());
        } catch (const setup::ExceptionX& e) {
            id = e.id();
            text = e.what();
        }
        EXPECT_EQ(id, c.message);
        EXPECT_EQ(text, setup::formatString(c.message, {(kData / "hostile" / c.file).string()}));
        for (const auto& entry : treeOf(top.path()))
            EXPECT_TRUE(entry == "out" || entry.rfind("out/", 0) == 0) << entry;
        EXPECT_FALSE(fs::exists("/tmp/quelstat-evil.txt"));
    }
}

// Failures of the file system on the way out end with their own messages, naming the cause.
TEST(ExtractionFailures, FolderOpenAndWriteErrorsGiveTheirMessages) {
    const std::string cabinet = (kData / "good" / "reserve-multifolder-unordered.cab").string();
    auto messageOf = [&](const fs::path& out) {
        try {
            setup::extractCabinetToFolder(cabinet, out.string());
        } catch (const setup::ExceptionX& e) {
            return std::make_pair(e.id(), std::string(e.what()));
        }
        return std::make_pair(0, std::string());
    };
    {
        TempFolder top;  // "docs" is a file, so folder "docs" cannot be made
        std::ofstream(top.path() / "docs") << "x";
        auto [id, text] = messageOf(top.path());
        EXPECT_EQ(id, 2004);
        EXPECT_EQ(text, "Unable to create directory '" + (top.path() / "docs").string() + "'.");
    }
    {
        TempFolder top;  // a folder where the member's file should be
        fs::create_directories(top.path() / "docs" / "a.txt");
        auto [id, text] = messageOf(top.path());
        EXPECT_EQ(id, 2005);
        EXPECT_EQ(text, "Unable to open file '" + (top.path() / "docs" / "a.txt").string() + "'. Is a directory.");
    }
    {
        // A full disk: the file size limit stops the first write the way a full disk does.
        TempFolder top;
        struct rlimit saved;
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        auto previous = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit tiny = saved;
        tiny.rlim_cur = 1;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tiny), 0);
        auto [id, text] = messageOf(top.path());
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);
        EXPECT_EQ(id, 2006);
        EXPECT_EQ(text,
                  "An error occured writing a file to disk.  Please check you have enough disk-space "
                  "available. File too large");
    }
}

// Entries already in the folder are never written through: a link to a file or a folder
// outside, a link to nothing yet, a second name of an outside file and a pipe each end the
// extraction with its message, and nothing outside the folder changes.
TEST(ExtractionFailures, LinksInTheFolderAreNotFollowed) {
    const std::string cabinet = (kData / "good" / "reserve-multifolder-unordered.cab").string();
    struct Planted {
        const char* what;
        void (*plant)(const fs::path& out, const fs::path& outside);
        int id;
        std::string text;  // after the folder's path
    };
    const Planted cases[] = {
        {"link to a file",
         [](const fs::path& out, const fs::path& outside) {
             fs::create_symlink(outside / "victim.txt", out / "b.txt");
         },
         2005, "Unable to open file '%/b.txt'. Is a symbolic link, which is not followed."},
        {"link to nothing yet",
         [](const fs::path& out, const fs::path& outside) { fs::create_symlink(outside / "new.txt", out / "b.txt"); },
         2005, "Unable to open file '%/b.txt'. Is a symbolic link, which is not followed."},
        {"link to a folder",
         [](const fs::path& out, const fs::path& outside) { fs::create_directory_symlink(outside, out / "docs"); },
         2004, "Unable to create directory '%/docs'."},
        {"hard link",
         [](const fs::path& out, const fs::path& outside) {
             fs::create_hard_link(outside / "victim.txt", out / "b.txt");
         },
         2005, "Unable to open file '%/b.txt'. Has further hard links, which would change with it."},
        {"pipe", [](const fs::path& out, const fs::path&) { ASSERT_EQ(::mkfifo((out / "b.txt").c_str(), 0666), 0); },
         2005, "Unable to open file '%/b.txt'. Invalid argument."},
    };
    for (const Planted& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder top;
        fs::path out = top.path() / "out", outside = top.path() / "outside";
        fs::create_directories(out);
        fs::create_directories(outside);
        std::ofstream(outside / "victim.txt") << "precious";
        c.plant(out, outside);
        int id = 0;
        std::string text;
        try {
            setup::extractCabinetToFolder(cabinet, out.string());
        } catch (const setup::ExceptionX& e) {
            id = e.id();
            text = e.what();
        }
        EXPECT_EQ(id, c.id);
        std::string expected = c.text;
        expected.replace(expected.find('%'), 1, out.string());
        EXPECT_EQ(text, expected);
        EXPECT_EQ(treeOf(outside), std::vector<std::string>{"victim.txt"});
        std::ifstream victim(outside / "victim.txt");
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(victim), {}), "precious");
    }
    // The command says the same and fails.
    TempFolder top;
    fs::create_directories(top.path() / "out");
    fs::create_directory_symlink(top.path(), top.path() / "out" / "docs");
    std::string said;
    EXPECT_EQ(quelstat::testing::run(
                  std::string(QSCAB_PATH) + " x " + cabinet + " " + (top.path() / "out").string() + " 2>&1", &said),
              1);
    EXPECT_EQ(said, "qscab: Unable to create directory '" + (top.path() / "out" / "docs").string() + "'.\n");
    EXPECT_FALSE(fs::exists(top.path() / "a.txt"));
}

TEST(HostileCabinets, MissingCabinetGivesNotFoundMessage) {
    TempFolder top;
    try {
        setup::extractCabinetToFolder((top.path() / "absent.cab").string(), (top.path() / "out").string());
        FAIL() << "no exception";
    } catch (const setup::ExceptionX& e) {
        EXPECT_EQ(e.id(), 2001);
        EXPECT_EQ(std::string(e.what()), "Unable to find cabinet file '" + (top.path() / "absent.cab").string() + "'.");
    }
}

// The decoder never depends on reading a whole cabinet at once: every prefix of a good one
// fails cleanly (no crash, no success) through the same interface.
TEST(HostileCabinets, EveryTruncationOfAGoodCabinetIsRefused) {
    auto bytes = quelstat::testing::readAll(kData / "good" / "reserve-multifolder-unordered.cab");
    ASSERT_GT(bytes.size(), 1000u);
    for (std::size_t n = 0; n < bytes.size(); n += (n < 400 ? 1 : 97)) {
        CabinetMemoryHandler source(bytes.data(), n);
        struct Sink : CabinetNotify {
            std::unique_ptr<CabinetHandler> copyFile(const CabinetFile&) override {
                return std::make_unique<CabinetSinkHandler>(false);
            }
            bool closeFileInfo(const CabinetFile&, std::unique_ptr<CabinetHandler>) override { return true; }
        } sink;
        CabinetError e = copyCabinet(source, sink);
        EXPECT_NE(e, CabinetError::None) << n;
    }
}

TEST(GoodCabinets, ReservedAreasSeveralFoldersAndMembersOutOfOrder) {
    TempFolder top;
    setup::extractCabinetToFolder((kData / "good" / "reserve-multifolder-unordered.cab").string(), top.str());
    std::ifstream in(kData / "good" / "expected.txt");
    std::string line;
    int checked = 0;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string cab, hexName, hash;
        std::uint64_t size;
        fields >> cab >> hexName >> size >> hash;
        std::string name;
        for (std::size_t i = 0; i + 1 < hexName.size(); i += 2)
            name.push_back(static_cast<char>(std::stoi(hexName.substr(i, 2), nullptr, 16)));
        SCOPED_TRACE(name);
        auto data = quelstat::testing::readAll(top.path() / name);
        EXPECT_EQ(data.size(), size);
        EXPECT_EQ(quelstat::testing::fnv1a(data), std::stoull(hash, nullptr, 16));
        ++checked;
    }
    EXPECT_EQ(checked, 7);
}

TEST(GoodCabinets, DirectoryListsMembersWithFoldersAndAttributes) {
    auto source = openCabinet((kData / "good" / "reserve-multifolder-unordered.cab").string());
    ASSERT_TRUE(source);
    CabinetDirectory dir;
    ASSERT_EQ(readCabinetDirectory(*source, dir), CabinetError::None);
    ASSERT_EQ(dir.folders.size(), 3u);
    ASSERT_EQ(dir.files.size(), 7u);
    EXPECT_EQ(dir.files[0].name, "docs\\a.txt");
    EXPECT_EQ(dir.files[1].folder, 1);
    EXPECT_EQ(dir.files[1].attributes & 0x21, 0x21);
    EXPECT_EQ(dir.files[5].name, "caf\xc3\xa9-\xc2\xb5mol.txt");
    EXPECT_EQ(dir.files[6].name, "latin1-\xc3\xa9.txt");  // stored as Latin-1, read as UTF-8
    EXPECT_EQ(dir.setId, 0x1234);
}

TEST(MemberNames, SafePathsStayInsideTheFolder) {
    std::string rel;
    EXPECT_TRUE(safeMemberPath("a\\b\\c.txt", rel));
    EXPECT_EQ(rel, "a/b/c.txt");
    EXPECT_TRUE(safeMemberPath("..hidden..txt", rel));  // dots inside a name are harmless
    for (const char* bad :
         {"", "..", "../x", "a/../../x", "a\\..", "/etc/passwd", "\\x", "C:\\x", "c:x", "a//b", "a/./b", "a/"})
        EXPECT_FALSE(safeMemberPath(bad, rel)) << bad;
}

TEST(MemberNames, StrictUtf8) {
    std::string name;
    EXPECT_TRUE(decodeMemberName("\xc2\xb5mol", true, name));
    EXPECT_FALSE(decodeMemberName("\xc0\xaf", true, name));          // overlong '/'
    EXPECT_FALSE(decodeMemberName("\xe0\x80\xaf", true, name));      // overlong '/', three bytes
    EXPECT_FALSE(decodeMemberName("\xed\xa0\x80", true, name));      // surrogate
    EXPECT_FALSE(decodeMemberName("\xf4\x90\x80\x80", true, name));  // above U+10FFFF
    EXPECT_FALSE(decodeMemberName("abc\xc2", true, name));           // cut short
    EXPECT_FALSE(decodeMemberName("a\tb", false, name));
    EXPECT_TRUE(decodeMemberName("\xb5", false, name));
    EXPECT_EQ(name, "\xc2\xb5");
}

TEST(CabinetHandlers, MemoryReadsStopAtTheEndAndRejectNegativeSeeks) {
    const char bytes[] = "0123456789";
    CabinetMemoryHandler h(bytes, 10);
    char buf[8];
    EXPECT_EQ(h.seek(7, 0), 7);
    EXPECT_EQ(h.read(buf, sizeof buf), 3);
    EXPECT_EQ(std::string(buf, 3), "789");
    EXPECT_EQ(h.read(buf, sizeof buf), 0);
    errno = 0;
    EXPECT_EQ(h.seek(-11, 2), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(h.seek(-4, 1), 6);
    EXPECT_EQ(h.seek(-1, 2), 9);
    EXPECT_EQ(h.write("x", 1), -1);
}

TEST(CabinetHandlers, NameWithSeparatorIsAFileOtherwiseAResource) {
    static const char fake[] = "resource bytes";
    addResource("CAB", "test.cab", fake, sizeof fake - 1);
    TempFolder top;
    { std::ofstream(top.path() / "test.cab") << "file bytes"; }
    char buf[32] = {};
    auto fromResource = openCabinet("TEST.CAB");
    ASSERT_TRUE(fromResource);
    EXPECT_EQ(fromResource->read(buf, sizeof buf), 14);
    EXPECT_EQ(std::string(buf, 14), "resource bytes");

    auto fromFile = openCabinet((top.path() / "test.cab").string());
    ASSERT_TRUE(fromFile);
    EXPECT_EQ(fromFile->read(buf, sizeof buf), 10);
    EXPECT_EQ(std::string(buf, 10), "file bytes");

    EXPECT_FALSE(openCabinet("other.cab"));
    EXPECT_FALSE(openCabinet((top.path() / "other.cab").string()));
}

TEST(MemberFiles, DosTimeIsLocalTime) {
    const char* old = std::getenv("TZ");
    std::string saved = old ? old : "";
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    std::uint16_t date = (2001 - 1980) << 9 | 6 << 5 | 15;
    std::uint16_t time = 12 << 11 | 30 << 5 | 10;
    EXPECT_EQ(dosToUnixTime(date, time), 992608220);
    ::setenv("TZ", "CET-1", 1);
    ::tzset();
    EXPECT_EQ(dosToUnixTime(date, time), 992608220 - 3600);
    if (old)
        ::setenv("TZ", saved.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

TEST(MemberFiles, ReadOnlyIsKeptAndNoAttributesMeansNormal) {
    TempFolder top;
    OpenFolder folder = openFolderBelow(top.str(), "", false);
    ASSERT_TRUE(folder);
    auto path = (top.path() / "f").string();
    auto first = openMemberOutput(folder, "f");
    ASSERT_TRUE(first);
    ASSERT_TRUE(applyMemberTimeAndAttributes(first->descriptor(), 0x2ACF, 0x6000, 0));
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IWUSR);
    ASSERT_TRUE(applyMemberTimeAndAttributes(first->descriptor(), 0x2ACF, 0x6000, kAttrReadOnly | kAttrArchive));
    first->close();
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0222, 0u);
    EXPECT_EQ(st.st_mtime, dosToUnixTime(0x2ACF, 0x6000));
    // A second extraction over the read-only file still succeeds.
    auto out = openMemberOutput(folder, "f");
    ASSERT_TRUE(out);
    EXPECT_EQ(out->write("yz", 2), 2);
}

// The fuzz target's regressions are replayed: the seed cabinets made with gcab (MSZIP and stored)
// extract cleanly, and their truncated and damaged copies, like every input that once crashed
// the fuzz target (setup/fuzz/run-fuzz.sh adds those), end with an error or a clean extraction
// into memory and never bring the reader down.
TEST(HostileCabinets, FuzzRegressionsReplay) {
    fs::path folder = kData / "fuzz-regressions";
    ASSERT_TRUE(fs::is_directory(folder)) << folder;
    int replayed = 0, seeds = 0;
    for (auto& e : fs::directory_iterator(folder)) {
        if (e.path().extension() != ".cab") continue;
        SCOPED_TRACE(e.path().filename().string());
        auto bytes = quelstat::testing::readAll(e.path());
        CabinetMemoryHandler source(bytes.data(), bytes.size());
        struct Sink : CabinetNotify {
            int files = 0;
            std::unique_ptr<CabinetHandler> copyFile(const CabinetFile&) override {
                ++files;
                return std::make_unique<CabinetSinkHandler>(false);
            }
            bool closeFileInfo(const CabinetFile&, std::unique_ptr<CabinetHandler>) override { return true; }
        } sink;
        CabinetError error = copyCabinet(source, sink);
        ++replayed;
        std::string name = e.path().stem().string();
        if (name == "seed-mszip" || name == "seed-stored") {
            ++seeds;
            EXPECT_EQ(error, CabinetError::None);
            EXPECT_GE(sink.files, 2);
        }
    }
    EXPECT_EQ(seeds, 2);
    EXPECT_GE(replayed, 10);
}
