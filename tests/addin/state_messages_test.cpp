// State scopes, the ESC check, message formatting, shared strings, shared objects and the log.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "addin/host/channel.h"
#include "addin/host/exceptions.h"
#include "addin/host/messages.h"
#include "addin/host/shared.h"
#include "addin/host/xlstate.h"
#include "fake_host.h"

using namespace qs;

namespace {
class Scopes : public ::testing::Test {
protected:
    void SetUp() override { fake::host().Reset(); }
    std::vector<std::string> Messages() {
        std::vector<std::string> out;
        for (const auto& c : fake::host().CallsOf(XLC_MESSAGE)) out.push_back(c.Text());
        return out;
    }
};
}  // namespace

TEST_F(Scopes, StatusTextWithEscNoteAndRestoreOnEnd) {
    {
        XlStateScope outer(15, 0, true);
        {
            XlStateScope inner(300, 1, true);
            EXPECT_EQ(XlStateScope::Current(), &inner);
            EXPECT_EQ(Messages().back(), "122(TRUE, \"Updating report: calculating...  (ESC to cancel)\")");
            EXPECT_EQ(fake::host().CallsOf(XLF_CANCEL_KEY).back().args.at(0), "1");
        }
        EXPECT_EQ(Messages().back(), "122(TRUE, \"Loading Quelstat...\")");
        EXPECT_EQ(fake::host().CallsOf(XLF_CANCEL_KEY).back().args.at(0), "0");
    }
    EXPECT_EQ(XlStateScope::Current(), nullptr);
    EXPECT_EQ(Messages().size(), 3u) << "the last scope's end leaves the bar as it is: nothing to restore";
}

TEST_F(Scopes, ScreenUpdatingChangesOnlyWhenDifferent) {
    {
        XlStateScope on(0, 0, true);
        EXPECT_TRUE(fake::host().CallsOf(XLC_ECHO).empty()) << "already on";
        {
            XlStateScope off(false);
            EXPECT_EQ(off.MessageId(), 0u);
            ASSERT_EQ(fake::host().CallsOf(XLC_ECHO).size(), 1u);
            EXPECT_EQ(fake::host().CallsOf(XLC_ECHO)[0].args[0], "FALSE");
        }
        ASSERT_EQ(fake::host().CallsOf(XLC_ECHO).size(), 2u);
        EXPECT_EQ(fake::host().CallsOf(XLC_ECHO)[1].args[0], "TRUE");
    }
}

TEST_F(Scopes, FailuresWhileApplyingAreIgnored) {
    fake::host().answers[XLF_CANCEL_KEY] = [](int, int, XLOPER**, XLOPER*) { return XLRET_FAILED; };
    XlStateScope s(15, 0, true);
    EXPECT_EQ(XlStateScope::Current(), &s);
    EXPECT_EQ(Messages().size(), 1u) << "the status bar is still set";
}

TEST_F(Scopes, EscCheck) {
    fake::host().escPressed = true;
    {
        XlStateScope quiet(0, 0, true);
        EXPECT_NO_THROW(CheckEscape());
        EXPECT_TRUE(fake::host().CallsOf(xlAbort).empty()) << "ESC mode 0 never asks the host";
    }
    XlStateScope cancellable(300, 1, true);
    bool cancelled = false;
    try {
        CheckEscape();
    } catch (CancelKeyException* e) {
        cancelled = e == CancelKeyException::Instance();
        e->Delete();  // the static instance survives
    }
    EXPECT_TRUE(cancelled);
    auto aborts = fake::host().CallsOf(xlAbort);
    ASSERT_EQ(aborts.size(), 2u);
    EXPECT_EQ(aborts[1].args.at(0), "FALSE") << "the pending break is cleared";
    EXPECT_FALSE(fake::host().escPressed);
    EXPECT_NO_THROW(CheckEscape());
}

TEST(Messages, ArgumentsPercentAndCase) {
    EXPECT_EQ(FormatMessage(6004, "%s%d%d", "Confidence interval", 1, 99).str(),
              "Confidence interval must be a percentage between 1% and 99%");
    EXPECT_EQ(FormatMessage(8194, "%d%.1f", 3, 4.25).str(), "between 3 and 4.2");
    // Missing arguments are empty; a lone or non-digit percent stays.
    EXPECT_EQ(SubstituteArguments("a%2b%1c%xd%", "\xAConly"), "abonlyc%xd%");
    EXPECT_EQ(SubstituteArguments("%1%%",
                                  "\xAC"
                                  "5"),
              "5%");
    // Errors start with a capital; plain messages keep their text.
    EXPECT_EQ(FormatError(8193, "%d", 3).str(), "At most 3");
    EXPECT_EQ(FormatMessage(8193, "%d", 3).str(), "at most 3");
    EXPECT_TRUE(FormatMessage(99999).empty());
}

TEST(Messages, ArgumentTextsKeepTheirUtf8) {
    // "€" ends with the byte 0xAC; "¬" is C2 AC. Neither may split the argument list.
    EXPECT_EQ(FormatMessage(8194, "%s%s", "10 €", "¬x").str(), "between 10 € and ¬x");
}

