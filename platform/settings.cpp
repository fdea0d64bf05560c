#include "platform/settings.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "platform/fileutil.h"

namespace platform {

std::filesystem::path SettingsFolder() {
  if (const char* home = std::getenv("QUELSTAT_HOME"); home && *home) return home;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) return std::filesystem::path(xdg) / "quelstat";
  if (const char* h = std::getenv("HOME"); h && *h) return std::filesystem::path(h) / ".config" / "quelstat";
  return std::filesystem::current_path() / ".quelstat";
}

namespace {
std::mutex& ReporterMutex() {
  static std::mutex m;
  return m;
}
SettingsReporter& Reporter() {
  static SettingsReporter reporter = [](const std::string& problem) {
    std::cerr << "quelstat: settings: " << problem << "\n";
  };
  return reporter;
}
}  // namespace

SettingsReporter SetSettingsReporter(SettingsReporter reporter) {
  std::lock_guard<std::mutex> hold(ReporterMutex());
  return std::exchange(Reporter(), std::move(reporter));
}

void ReportSettingsProblem(const std::string& problem) {
  static std::set<std::string> told;
  SettingsReporter reporter;
  {
    std::lock_guard<std::mutex> hold(ReporterMutex());
    if (!told.insert(problem).second) return;
    reporter = Reporter();
  }
  if (reporter) reporter(problem);
}

std::filesystem::path RunFolder() {
  std::filesystem::path run = SettingsFolder() / "run";
  std::error_code ec;
  if (std::filesystem::create_directories(run, ec))
    // Only this user's programs may reach the windows and objects published here.
    std::filesystem::permissions(run, std::filesystem::perms::owner_all, ec);
  return run;
}

