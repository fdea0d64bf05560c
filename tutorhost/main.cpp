// tutorhost step N | demo N | welcome [--screen WxH] [--toggle] | URL: what the tutorial help
// pages' links run. step and demo send the step to the running add-in; welcome prints where the
// welcome window goes (on the running host's screen setting, or on --screen) and, with --toggle,
// flips the "do not show again" box as clicking it does.
//
// The pages' links are addresses of the scheme quelstat-tutorial, which the desktop entry the
// installer registers hands to this program: quelstat-tutorial:step/N, quelstat-tutorial:demo/N,
// and quelstat-tutorial:welcome/show or quelstat-tutorial:welcome/hide (the welcome page's
// "show this page when Quelstat starts" choice).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tutorhost/tutorhost.h"

namespace {

constexpr const char* kScheme = "quelstat-tutorial:";

int Usage() {
    std::fprintf(stderr, "usage: tutorhost step N | demo N | welcome [--screen WxH] [--toggle] | %sstep/N\n", kScheme);
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
    // The running host's screen setting unless one is given.
    bool screenGiven = false;
    for (int i = 2; i < argc; ++i) screenGiven = screenGiven || !std::strcmp(argv[i], "--screen");
    if (!screenGiven) tutorhost::UseHostScreen();
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

// The welcome page's choice: the box checked (hide) or not (show), kept as closing the box keeps it.
int WelcomeChoice(bool show) {
    wndprocShow(0, tutorhost::kWmCreate, 0, 0);
    if (tutorhost::ShowToggleChecked() == show) hctrlShowToggle();
    wndprocShow(0, tutorhost::kWmDestroy, 0, 0);
    std::printf("show the welcome topic again: %s\n", show ? "yes" : "no");
    return 0;
}

int Send(const std::string& verb, const char* number) {
    int n = 0;
    if (!ParseNumber(number, n)) return Usage();
    if (verb == "step")
        std::printf("%ld\n", static_cast<long>(tutorialStep(n)));
    else if (verb == "demo")
        std::printf("%ld\n", static_cast<long>(demoStep(n)));
    else
        return Usage();
    return 0;
}

// quelstat-tutorial:VERB/ARG (a browser may add "//" after the scheme or a "/" at the end).
int Link(std::string rest) {
    if (rest.rfind("//", 0) == 0) rest.erase(0, 2);
    if (!rest.empty() && rest.back() == '/') rest.pop_back();
    size_t slash = rest.find('/');
    if (slash == std::string::npos) return Usage();
    std::string verb = rest.substr(0, slash), arg = rest.substr(slash + 1);
    if (verb == "welcome" && (arg == "show" || arg == "hide")) return WelcomeChoice(arg == "show");
    return Send(verb, arg.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    std::string verb = argv[1];
    if (verb.rfind(kScheme, 0) == 0) return argc == 2 ? Link(verb.substr(std::strlen(kScheme))) : Usage();
    if (verb == "welcome") return Welcome(argc, argv);
    if (argc != 3) return Usage();
    return Send(verb, argv[2]);
}
