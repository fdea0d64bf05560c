// Opening documents, web pages and help topics.
//
// With a desktop (DISPLAY or WAYLAND_DISPLAY set and xdg-open present) the target is opened
// with xdg-open; otherwise its description is printed to standard output, so that scripted
// and test runs show what a person would have seen.
#pragma once

#include <string>

namespace platform {

// True when a desktop is present to open things on. QUELSTAT_NO_DESKTOP=1 forces false;
// QUELSTAT_OPENER=PROGRAM forces true and opens things with PROGRAM instead of xdg-open (it gets
// the file, page or address as its one argument), so that tests can record what was opened.
bool HasDesktop();
// Opens a file or web address with the desktop's default program; prints
// "Open: TARGET" without a desktop. Returns false when the desktop failed to start it.
bool ShellOpen(const std::string& target);

// Help viewer commands, numbered as the Windows help viewer's.
constexpr unsigned kHelpContext = 0x0001;
constexpr unsigned kHelpQuit = 0x0002;
constexpr unsigned kHelpFinder = 0x000B;

// Shows a help topic: the help file "NAME.hlp" is looked up as the folder "NAME" (or the file
// "NAME.html") beside it holding one page per topic ("<context>.html"). Without a desktop
// prints "Help: FILE topic CONTEXT: PAGE".
bool ShowHelp(const std::string& helpFile, unsigned command, unsigned long data);

// The page ShowHelp opens for a topic (contents page for kHelpFinder).
std::string HelpPage(const std::string& helpFile, unsigned command, unsigned long data);

}  // namespace platform
