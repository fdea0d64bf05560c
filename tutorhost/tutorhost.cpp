#include "tutorhost/tutorhost.h"

#include "platform/msgbox.h"
#include "platform/settings.h"

namespace tutorhost {
namespace {

constexpr const char* kNoHostCaption = "Quelstat Tutorial";
constexpr const char* kNoHostText = "Please start Excel and Quelstat before using this tutorial.";
constexpr int kWelcomeWidth = 580, kWelcomeHeight = 355;
constexpr int kStepAnswerTimeoutMs = 60 * 60 * 1000;
// The screen query is answered at once by a host that is not busy.
constexpr int kScreenAnswerTimeoutMs = 5000;

// The module's state: the check box (one at a time), the first-placement flag, the desktop.
struct ModuleState {
    bool boxExists = false;
    bool boxChecked = false;
    bool firstPlacement = false;
    int desktopWidth = 1280, desktopHeight = 1024;
    Rect placement;
};

ModuleState& State() {
    static ModuleState state;
    return state;
}

platform::SettingsKey Settings() {
    return platform::SettingsKey(platform::Hive::CurrentUser, kSettingsKey, platform::SettingsKey::kAllAccess);
}

}  // namespace

Rect PlaceWelcome(int desktopWidth, int desktopHeight, bool first, Rect current) {
    Rect r = current;
    if (first) {
        r.left = (desktopWidth - kWelcomeWidth) / 2;
        if (desktopHeight <= 480)
            r.top = 69;
        else if (desktopHeight > 600)
            r.top = (desktopHeight - kWelcomeHeight) / 2;
        else
            r.top = 140;
    }
    r.width = kWelcomeWidth;
    r.height = kWelcomeHeight;
    return r;
}

void SetDesktopSize(int width, int height) {
    State().desktopWidth = width;
    State().desktopHeight = height;
}

bool UseHostScreen() {
    platform::WindowHandle channel = platform::FindWindow("", kChannelTitle);
    if (!channel) return false;
    std::intptr_t packed = platform::SendMessage(channel, kWmScreenQuery, 0, 0, kScreenAnswerTimeoutMs);
    int width = static_cast<int>(packed / 65536), height = static_cast<int>(packed % 65536);
    if (packed <= 0 || width <= 0 || height <= 0) return false;
    SetDesktopSize(width, height);
    return true;
}

Rect LastWelcomePlacement() { return State().placement; }
bool ShowToggleChecked() { return State().boxChecked; }

}  // namespace tutorhost

using namespace tutorhost;

extern "C" {

std::intptr_t tutorialStep(int step) {
    platform::WindowHandle channel = platform::FindWindow("", kChannelTitle);
    // The add-in answers once the steps are done, a demonstration after its highlights: wait for it.
    if (channel)
        return platform::SendMessage(channel, platform::WM_TCARD, static_cast<std::uintptr_t>(step), 0,
                                     kStepAnswerTimeoutMs);
    if (step == 0) return 0;
    return platform::MessageBox(kNoHostCaption, kNoHostText, platform::MB_OK);
}

std::intptr_t demoStep(int number) { return tutorialStep(number + kDemoOffset); }

void onWelcomeWindowCreate(int) { State().firstPlacement = true; }

void onWelcomeWindow(platform::WindowHandle) {
    ModuleState& s = State();
    s.placement = PlaceWelcome(s.desktopWidth, s.desktopHeight, s.firstPlacement, s.placement);
    s.firstPlacement = false;
}

std::intptr_t wndprocShow(platform::WindowHandle, std::uint32_t msg, std::uintptr_t, std::intptr_t lParam) {
    ModuleState& s = State();
    switch (msg) {
        case kWmCreate:
            // A checked box means: do not show the welcome topic again.
            s.boxExists = true;
            s.boxChecked = Settings().ReadDword("", kShowWelcome, 1) == 0;
            return 0;
        case kWmDestroy:
            if (s.boxExists) Settings().WriteDword("", kShowWelcome, s.boxChecked ? 0 : 1);
            s.boxExists = false;
            return 0;
        case kWmPaint: return 0;
        case kWmHelpSizeQuery:
            if (auto* size = reinterpret_cast<int*>(lParam)) size[0] = size[1] = kBoxSize;
            return 1;
        default: return 0;
    }
}

void hctrlShowToggle() {
    if (State().boxExists) State().boxChecked = !State().boxChecked;
}

}  // extern "C"
