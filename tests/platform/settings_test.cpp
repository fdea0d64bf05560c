#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/settings.h"
#include "temp_home.h"

using namespace platform;

namespace {
const char* kKey = "SOFTWARE\\Quelstat\\Quelstat for Excel\\1.0";

std::string Slurp(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
}  // namespace

TEST(SettingsFolder, EnvironmentDecides) {
  ::setenv("QUELSTAT_HOME", "/x/home", 1);
  EXPECT_EQ(SettingsFolder(), "/x/home");
  ::unsetenv("QUELSTAT_HOME");
  ::setenv("XDG_CONFIG_HOME", "/x/cfg", 1);
  EXPECT_EQ(SettingsFolder(), "/x/cfg/quelstat");
  ::unsetenv("XDG_CONFIG_HOME");
}

TEST(SettingsKey, ValuesSurviveTheFileWithTheirTypesAndBytes) {
  TempHome home;
  SettingsKey user(Hive::CurrentUser, kKey);
  std::vector<std::uint8_t> all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<std::uint8_t>(i);
  const std::string awkward = "C:\\Quelstat\\ \"quoted\"\nline two\ttab µ=;[x]";
  user.WriteBinary("Parameters", "P1", all.data(), all.size());
  user.WriteDword("", "ShowWelcome", 0xFFFFFFFEu);
  user.WriteString("", "Path", awkward);
  user.WriteString("", "Empty", "");

  // A second store object reads the same file back.
  SettingsKey again(Hive::CurrentUser, "software\\QUELSTAT\\quelstat for excel\\1.0\\");
  EXPECT_EQ(again.ReadBinary("parameters", "p1"), all);
  EXPECT_EQ(again.ReadDword("", "showwelcome", 7), 0xFFFFFFFEu);
  EXPECT_EQ(again.ReadString("", "PATH", "none"), awkward);
  EXPECT_TRUE(again.Exists("", "Empty"));
  EXPECT_EQ(again.ReadString("", "Empty", "none"), "");

  // Per-machine values are a separate file.
  SettingsKey machine(Hive::LocalMachine, kKey);
  EXPECT_EQ(machine.ReadString("", "Path", "none"), "none");
  machine.WriteString("", "Modules", "FFFF");
  EXPECT_TRUE(std::filesystem::exists(home.dir / "machine.reg"));
  EXPECT_EQ(user.ReadString("", "Modules", "none"), "none");
}

TEST(SettingsKey, DefaultsTypesAndDeletion) {
  TempHome home;
  SettingsKey user(Hive::CurrentUser, kKey);
  EXPECT_EQ(user.ReadDword("", "Missing", 1), 1u);
  EXPECT_FALSE(user.ReadBinary("", "Missing").has_value());
  user.WriteString("", "Text", "12");
  EXPECT_EQ(user.ReadDword("", "Text", 5), 5u);  // a text value is not a number
  user.WriteDword("", "Text", 12);               // rewriting changes the type
  EXPECT_EQ(user.ReadDword("", "Text", 5), 12u);
  EXPECT_EQ(user.ReadString("", "Text", "x"), "x");

  std::uint8_t usage[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  user.WriteBinary("", "Usage", usage, 4);
  std::uint8_t buf[8] = {9, 9, 9, 9, 9, 9, 9, 9};
  EXPECT_EQ(user.ReadBinary("", "Usage", buf, sizeof buf), 4u);  // shorter block: rest untouched
  EXPECT_EQ(buf[3], 4);
  EXPECT_EQ(buf[4], 9);
  EXPECT_EQ(user.ReadBinary("", "Usage", buf, 2), 2u);

  EXPECT_TRUE(user.DeleteValue("", "Usage"));
  EXPECT_FALSE(user.DeleteValue("", "Usage"));
  EXPECT_FALSE(user.Exists("", "Usage"));

  SettingsKey readOnly(Hive::CurrentUser, kKey, 0x20019);
  EXPECT_THROW(readOnly.WriteString("", "X", "y"), SettingsError);
}

TEST(SettingsKey, KeysListAndDeleteRecursively) {
  TempHome home;
  registry::Set(Hive::CurrentUser, "A\\B\\C", "v", SettingsValue{ValueType::Text, {'1'}});
  registry::Set(Hive::CurrentUser, "A\\D", "w", SettingsValue{ValueType::Text, {'2'}});
  registry::Set(Hive::CurrentUser, "A\\D", "v", SettingsValue{ValueType::Text, {'3'}});
  EXPECT_TRUE(registry::KeyExists(Hive::CurrentUser, "a\\b"));
  EXPECT_EQ(registry::SubkeyNames(Hive::CurrentUser, "A"), (std::vector<std::string>{"B", "D"}));
  EXPECT_EQ(registry::ValueNames(Hive::CurrentUser, "A\\D"), (std::vector<std::string>{"w", "v"}));
  EXPECT_TRUE(registry::DeleteKey(Hive::CurrentUser, "A\\B"));
  EXPECT_FALSE(registry::KeyExists(Hive::CurrentUser, "A\\B\\C"));
  EXPECT_TRUE(registry::KeyExists(Hive::CurrentUser, "A\\D"));
}

namespace {
// Collects what the store reports, for one test.
struct Reports {
  std::vector<std::string> lines;
  SettingsReporter previous;
  Reports() {
    previous = SetSettingsReporter([this](const std::string& p) { lines.push_back(p); });
  }
  ~Reports() { SetSettingsReporter(previous); }
};
}  // namespace

TEST(SettingsKey, DamagedFilesGiveDefaultsAMessageNamingFileAndLineAndStayAsTheyWere) {
  const std::string damaged[] = {
      "[K]\n\"v\"=dword:0000000",                                     // cut in the middle of a line
      std::string("[K]\n\"v\"=dword:00000001\n\"w\0\"=\"x\"\n", 30),  // a NUL byte, then cut
      "\x8f\x01\xff[K\n\"v\"=dword:00000001\n",                       // random bytes
  };
  const std::string where[] = {":2: malformed dword", ":3: malformed text value", ":1: value outside a key"};
  for (int i = 0; i < 3; ++i) {
    TempHome home;
    Reports reports;
    { std::ofstream(home.dir / "user.reg", std::ios::binary) << damaged[i]; }
    SettingsKey user(Hive::CurrentUser, "K");
    EXPECT_EQ(user.ReadDword("", "v", 7), 7u);
    user.WriteDword("", "w", 1);
    EXPECT_EQ(user.ReadDword("", "w", 7), 7u);  // nothing is remembered over a damaged store
    EXPECT_EQ(Slurp(home.dir / "user.reg"), damaged[i]);
    ASSERT_EQ(reports.lines.size(), 2u) << i;  // once for reading, once for the change not kept
    EXPECT_EQ(reports.lines[0], (home.dir / "user.reg").string() + where[i] +
                                    " (the file is damaged; it is left as it is); the defaults are used");
    EXPECT_NE(reports.lines[1].find("the change is not remembered"), std::string::npos);
  }
}

TEST(SettingsKey, AnUnusableFolderOrReadOnlyStoreGivesDefaultsAndIsNotReplaced) {
  TempHome home;
  Reports reports;
  SettingsKey user(Hive::CurrentUser, "K");
  user.WriteDword("", "v", 5);
  std::filesystem::permissions(home.dir / "user.reg", std::filesystem::perms(0444));
  std::string before = Slurp(home.dir / "user.reg");
  user.WriteDword("", "v", 6);  // root too: the permission bits decide
  EXPECT_EQ(user.ReadDword("", "v"), 5u);
  EXPECT_EQ(Slurp(home.dir / "user.reg"), before);
  EXPECT_EQ(std::filesystem::status(home.dir / "user.reg").permissions(), std::filesystem::perms(0444));
  ASSERT_EQ(reports.lines.size(), 1u);
  EXPECT_EQ(reports.lines[0], (home.dir / "user.reg").string() + " is read-only; the change is not remembered");
  // The settings folder is a file: reads give defaults, changes are told once and dropped.
  std::ofstream(home.dir / "plain") << "x";
  ::setenv("QUELSTAT_HOME", (home.dir / "plain").c_str(), 1);
  EXPECT_EQ(user.ReadDword("", "v", 3), 3u);
  user.WriteDword("", "v", 6);
  user.WriteDword("", "v", 7);
  EXPECT_EQ(reports.lines.size(), 2u);
  EXPECT_NE(reports.lines.back().find((home.dir / "plain").string()), std::string::npos) << reports.lines.back();
}

TEST(SettingsKey, TemporariesOfKilledWritersAreRemoved) {
  TempHome home;
  std::ofstream(home.dir / "user.reg.tmp999999999.0") << "left by a killed write";
  std::ofstream(home.dir / ("user.reg.tmp" + std::to_string(::getppid()) + ".0")) << "a live writer's";
  SettingsKey(Hive::CurrentUser, "K").WriteDword("", "v", 1);
  EXPECT_FALSE(std::filesystem::exists(home.dir / "user.reg.tmp999999999.0"));
  EXPECT_TRUE(std::filesystem::exists(home.dir / ("user.reg.tmp" + std::to_string(::getppid()) + ".0")));
}

TEST(SettingsKey, ManyKeysLoadOnceAndInLinearTime) {
  TempHome home;
  std::string text;
  for (int i = 0; i < 20000; ++i)
    text += "[K\\" + std::to_string(i) + "]\n\"v\"=dword:0000000" + std::to_string(i % 10) + "\n";
  std::ofstream(home.dir / "user.reg") << text;
  SettingsKey user(Hive::CurrentUser, "K");
  for (int i = 0; i < 20000; i += 97) EXPECT_EQ(user.ReadDword(std::to_string(i), "v", 99), uint32_t(i % 10));
  EXPECT_EQ(registry::SubkeyNames(Hive::CurrentUser, "K").size(), 20000u);
  user.WriteDword("19999", "v", 5);  // a change is seen by the next read
  EXPECT_EQ(user.ReadDword("19999", "v"), 5u);
}

TEST(IniFile, KeepsCommentsAndOrderAndIgnoresCase) {
  TempHome home;
  std::filesystem::path f = home.dir / "setup.ini";
  { std::ofstream(f) << "; made by hand\r\n[Setup]\r\nTitle=Quelstat\r\nDir = C:\\Q \r\n\r\n[Files]\r\na=1\r\n"; }
  IniFile ini(f);
  ASSERT_TRUE(ini.Load());
  EXPECT_EQ(ini.Get("setup", "DIR"), "C:\\Q");
  EXPECT_FALSE(ini.Get("Setup", "a").has_value());
  ini.Set("SETUP", "Extra", "x y");
  ini.Set("Files", "A", "2");
  ini.Set("New", "k", "v");
  EXPECT_TRUE(ini.Remove("Setup", "Title"));
  ini.Save();
  EXPECT_EQ(Slurp(f),
            "; made by hand\r\n[Setup]\r\nDir=C:\\Q\r\nExtra=x y\r\n\r\n[Files]\r\na=2\r\n\r\n[New]\r\nk=v\r\n");
  EXPECT_EQ(ini.Sections(), (std::vector<std::string>{"Setup", "Files", "New"}));
}

TEST(IniFile, SettingsKeyOnIniSection) {
  TempHome home;
  SettingsKey ini = SettingsKey::Ini("quelstat.ini", "Config");
  ini.WriteString("", "Name", "value");
  ini.WriteDword("Other", "N", 42);
  std::uint8_t bytes[3] = {0, 0xAB, 0xFF};
  ini.WriteBinary("", "B", bytes, 3);
  EXPECT_EQ(ini.ReadString("", "name"), "value");
  EXPECT_EQ(ini.ReadDword("other", "n"), 42u);
  EXPECT_EQ(ini.ReadBinary("", "B"), (std::vector<std::uint8_t>{0, 0xAB, 0xFF}));
  EXPECT_TRUE(std::filesystem::exists(home.dir / "quelstat.ini"));
  EXPECT_TRUE(ini.DeleteValue("", "Name"));
  EXPECT_EQ(ini.ReadString("", "Name", "gone"), "gone");
}
