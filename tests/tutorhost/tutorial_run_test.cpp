// The tutorial as a learner meets it: a host running a script fed from a pipe ("quelstat script -"),
// the tutorial hook program sending it steps, the help pages' links, the learner's workbook.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "sheets/io/workbook_io.h"
#include "sheets/model/model.h"

namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs a program to its end and gives its standard output and error together.
std::string RunCommand(const std::string& command) {
    std::string out;
    FILE* p = ::popen((command + " 2>&1").c_str(), "r");
    char buf[512];
    while (p && std::fgets(buf, sizeof buf, p)) out += buf;
    if (p) ::pclose(p);
    return out;
}

// A host running "quelstat script -" in the background; lines are written to its input as a
// person would type them, its output goes to files.
class Host {
public:
    // hostOptions go before the command, as `quelstat --screen 640x480 script -`.
    explicit Host(const fs::path& folder, std::vector<std::string> hostOptions = {}) : folder_(folder) {
        hostOptions.insert(hostOptions.begin(), QUELSTAT_EXE);
        hostOptions.push_back("script");
        hostOptions.push_back("-");
        std::vector<char*> argv;
        for (std::string& a : hostOptions) argv.push_back(a.data());
        argv.push_back(nullptr);
        // Emptied before the host starts, so that an earlier host's "ready" is not taken for its own.
        std::ofstream(folder / "host.out", std::ios::trunc);
        int in[2];
        EXPECT_EQ(::pipe(in), 0);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(in[0], 0);
            ::close(in[1]);
            int o = ::open((folder / "host.out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            int e = ::open((folder / "host.err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(o, 1);
            ::dup2(e, 2);
            ::execv(QUELSTAT_EXE, argv.data());
            ::_exit(127);
        }
        ::close(in[0]);
        input_ = in[1];
        // Up once the add-in's channel window is published and the host answers a line.
        Type("echo ready");
        for (int i = 0; i < 400 && Out().find("ready") == std::string::npos; ++i) ::usleep(50000);
    }
    ~Host() { End(); }
    void Type(const std::string& line) {
        std::string l = line + "\n";
        EXPECT_EQ(::write(input_, l.data(), l.size()), static_cast<ssize_t>(l.size()));
    }
    // Types the lines and waits until the host has done them.
    void Do(const std::vector<std::string>& lines) {
        for (const std::string& l : lines) Type(l);
        std::string mark = "done " + std::to_string(++marks_);
        Type("echo " + mark);
        for (int i = 0; i < 1200 && Out().find(mark) == std::string::npos; ++i) ::usleep(50000);
    }
    void End() {
        if (pid_ <= 0) return;
        ::close(input_);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = 0;
    }
    std::string Out() const { return Slurp(folder_ / "host.out"); }
    std::string Err() const { return Slurp(folder_ / "host.err"); }

private:
    fs::path folder_;
    pid_t pid_ = 0;
    int input_ = -1;
    int marks_ = 0;
};

class TutorialRun : public ::testing::Test {
protected:
    fs::path home;
    void SetUp() override {
        char tmpl[] = "/tmp/qstutorial.XXXXXX";
        home = ::mkdtemp(tmpl);
        ::setenv("QUELSTAT_HOME", home.c_str(), 1);
        ::setenv("QUELSTAT_NO_DESKTOP", "1", 1);
        ::setenv("QUELSTAT_HIGHLIGHT_MS", "20", 1);
        ::unsetenv("QUELSTAT_OPENER");
    }
    void TearDown() override {
        fs::remove_all(home);
        ::unsetenv("QUELSTAT_HOME");
        ::unsetenv("QUELSTAT_HIGHLIGHT_MS");
        ::unsetenv("QUELSTAT_OPENER");
    }
    std::string Tutorhost(const std::string& args) { return RunCommand(std::string(TUTORHOST_EXE) + " " + args); }
    // The active workbook of the host, saved and read back.
    std::unique_ptr<sheets::Workbook> Saved(Host& host, const std::string& name) {
        fs::path file = home / name;
        host.Do({"save " + file.string()});
        return sheets::ReadWorkbook(file.string());
    }
};

std::unique_ptr<sheets::Workbook> Master() {
    return sheets::ReadWorkbook(std::string(QUELSTAT_SYSTEM) + "/tutorial.xlsx");
}

// The cells of a range as text, row by row.
std::string Cells(const sheets::Sheet& s, int firstRow, int lastRow, int firstCol, int lastCol) {
    std::ostringstream out;
    for (int r = firstRow; r <= lastRow; ++r) {
        for (int c = firstCol; c <= lastCol; ++c) {
            sheets::Value v = s.Get(static_cast<uint32_t>(r), static_cast<uint32_t>(c)).ToValue();
            out << (v.type == sheets::ValueType::Number ? std::to_string(v.number) : v.text) << "|";
        }
        out << "\n";
    }
    return out.str();
}

TEST_F(TutorialRun, StepsReplayOnceAndAnotherTutorialStartsAfresh) {
    Host host(home);
    EXPECT_EQ(Tutorhost("step 100"), "0\n");
    EXPECT_EQ(Tutorhost("step 1030"), "0\n");
    auto learner = Saved(host, "learner.xlsx");
    const sheets::Sheet* t1 = learner->FindSheet("T1 dataset");
    ASSERT_NE(t1, nullptr);
    auto master = Master();
    const sheets::Sheet* bodyfat = master->FindSheet("Bodyfat dataset");
    ASSERT_NE(bodyfat, nullptr);
    // Title, both header rows and the 30 cases, exactly as the master holds them; nothing more.
    EXPECT_EQ(Cells(*t1, 0, 33, 0, 3), Cells(*bodyfat, 0, 33, 0, 3));
    EXPECT_EQ(Cells(*t1, 34, 35, 0, 4), "|||||\n|||||\n");
    EXPECT_EQ(t1->view().zoom, 80u);
    // The last fill (step 1030) leaves its range selected.
    ASSERT_EQ(t1->view().selection.size(), 1u);
    EXPECT_EQ(t1->view().selection[0], (sheets::RangeAddress{{4, 0}, {33, 3}}));

    // The learner changes a value; 1030 again replays nothing, so the change stays.
    host.Do({"select A5", "enter changed"});
    EXPECT_EQ(Tutorhost("step 1030"), "0\n");
    EXPECT_EQ(Saved(host, "again.xlsx")->FindSheet("T1 dataset")->Get(4, 0).ToValue().text, "changed");

    // A step of tutorial 2 makes a new learner's workbook and performs only that step.
    EXPECT_EQ(Tutorhost("step 2017"), "0\n");
    auto second = Saved(host, "second.xlsx");
    const sheets::Sheet* t2 = second->FindSheet("T2-1 dataset");
    ASSERT_NE(t2, nullptr);
    EXPECT_EQ(second->FindSheet("T1 dataset"), nullptr);
    EXPECT_EQ(Cells(*t2, 0, 3, 0, 2), "Wheat yield trial 1|||\n|||\n|||\n|||\n");
    host.End();
    EXPECT_NE(host.Out().find("topic 30001: " + std::string(QUELSTAT_SYSTEM) + "/tutorial/30001.html"),
              std::string::npos)
        << host.Out();
    EXPECT_EQ(host.Err().find("Quelstat:"), std::string::npos) << host.Err();
}

TEST_F(TutorialRun, ExamplesDemonstrationAndCopiedSheets) {
    Host host(home);
    // A demonstration fills as the step does (the highlights are the add-in test's business).
    EXPECT_EQ(Tutorhost("demo 1010"), "0\n");
    EXPECT_EQ(Tutorhost("step 1100"), "0\n");
    auto learner = Saved(host, "learner.xlsx");
    EXPECT_EQ(learner->FindSheet("T1 dataset")->Get(0, 0).ToValue().text, "Body fat by two methods");
    const sheets::Sheet* copy = learner->FindSheet("T1 dataset 1");
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(Cells(*copy, 0, 33, 0, 3), Cells(*Master()->FindSheet("Bodyfat dataset"), 0, 33, 0, 3));

    EXPECT_EQ(Tutorhost("step 30046"), "0\n");
    EXPECT_EQ(Tutorhost("step 30047"), "0\n");  // not an example: nothing opens
    auto example = Saved(host, "example.xlsx");
    auto runs = sheets::ReadWorkbook(std::string(QUELSTAT_SYSTEM) + "/examples/runs.xlsx");
    EXPECT_EQ(Cells(example->sheet(0), 0, 10, 0, 1), Cells(runs->sheet(0), 0, 10, 0, 1));
    host.End();
    EXPECT_EQ(host.Err().find("Quelstat:"), std::string::npos) << host.Err();
}

TEST_F(TutorialRun, WelcomeAndTopicsGoToTheOpener) {
    // A recording opener stands for the desktop's browser: the welcome topic opens once at start.
    fs::path log = home / "opened.txt";
    fs::path opener = home / "opener.sh";
    std::ofstream(opener) << "#!/bin/sh\necho \"$1\" >> " << log.string() << "\n";
    fs::permissions(opener, fs::perms::owner_all);
    ::setenv("QUELSTAT_OPENER", opener.c_str(), 1);
    ::unsetenv("QUELSTAT_NO_DESKTOP");
    {
        Host host(home);
        EXPECT_EQ(Tutorhost("step 300"), "0\n");
    }
    {
        Host again(home);  // the welcome came once; the Help menu's Tutorials... shows their list
        again.Do({"command 20120"});
    }
    std::string system = QUELSTAT_SYSTEM;
    EXPECT_EQ(Slurp(log), system + "/tutorial/30004.html\n" + system + "/tutorial/30003.html\n" + system +
                              "/tutorial/30005.html\n");
    // The welcome page's choice is kept in the setting the add-in reads.
    EXPECT_EQ(Tutorhost("quelstat-tutorial:welcome/show"), "show the welcome topic again: yes\n");
    EXPECT_NE(Slurp(home / "user.reg").find("ShowWelcome"), std::string::npos);
}

TEST_F(TutorialRun, TheWelcomeIsPlacedOnTheRunningHostsScreen) {
    // Without a host the default desktop (1280 x 1024) is used; with one, its --screen setting;
    // --screen given to tutorhost wins.
    EXPECT_NE(Tutorhost("welcome").find("left 350 top 334 "), std::string::npos);
    {
        Host host(home, {"--screen", "640x480"});
        EXPECT_NE(Tutorhost("welcome").find("left 30 top 69 width 580 height 355"), std::string::npos);
        EXPECT_NE(Tutorhost("welcome --screen 1024x768").find("top 206 "), std::string::npos);
    }
    {
        Host host(home, {"--screen", "800x600"});
        EXPECT_NE(Tutorhost("welcome").find("left 110 top 140 "), std::string::npos);
    }
}

// The links of a help page that run steps of a tutorial, in page order.
std::vector<std::string> StepLinks(const std::string& page, int tutorial) {
    std::vector<std::string> links;
    std::regex link("href=\"(quelstat-tutorial:step/([0-9]+))\"");
    for (std::sregex_iterator it(page.begin(), page.end(), link), end; it != end; ++it)
        if (std::stoi((*it)[2]) / 1000 == tutorial) links.push_back((*it)[1]);
    return links;
}

TEST_F(TutorialRun, ALearnerFollowsTutorialOneToTheTestItTeaches) {
    std::string page = Slurp(std::string(QUELSTAT_SYSTEM) + "/tutorial/30001.html");
    std::vector<std::string> links = StepLinks(page, 1);
    ASSERT_GE(links.size(), 3u);
    EXPECT_EQ(links[0], "quelstat-tutorial:step/1010");

    Host host(home);
    // The tutorials page opens tutorial 1; the page's buttons do the rest, as a browser runs them.
    EXPECT_EQ(Tutorhost("quelstat-tutorial:step/100"), "0\n");
    for (const std::string& l : links) EXPECT_EQ(Tutorhost(l), "0\n") << l;
    auto learner = Saved(host, "learner.xlsx");
    host.Do({"activate T1 dataset", "select C5", "command 1027", "save " + (home / "reports.xlsx").string()});
    host.End();
    EXPECT_EQ(host.Err().find("quelstat: line"), std::string::npos) << host.Err();

    // The paired t statistic of the data the learner's workbook holds, computed here.
    const sheets::Sheet* t1 = learner->FindSheet("T1 dataset");
    ASSERT_NE(t1, nullptr);
    double sum = 0, sum2 = 0;
    const int n = 30;
    for (uint32_t r = 4; r < 4 + n; ++r) {
        double d = t1->Get(r, 2).ToValue().number - t1->Get(r, 3).ToValue().number;
        sum += d;
        sum2 += d * d;
    }
    double mean = sum / n, sd = std::sqrt((sum2 - n * mean * mean) / (n - 1));
    double t = mean / (sd / std::sqrt(n));

    auto reports = sheets::ReadWorkbook((home / "reports.xlsx").string());
    const sheets::Sheet* report = reports->FindSheet("t-test 1");
    ASSERT_NE(report, nullptr);
    bool found = false;
    report->ForEachCell([&](uint32_t row, uint32_t col, const sheets::CellView& v) {
        if (v.ToValue().text != "t") return;
        for (uint32_t c = col + 1; c < col + 5 && !found; ++c)
            if (report->Get(row, c).ToValue().type == sheets::ValueType::Number) {
                found = true;
                EXPECT_NEAR(report->Get(row, c).ToValue().number, t, 1e-9);
            }
    });
    EXPECT_TRUE(found) << "no t in the report";
    EXPECT_NE(Cells(*report, 0, 5, 0, 1).find("Body fat by two methods"), std::string::npos);
}

}  // namespace