namespace {

// ---- text escaping of names and values in the hive files ----

std::string Escape(const std::string& s, bool inKey) {
  std::string out;
  for (unsigned char c : s) {
    if (c == '\\' && !inKey) {
      out += "\\\\";
    } else if (c == '"' && !inKey) {
      out += "\\\"";
    } else if (c < 0x20 || c == 0x7F || (inKey && (c == ']' || c == '%'))) {
      char buf[8];
      std::snprintf(buf, sizeof buf, inKey ? "%%%02X" : "\\x%02X", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a quoted string starting at s[pos] == '"'; leaves pos after the closing quote.
bool ReadQuoted(const std::string& s, std::size_t& pos, std::string& out) {
  if (pos >= s.size() || s[pos] != '"') return false;
  ++pos;
  out.clear();
  while (pos < s.size()) {
    char c = s[pos++];
    if (c == '"') return true;
    if (c == '\\') {
      if (pos >= s.size()) return false;
      char e = s[pos++];
      if (e == 'x') {
        if (pos + 2 > s.size()) return false;
        int h = HexDigit(s[pos]), l = HexDigit(s[pos + 1]);
        if (h < 0 || l < 0) return false;
        out += static_cast<char>(h * 16 + l);
        pos += 2;
      } else {
        out += e;
      }
    } else {
      out += c;
    }
  }
  return false;
}

std::string UnescapeKey(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() + 0 && HexDigit(s[i + 1]) >= 0 && HexDigit(s[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(s[i + 1]) * 16 + HexDigit(s[i + 2]));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::string NormalizeKey(const std::string& key) {
  // Collapse repeated separators and strip leading/trailing ones: "A\\B\" is "A\B".
  std::string out;
  for (char c : key) {
    if (c == '/') c = '\\';
    if (c == '\\' && (out.empty() || out.back() == '\\')) continue;
    out += c;
  }
  while (!out.empty() && out.back() == '\\') out.pop_back();
  return out;
}

struct Value {
  std::string name;
  SettingsValue value;
};
struct Key {
  std::string path;
  std::vector<Value> values;
};

struct HiveData {
  std::vector<Key> keys;
  std::unordered_map<std::string, std::size_t> index;  // folded path -> position in keys

  Key* Find(const std::string& path) {
    auto it = index.find(FoldCase(path));
    return it == index.end() ? nullptr : &keys[it->second];
  }
  const Key* Find(const std::string& path) const { return const_cast<HiveData*>(this)->Find(path); }
  Key& Ensure(const std::string& path) {
    auto [it, added] = index.emplace(FoldCase(path), keys.size());
    if (added) keys.push_back(Key{path, {}});
    return keys[it->second];
  }
  void Reindex() {
    index.clear();
    for (std::size_t i = 0; i < keys.size(); ++i) index.emplace(FoldCase(keys[i].path), i);
  }
};

const char* HiveName(Hive hive) { return hive == Hive::CurrentUser ? "user" : "machine"; }

HiveData Parse(const std::string& text, const std::filesystem::path& file) {
  HiveData data;
  constexpr std::size_t kNone = std::size_t(-1);
  std::size_t current = kNone;  // position of the key being read
  std::istringstream in(text);
  std::string line;
  int lineNo = 0;
  auto bad = [&](const char* what) {
    throw SettingsError(file.string() + ":" + std::to_string(lineNo) + ": " + what +
                        " (the file is damaged; it is left as it is)");
  };
  // Value names already seen under each key, so that loading stays linear in the number of values.
  std::unordered_map<std::size_t, std::unordered_map<std::string, std::size_t>> seen;
  while (std::getline(in, line)) {
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      if (line.back() != ']') bad("unterminated key name");
      std::string path = NormalizeKey(UnescapeKey(line.substr(1, line.size() - 2)));
      data.Ensure(path);
      current = data.index.at(FoldCase(path));
      continue;
    }
    if (current == kNone) bad("value outside a key");
    std::size_t pos = 0;
    std::string name;
    if (line[0] == '@') {
      pos = 1;
    } else if (!ReadQuoted(line, pos, name)) {
      bad("malformed value name");
    }
    if (pos >= line.size() || line[pos] != '=') bad("missing '='");
    ++pos;
    SettingsValue v;
    std::string rest = line.substr(pos);
    if (!rest.empty() && rest[0] == '"') {
      std::size_t p = 0;
      std::string textValue;
      if (!ReadQuoted(rest, p, textValue)) bad("malformed text value");
      v.type = ValueType::Text;
      v.data.assign(textValue.begin(), textValue.end());
    } else if (rest.rfind("dword:", 0) == 0) {
      std::string digits = rest.substr(6);
      if (digits.size() != 8 || !std::all_of(digits.begin(), digits.end(), [](char c) { return HexDigit(c) >= 0; }))
        bad("malformed dword");
      std::uint32_t n = static_cast<std::uint32_t>(std::stoul(digits, nullptr, 16));
      v.type = ValueType::Dword;
      for (int i = 0; i < 4; ++i) v.data.push_back(static_cast<std::uint8_t>(n >> (8 * i)));
    } else if (rest.rfind("hex:", 0) == 0) {
      v.type = ValueType::Binary;
      std::string hex = rest.substr(4);
      for (std::size_t i = 0; i < hex.size();) {
        if (hex[i] == ',') {
          ++i;
          continue;
        }
        if (i + 1 >= hex.size() || HexDigit(hex[i]) < 0 || HexDigit(hex[i + 1]) < 0) bad("malformed binary value");
        v.data.push_back(static_cast<std::uint8_t>(HexDigit(hex[i]) * 16 + HexDigit(hex[i + 1])));
        i += 2;
      }
    } else {
      bad("unknown value type");
    }
    std::vector<Value>& values = data.keys[current].values;
    auto [at, added] = seen[current].emplace(FoldCase(name), values.size());
    if (added)
      values.push_back(Value{name, v});
    else
      values[at->second].value = v;
  }
  return data;
}

std::string Format(const HiveData& data, Hive hive) {
  std::string out = "; Quelstat settings store (";
  out += hive == Hive::CurrentUser ? "per user" : "per machine";
  out += "). Written by the programs; keep the format when editing by hand.\n";
  for (const Key& k : data.keys) {
    out += "\n[" + Escape(k.path, true) + "]\n";
    for (const Value& v : k.values) {
      out += v.name.empty() ? "@" : "\"" + Escape(v.name, false) + "\"";
      out += "=";
      switch (v.value.type) {
        case ValueType::Text: out += "\"" + Escape(v.value.Text(), false) + "\""; break;
        case ValueType::Dword: {
          std::uint32_t n = 0;
          for (std::size_t i = 0; i < 4 && i < v.value.data.size(); ++i)
            n |= static_cast<std::uint32_t>(v.value.data[i]) << (8 * i);
          char buf[16];
          std::snprintf(buf, sizeof buf, "dword:%08x", n);
          out += buf;
          break;
        }
        case ValueType::Binary: {
          out += "hex:";
          char buf[4];
          for (std::size_t i = 0; i < v.value.data.size(); ++i) {
            std::snprintf(buf, sizeof buf, i ? ",%02x" : "%02x", v.value.data[i]);
            out += buf;
          }
          break;
        }
      }
      out += "\n";
    }
  }
  return out;
}

std::filesystem::path LockFile(Hive hive) { return SettingsFolder() / (std::string(".") + HiveName(hive) + ".lock"); }

// The hive as last parsed, kept while the file is unchanged (same path, inode, size and time of change),
// so that a command reading many values parses the file once.
std::shared_ptr<const HiveData> Load(Hive hive) {
  struct Cached {
    std::filesystem::path file;
    struct stat st {};
    std::shared_ptr<const HiveData> data;
  };
  static std::mutex mutex;
  static std::map<Hive, Cached> cache;
  std::filesystem::path file = registry::HiveFile(hive);
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) return std::make_shared<const HiveData>();
  {
    std::lock_guard<std::mutex> hold(mutex);
    auto it = cache.find(hive);
    if (it != cache.end() && it->second.file == file && it->second.st.st_ino == st.st_ino &&
        it->second.st.st_dev == st.st_dev && it->second.st.st_size == st.st_size &&
        it->second.st.st_mtim.tv_sec == st.st_mtim.tv_sec && it->second.st.st_mtim.tv_nsec == st.st_mtim.tv_nsec &&
        it->second.st.st_ctim.tv_nsec == st.st_ctim.tv_nsec)
      return it->second.data;
  }
  std::optional<std::string> text = ReadWholeFile(file);
  auto data = std::make_shared<const HiveData>(text ? Parse(*text, file) : HiveData{});
  std::lock_guard<std::mutex> hold(mutex);
  cache[hive] = Cached{file, st, data};
  return data;
}

// Problems with the store never stop the program: each is told once, and the operation gives its
// fallback (reads the defaults, changes are not remembered).
template <class R, class F>
R Tolerant(R fallback, const char* consequence, F&& operation) {
  try {
    return operation();
  } catch (const SettingsError& e) {
    ReportSettingsProblem(std::string(e.what()) + "; " + consequence);
  } catch (const std::filesystem::filesystem_error& e) {
    ReportSettingsProblem(std::string(e.what()) + "; " + consequence);
  }
  return fallback;
}
constexpr const char* kReadFallback = "the defaults are used";
constexpr const char* kWriteFallback = "the change is not remembered";

void Store(Hive hive, const HiveData& data) { WriteFileAtomic(registry::HiveFile(hive), Format(data, hive)); }

bool IsBelow(const std::string& path, const std::string& key) {
  if (key.empty()) return !path.empty();
  return path.size() > key.size() && path[key.size()] == '\\' && EqualNoCase(path.substr(0, key.size()), key);
}

}  // namespace

namespace registry {

std::filesystem::path HiveFile(Hive hive) { return SettingsFolder() / (std::string(HiveName(hive)) + ".reg"); }

std::optional<SettingsValue> Get(Hive hive, const std::string& key, const std::string& name) {
  return Tolerant(std::optional<SettingsValue>(), kReadFallback, [&]() -> std::optional<SettingsValue> {
    FileLock lock(LockFile(hive), false);
    auto data = Load(hive);
    const Key* k = data->Find(NormalizeKey(key));
    if (!k) return std::nullopt;
    for (const Value& v : k->values)
      if (EqualNoCase(v.name, name)) return v.value;
    return std::nullopt;
  });
}

void Set(Hive hive, const std::string& key, const std::string& name, const SettingsValue& value) {
  Tolerant(false, kWriteFallback, [&] {
    FileLock lock(LockFile(hive), true);
    HiveData data = *Load(hive);
    Key& k = data.Ensure(NormalizeKey(key));
    bool found = false;
    for (Value& v : k.values)
      if (EqualNoCase(v.name, name)) {
        v.value = value;
        found = true;
      }
    if (!found) k.values.push_back(Value{name, value});
    Store(hive, data);
    return true;
  });
}

bool Delete(Hive hive, const std::string& key, const std::string& name) {
  return Tolerant(false, kWriteFallback, [&] {
    FileLock lock(LockFile(hive), true);
    HiveData data = *Load(hive);
    Key* k = data.Find(NormalizeKey(key));
    if (!k) return false;
    auto it =
        std::find_if(k->values.begin(), k->values.end(), [&](const Value& v) { return EqualNoCase(v.name, name); });
    if (it == k->values.end()) return false;
    k->values.erase(it);
    Store(hive, data);
    return true;
  });
}

bool DeleteKey(Hive hive, const std::string& key) {
  return Tolerant(false, kWriteFallback, [&] {
    FileLock lock(LockFile(hive), true);
    HiveData data = *Load(hive);
    std::string norm = NormalizeKey(key);
    std::size_t before = data.keys.size();
    std::erase_if(data.keys, [&](const Key& k) { return EqualNoCase(k.path, norm) || IsBelow(k.path, norm); });
    if (data.keys.size() == before) return false;
    data.Reindex();
    Store(hive, data);
    return true;
  });
}

bool KeyExists(Hive hive, const std::string& key) {
  std::string norm = NormalizeKey(key);
  if (norm.empty()) return true;
  return Tolerant(false, kReadFallback, [&] {
    FileLock lock(LockFile(hive), false);
    auto data = Load(hive);
    return std::any_of(data->keys.begin(), data->keys.end(),
                       [&](const Key& k) { return EqualNoCase(k.path, norm) || IsBelow(k.path, norm); });
  });
}

std::vector<std::string> ValueNames(Hive hive, const std::string& key) {
  return Tolerant(std::vector<std::string>(), kReadFallback, [&] {
    FileLock lock(LockFile(hive), false);
    auto data = Load(hive);
    std::vector<std::string> names;
    if (const Key* k = data->Find(NormalizeKey(key)))
      for (const Value& v : k->values) names.push_back(v.name);
    return names;
  });
}

std::vector<std::string> SubkeyNames(Hive hive, const std::string& key) {
  return Tolerant(std::vector<std::string>(), kReadFallback, [&] {
    FileLock lock(LockFile(hive), false);
    auto data = Load(hive);
    std::string norm = NormalizeKey(key);
    std::vector<std::string> names;
    std::unordered_set<std::string> seen;
    for (const Key& k : data->keys) {
      if (!IsBelow(k.path, norm)) continue;
      std::string rest = norm.empty() ? k.path : k.path.substr(norm.size() + 1);
      std::string first = rest.substr(0, rest.find('\\'));
      if (seen.insert(FoldCase(first)).second) names.push_back(first);
    }
    return names;
  });
}

}  // namespace registry

// ---------------------------------------------------------------- SettingsKey

SettingsKey::SettingsKey(Hive hive, std::string keyPath, std::uint32_t access)
    : hive_(hive), key_(NormalizeKey(keyPath)), access_(access) {}

SettingsKey SettingsKey::Ini(std::filesystem::path file, std::string section) {
  SettingsKey k;
  k.ini_ = true;
  k.file_ = file.is_absolute() ? file : SettingsFolder() / file;
  k.key_ = std::move(section);
  return k;
}

std::string SettingsKey::FullKey(const std::string& subkey) const {
  if (subkey.empty()) return key_;
  if (key_.empty()) return NormalizeKey(subkey);
  return key_ + "\\" + NormalizeKey(subkey);
}

std::string SettingsKey::Section(const std::string& subkey) const { return subkey.empty() ? key_ : subkey; }

void SettingsKey::CheckWrite() const {
  // KEY_SET_VALUE (0x2) is the right needed to change values.
  if (!ini_ && !(access_ & 0x2)) throw SettingsError("key opened without write access: " + key_);
}

namespace {
std::string HexBytes(const std::uint8_t* p, std::size_t n) {
  std::string out;
  char buf[4];
  for (std::size_t i = 0; i < n; ++i) {
    std::snprintf(buf, sizeof buf, "%02X", p[i]);
    out += buf;
  }
  return out;
}
std::optional<std::vector<std::uint8_t>> UnhexBytes(const std::string& s) {
  if (s.size() % 2) return std::nullopt;
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i < s.size(); i += 2) {
    int h = HexDigit(s[i]), l = HexDigit(s[i + 1]);
    if (h < 0 || l < 0) return std::nullopt;
    out.push_back(static_cast<std::uint8_t>(h * 16 + l));
  }
  return out;
}
}  // namespace

void SettingsKey::WriteString(const std::string& subkey, const std::string& name, const std::string& text) const {
  if (ini_) {
    Tolerant(false, kWriteFallback, [&] {
      IniFile f(file_);
      FileLock lock(file_.string() + ".lock", true);
      if (!f.Load()) throw SettingsError("cannot read " + file_.string());
      f.Set(Section(subkey), name, text);
      f.Save();
      return true;
    });
    return;
  }
  CheckWrite();
  registry::Set(hive_, FullKey(subkey), name,
                SettingsValue{ValueType::Text, std::vector<std::uint8_t>(text.begin(), text.end())});
}

void SettingsKey::WriteDword(const std::string& subkey, const std::string& name, std::uint32_t value) const {
  if (ini_) {
    WriteString(subkey, name, std::to_string(value));
    return;
  }
  CheckWrite();
  SettingsValue v{ValueType::Dword, {}};
  for (int i = 0; i < 4; ++i) v.data.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  registry::Set(hive_, FullKey(subkey), name, v);
}

void SettingsKey::WriteBinary(const std::string& subkey, const std::string& name, const void* data,
                              std::size_t size) const {
  const auto* p = static_cast<const std::uint8_t*>(data);
  if (ini_) {
    WriteString(subkey, name, HexBytes(p, size));
    return;
  }
  CheckWrite();
  registry::Set(hive_, FullKey(subkey), name, SettingsValue{ValueType::Binary, std::vector<std::uint8_t>(p, p + size)});
}

std::string SettingsKey::ReadString(const std::string& subkey, const std::string& name,
                                    const std::string& fallback) const {
  if (ini_) {
    IniFile f(file_);
    if (!f.Load()) return fallback;
    return f.Get(Section(subkey), name).value_or(fallback);
  }
  std::optional<SettingsValue> v = registry::Get(hive_, FullKey(subkey), name);
  if (!v || v->type != ValueType::Text) return fallback;
  return v->Text();
}

std::uint32_t SettingsKey::ReadDword(const std::string& subkey, const std::string& name, std::uint32_t fallback) const {
  if (ini_) {
    std::string s = ReadString(subkey, name);
    if (s.empty()) return fallback;
    char* end = nullptr;
    unsigned long n = std::strtoul(s.c_str(), &end, 0);
    return (end && *end == '\0') ? static_cast<std::uint32_t>(n) : fallback;
  }
  std::optional<SettingsValue> v = registry::Get(hive_, FullKey(subkey), name);
  if (!v || v->type != ValueType::Dword || v->data.size() != 4) return fallback;
  std::uint32_t n = 0;
  for (int i = 0; i < 4; ++i) n |= static_cast<std::uint32_t>(v->data[i]) << (8 * i);
  return n;
}

std::optional<std::vector<std::uint8_t>> SettingsKey::ReadBinary(const std::string& subkey,
                                                                 const std::string& name) const {
  if (ini_) {
    IniFile f(file_);
    if (!f.Load()) return std::nullopt;
    std::optional<std::string> s = f.Get(Section(subkey), name);
    if (!s) return std::nullopt;
    return UnhexBytes(*s);
  }
  std::optional<SettingsValue> v = registry::Get(hive_, FullKey(subkey), name);
  if (!v) return std::nullopt;
  return v->data;  // as RegQueryValueEx: the stored bytes, whatever the type
}

std::size_t SettingsKey::ReadBinary(const std::string& subkey, const std::string& name, void* buffer,
                                    std::size_t size) const {
  std::optional<std::vector<std::uint8_t>> data = ReadBinary(subkey, name);
  if (!data) return 0;
  std::size_t n = std::min(size, data->size());
  if (n) std::memcpy(buffer, data->data(), n);
  return n;
}

bool SettingsKey::Exists(const std::string& subkey, const std::string& name) const {
  if (ini_) {
    IniFile f(file_);
    return f.Load() && f.Get(Section(subkey), name).has_value();
  }
  return registry::Get(hive_, FullKey(subkey), name).has_value();
}

bool SettingsKey::DeleteValue(const std::string& subkey, const std::string& name) const {
  if (ini_) {
    return Tolerant(false, kWriteFallback, [&] {
      IniFile f(file_);
      FileLock lock(file_.string() + ".lock", true);
      if (!f.Load() || !f.Remove(Section(subkey), name)) return false;
      f.Save();
      return true;
    });
  }
  CheckWrite();
  return registry::Delete(hive_, FullKey(subkey), name);
}

// ---------------------------------------------------------------- IniFile

IniFile::IniFile(std::filesystem::path path) : path_(std::move(path)) {}

namespace {
std::string Trim(const std::string& s) {
  std::size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return {};
  std::size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}
}  // namespace

bool IniFile::Load() {
  lines_.clear();
  std::optional<std::string> text;
  try {
    text = ReadWholeFile(path_);
  } catch (const SettingsError&) {
    return false;
  }
  if (!text) return true;
  std::istringstream in(*text);
  std::string raw;
  while (std::getline(in, raw)) {
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    Line line;
    line.raw = raw;
    std::string t = Trim(raw);
    if (!t.empty() && t[0] == '[' && t.back() == ']') {
      line.section = true;
      line.key = Trim(t.substr(1, t.size() - 2));
    } else if (!t.empty() && t[0] != ';' && t[0] != '#') {
      std::size_t eq = t.find('=');
      if (eq != std::string::npos) {
        line.key = Trim(t.substr(0, eq));
        line.value = Trim(t.substr(eq + 1));
        // A value written in double quotes keeps its blanks.
        if (line.value.size() >= 2 && line.value.front() == '"' && line.value.back() == '"')
          line.value = line.value.substr(1, line.value.size() - 2);
      }
    }
    lines_.push_back(std::move(line));
  }
  return true;
}

void IniFile::Save() const {
  std::string out;
  for (const Line& l : lines_) {
    if (l.section)
      out += "[" + l.key + "]";
    else if (!l.key.empty())
      out += l.key + "=" + l.value;
    else
      out += l.raw;
    out += "\r\n";
  }
  WriteFileAtomic(path_, out);
}

std::ptrdiff_t IniFile::FindSection(const std::string& section) const {
  for (std::size_t i = 0; i < lines_.size(); ++i)
    if (lines_[i].section && EqualNoCase(lines_[i].key, section)) return static_cast<std::ptrdiff_t>(i);
  return -1;
}

std::ptrdiff_t IniFile::SectionEnd(std::ptrdiff_t header) const {
  std::size_t i = static_cast<std::size_t>(header) + 1;
  while (i < lines_.size() && !lines_[i].section) ++i;
  // Leave trailing blank lines after the last entry outside the section.
  while (i > static_cast<std::size_t>(header) + 1 && lines_[i - 1].key.empty() && Trim(lines_[i - 1].raw).empty()) --i;
  return static_cast<std::ptrdiff_t>(i);
}

std::optional<std::string> IniFile::Get(const std::string& section, const std::string& key) const {
  std::ptrdiff_t h = FindSection(section);
  if (h < 0) return std::nullopt;
  for (std::size_t i = static_cast<std::size_t>(h) + 1; i < lines_.size() && !lines_[i].section; ++i)
    if (!lines_[i].key.empty() && EqualNoCase(lines_[i].key, key)) return lines_[i].value;
  return std::nullopt;
}

void IniFile::Set(const std::string& section, const std::string& key, const std::string& value) {
  std::ptrdiff_t h = FindSection(section);
  if (h < 0) {
    if (!lines_.empty() && !Trim(lines_.back().raw).empty()) lines_.push_back(Line{});
    Line header;
    header.section = true;
    header.key = section;
    lines_.push_back(header);
    h = static_cast<std::ptrdiff_t>(lines_.size() - 1);
  }
  for (std::size_t i = static_cast<std::size_t>(h) + 1; i < lines_.size() && !lines_[i].section; ++i)
    if (!lines_[i].key.empty() && EqualNoCase(lines_[i].key, key)) {
      lines_[i].value = value;
      return;
    }
  Line entry;
  entry.key = key;
  entry.value = value;
  lines_.insert(lines_.begin() + SectionEnd(h), entry);
}

bool IniFile::Remove(const std::string& section, const std::string& key) {
  std::ptrdiff_t h = FindSection(section);
  if (h < 0) return false;
  for (std::size_t i = static_cast<std::size_t>(h) + 1; i < lines_.size() && !lines_[i].section; ++i)
    if (!lines_[i].key.empty() && EqualNoCase(lines_[i].key, key)) {
      lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
      return true;
    }
  return false;
}

bool IniFile::RemoveSection(const std::string& section) {
  std::ptrdiff_t h = FindSection(section);
  if (h < 0) return false;
  std::size_t end = static_cast<std::size_t>(h) + 1;
  while (end < lines_.size() && !lines_[end].section) ++end;
  lines_.erase(lines_.begin() + h, lines_.begin() + static_cast<std::ptrdiff_t>(end));
  return true;
}

std::vector<std::string> IniFile::Sections() const {
  std::vector<std::string> out;
  for (const Line& l : lines_)
    if (l.section) out.push_back(l.key);
  return out;
}

std::vector<std::string> IniFile::Keys(const std::string& section) const {
  std::vector<std::string> out;
  std::ptrdiff_t h = FindSection(section);
  if (h < 0) return out;
  for (std::size_t i = static_cast<std::size_t>(h) + 1; i < lines_.size() && !lines_[i].section; ++i)
    if (!lines_[i].key.empty()) out.push_back(lines_[i].key);
  return out;
}

}  // namespace platform
