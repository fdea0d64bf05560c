// What the installer asks of the operating system: the running program, the host check, and
// files that cannot be replaced while they are in use.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

#include "setup/cab/member_file.h"

namespace quelstat::setup {

// Full path of the running program.
std::string programPath();

// The folder part of a path, with its trailing '/'.
std::string folderOf(const std::string& path);

// True while a spreadsheet host runs (a window of class "XLMAIN"): the add-in's files and
// start-up list must not change under it.
bool hostRunning();

// Copies a file; returns false with errno set on failure.
bool copyFile(const std::string& from, const std::string& to);

// Copies a file into `folder` as `name` with permissions `mode`, writing only a plain file of
// that name, never through a link (cab::openMemberOutput); false with errno set on failure.
bool copyFileInto(const std::string& from, const cab::OpenFolder& folder, const std::string& name, mode_t mode);

// True when both paths name the same file.
bool sameFile(const std::string& a, const std::string& b);

// Files in use: a replacement waits under a temporary name and is moved into place by the next
// run of the installer. Entries live in "wininit.ini" (section "Rename") in the settings folder.
void scheduleReplacement(const std::string& settings, const std::string& target, const std::string& replacement);
// Moves waiting replacements into place; returns the targets that are still busy.
std::vector<std::string> applyPendingReplacements(const std::string& settings);

// Starts a program with arguments in the background; returns false when it cannot start.
bool startProgram(const std::string& program, const std::vector<std::string>& args);

}  // namespace quelstat::setup
