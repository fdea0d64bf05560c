// The installation's files, in groups: each group has a progress caption, a folder under the
// installation folder, and its file names.
#pragma once

#include <string>
#include <vector>

namespace quelstat::setup {

struct FileGroup {
    int caption;         // string number shown while the group is copied
    std::string folder;  // relative to the installation folder, "" for the folder itself
    std::vector<std::string> files;
    bool removeOnly;  // files that are never installed, only removed (indexes the help viewer made ...)
};

// The groups, in the order the installer declares them.
const std::vector<FileGroup>& fileGroups();

// The group a cabinet member belongs to, or null. Names compare without regard to case; a
// workbook, template or library stored in this platform's format ("x.xlsx", "x.xltx", "x.so")
// stands for the group's name with the older extension ("x.xls", "x.xlt", "x.dll").
// Remove-only groups are not searched.
const FileGroup* findGroup(const std::string& memberName);

// True when a file called `member` stands for the group entry `listed` (see findGroup).
bool memberStandsFor(const std::string& member, const std::string& listed);

// Folder names used by the layout.
inline constexpr const char* kSystemFolder = "system";
inline constexpr const char* kAddinFile = "quelstat.xll";
inline constexpr const char* kSetupProgram = "setup";
inline constexpr const char* kSetupIni = "setup.ini";
inline constexpr const char* kTutorialProgram = "tutorhost";  // runs the tutorial pages' links
inline constexpr const char* kTutorialScheme = "x-scheme-handler/quelstat-tutorial";
inline constexpr const char* kMimeDefaults = "Default Applications";  // section of mimeapps.list

}  // namespace quelstat::setup