TEST(Messages, LimitedTo1024Bytes) {
    std::string big(3000, 'a');
    std::string text = FormatMessage(6015, "%s", big.c_str()).str();
    EXPECT_EQ(text.size(), kMessageLimit);
    std::string accents;
    for (int i = 0; i < 700; ++i) accents += "é";
    text = FormatMessage(6015, "%s", accents.c_str()).str();
    EXPECT_LE(text.size(), kMessageLimit);
    EXPECT_EQ(text.size() % 2, 0u) << "no half character at the end";
}

TEST(Messages, RaiseAndShow) {
    fake::host().Reset();
    fake::CaptureMessages();
    try {
        ThrowMessage(6016, "%s%s", "hypothesised proportion", "between 0 and 1 exclusive");
    } catch (CStdException* e) {
        EXPECT_EQ(e->HelpId(), 6016u);
        EXPECT_EQ(e->Text().str(), "Hypothesised proportion must be between 0 and 1 exclusive.");
        EXPECT_TRUE(ShowException(e));
        e->Delete();
    }
    ASSERT_EQ(fake::host().messages.size(), 1u);
    EXPECT_EQ(fake::host().messages[0], "Hypothesised proportion must be between 0 and 1 exclusive.");
    // The box is shown with screen updating on and no status text.
    EXPECT_FALSE(fake::host().CallsOf(XLC_MESSAGE).empty());
    EXPECT_EQ(fake::host().CallsOf(XLC_MESSAGE)[0].args[0], "FALSE");
    SetMessageBoxFrontEnd(nullptr);
}

TEST(SharedString, CopiesShareUntilChanged) {
    CSharedString a("hello");
    CSharedString b = a;
    EXPECT_EQ(a.ShareCount(), 2u);
    EXPECT_EQ(a.c_str(), b.c_str());
    b.at(0) = 'j';
    EXPECT_EQ(a.str(), "hello");
    EXPECT_EQ(b.str(), "jello");
    EXPECT_EQ(a.ShareCount(), 1u);
    b += " world";
    EXPECT_EQ(b.str(), "jello world");
    CSharedString empty;
    EXPECT_EQ(empty.ShareCount(), 0u);
    EXPECT_STREQ(empty.c_str(), "");
    CSharedString huge(std::string(70000, 'z'));
    EXPECT_EQ(huge.length(), CSharedString::kMaxLength);
}

namespace {
struct Point : CShared {
    int x;
    explicit Point(int v) : x(v) {}
    bool IsEqual(const CShared& o) const override { return static_cast<const Point&>(o).x == x; }
};
struct Other : CShared {
    int x;
    explicit Other(int v) : x(v) {}
    bool IsEqual(const CShared& o) const override { return static_cast<const Other&>(o).x == x; }
};
}  // namespace

TEST(SharedObjects, InterningAndCounting) {
    size_t before = CShared::RegisteredCount();
    CRef<Point> p(new Point(3));
    EXPECT_EQ(CShared::RegisteredCount(), before + 1);
    Point* q = Intern(new Point(3));
    EXPECT_EQ(q, p.get()) << "an equal registered object is used";
    EXPECT_EQ(CShared::RegisteredCount(), before + 1) << "the new one was deleted";
    CRef<Other> o(Intern(new Other(3)));
    EXPECT_NE(static_cast<CShared*>(o.get()), static_cast<CShared*>(p.get())) << "other classes never match";
    CRef<Point> r(Intern(new Point(4)));
    EXPECT_NE(r.get(), p.get());
    EXPECT_EQ(p->RefCount(), 1u);
    p = CRef<Point>();
    EXPECT_EQ(CShared::RegisteredCount(), before + 2) << "released at count zero";
}

TEST(DiagnosticLog, EntriesAreScrambledAndAppended) {
    auto dir = std::filesystem::temp_directory_path() / ("qs-log-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    setenv("QUELSTAT_HOME", dir.c_str(), 1);
    LogEntry("XRSELECT: active sheet=%s, select=%s", "Sheet1", "A1");
    LogEntry("XSCHART: toolbar switch failed");
    std::ifstream in(dir / "Quelstat.log", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (char& c : bytes) c = static_cast<char>(c ^ 0x4D);
    EXPECT_EQ(bytes, "XRSELECT: active sheet=Sheet1, select=A1\r\nXSCHART: toolbar switch failed\r\n");
    setenv("QUELSTAT_HOME", (dir / "absent").c_str(), 1);
    LogEntry("lost");  // no folder: dropped without a failure
    unsetenv("QUELSTAT_HOME");
    std::filesystem::remove_all(dir);
}

namespace {
struct PaintRecorder : LocalChannelWindows {
    std::vector<std::pair<uint64_t, bool>> calls;
    bool SetNcPaintSwallowed(uint64_t w, bool swallow) override {
        calls.emplace_back(w, swallow);
        return true;
    }
};
}  // namespace

TEST_F(Scopes, VersionSevenMainWindowIgnoresPaintWhileScreenIsOff) {
    auto windows = std::make_shared<PaintRecorder>();
    SetChannelWindowService(windows);
    HostInfo().version = 7;
    HostInfo().mainWindow = 77;
    {
        XlStateScope off(0, 0, false);
        ASSERT_EQ(windows->calls.size(), 1u);
        EXPECT_EQ(windows->calls[0], std::make_pair(uint64_t{77}, true));
        { XlStateScope stillOff(false); }
        EXPECT_EQ(windows->calls.size(), 1u) << "no change of screen updating, no change of the window";
    }
    HostInfo() = XlHostInfo();
    SetChannelWindowService(nullptr);
}
