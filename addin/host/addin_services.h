// Services of the add-in's later layers that the host bridge calls: dataset finding and dialogs,
// running tests, reports, the tutorial driver, remembered parameter values, help and web pages.
// Each is empty until its layer is built into the add-in; the bridge then says what is missing (a
// message for commands, nothing for silent start-up steps).
#pragma once

#include <functional>
#include <string>

#include "addin/host/commandset.h"
#include "addin/host/xlvalue.h"

namespace qs {

struct AddinServices {
    // Runs test `id` on the dataset around `selection` (the run-test flow). Raises message 64 when
    // there is no dataset.
    std::function<void(int id, const XlValue& selection)> runTest;
    // True when the test with this id is built into this add-in.
    std::function<bool(int id)> testAvailable;
    // Dataset properties (10004) and variable properties (10012) of the dataset around `selection`.
    std::function<void(const XlValue& selection)> datasetProperties;
    std::function<void(const XlValue& selection)> variableProperties;
    // The report object for the active sheet when it is a report sheet, else null.
    std::function<ActiveReport*()> reportForActiveSheet;
    // Report commands (20093, 20094, 20095, 28673, 28674) on the current report.
    std::function<void(int id, ActiveReport& report)> reportCommand;
    // Help-card and tutorial actions (400 Getting Started, 500 tutorials, step numbers).
    std::function<void(int id)> tutorial;
    // The tutorial's step window: whether it is open, and closing it.
    std::function<bool()> tutorialStepWindowOpen;
    std::function<void()> closeTutorialStepWindow;
    // Load and save the remembered values of the parameter descriptors.
    std::function<void()> loadParameters;
    std::function<void()> saveParameters;
    // Opens a help topic (file, WinHelp command, context) or a web address.
    std::function<void(const std::string& file, int command, long context)> showHelp;
    std::function<void(const std::string& url)> openUrl;
    // Whether help topics can be shown to a person (a desktop's browser); unset means they can.
    std::function<bool()> helpViewerPresent;
};

AddinServices& Services();

}  // namespace qs
