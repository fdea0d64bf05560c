#include "addin/host/settings.h"

#include <cstring>

namespace qs {

namespace {
std::shared_ptr<SettingsBackend>& Backend() {
    static std::shared_ptr<SettingsBackend> backend = std::make_shared<MemorySettingsBackend>();
    return backend;
}

std::string RootName(SettingsRoot r) { return r == SettingsRoot::CurrentUser ? "HKCU" : "HKLM"; }

// Registry names are compared without regard to ASCII case.
std::string Fold(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return s;
}
}  // namespace

SettingsBackend& Settings() { return *Backend(); }
void SetSettingsBackend(std::shared_ptr<SettingsBackend> backend) {
    Backend() = backend ? std::move(backend) : std::make_shared<MemorySettingsBackend>();
}

std::optional<SettingsValue> MemorySettingsBackend::Read(SettingsRoot root, const std::string& key,
                                                         const std::string& name) {
    auto it = values.find(Fold(RootName(root) + "\\" + key + "\\" + name));
    if (it == values.end()) return std::nullopt;
    return it->second;
}

bool MemorySettingsBackend::Write(SettingsRoot root, const std::string& key, const std::string& name,
                                  const SettingsValue& value) {
    values[Fold(RootName(root) + "\\" + key + "\\" + name)] = value;
    return true;
}

bool MemorySettingsBackend::Delete(SettingsRoot root, const std::string& key, const std::string& name) {
    return values.erase(Fold(RootName(root) + "\\" + key + "\\" + name)) > 0;
}

std::optional<std::string> MemorySettingsBackend::IniRead(const std::string& file, const std::string& section,
                                                          const std::string& name) {
    auto it = ini.find(Fold(file + "|" + section + "|" + name));
    if (it == ini.end()) return std::nullopt;
    return it->second;
}

bool MemorySettingsBackend::IniWrite(const std::string& file, const std::string& section, const std::string& name,
                                     const std::optional<std::string>& value) {
    std::string k = Fold(file + "|" + section + "|" + name);
    if (value)
        ini[k] = *value;
    else
        ini.erase(k);
    return true;
}

SettingsKey::SettingsKey(SettingsRoot root, std::string keyPath, uint32_t accessMask)
    : m_root(root), m_path(std::move(keyPath)), m_access(accessMask) {}

SettingsKey SettingsKey::Ini(std::string file, std::string section) {
    SettingsKey k(SettingsRoot::CurrentUser, std::move(file), 0);
    k.m_ini = true;
    k.m_section = std::move(section);
    return k;
}

std::string SettingsKey::Path(const std::string& subkey) const {
    return subkey.empty() ? m_path : m_path + "\\" + subkey;
}

bool SettingsKey::WriteText(const std::string& subkey, const std::string& name, const std::string& text) {
    if (m_ini) return Settings().IniWrite(m_path, subkey.empty() ? m_section : subkey, name, text);
    return Settings().Write(m_root, Path(subkey), name, SettingsValue{REG_SZ_TYPE, text});
}

bool SettingsKey::WriteNumber(const std::string& subkey, const std::string& name, uint32_t value) {
    if (m_ini) return WriteText(subkey, name, std::to_string(value));
    std::string b(4, '\0');
    for (int i = 0; i < 4; ++i) b[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return Settings().Write(m_root, Path(subkey), name, SettingsValue{REG_DWORD_TYPE, b});
}

bool SettingsKey::WriteBinary(const std::string& subkey, const std::string& name, const void* data, size_t size) {
    std::string b(static_cast<const char*>(data), size);
    if (m_ini) {
        // INI files hold text: binary blocks as hexadecimal digits.
        static const char* digits = "0123456789ABCDEF";
        std::string hex;
        for (unsigned char c : b) {
            hex += digits[c >> 4];
            hex += digits[c & 15];
        }
        return WriteText(subkey, name, hex);
    }
    return Settings().Write(m_root, Path(subkey), name, SettingsValue{REG_BINARY_TYPE, b});
}

std::string SettingsKey::ReadText(const std::string& subkey, const std::string& name, const std::string& def) const {
    if (m_ini) return Settings().IniRead(m_path, subkey.empty() ? m_section : subkey, name).value_or(def);
    auto v = Settings().Read(m_root, Path(subkey), name);
    if (!v || v->type != REG_SZ_TYPE) return def;
    return v->bytes;
}

uint32_t SettingsKey::ReadNumber(const std::string& subkey, const std::string& name, uint32_t def) const {
    if (m_ini) {
        auto t = Settings().IniRead(m_path, subkey.empty() ? m_section : subkey, name);
        if (!t || t->empty()) return def;
        char* end = nullptr;
        unsigned long v = std::strtoul(t->c_str(), &end, 10);
        return (end && *end == 0) ? static_cast<uint32_t>(v) : def;
    }
    auto v = Settings().Read(m_root, Path(subkey), name);
    if (!v || v->type != REG_DWORD_TYPE || v->bytes.size() != 4) return def;
    uint32_t r = 0;
    for (int i = 3; i >= 0; --i) r = (r << 8) | static_cast<unsigned char>(v->bytes[i]);
    return r;
}

std::optional<std::vector<uint8_t>> SettingsKey::ReadBinary(const std::string& subkey, const std::string& name) const {
    if (m_ini) {
        auto t = Settings().IniRead(m_path, subkey.empty() ? m_section : subkey, name);
        if (!t || t->size() % 2) return std::nullopt;
        std::vector<uint8_t> out;
        for (size_t i = 0; i < t->size(); i += 2) {
            char pair[3] = {(*t)[i], (*t)[i + 1], 0};
            char* end = nullptr;
            unsigned long v = std::strtoul(pair, &end, 16);
            if (*end) return std::nullopt;
            out.push_back(static_cast<uint8_t>(v));
        }
        return out;
    }
    auto v = Settings().Read(m_root, Path(subkey), name);
    if (!v || v->type != REG_BINARY_TYPE) return std::nullopt;
    return std::vector<uint8_t>(v->bytes.begin(), v->bytes.end());
}

size_t SettingsKey::ReadBinaryInto(const std::string& subkey, const std::string& name, void* buf, size_t size) const {
    auto b = ReadBinary(subkey, name);
    if (!b) return 0;
    size_t n = std::min(size, b->size());
    if (n) std::memcpy(buf, b->data(), n);
    return n;
}

bool SettingsKey::DeleteValue(const std::string& subkey, const std::string& name) {
    if (m_ini) return Settings().IniWrite(m_path, subkey.empty() ? m_section : subkey, name, std::nullopt);
    return Settings().Delete(m_root, Path(subkey), name);
}

}  // namespace qs
