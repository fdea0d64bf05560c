#include "setup/engine/ini_file.h"

#include <cstdlib>
#include <fstream>
#include <strings.h>

namespace quelstat::setup {
namespace {

std::string trim(const std::string& s) {
    std::size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos) return "";
    std::size_t b = s.find_last_not_of(" \t\r");
    return s.substr(a, b - a + 1);
}

bool same(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }

}  // namespace

IniFile IniFile::load(const std::string& path) {
    IniFile ini;
    std::ifstream in(path, std::ios::binary);
    std::string raw, section;
    while (std::getline(in, raw)) {
        std::string t = trim(raw);
        Line line{raw, section, "", ""};
        if (!t.empty() && t[0] == '[' && t.back() == ']') {
            section = trim(t.substr(1, t.size() - 2));
            line.section = section;
        } else if (!t.empty() && t[0] != ';' && t[0] != '#') {
            auto eq = t.find('=');
            if (eq != std::string::npos) {
                line.key = trim(t.substr(0, eq));
                line.value = trim(t.substr(eq + 1));
            }
        }
        ini.lines_.push_back(line);
    }
    return ini;
}

bool IniFile::save(const std::string& path) const {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text();
    return static_cast<bool>(out.flush());
}

std::string IniFile::text() const {
    std::string text;
    for (const Line& l : lines_) text += (l.key.empty() ? l.text : l.key + "=" + l.value) + '\n';
    return text;
}

std::optional<std::string> IniFile::get(const std::string& section, const std::string& key) const {
    for (const Line& l : lines_)
        if (!l.key.empty() && same(l.section, section) && same(l.key, key)) return l.value;
    return std::nullopt;
}

int IniFile::getInt(const std::string& section, const std::string& key, int fallback) const {
    auto v = get(section, key);
    if (!v || v->empty()) return fallback;
    char* end = nullptr;
    long n = std::strtol(v->c_str(), &end, 10);
    return *end == '\0' ? static_cast<int>(n) : fallback;
}

bool IniFile::hasSection(const std::string& section) const {
    for (const Line& l : lines_)
        if (same(l.section, section)) return true;
    return false;
}

void IniFile::set(const std::string& section, const std::string& key, const std::string& value) {
    std::size_t lastOfSection = lines_.size();
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (!same(lines_[i].section, section)) continue;
        lastOfSection = i;
        if (!lines_[i].key.empty() && same(lines_[i].key, key)) {
            lines_[i].value = value;
            return;
        }
    }
    if (lastOfSection == lines_.size()) {
        lines_.push_back({"[" + section + "]", section, "", ""});
        lines_.push_back({"", section, key, value});
        return;
    }
    // After the section's last key line, so blank lines between sections stay where they were.
    std::size_t at = lastOfSection;
    while (at > 0 && lines_[at].key.empty() && trim(lines_[at].text).empty() && same(lines_[at - 1].section, section))
        --at;
    lines_.insert(lines_.begin() + static_cast<long>(at) + 1, Line{"", section, key, value});
}

void IniFile::remove(const std::string& section, const std::string& key) {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (!lines_[i].key.empty() && same(lines_[i].section, section) && same(lines_[i].key, key)) {
            lines_.erase(lines_.begin() + static_cast<long>(i));
            return;
        }
    }
}

}  // namespace quelstat::setup
