#include "setup/engine/wizard.h"

#include <chrono>
#include <iostream>
#include <poll.h>
#include <thread>
#include <unistd.h>

#include "platform/text.h"
#include "setup/core/exceptions.h"
#include "setup/engine/system.h"

namespace quelstat::setup {
namespace {

// The progress page's status line and bar, printed as lines: each status, and the bar every
// tenth of the way.
class ConsoleProgress : public Progress {
public:
    explicit ConsoleProgress(std::ostream& out) : out_(out) {}
    void status(const std::string& text) override { out_ << "  " << text << '\n' << std::flush; }
    void range(std::uint64_t total) override {
        total_ = total;
        done_ = 0;
        shown_ = 0;
    }
    void advance(std::uint64_t bytes) override {
        done_ += bytes;
        int tenth = total_ ? static_cast<int>(done_ * 10 / total_) : 10;
        if (tenth > shown_) {
            shown_ = tenth;
            out_ << "  [" << std::string(static_cast<std::size_t>(tenth), '#')
                 << std::string(static_cast<std::size_t>(10 - tenth), '.') << "] " << tenth * 10 << "%\n"
                 << std::flush;
        }
    }

private:
    std::ostream& out_;
    std::uint64_t total_ = 0, done_ = 0;
    int shown_ = 0;
};

const char* const kAnswerCancel = "cancel";

}  // namespace

Answers::Answers(IniFile ini, std::istream& in, std::ostream& out, bool interactive)
    : ini_(std::move(ini)), in_(in), out_(out), interactive_(interactive) {}

std::string Answers::text(const std::string& key, const std::string& prompt, const std::string& fallback) {
    if (auto v = ini_.get("Wizard", key)) return *v;
    if (!interactive_) return fallback;
    out_ << prompt << (fallback.empty() ? "" : " [" + fallback + "]") << ": " << std::flush;
    std::string line;
    if (!std::getline(in_, line)) return kAnswerCancel;
    return line.empty() ? fallback : line;
}

bool Answers::yesNo(const std::string& key, const std::string& prompt, bool fallback) {
    std::string a = platform::FoldCase(text(key, prompt + " (yes/no)", fallback ? "yes" : "no"));
    if (a == "y" || a == "yes" || a == "1" || a == "on" || a == "true") return true;
    if (a == "n" || a == "no" || a == "0" || a == "off" || a == "false") return false;
    return fallback;
}

int Answers::choice(const std::string& key, const std::string& prompt, const std::vector<std::string>& options,
                    int fallback) {
    if (interactive_ && !ini_.get("Wizard", key))
        for (std::size_t i = 0; i < options.size(); ++i)
            out_ << "    " << i << "  " << platform::WithoutAccelerators(options[i]) << '\n';
    std::string a = text(key, prompt, std::to_string(fallback));
    char* end = nullptr;
    long n = std::strtol(a.c_str(), &end, 10);
    if (!a.empty() && *end == '\0' && n >= 0 && n < static_cast<long>(options.size())) return static_cast<int>(n);
    return a == kAnswerCancel ? -1 : fallback;
}

bool DialogWizard::run() {
    for (const Step& step : steps_)
        if (!step.show()) return false;
    return true;
}

SetupWizard::SetupWizard(Installer& installer, Answers& answers, std::ostream& out, std::ostream& err)
    : inst_(installer), answers_(answers), out_(out), err_(err) {}

void SetupWizard::message(const std::string& text) { err_ << "setup: " << text << '\n' << std::flush; }

bool SetupWizard::cancelled(const std::string& answer) { return answer == kAnswerCancel && confirmAbort(); }

bool SetupWizard::confirmAbort() {
    if (!answers_.interactive()) return true;
    return answers_.yesNo("ConfirmAbort", loadString(IDS_CONFIRM_ABORT), true);
}

bool SetupWizard::page(int resource, const std::string& title, const std::vector<std::string>& lines) {
    out_ << "\n== " << title << " ==  [" << resource << "]\n";
    for (const auto& l : lines) out_ << l << '\n';
    out_ << std::flush;
    return true;
}

std::vector<int> SetupWizard::pagePlan() const {
    std::vector<int> plan;
    if (inst_.ui == 4) return {inst_.type == Installer::NetworkServer ? IDD_NETWORK_FINISHING : IDD_FINISHING};
    if (inst_.ui == 1) {
        plan.push_back(IDD_WELCOME);
        if (inst_.action == Installer::Change) {
            plan.push_back(IDD_COMPONENTS);
        } else {
            plan.push_back(IDD_LICENCE);
            if (inst_.type != Installer::NetworkClient) {
                plan.push_back(IDD_DESTINATION);
                plan.push_back(IDD_COMPONENTS);
            }
            if (inst_.type == Installer::NetworkServer) plan.push_back(IDD_NETWORK_OPTIONS);
            plan.push_back(IDD_READY);
        }
        plan.push_back(IDD_PROGRESS);
    }
    plan.push_back(inst_.type == Installer::NetworkServer ? IDD_NETWORK_FINISHING : IDD_FINISHING);
    return plan;
}

DialogWizard SetupWizard::build() {
    DialogWizard wizard;
    for (int id : pagePlan()) {
        switch (id) {
            case IDD_WELCOME: wizard.add({id, [this] { return welcome(false); }}); break;
            case IDD_LICENCE: wizard.add({id, [this] { return licence(); }}); break;
            case IDD_DESTINATION: wizard.add({id, [this] { return destination(); }}); break;
            case IDD_COMPONENTS: wizard.add({id, [this] { return components(); }}); break;
            case IDD_NETWORK_OPTIONS: wizard.add({id, [this] { return networkOptions(); }}); break;
            case IDD_READY: wizard.add({id, [this] { return ready(); }}); break;
            case IDD_PROGRESS: wizard.add({id, [this] { return progress(); }}); break;
            case IDD_FINISHING: wizard.add({id, [this] { return finishing(); }}); break;
            case IDD_NETWORK_FINISHING: wizard.add({id, [this] { return networkFinishing(); }}); break;
            default: break;
        }
    }
    return wizard;
}

int SetupWizard::run() {
    bool silent = inst_.ui == 0 || inst_.ui == 3;
    if (inst_.action == Installer::Remove) {
        if (silent || inst_.ui == 2) {
            if (inst_.services().hostRunning()) {
                inst_.failed = true;
                message(loadString(IDS_EXCEL_RUNNING));
                return 1;
            }
            Progress quiet;
            inst_.remove(quiet);
            return inst_.ui == 2 && !removalFinishing() ? 1 : 0;
        }
        DialogWizard wizard;
        wizard.add({IDD_REMOVAL_WELCOME, [this] { return welcome(true); }});
        wizard.add({IDD_PROGRESS, [this] { return progress(); }});
        wizard.add({IDD_REMOVAL_FINISHING, [this] { return removalFinishing(); }});
        return wizard.run() && !workFailed_ ? 0 : 1;
    }

    if (inst_.ui == 0 || inst_.ui == 2 || inst_.ui == 3) {
        if (inst_.services().hostRunning()) {
            inst_.failed = true;
            message(loadString(IDS_EXCEL_RUNNING));
            return 1;
        }
        Progress quiet;
        inst_.install(quiet);
        if (silent) return 0;
    }
    if (inst_.ui == 4) {
        // The after-restart run was started by its RunOnce entry, which has done its work.
        inst_.services().registry->deleteValue(Hive::LocalMachine, kRunOnceKey, "Quelstat");
    }
    bool done = build().run();
    if (done && startQuelstat_) {
        // The shell's "open" on the add-in starts the spreadsheet with it.
        if (!startProgram("/usr/bin/xdg-open", {inst_.addinPath()})) out_ << inst_.addinPath() << '\n';
    }
    return done && !workFailed_ ? 0 : 1;
}

bool SetupWizard::welcome(bool removal) {
    if (removal)
        page(IDD_REMOVAL_WELCOME, "Welcome to the Quelstat Setup Wizard",
             {"This wizard removes Quelstat for Microsoft Excel from your computer."});
    else
        page(IDD_WELCOME, "Welcome to the Quelstat Setup Wizard",
             {"This wizard installs Quelstat for Microsoft Excel on your computer."});
    if (cancelled(answers_.text("Welcome", "Press Enter to continue, or type cancel", ""))) return false;
    if (inst_.services().hostRunning()) {
        if (inst_.ui == 1 || inst_.ui == 2) return waitForExcel();
        inst_.failed = true;
        message(loadString(IDS_EXCEL_RUNNING));
        return false;
    }
    return true;
}

// The "quit Excel" dialog: looks every 10 ms and closes by itself once the host has gone;
// Cancel (a line at the terminal, or the end of input) gives up.
bool SetupWizard::waitForExcel() {
    out_ << "\n== Quelstat Setup ==  [" << IDD_QUIT_EXCEL << "]\n"
         << loadString(IDS_EXCEL_RUNNING) << '\n'
         << "(Type cancel and Enter to give up.)\n"
         << std::flush;
    for (;;) {
        if (!inst_.services().hostRunning()) return true;
        pollfd p{STDIN_FILENO, POLLIN, 0};
        if (&answers_.in() == &std::cin && ::poll(&p, 1, 10) > 0) {
            std::string line;
            if (!std::getline(std::cin, line) || platform::FoldCase(line) == "cancel") {
                inst_.failed = true;
                return false;
            }
        } else if (&answers_.in() != &std::cin) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
}

bool SetupWizard::licence() {
    page(IDD_LICENCE, "End-User Licence Agreement",
         {"Quelstat is licensed, not sold. You may install and use it on the computers of your",
          "organisation. You may not sell, rent or lend it, nor remove its notices. It comes",
          "without warranty of any kind; its makers are not liable for any loss arising from its",
          "use. Results of statistical tests should be checked by a qualified person before",
          "decisions are based on them."});
    int c = answers_.choice("Licence", "Your choice", {"I &accept the agreement", "I &don't accept the agreement"}, 1);
    if (c == 0) return true;
    message("The licence agreement was not accepted; Quelstat was not installed.");
    inst_.failed = true;
    return false;
}

bool SetupWizard::destination() {
    page(IDD_DESTINATION, "Where do you want to install the software ?", {"Folder: " + inst_.path});
    std::string folder = answers_.text("Folder", "Folder (Enter keeps it)", inst_.path);
    if (cancelled(folder)) return false;
    if (!folder.empty() && folder != kAnswerCancel) inst_.path = folder.back() == '/' ? folder : folder + "/";
    out_ << "Install this application for:\n";
    int users = answers_.choice("Users", "Your choice",
                                {"Only for current user", "Anyone who uses this computer (all users)"}, inst_.users);
    if (users < 0 && confirmAbort()) return false;
    if (users >= 0) inst_.users = users;
    return true;
}

bool SetupWizard::components() {
    page(IDD_COMPONENTS, "Which modules do you want to install ?",
         {"General statistics (includes Descriptive statistics, Difference tests, Correlation, Regression)",
          "Clinical Laboratory statistics (includes Method Comparison, Precision, Linearity, Reference Ranges & ROC)"});
    bool general = answers_.yesNo("General", "General statistics", (inst_.modules & 1) != 0);
    bool clinical = answers_.yesNo("Clinical", "Clinical Laboratory statistics", (inst_.modules & 2) != 0);
    inst_.modules = (general ? 1 : 0) | (clinical ? 2 : 0);
    return true;
}

bool SetupWizard::networkOptions() {
    page(IDD_NETWORK_OPTIONS, "How should Quelstat be installed on users computers?", {"User Interface:"});
    int ui = answers_.choice("ClientUI", "Your choice",
                             {"None", "Full", "Completed", "Completed on next computer restart"}, inst_.clientUi);
    if (ui < 0 && confirmAbort()) return false;
    out_ << "Start Quelstat whenever the user starts Excel:\n";
    int autoload = answers_.choice("ClientAutoLoad", "Your choice", {"Never", "Always", "Ask during installation"},
                                   inst_.clientAutoload);
    if (autoload < 0 && confirmAbort()) return false;
    if (ui >= 0) inst_.clientUi = ui;
    if (autoload >= 0) inst_.clientAutoload = autoload;
    return true;
}

bool SetupWizard::ready() {
    page(IDD_READY, "Ready to begin", {"Click Install to begin the installation."});
    return !cancelled(answers_.text("Install", "Press Enter to install, or type cancel", ""));
}

bool SetupWizard::progress() {
    page(IDD_PROGRESS, "Quelstat Setup", {});
    ConsoleProgress bar(out_);
    try {
        if (inst_.action == Installer::Remove)
            inst_.remove(bar);
        else
            inst_.install(bar);
    } catch (const ExceptionX& e) {
        message(e.what());
        inst_.failed = true;
        workFailed_ = true;
        return false;
    }
    return true;
}

bool SetupWizard::finishing() {
    std::vector<std::string> lines = {"You have successfully installed Quelstat."};
    page(IDD_FINISHING, "Completing the Quelstat Setup Wizard", lines);
    bool load = inst_.autoload == 1;
    if (inst_.autoload == 2) load = answers_.yesNo("AutoLoad", "Always start Quelstat when I start Excel", true);
    // Leaving the page decides the start-up entry.
    inst_.registerWithExcel(load);
    if (inst_.action == Installer::Install) startQuelstat_ = answers_.yesNo("Start", "Start Quelstat now", false);
    return true;
}

bool SetupWizard::networkFinishing() {
    page(IDD_NETWORK_FINISHING, "Completing the Quelstat Setup Wizard",
         {"You have successfully installed Quelstat onto your network server.",
          "To install Quelstat on a user's computer, run the setup program located in " + inst_.systemFolder() +
              " from that computer."});
    return true;
}

bool SetupWizard::removalFinishing() {
    page(IDD_REMOVAL_FINISHING, "Completing the Quelstat Setup Wizard",
         {"You have successfully removed Quelstat from your computer."});
    return true;
}

}  // namespace quelstat::setup
