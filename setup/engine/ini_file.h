// INI files ("[Section]" headers, "Key=Value" lines), as setup.ini is written and read.
// Sections and keys compare without regard to case; order and comments are kept on rewrite.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quelstat::setup {

class IniFile {
public:
    // A missing file reads as empty.
    static IniFile load(const std::string& path);
    bool save(const std::string& path) const;
    // The file's text as save writes it.
    std::string text() const;

    std::optional<std::string> get(const std::string& section, const std::string& key) const;
    // The value as a whole number, or `fallback` when it is absent or not a number.
    int getInt(const std::string& section, const std::string& key, int fallback) const;
    void set(const std::string& section, const std::string& key, const std::string& value);
    void remove(const std::string& section, const std::string& key);
    bool hasSection(const std::string& section) const;

private:
    struct Line {
        std::string text;     // the line as read (for comments and blank lines)
        std::string section;  // section this line belongs to
        std::string key;      // empty unless a key line
        std::string value;
    };
    std::vector<Line> lines_;
};

}  // namespace quelstat::setup
