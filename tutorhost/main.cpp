// tutorhost step N | demo N | welcome [--screen WxH] [--toggle]: what the tutorial help pages'
// links run. step and demo send the step to the running add-in; welcome prints where the welcome
// window goes and, with --toggle, flips the "do not show again" box as clicking it does.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tutorhost/tutorhost.h"

namespace {

int Usage() {
    std::fprintf(stderr, "usage: tutorhost step N | demo N | welcome [--screen WxH] [--toggle]\n");
    return 2;
}

// A whole number; false for anything else.
bool ParseNumber(const char* text, int& out) {
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (!*text || *end || v < 0 || v > 1000000) return false;
    out = static_cast<int>(v);
    return true;
}

int Welcome(int argc, char** argv) {
    bool toggle = false;
    for (int i = 2; i < argc; ++i) {
        int w = 0, h = 0;
        if (!std::strcmp(argv[i], "--toggle"))
            toggle = true;
        else if (!std::strcmp(argv[i], "--screen") && i + 1 < argc && std::sscanf(argv[++i], "%dx%d", &w, &h) == 2 &&
                 w > 0 && h > 0)
            tutorhost::SetDesktopSize(w, h);
        else
            return Usage();
    }
    onWelcomeWindowCreate(0);
    onWelcomeWindow(0);
    tutorhost::Rect r = tutorhost::LastWelcomePlacement();
    std::printf("welcome window: left %d top %d width %d height %d\n", r.left, r.top, r.width, r.height);
    wndprocShow(0, tutorhost::kWmCreate, 0, 0);
    if (toggle) hctrlShowToggle();
    std::printf("show the welcome topic again: %s\n", tutorhost::ShowToggleChecked() ? "no" : "yes");
    wndprocShow(0, tutorhost::kWmDestroy, 0, 0);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    std::string verb = argv[1];
    if (verb == "welcome") return Welcome(argc, argv);
    int n = 0;
    if (argc != 3 || !ParseNumber(argv[2], n)) return Usage();
    if (verb == "step")
        std::printf("%ld\n", static_cast<long>(tutorialStep(n)));
    else if (verb == "demo")
        std::printf("%ld\n", static_cast<long>(demoStep(n)));
    else
        return Usage();
    return 0;
}
