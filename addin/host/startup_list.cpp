#include "addin/host/startup_list.h"

#include "addin/host/settings.h"

namespace qs {

StartupList::StartupList(int version, std::string fullPath) : m_version(version), m_fullPath(std::move(fullPath)) {
    size_t slash = m_fullPath.find_last_of("/\\");
    m_fileName = slash == std::string::npos ? m_fullPath : m_fullPath.substr(slash + 1);
}

std::string StartupList::ApplicationKey(int version) {
    if (version <= 7) return "SOFTWARE\\Microsoft\\Excel\\7.0";
    if (version == 8) return "SOFTWARE\\Microsoft\\Office\\8.0\\Excel";
    return "SOFTWARE\\Microsoft\\Office\\9.0\\Excel";
}

std::string StartupList::OptionsSubkey(int version) { return version < 9 ? "Microsoft Excel" : "Options"; }

std::string StartupList::ValueName(int index) { return index == 0 ? "OPEN" : "OPEN" + std::to_string(index); }

std::vector<std::string> StartupList::Entries() const {
    SettingsKey key(SettingsRoot::CurrentUser, ApplicationKey(m_version));
    std::vector<std::string> out;
    for (int i = 0;; ++i) {
        std::string v = key.ReadText(OptionsSubkey(m_version), ValueName(i));
        if (v.empty()) break;
        out.push_back(v);
    }
    return out;
}

// An entry names the add-in when it holds the add-in's file name as a whole path component: another
// add-in whose name merely ends the same way ("myquelstat.xll") is left alone.
bool StartupList::NamesThisAddin(const std::string& value) const {
    if (m_fileName.empty()) return false;
    for (size_t pos = value.find(m_fileName); pos != std::string::npos; pos = value.find(m_fileName, pos + 1)) {
        bool startOk = pos == 0 || value[pos - 1] == '/' || value[pos - 1] == '\\' || value[pos - 1] == '"' ||
                       value[pos - 1] == ' ';
        size_t end = pos + m_fileName.size();
        bool endOk = end == value.size() || value[end] == '"' || value[end] == ' ';
        if (startOk && endOk) return true;
    }
    return false;
}

int StartupList::Scan(bool queryMode, int* freeIndex) {
    SettingsKey key(SettingsRoot::CurrentUser, ApplicationKey(m_version));
    const std::string sub = OptionsSubkey(m_version);
    std::vector<std::string> entries = Entries();
    std::vector<std::string> kept;
    int found = -1;
    for (const std::string& v : entries) {
        if (queryMode && found < 0 && v.find(m_fullPath) != std::string::npos && NamesThisAddin(v)) {
            found = static_cast<int>(kept.size());
            kept.push_back(v);
        } else if (!NamesThisAddin(v)) {
            kept.push_back(v);
        }
    }
    // Rewrite the kept values gap-free, then remove what is left over beyond them.
    for (size_t i = 0; i < kept.size(); ++i)
        if (kept[i] != entries[i]) key.WriteText(sub, ValueName(static_cast<int>(i)), kept[i]);
    for (size_t i = kept.size(); i < entries.size(); ++i) key.DeleteValue(sub, ValueName(static_cast<int>(i)));
    if (freeIndex) *freeIndex = static_cast<int>(kept.size());
    return found;
}

bool StartupList::Query() { return Scan(true, nullptr) >= 0; }

void StartupList::Set(bool enable) {
    int freeIndex = 0;
    Scan(false, &freeIndex);
    SettingsKey key(SettingsRoot::CurrentUser, ApplicationKey(m_version));
    if (enable) key.WriteText(OptionsSubkey(m_version), ValueName(freeIndex), "/R \"" + m_fullPath + "\"");
    key.WriteText("Add-in Manager", m_fullPath, "");
}

}  // namespace qs
