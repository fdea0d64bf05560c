// Settings store: the per-user and per-machine key trees and INI files.
//
// The two key trees live as text files in the settings folder ("user.reg" and "machine.reg"). A
// key path names a key ("SOFTWARE\Quelstat\Quelstat for Excel\1.0"); values under it have a name,
// a type (text, 32-bit number, binary) and data. Names and key paths compare without regard to
// case, as the Windows registry does. Every operation reads the file afresh and every change is
// written back at once, atomically and under a lock, so several processes can share one folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace platform {

// The settings folder: $QUELSTAT_HOME, else $XDG_CONFIG_HOME/quelstat, else ~/.config/quelstat.
// Created on demand by the functions that write there.
std::filesystem::path SettingsFolder();
// Where running programs publish their sockets: <settings folder>/run (created on demand).
std::filesystem::path RunFolder();

class SettingsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Problems with the store (a damaged, unreadable or unwritable file, a folder that cannot be made)
// never stop a program: reads give their defaults, changes are not remembered, a damaged file is
// left as it is, and each problem is told once through the reporter (by default a line on standard
// error naming the file and the problem). Returns the reporter it replaces.
using SettingsReporter = std::function<void(const std::string&)>;
SettingsReporter SetSettingsReporter(SettingsReporter reporter);
// Tells a problem through the reporter, once per distinct text.
void ReportSettingsProblem(const std::string& problem);

enum class Hive { CurrentUser, LocalMachine };

// Registry value types, numbered as on Windows.
enum class ValueType : std::uint32_t { Text = 1, Binary = 3, Dword = 4 };

struct SettingsValue {
  ValueType type = ValueType::Text;
  std::vector<std::uint8_t> data;  // text: UTF-8 bytes without terminator; dword: 4 bytes LE

  std::string Text() const { return std::string(data.begin(), data.end()); }
};

// Low-level access to one hive file. Key paths use backslashes; an empty path is the root.
namespace registry {
std::filesystem::path HiveFile(Hive hive);
std::optional<SettingsValue> Get(Hive hive, const std::string& key, const std::string& name);
void Set(Hive hive, const std::string& key, const std::string& name, const SettingsValue& value);
bool Delete(Hive hive, const std::string& key, const std::string& name);
// Deletes the key, its values and all keys below it.
bool DeleteKey(Hive hive, const std::string& key);
bool KeyExists(Hive hive, const std::string& key);
// Value names of a key in the order they were first written.
std::vector<std::string> ValueNames(Hive hive, const std::string& key);
// Names of the direct subkeys of a key.
std::vector<std::string> SubkeyNames(Hive hive, const std::string& key);
}  // namespace registry

// An INI file: sections of "key=value" lines. Comments, blank lines and the order of lines are
// kept when the file is rewritten. Section and key names compare without regard to case.
class IniFile {
 public:
  explicit IniFile(std::filesystem::path path);

  const std::filesystem::path& Path() const { return path_; }
  // Reads the file (a missing file is empty). Returns false if it exists but cannot be read.
  bool Load();
  // Writes atomically (temporary file, then rename).
  void Save() const;

  std::optional<std::string> Get(const std::string& section, const std::string& key) const;
  void Set(const std::string& section, const std::string& key, const std::string& value);
  bool Remove(const std::string& section, const std::string& key);
  bool RemoveSection(const std::string& section);
  std::vector<std::string> Sections() const;
  std::vector<std::string> Keys(const std::string& section) const;

 private:
  struct Line {
    std::string raw;  // the line as read, used for comments and blank lines
    std::string key;  // empty for section headers, comments, blank lines
    std::string value;
    bool section = false;  // a "[name]" header; its name is in key
  };
  std::filesystem::path path_;
  std::vector<Line> lines_;

  std::ptrdiff_t FindSection(const std::string& section) const;
  std::ptrdiff_t SectionEnd(std::ptrdiff_t header) const;
};

// A settings store on a registry key or on an INI file section. Values are addressed by
// (subkey, name); an empty subkey means the key itself (or the default section of the INI file).
class SettingsKey {
 public:
  static constexpr std::uint32_t kAllAccess = 0x2001F;

  SettingsKey(Hive hive, std::string keyPath, std::uint32_t access = kAllAccess);
  // An INI file store. A relative file name is taken relative to the settings folder (where the
  // Windows directory would be); the default section is used for an empty subkey.
  static SettingsKey Ini(std::filesystem::path file = "win.ini", std::string section = "Config");

  bool IsIni() const { return ini_; }
  const std::string& KeyPath() const { return key_; }

  void WriteString(const std::string& subkey, const std::string& name, const std::string& text) const;
  void WriteDword(const std::string& subkey, const std::string& name, std::uint32_t value) const;
  void WriteBinary(const std::string& subkey, const std::string& name, const void* data, std::size_t size) const;

  std::string ReadString(const std::string& subkey, const std::string& name, const std::string& fallback = {}) const;
  std::uint32_t ReadDword(const std::string& subkey, const std::string& name, std::uint32_t fallback = 0) const;
  // The whole stored block, or nothing when the value is absent.
  std::optional<std::vector<std::uint8_t>> ReadBinary(const std::string& subkey, const std::string& name) const;
  // Copies at most `size` bytes of the stored block into `buffer`; returns the number of bytes
  // copied (0 when the value is absent). The rest of the buffer is left as it was.
  std::size_t ReadBinary(const std::string& subkey, const std::string& name, void* buffer, std::size_t size) const;

  bool Exists(const std::string& subkey, const std::string& name) const;
  bool DeleteValue(const std::string& subkey, const std::string& name) const;

 private:
  SettingsKey() = default;
  bool ini_ = false;
  Hive hive_ = Hive::CurrentUser;
  std::string key_;             // registry key path, or INI default section
  std::filesystem::path file_;  // INI file
  std::uint32_t access_ = kAllAccess;

  std::string FullKey(const std::string& subkey) const;
  std::string Section(const std::string& subkey) const;
  void CheckWrite() const;
};

}  // namespace platform
