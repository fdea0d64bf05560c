// The add-in's settings and windows on the platform layer, in a private settings folder: what the
// add-in writes is what the platform's own readers (the host, the installer) see.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "addin/host/channel.h"
#include "addin/host/messages.h"
#include "addin/host/platform_bridge.h"
#include "addin/host/settings.h"
#include "addin/host/startup_list.h"
#include "platform/settings.h"

using namespace qs;

namespace {
class PlatformBridge : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() / ("qs-bridge-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
        setenv("QUELSTAT_HOME", dir.c_str(), 1);
        UsePlatformServices();
    }
    void TearDown() override {
        SetSettingsBackend(nullptr);
        SetChannelWindowService(nullptr);
        SetMessageBoxFrontEnd(nullptr);
        unsetenv("QUELSTAT_HOME");
        std::filesystem::remove_all(dir);
    }
    std::filesystem::path dir;
};
}  // namespace

TEST_F(PlatformBridge, ValuesKeepTheirTypesAcrossTheStore) {
    SettingsKey user(SettingsRoot::CurrentUser, kQuelstatKey);
    user.WriteNumber("", "ShowWelcome", 0);
    uint8_t block[16] = {1, 0, 0xFF, 0x4D};
    user.WriteBinary("Parameters", "5025", block, sizeof block);
    platform::SettingsKey theirs(platform::Hive::CurrentUser, kQuelstatKey);
    EXPECT_EQ(theirs.ReadDword("", "ShowWelcome", 7), 0u);
    auto stored = theirs.ReadBinary("Parameters", "5025");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->size(), 16u);
    EXPECT_EQ((*stored)[2], 0xFF);

    platform::SettingsKey machine(platform::Hive::LocalMachine, kQuelstatKey);
    machine.WriteDword("", "Modules", 2);
    SettingsKey ours(SettingsRoot::LocalMachine, kQuelstatKey);
    EXPECT_EQ(ours.ReadNumber("", "Modules", 3), 2u);
    EXPECT_EQ(ours.ReadText("", "Modules", "none"), "none") << "a number is no text";

    SettingsKey ini = SettingsKey::Ini("setup.ini", "Options");
    ini.WriteText("", "UI", "3");
    EXPECT_EQ(ini.ReadNumber("", "UI", 0), 3u);
    ini.WriteBinary("", "Block", block, 4);
    EXPECT_EQ(ini.ReadText("", "Block"), "0100FF4D");
    EXPECT_EQ(ini.ReadBinary("", "Block")->size(), 4u);
    platform::IniFile file(dir / "setup.ini");
    ASSERT_TRUE(file.Load());
    EXPECT_EQ(file.Get("Options", "UI").value_or(""), "3");
}

TEST_F(PlatformBridge, StartupListInTheSharedStore) {
    StartupList list(8, "/opt/q/quelstat.xll");
    list.Set(true);
    platform::SettingsKey excel(platform::Hive::CurrentUser, StartupList::ApplicationKey(8));
    EXPECT_EQ(excel.ReadString("Microsoft Excel", "OPEN"), "/R \"/opt/q/quelstat.xll\"");
    EXPECT_TRUE(excel.Exists("Add-in Manager", "/opt/q/quelstat.xll"));
    EXPECT_TRUE(list.Query());
}

TEST_F(PlatformBridge, ChannelWindowAnswersByTitle) {
    ASSERT_TRUE(ChannelWindows().Create("QuelstatTestChannel", [](unsigned m, uintptr_t w, intptr_t) {
        return m == WM_USER ? static_cast<intptr_t>(w) + 1 : 0;
    }));
    bool found = false;
    EXPECT_EQ(ChannelWindows().Send("QuelstatTestChannel", WM_USER, 41, 0, &found), 42);
    EXPECT_TRUE(found);
    ChannelWindows().Destroy("QuelstatTestChannel");
    ChannelWindows().Send("QuelstatTestChannel", WM_USER, 41, 0, &found);
    EXPECT_FALSE(found);
}
