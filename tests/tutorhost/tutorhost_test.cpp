// The tutorial hook: steps sent to the channel window, the message without a host, the welcome
// window's placement and the "ShowWelcome" setting.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/msgbox.h"
#include "platform/settings.h"
#include "tests/platform/temp_home.h"
#include "tutorhost/tutorhost.h"

namespace {

using tutorhost::Rect;

using Home = TempHome;  // a fresh settings folder

struct Boxes {
    std::vector<std::string> shown;
    platform::MessageBoxHandler previous;
    Boxes() {
        previous = platform::SetMessageBoxHandler(
            [this](const std::string& caption, const std::string& text, unsigned, unsigned) {
                shown.push_back(caption + ": " + text);
                return 1;  // OK
            });
    }
    ~Boxes() { platform::SetMessageBoxHandler(previous); }
};

TEST(TutorialHook, StepsGoToTheChannelWindowAndWithoutItOnlyAMessage) {
    Home home;
    Boxes boxes;
    EXPECT_EQ(tutorialStep(0), 0);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(tutorialStep(3), 1);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0], "Quelstat Tutorial: Please start Excel and Quelstat before using this tutorial.");

    std::vector<std::pair<std::uintptr_t, std::intptr_t>> got;
    platform::WindowHandle channel = platform::CreateWindow(
        "", "QuelstatChannel", 0, [&](platform::WindowHandle, std::uint32_t msg, std::uintptr_t wp, std::intptr_t lp) {
            if (msg == platform::WM_TCARD) got.push_back({wp, lp});
            return std::intptr_t(7);
        });
    EXPECT_EQ(tutorialStep(1030), 7);
    EXPECT_EQ(demoStep(5), 7);
    EXPECT_EQ(tutorialStep(0), 7);
    platform::DestroyWindow(channel);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0], (std::pair<std::uintptr_t, std::intptr_t>{1030, 0}));
    EXPECT_EQ(got[1].first, 10005u);
    EXPECT_EQ(got[2].first, 0u);
    EXPECT_EQ(boxes.shown.size(), 1u);
}

TEST(TutorialHook, WelcomeWindowPlacement) {
    EXPECT_EQ(tutorhost::PlaceWelcome(640, 480, true, {}), (Rect{30, 69, 580, 355}));
    EXPECT_EQ(tutorhost::PlaceWelcome(800, 600, true, {}).top, 140);
    EXPECT_EQ(tutorhost::PlaceWelcome(800, 601, true, {}).top, 123);
    EXPECT_EQ(tutorhost::PlaceWelcome(1024, 768, true, {}), (Rect{222, 206, 580, 355}));
    // Later placements keep the position and only size the window.
    EXPECT_EQ(tutorhost::PlaceWelcome(1024, 768, false, {5, 6, 100, 100}), (Rect{5, 6, 580, 355}));

    tutorhost::SetDesktopSize(640, 480);
    onWelcomeWindowCreate(0);
    onWelcomeWindow(0);
    EXPECT_EQ(tutorhost::LastWelcomePlacement(), (Rect{30, 69, 580, 355}));
    tutorhost::SetDesktopSize(1024, 768);
    onWelcomeWindow(0);  // not first: stays
    EXPECT_EQ(tutorhost::LastWelcomePlacement(), (Rect{30, 69, 580, 355}));
}

TEST(TutorialHook, ShowWelcomeRoundTrip) {
    Home home;
    platform::SettingsKey key(platform::Hive::CurrentUser, tutorhost::kSettingsKey);
    // Missing: the box starts unchecked, and closing it unchecked writes 1.
    wndprocShow(0, tutorhost::kWmCreate, 0, 0);
    EXPECT_FALSE(tutorhost::ShowToggleChecked());
    wndprocShow(0, tutorhost::kWmDestroy, 0, 0);
    EXPECT_EQ(key.ReadDword("", "ShowWelcome", 99), 1u);
    // Checked and closed: 0, and the next box starts checked.
    wndprocShow(0, tutorhost::kWmCreate, 0, 0);
    hctrlShowToggle();
    wndprocShow(0, tutorhost::kWmDestroy, 0, 0);
    EXPECT_EQ(key.ReadDword("", "ShowWelcome", 99), 0u);
    wndprocShow(0, tutorhost::kWmCreate, 0, 0);
    EXPECT_TRUE(tutorhost::ShowToggleChecked());
    int size[2] = {0, 0};
    EXPECT_EQ(wndprocShow(0, tutorhost::kWmHelpSizeQuery, 0, reinterpret_cast<std::intptr_t>(size)), 1);
    EXPECT_EQ(size[0], 13);
    EXPECT_EQ(size[1], 13);
    wndprocShow(0, tutorhost::kWmDestroy, 0, 0);
    hctrlShowToggle();  // no box: nothing to toggle
    EXPECT_EQ(key.ReadDword("", "ShowWelcome", 99), 0u);
}

std::string RunProgram(const std::string& args) {
    std::string out;
    FILE* p = ::popen((std::string(TUTORHOST_EXE) + " " + args + " 2>&1").c_str(), "r");
    char buf[256];
    while (p && std::fgets(buf, sizeof buf, p)) out += buf;
    if (p) ::pclose(p);
    return out;
}

TEST(TutorialHook, ProgramWithoutAHost) {
    Home home;
    EXPECT_NE(RunProgram("step 3").find("Please start Excel and Quelstat before using this tutorial."),
              std::string::npos);
    EXPECT_EQ(RunProgram("step 0"), "0\n");
    EXPECT_NE(RunProgram("welcome --screen 800x600").find("left 110 top 140 width 580 height 355"), std::string::npos);
    EXPECT_NE(RunProgram("step x").find("usage"), std::string::npos);
}

}  // namespace
