#include "setup/engine/registry.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/settings.h"
#include "platform/text.h"
#include "setup/core/exceptions.h"

namespace quelstat::setup {
namespace {

std::string quote(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out.push_back('\\');
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out.push_back(c);
    }
    return out + "\"";
}

// Reads a quoted string at `pos`; returns false when it is not one.
bool unquote(const std::string& line, std::size_t& pos, std::string& out) {
    if (pos >= line.size() || line[pos] != '"') return false;
    out.clear();
    for (++pos; pos < line.size(); ++pos) {
        char c = line[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c == '\\' && pos + 1 < line.size()) {
            c = line[++pos];
            if (c == 'n') c = '\n';
        }
        out.push_back(c);
    }
    return false;
}

}  // namespace

std::optional<std::string> RegistryStore::getString(Hive hive, const std::string& key, const std::string& name) const {
    auto v = get(hive, key, name);
    if (!v) return std::nullopt;
    return v->type == RegValue::Type::String ? v->text : std::to_string(v->number);
}

std::optional<std::uint32_t> RegistryStore::getNumber(Hive hive, const std::string& key,
                                                      const std::string& name) const {
    auto v = get(hive, key, name);
    if (!v) return std::nullopt;
    if (v->type == RegValue::Type::Number) return v->number;
    char* end = nullptr;
    unsigned long n = std::strtoul(v->text.c_str(), &end, 10);
    if (v->text.empty() || *end != '\0') return std::nullopt;
    return static_cast<std::uint32_t>(n);
}

std::optional<RegValue> MemoryRegistryStore::get(Hive hive, const std::string& key, const std::string& name) const {
    const Root& r = root(hive);
    auto it = r.find(platform::FoldCase(key));
    if (it == r.end()) return std::nullopt;
    for (const auto& [n, v] : it->second.values)
        if (platform::EqualNoCase(n, name)) return v;
    return std::nullopt;
}

void MemoryRegistryStore::set(Hive hive, const std::string& key, const std::string& name, const RegValue& value) {
    Key& k = root(hive)[platform::FoldCase(key)];
    if (k.name.empty()) k.name = key;
    for (auto& [n, v] : k.values) {
        if (platform::EqualNoCase(n, name)) {
            v = value;
            return;
        }
    }
    k.values.emplace_back(name, value);
}

void MemoryRegistryStore::deleteValue(Hive hive, const std::string& key, const std::string& name) {
    Root& r = root(hive);
    auto it = r.find(platform::FoldCase(key));
    if (it == r.end()) return;
    auto& vals = it->second.values;
    vals.erase(
        std::remove_if(vals.begin(), vals.end(), [&](const auto& p) { return platform::EqualNoCase(p.first, name); }),
        vals.end());
}

void MemoryRegistryStore::deleteTree(Hive hive, const std::string& key) {
    Root& r = root(hive);
    std::string k = platform::FoldCase(key);
    std::string prefix = k + "\\";
    for (auto it = r.begin(); it != r.end();) {
        if (it->first == k || it->first.compare(0, prefix.size(), prefix) == 0)
            it = r.erase(it);
        else
            ++it;
    }
}

std::vector<std::string> MemoryRegistryStore::valueNames(Hive hive, const std::string& key) const {
    std::vector<std::string> names;
    const Root& r = root(hive);
    auto it = r.find(platform::FoldCase(key));
    if (it != r.end())
        for (const auto& p : it->second.values) names.push_back(p.first);
    return names;
}

bool MemoryRegistryStore::keyExists(Hive hive, const std::string& key) const {
    const Root& r = root(hive);
    std::string k = platform::FoldCase(key);
    std::string prefix = k + "\\";
    for (const auto& p : r)
        if (p.first == k || p.first.compare(0, prefix.size(), prefix) == 0) return true;
    return false;
}

std::string MemoryRegistryStore::serialise(Hive hive) const {
    std::ostringstream out;
    for (const auto& [id, key] : root(hive)) {
        out << '[' << key.name << "]\n";
        for (const auto& [name, v] : key.values) {
            out << quote(name) << '=';
            if (v.type == RegValue::Type::Number) {
                char buf[16];
                std::snprintf(buf, sizeof buf, "dword:%08x", v.number);
                out << buf;
            } else {
                out << quote(v.text);
            }
            out << '\n';
        }
        out << '\n';
    }
    return out.str();
}

bool MemoryRegistryStore::parse(Hive hive, const std::string& text) {
    Root& r = root(hive);
    r.clear();
    std::istringstream in(text);
    std::string line, key;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line[0] == '[' && line.back() == ']') {
            key = line.substr(1, line.size() - 2);
            Key& k = r[platform::FoldCase(key)];
            if (k.name.empty()) k.name = key;
            continue;
        }
        std::size_t pos = 0;
        std::string name, value;
        if (key.empty() || !unquote(line, pos, name) || pos >= line.size() || line[pos] != '=') {
            r.clear();
            return false;
        }
        ++pos;
        if (line.compare(pos, 6, "dword:") == 0) {
            set(hive, key, name,
                RegValue::dword(static_cast<std::uint32_t>(std::strtoul(line.c_str() + pos + 6, nullptr, 16))));
        } else if (unquote(line, pos, value)) {
            set(hive, key, name, RegValue::string(value));
        } else {
            r.clear();
            return false;
        }
    }
    return true;
}

namespace {

platform::Hive toPlatform(Hive hive) {
    return hive == Hive::LocalMachine ? platform::Hive::LocalMachine : platform::Hive::CurrentUser;
}

}  // namespace

std::optional<RegValue> PlatformRegistryStore::get(Hive hive, const std::string& key, const std::string& name) const {
    auto v = platform::registry::Get(toPlatform(hive), key, name);
    if (!v) return std::nullopt;
    if (v->type == platform::ValueType::Dword && v->data.size() == 4)
        return RegValue::dword(static_cast<std::uint32_t>(v->data[0]) | static_cast<std::uint32_t>(v->data[1]) << 8 |
                               static_cast<std::uint32_t>(v->data[2]) << 16 |
                               static_cast<std::uint32_t>(v->data[3]) << 24);
    return RegValue::string(v->Text());
}

void PlatformRegistryStore::set(Hive hive, const std::string& key, const std::string& name, const RegValue& value) {
    platform::SettingsValue v;
    if (value.type == RegValue::Type::Number) {
        v.type = platform::ValueType::Dword;
        for (int i = 0; i < 4; ++i) v.data.push_back(static_cast<std::uint8_t>(value.number >> (8 * i)));
    } else {
        v.type = platform::ValueType::Text;
        v.data.assign(value.text.begin(), value.text.end());
    }
    platform::registry::Set(toPlatform(hive), key, name, v);
}

void PlatformRegistryStore::deleteValue(Hive hive, const std::string& key, const std::string& name) {
    platform::registry::Delete(toPlatform(hive), key, name);
}

void PlatformRegistryStore::deleteTree(Hive hive, const std::string& key) {
    platform::registry::DeleteKey(toPlatform(hive), key);
}

std::vector<std::string> PlatformRegistryStore::valueNames(Hive hive, const std::string& key) const {
    return platform::registry::ValueNames(toPlatform(hive), key);
}

bool PlatformRegistryStore::keyExists(Hive hive, const std::string& key) const {
    return platform::registry::KeyExists(toPlatform(hive), key);
}

std::string settingsFolder() { return platform::SettingsFolder().string(); }

}  // namespace quelstat::setup
