// The tutorial hook: what the tutorial help pages call to make the running add-in perform a
// tutorial step, and the welcome topic's "do not show again" box and window placement. It talks to
// the add-in only through the add-in's channel window ("QuelstatChannel"), so it works whether or
// not the add-in is loaded and never links against it.
#pragma once

#include <cstdint>

#include "platform/windows.h"

extern "C" {
// Sends WM_TCARD(step, 0) to the channel window and returns its answer. Without a channel window:
// step 0 returns 0 silently, any other step shows "Please start Excel and Quelstat before using
// this tutorial." and returns the message box's answer.
std::intptr_t tutorialStep(int step);
// tutorialStep(number + 10000): the step in demonstration mode.
std::intptr_t demoStep(int number);
// Marks the next onWelcomeWindow as the first placement.
void onWelcomeWindowCreate(int ignored);
// Places the welcome topic's window for a desktop of the given size (see tutorhost::PlaceWelcome).
void onWelcomeWindow(platform::WindowHandle topic);
// Window procedure of the embedded "QuelstatHelp_ShowWelcome" check box.
std::intptr_t wndprocShow(platform::WindowHandle window, std::uint32_t msg, std::uintptr_t wParam,
                          std::intptr_t lParam);
// Toggles the check box.
void hctrlShowToggle();
}

namespace tutorhost {

inline constexpr const char* kChannelTitle = "QuelstatChannel";
inline constexpr const char* kSettingsKey = "SOFTWARE\\Quelstat\\Quelstat for Excel\\1.0";
inline constexpr const char* kShowWelcome = "ShowWelcome";
inline constexpr int kDemoOffset = 10000;
// The add-in's channel message that answers the host's screen setting (width * 65536 + height).
inline constexpr std::uint32_t kWmScreenQuery = 0x0400 + 1;
// Messages of the check box's window procedure.
inline constexpr std::uint32_t kWmCreate = 0x0001, kWmDestroy = 0x0002, kWmPaint = 0x000F;
inline constexpr std::uint32_t kWmHelpSizeQuery = 0x706B;
inline constexpr int kBoxSize = 13;

struct Rect {
    int left = 0, top = 0, width = 0, height = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

// Where the welcome window goes: on the first placement centred horizontally for a width of 580,
// at a top of 69 on desktops up to 480 high, (height - 355) / 2 above 600, else 140; later at its
// current position. Always 580 x 355.
Rect PlaceWelcome(int desktopWidth, int desktopHeight, bool first, Rect current);

// The desktop the placement is computed for (the host's screen setting; 1280 x 1024 by default).
void SetDesktopSize(int width, int height);
// Takes the desktop size from the running host's screen setting, through the add-in's channel
// window; false (the size unchanged) when no host answers.
bool UseHostScreen();
// The last placement onWelcomeWindow made (the window layer has no geometry of its own).
Rect LastWelcomePlacement();
// Whether the check box is checked (the welcome topic is not to be shown again).
bool ShowToggleChecked();

}  // namespace tutorhost
