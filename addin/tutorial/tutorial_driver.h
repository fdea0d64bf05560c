// The tutorial driver: what the add-in does with a number the tutorial hook sends to its channel
// window (WM_TCARD). Opening tutorials 1-5, ending and restarting, performing the steps of the step
// table up to a number (replaying the ones skipped), demonstration mode, and the example workbooks.
//
// The driver holds the state (current step, demonstration flag) and the step table; what a step
// does in the host goes through TutorialOperations, which the host glue implements.
#pragma once

#include <string>
#include <vector>

namespace qs {

// One action of the step table: fill a target range of the learner's workbook from the master
// workbook's sheet, or copy a ready-made master sheet into the learner's workbook.
struct TutorialAction {
    enum class Kind { Fill, CopySheet };
    Kind kind = Kind::Fill;
    std::string masterSheet;  // "Bodyfat dataset"
    std::string target;       // Fill: "T1 dataset!A4:D4"; CopySheet: the new sheet's name
    bool byColumns = true;    // Fill: one column at a time (else one row at a time)
    friend bool operator==(const TutorialAction&, const TutorialAction&) = default;
};

// The actions of a step, in order; empty for the numbers the table does not list.
const std::vector<TutorialAction>& TutorialActions(int step);
// The example workbook file for numbers 30020 to 30046 ("runs.xlsx"); empty for other numbers.
std::string ExampleWorkbook(int number);

// What the driver needs from the host.
class TutorialOperations {
public:
    virtual ~TutorialOperations() = default;
    // Shows a topic of the tutorial help (context 30001-30005) and places the host's window.
    virtual void ShowTutorialTopic(long context, bool placeWindow) = 0;
    // Starts tutorial t: closes the master workbook if open, makes the learner's workbook
    // "Tutorial t" and opens the master workbook.
    virtual void StartTutorial(int tutorial) = 0;
    // Whether the learner's workbook of the started tutorial is still open.
    virtual bool TutorialOpen() const { return true; }
    // Hides or shows the tutorial help window while steps are performed.
    virtual void SetHelpVisible(bool visible) = 0;
    // Performs one action; demo: each row or column highlighted for a moment first.
    virtual void Perform(const TutorialAction& action, bool demo) = 0;
    virtual void OpenExample(const std::string& file) = 0;
    // Shows a message of the tutorial.
    virtual void ShowError(const std::string& text) = 0;
};

class TutorialDriver {
public:
    static constexpr int kDemoOffset = 10000;
    static constexpr int kFirstTopic = 30000;

    explicit TutorialDriver(TutorialOperations& ops) : ops_(ops) {}
    // Handles a number sent through the channel window.
    void Card(int number);
    int CurrentStep() const { return current_; }
    bool Demonstrating() const { return demo_; }

private:
    void PerformUpTo(int step, bool demo);
    TutorialOperations& ops_;
    int current_ = 0;
    bool started_ = false;  // the learner's workbook of the current tutorial is made
    bool demo_ = false;
};

}  // namespace qs
