// The installer's string table. Texts are addressed by number; "%1" to "%9" are replaced by
// the arguments of formatString.
#pragma once

#include <initializer_list>
#include <string>

namespace quelstat::setup {

enum StringId : int {
    IDS_STATUS_COPYING = 33,
    IDS_STATUS_REGISTRY = 34,
    IDS_STATUS_REMOVING = 35,
    IDS_GROUP_PROGRAM = 64,
    IDS_GROUP_HELP = 65,
    IDS_GROUP_TEMPLATES = 66,
    IDS_GROUP_EXAMPLES = 67,
    IDS_START_QUELSTAT = 1001,
    IDS_CONFIRM_ABORT = 1002,
    IDS_ERR_SHORTCUT = 2000,
    IDS_ERR_NO_CABINET = 2001,
    IDS_ERR_CORRUPT = 2002,
    IDS_ERR_CREATE_DIR = 2004,
    IDS_ERR_OPEN_FILE = 2005,
    IDS_ERR_WRITE_FILE = 2006,
    IDS_ERR_DIALOG = 2007,
    IDS_ERR_MEMORY = 2008,
    IDS_EXCEL_RUNNING = 2010,
    IDS_SETUP_FAILED = 2011,
    IDS_NOT_INSTALLED = 2012,
};

// The web site that message 2002 points to.
inline constexpr const char* kMakerWebSite = "https://quelstat.example.org/download";

// The text of a string, or an empty string when the table has none.
std::string loadString(int id);

// The text with "%1".."%9" replaced by the arguments ("%%" stays "%%").
std::string formatString(int id, std::initializer_list<std::string> args = {});
std::string formatText(const std::string& text, std::initializer_list<std::string> args);

}  // namespace quelstat::setup
