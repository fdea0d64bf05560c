// The tutorial driver's work in the host: the tutorial help topics, the learner's workbook, the
// master workbook the steps fill it from, the example workbooks, and the placement of the host's
// window. Everything goes through the host call layer.
#pragma once

#include <functional>
#include <string>

#include "addin/tutorial/tutorial_driver.h"
#include "xll/xlcall.h"

namespace qs {

class TutorialHost : public TutorialOperations {
public:
    // Where the installation keeps its files: the system folder (with the master workbook
    // "tutorial.xlsx" and the "examples" folder) and the tutorial help file.
    TutorialHost(std::string systemFolder, std::string tutorialHelpFile);

    void ShowTutorialTopic(long context, bool placeWindow) override;
    void StartTutorial(int tutorial) override;
    bool TutorialOpen() const override;
    void SetHelpVisible(bool visible) override;
    void Perform(const TutorialAction& action, bool demo) override;
    void OpenExample(const std::string& file) override;
    void ShowError(const std::string& text) override;

    // How long a row or column stays highlighted in demonstration mode: 600 ms, or the number of
    // milliseconds in QUELSTAT_HIGHLIGHT_MS (0 to 10000), a setting that lets tests run quickly.
    static int HighlightMilliseconds();
    // Waits while a row or column is highlighted (a sleep; tests look at the sheet instead).
    std::function<void(int milliseconds)> pause;
    // Called once a tutorial is started (the usage counters count it).
    std::function<void(int tutorial)> started;

    // The workbook names the host gave the learner's workbook and the master workbook (empty
    // while there is none).
    const std::string& LearnerBook() const { return m_learner; }
    const std::string& MasterBook() const { return m_master; }

private:
    void Fill(const TutorialAction& action, bool demo);
    void CopySheet(const TutorialAction& action);
    void CloseMaster();
    void OpenMaster();
    // "[Book]Sheet" of a sheet of the learner's workbook, made when it is missing.
    std::string LearnerSheet(const std::string& name);
    bool MasterHasSheet(const std::string& name) const;

    // The workbook of a sheet of this id, as it is named now (saving renames it); empty when the
    // sheet is gone. The workbooks are followed by a sheet each, so that the learner may save theirs.
    static std::string BookOf(XL_SHEET_ID sheet);
    void Refresh();

    std::string m_systemFolder, m_helpFile;
    XL_SHEET_ID m_learnerSheet = 0, m_masterSheet = 0;
    std::string m_learner, m_master;
};

// Puts the tutorial driver behind the add-in's tutorial service (WM_TCARD numbers, Getting Started
// and Tutorials commands), with the folders of the running add-in.
void InstallTutorial();

}  // namespace qs
