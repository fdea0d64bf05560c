// The installer's view of the settings store: keys of named values under two roots, the
// machine's and the current user's. Everything the installer records goes through
// RegistryStore, so the same engine runs over files (the program) or memory (tests).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quelstat::setup {

enum class Hive { LocalMachine, CurrentUser };

struct RegValue {
    enum class Type { String, Number } type = Type::String;
    std::string text;
    std::uint32_t number = 0;

    static RegValue string(std::string s) { return {Type::String, std::move(s), 0}; }
    static RegValue dword(std::uint32_t n) { return {Type::Number, {}, n}; }
    bool operator==(const RegValue&) const = default;
};

class RegistryStore {
public:
    virtual ~RegistryStore() = default;
    // Key paths use '\' between parts; keys and value names compare without regard to case.
    virtual std::optional<RegValue> get(Hive hive, const std::string& key, const std::string& name) const = 0;
    virtual void set(Hive hive, const std::string& key, const std::string& name, const RegValue& value) = 0;
    virtual void deleteValue(Hive hive, const std::string& key, const std::string& name) = 0;
    // Deletes the key with every key and value beneath it.
    virtual void deleteTree(Hive hive, const std::string& key) = 0;
    // Value names of one key, in the order they were first written.
    virtual std::vector<std::string> valueNames(Hive hive, const std::string& key) const = 0;
    virtual bool keyExists(Hive hive, const std::string& key) const = 0;

    std::optional<std::string> getString(Hive hive, const std::string& key, const std::string& name) const;
    std::optional<std::uint32_t> getNumber(Hive hive, const std::string& key, const std::string& name) const;
    void setString(Hive hive, const std::string& key, const std::string& name, const std::string& text) {
        set(hive, key, name, RegValue::string(text));
    }
    void setNumber(Hive hive, const std::string& key, const std::string& name, std::uint32_t n) {
        set(hive, key, name, RegValue::dword(n));
    }
};

// Keys and values held in memory.
class MemoryRegistryStore : public RegistryStore {
public:
    std::optional<RegValue> get(Hive hive, const std::string& key, const std::string& name) const override;
    void set(Hive hive, const std::string& key, const std::string& name, const RegValue& value) override;
    void deleteValue(Hive hive, const std::string& key, const std::string& name) override;
    void deleteTree(Hive hive, const std::string& key) override;
    std::vector<std::string> valueNames(Hive hive, const std::string& key) const override;
    bool keyExists(Hive hive, const std::string& key) const override;

    // The text form of one root: "[key]" lines followed by "name"=value lines.
    std::string serialise(Hive hive) const;
    // Reads the text form; returns false (leaving the root empty) when it is malformed.
    bool parse(Hive hive, const std::string& text);

protected:
    struct Key {
        std::string name;  // as first written
        std::vector<std::pair<std::string, RegValue>> values;
    };
    using Root = std::map<std::string, Key>;  // by lower-case path
    Root& root(Hive hive) { return hive == Hive::LocalMachine ? machine_ : user_; }
    const Root& root(Hive hive) const { return hive == Hive::LocalMachine ? machine_ : user_; }

private:
    Root machine_, user_;
};

// The program's settings store (platform/settings.h): the two roots as files in the settings
// folder, shared with the spreadsheet host and the add-in.
class PlatformRegistryStore : public RegistryStore {
public:
    std::optional<RegValue> get(Hive hive, const std::string& key, const std::string& name) const override;
    void set(Hive hive, const std::string& key, const std::string& name, const RegValue& value) override;
    void deleteValue(Hive hive, const std::string& key, const std::string& name) override;
    void deleteTree(Hive hive, const std::string& key) override;
    std::vector<std::string> valueNames(Hive hive, const std::string& key) const override;
    bool keyExists(Hive hive, const std::string& key) const override;
};

// The settings folder: $QUELSTAT_HOME, else $XDG_CONFIG_HOME/quelstat, else ~/.config/quelstat.
std::string settingsFolder();

}  // namespace quelstat::setup
