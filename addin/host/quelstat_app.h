// XllQuelstat: the add-in's application object.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>

#include "addin/host/commandset.h"
#include "addin/host/xll_app.h"

namespace qs {

class XllQuelstat : public XLL {
public:
    static constexpr int kVersionNumber = 161;  // shown as 1.61
    static constexpr const char* kBuildDate = "Dec  7 2000";
    static constexpr size_t kUsageCounters = 249;  // 996 bytes

    // Application load: folders from the add-in's own path, usage counters.
    explicit XllQuelstat(const std::string& modulePath);

    void AutoOpen() override;
    void AutoClose() override;
    bool ExecuteCommand(int id) override;
    void TCard(int id) override;
    void SheetActivated() override;
    void SheetDeactivated() override;
    bool TutorialStepWindowOpen() const override;
    void CloseTutorialStepWindow() override;

    const std::string& ProgramFolder() const { return m_programFolder; }
    const std::string& SystemFolder() const { return m_systemFolder; }
    const std::string& TemplateFolder() const { return m_templateFolder; }
    const std::string& HelpFile() const { return m_helpFile; }
    const std::string& TutorialHelpFile() const { return m_tutorialHelpFile; }
    const std::string& ExcelVersionText() const { return m_versionText; }
    const std::string& UserName() const { return m_userName; }

    // Usage counters: 0 seconds loaded, 1 loads, 2-6 tutorials 1-5 started, id-993 runs of test id.
    std::array<uint32_t, kUsageCounters>& Usage() { return m_usage; }
    void CountTestRun(int testId);

    CommandsQuelstat& MainMenu() { return m_mainMenu; }
    XlCommandSet& DataMenu() { return m_dataMenu; }
    XlCommandSet& HelpMenu() { return m_helpMenu; }
    ReportToolbar& Reports() { return m_reports; }

    // Kind of the active sheet: 0 none or other, 1 worksheet, 2 report sheet.
    int ActiveSheetKind();

    // State a later layer keeps for as long as the application lives (the run flow's report counter,
    // remembered paper size and last run). The layer defines the type; made on first use.
    struct LayerState {
        virtual ~LayerState() = default;
    };
    template <class T>
    T& State() {
        if (!m_runState) m_runState = std::make_unique<T>();
        return static_cast<T&>(*m_runState);
    }

private:
    void StartUp();
    void SaveUsage();
    void DatasetCommand(int id);
    void ReportCommandOnCurrent(int id);

    std::string m_programFolder, m_systemFolder, m_templateFolder, m_helpFile, m_tutorialHelpFile;
    std::string m_versionText, m_userName;
    std::array<uint32_t, kUsageCounters> m_usage{};
    std::time_t m_loadedAt = 0;

    CommandsQuelstat m_mainMenu;
    XlCommandSet m_dataMenu{121};
    XlCommandSet m_helpMenu{151};
    ReportToolbar m_reports;
    std::unique_ptr<LayerState> m_runState;
};

}  // namespace qs
