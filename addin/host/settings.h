// Settings store: values under a registry-style key (per user or per machine) or in an INI file
// section, addressed by (subkey, value name); an empty subkey means the key itself. Subkeys are made
// on demand. The storage itself is a SettingsBackend supplied by the platform layer.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qs {

enum class SettingsRoot { CurrentUser, LocalMachine };

enum : uint32_t { REG_SZ_TYPE = 1, REG_BINARY_TYPE = 3, REG_DWORD_TYPE = 4 };

struct SettingsValue {
    uint32_t type = REG_SZ_TYPE;
    std::string bytes;  // text without terminator, binary bytes, or 4 little-endian bytes
};

// Where settings live. Paths use backslashes as the registry does ("SOFTWARE\\Quelstat\\...").
class SettingsBackend {
public:
    virtual ~SettingsBackend() = default;
    virtual std::optional<SettingsValue> Read(SettingsRoot root, const std::string& key, const std::string& name) = 0;
    virtual bool Write(SettingsRoot root, const std::string& key, const std::string& name,
                       const SettingsValue& value) = 0;
    virtual bool Delete(SettingsRoot root, const std::string& key, const std::string& name) = 0;
    // INI files: `file` is a bare name ("win.ini", "setup.ini") or a path.
    virtual std::optional<std::string> IniRead(const std::string& file, const std::string& section,
                                               const std::string& name) = 0;
    virtual bool IniWrite(const std::string& file, const std::string& section, const std::string& name,
                          const std::optional<std::string>& value) = 0;  // nullopt deletes
};

// A backend that keeps everything in memory (tests, and hosts without a settings store).
class MemorySettingsBackend : public SettingsBackend {
public:
    std::optional<SettingsValue> Read(SettingsRoot root, const std::string& key, const std::string& name) override;
    bool Write(SettingsRoot root, const std::string& key, const std::string& name, const SettingsValue& value) override;
    bool Delete(SettingsRoot root, const std::string& key, const std::string& name) override;
    std::optional<std::string> IniRead(const std::string& file, const std::string& section,
                                       const std::string& name) override;
    bool IniWrite(const std::string& file, const std::string& section, const std::string& name,
                  const std::optional<std::string>& value) override;

    // Every value, "ROOT\\key\\name" -> value, for tests.
    std::map<std::string, SettingsValue> values;
    std::map<std::string, std::string> ini;
};

// The backend the add-in uses; the platform layer installs its own. Default: a MemorySettingsBackend.
SettingsBackend& Settings();
void SetSettingsBackend(std::shared_ptr<SettingsBackend> backend);

class SettingsKey {
public:
    SettingsKey(SettingsRoot root, std::string keyPath, uint32_t accessMask = 0x2001F);
    // An INI file section (default "win.ini", section "Config").
    static SettingsKey Ini(std::string file = "win.ini", std::string section = "Config");

    bool WriteText(const std::string& subkey, const std::string& name, const std::string& text);
    bool WriteNumber(const std::string& subkey, const std::string& name, uint32_t value);
    bool WriteBinary(const std::string& subkey, const std::string& name, const void* data, size_t size);
    std::string ReadText(const std::string& subkey, const std::string& name, const std::string& def = "") const;
    uint32_t ReadNumber(const std::string& subkey, const std::string& name, uint32_t def) const;
    // The stored block at its stored size; nullopt when absent.
    std::optional<std::vector<uint8_t>> ReadBinary(const std::string& subkey, const std::string& name) const;
    // Copies at most `size` bytes into `buf`; returns the number copied (0 when absent).
    size_t ReadBinaryInto(const std::string& subkey, const std::string& name, void* buf, size_t size) const;
    bool DeleteValue(const std::string& subkey, const std::string& name);

private:
    std::string Path(const std::string& subkey) const;
    bool m_ini = false;
    SettingsRoot m_root = SettingsRoot::CurrentUser;
    std::string m_path;  // key path, or INI file name
    std::string m_section;
    uint32_t m_access = 0;
};

// The add-in's own key, per user and per machine.
constexpr const char* kQuelstatKey = "SOFTWARE\\Quelstat\\Quelstat for Excel\\1.0";

}  // namespace qs
