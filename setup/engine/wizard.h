// The setup wizard: the pages a run shows, in order, over a console front end. A person at a
// terminal answers prompts; otherwise the answers come from setup.ini's "Wizard" section, or
// the defaults. Runs with ui 0 and 3 show nothing.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "setup/engine/ini_file.h"
#include "setup/engine/installer.h"

namespace quelstat::setup {

// Dialog resource numbers of the pages.
enum PageId : int {
    IDD_WELCOME = 504,
    IDD_LICENCE = 111,
    IDD_QUIT_EXCEL = 115,
    IDD_DESTINATION = 300,
    IDD_COMPONENTS = 501,
    IDD_NETWORK_OPTIONS = 505,
    IDD_READY = 509,
    IDD_PROGRESS = 400,
    IDD_FINISHING = 506,
    IDD_NETWORK_FINISHING = 500,
    IDD_REMOVAL_WELCOME = 507,
    IDD_REMOVAL_FINISHING = 508,
};

// Where the wizard's answers come from.
class Answers {
public:
    // `interactive`: a person answers at `in`; otherwise the "Wizard" section of `ini`, or the
    // default.
    Answers(IniFile ini, std::istream& in, std::ostream& out, bool interactive);
    std::string text(const std::string& key, const std::string& prompt, const std::string& fallback);
    bool yesNo(const std::string& key, const std::string& prompt, bool fallback);
    int choice(const std::string& key, const std::string& prompt, const std::vector<std::string>& options,
               int fallback);
    bool interactive() const { return interactive_; }
    std::istream& in() { return in_; }

private:
    IniFile ini_;
    std::istream& in_;
    std::ostream& out_;
    bool interactive_;
};

class DialogWizard {
public:
    struct Step {
        int resource;
        std::function<bool()> show;  // false when the user cancels
    };
    void add(Step step) { steps_.push_back(std::move(step)); }
    const std::vector<Step>& steps() const { return steps_; }
    // Shows the steps in order; false when one was cancelled.
    bool run();

private:
    std::vector<Step> steps_;
};

class SetupWizard {
public:
    SetupWizard(Installer& installer, Answers& answers, std::ostream& out, std::ostream& err);

    // Chooses and shows the pages for the run and does its work; returns the exit status
    // (0 done, 1 failed or cancelled).
    int run();

    // The pages the run would show, by resource number (for a run that is not a removal).
    std::vector<int> pagePlan() const;

private:
    DialogWizard build();
    bool page(int resource, const std::string& title, const std::vector<std::string>& lines);
    bool welcome(bool removal);
    bool waitForExcel();
    bool licence();
    bool destination();
    bool components();
    bool networkOptions();
    bool ready();
    bool progress();
    bool finishing();
    bool networkFinishing();
    bool removalFinishing();
    bool confirmAbort();
    void message(const std::string& text);
    bool cancelled(const std::string& answer);

    Installer& inst_;
    Answers& answers_;
    std::ostream& out_;
    std::ostream& err_;
    bool workFailed_ = false;
    bool startQuelstat_ = false;
};

}  // namespace quelstat::setup
