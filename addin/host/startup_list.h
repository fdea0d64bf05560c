// The host application's start-up list: registry values "OPEN", "OPEN1", "OPEN2" ... under the
// application's options key, each naming an add-in the application opens when it starts.
#pragma once

#include <string>
#include <vector>

namespace qs {

class StartupList {
public:
    // version: the application's major version; fullPath: the add-in's full path.
    StartupList(int version, std::string fullPath);

    static std::string ApplicationKey(int version);  // key of the application's settings
    static std::string OptionsSubkey(int version);   // subkey holding the OPEN values
    static std::string ValueName(int index);         // "OPEN", "OPEN1", ...

    // True when an entry with the full path is in the list; stale entries of the add-in from other
    // folders are removed on the way.
    bool Query();
    // Removes every entry of the add-in and, when enabling, adds "/R "<full path>"" at the first free
    // index. Keeps the add-in listed in the Add-in Manager either way.
    void Set(bool enable);

    // The current values in order (up to the first missing or empty one).
    std::vector<std::string> Entries() const;

private:
    // Returns the index of the entry kept for the full path (query mode) or -1; *freeIndex receives
    // the first free index after the rewrite.
    int Scan(bool queryMode, int* freeIndex);
    bool NamesThisAddin(const std::string& value) const;
    int m_version;
    std::string m_fullPath;
    std::string m_fileName;
};

}  // namespace qs
