#include "setup/res/strings.h"

#include <map>
#include <vector>

namespace quelstat::setup {
namespace {

const std::map<int, std::string>& table() {
    static const std::map<int, std::string> strings = {
        {IDS_STATUS_COPYING, "Status: Copying"},
        {IDS_STATUS_REGISTRY, "Status: Updating registry..."},
        {IDS_STATUS_REMOVING, "Status: Removing"},
        {IDS_GROUP_PROGRAM, "Program files..."},
        {IDS_GROUP_HELP, "Help && Tutorial files..."},
        {IDS_GROUP_TEMPLATES, "Template files..."},
        {IDS_GROUP_EXAMPLES, "Example files..."},
        {IDS_START_QUELSTAT, "&Start Quelstat..."},
        {IDS_CONFIRM_ABORT, "Are you sure you want to abort the Quelstat Setup Wizard?"},
        {IDS_ERR_SHORTCUT, "Unable to create shortcut %1. %2."},
        {IDS_ERR_NO_CABINET, "Unable to find cabinet file '%1'."},
        {IDS_ERR_CORRUPT,
         std::string("This file appears to have been corrupted and cannot be executed.  You should obtain a new "
                     "copy of this file to insure that it will execute correctly.  A new copy is available from ") +
             kMakerWebSite + "."},
        {IDS_ERR_CREATE_DIR, "Unable to create directory '%1'."},
        {IDS_ERR_OPEN_FILE, "Unable to open file '%1'. %2."},
        {IDS_ERR_WRITE_FILE,
         "An error occured writing a file to disk.  Please check you have enough disk-space available. %1"},
        {IDS_ERR_DIALOG, "Unable to display dialog box."},
        {IDS_ERR_MEMORY, "Out of memory."},
        {IDS_EXCEL_RUNNING,
         "Microsoft Excel is currently running.  You must quit Excel to continue installation of Quelstat."},
        {IDS_NOT_INSTALLED, "Quelstat is not installed on this computer: no installation folder is recorded."},
    };
    return strings;
}

}  // namespace

std::string loadString(int id) {
    auto it = table().find(id);
    return it == table().end() ? std::string() : it->second;
}

std::string formatText(const std::string& text, std::initializer_list<std::string> args) {
    std::vector<std::string> values(args);
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
            std::size_t n = static_cast<std::size_t>(text[i + 1] - '1');
            if (n < values.size()) out += values[n];
            ++i;
            continue;
        }
        out.push_back(text[i]);
    }
    return out;
}

std::string formatString(int id, std::initializer_list<std::string> args) { return formatText(loadString(id), args); }

}  // namespace quelstat::setup
