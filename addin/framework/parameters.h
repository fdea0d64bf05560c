// A test's parameters: the shared parameter descriptors (label, descriptor word, default, choices,
// remembered value), the items of one test's exchange with their current values, the exchange passes
// (load, update, check) through which a test declares and validates its parameters, and the checks
// with their messages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "addin/dataset/dataset.h"
#include "addin/dataset/types.h"
#include "addin/host/shared.h"
#include "addin/host/xlvalue.h"
#include "addin/numerics/distributions.h"

namespace qs {

class Test;

// Descriptor word bits.
enum : uint16_t {
    kParamKindShift = 8,
    kParamKindMask = 0x0700,
    kParamSubKindMask = 0x0003,  // numbers: 2 percentage, 3 fraction
    kParamGroupsOfOne = 0x1000,  // variables: groups from one variable
    kParamSeveral = 0x2000,      // variables: several allowed
    kParamRemember = 0x4000,     // the confirmed value becomes the next run's default
};
enum ParameterKind : int {
    kKindNumber = 1,
    kKindChoice = 2,
    kKindHypothesis = 3,
    kKindVariable = 4,
    kKindCheckBox = 5,
};

// Type tags of parameter values.
constexpr TypeCode kValueNumber = 0x08000404;  // NaN: empty
constexpr TypeCode kValueWhole = 0x04000003;   // an option index
constexpr TypeCode kValueBoolean = 0x01000007;
constexpr TypeCode kValueVariables = 16;
constexpr TypeCode kValueNothing = 15;

// A static descriptor shared by every test that declares the parameter. The descriptors are the
// constants of `params` below, initialised at compile time (no constructor runs at load, so no
// other unit's initialisation can see one half-made), and listed once by All().
class ParameterDescriptor : public CRefCounted {
public:
    constexpr ParameterDescriptor(unsigned label, uint16_t word) : label(label), word(word) {}
    bool IsStatic() const override { return true; }
    unsigned label;  // string id
    uint16_t word;
    int Kind() const { return (word & kParamKindMask) >> kParamKindShift; }
    // Remembered value (16 bytes), offered by the loading pass; kept in the settings "Parameters"
    // subkey under SettingName().
    unsigned char remembered[16] = {};
    bool hasRemembered = false;
    virtual std::string SettingName() const;  // "%d" with the label id
    // Every descriptor of `params`, in the order they are defined.
    static const std::vector<ParameterDescriptor*>& All();
};

class NumberDescriptor : public ParameterDescriptor {  // kinds 1 (number) and 5 (check box)
public:
    constexpr NumberDescriptor(unsigned label, uint16_t word, double defaultValue)
        : ParameterDescriptor(label, word), defaultValue(defaultValue) {}
    double defaultValue;  // quiet NaN: none
};

class ChoiceDescriptor : public ParameterDescriptor {  // kind 2
public:
    constexpr ChoiceDescriptor(unsigned label, uint16_t word, unsigned firstChoice, int count, int defaultIndex,
                               uint32_t allowedMask)
        : ParameterDescriptor(label, word),
          firstChoice(firstChoice),
          count(count),
          defaultIndex(defaultIndex),
          allowedMask(allowedMask) {}
    unsigned firstChoice;  // string id of the first option text
    int count;
    int defaultIndex;
    uint32_t allowedMask;                      // bit i allows option i
    std::string SettingName() const override;  // "%d_%ld_%d"
    // bits 0-14 first option id, 15-19 count, 20-31 one enable bit per option
    uint32_t OptionWord() const;
};

class HypothesisDescriptor : public ParameterDescriptor {  // kind 3
public:
    constexpr HypothesisDescriptor(unsigned label, uint16_t word) : ParameterDescriptor(label, word) {}
};

class VariableDescriptor : public ParameterDescriptor {  // kind 4; low byte: TypeRequirement
public:
    constexpr VariableDescriptor(unsigned label, uint16_t word) : ParameterDescriptor(label, word) {}
    TypeRequirement Requirement() const { return static_cast<TypeRequirement>(word & 0xFF); }
};

// The descriptors (named after their labels; a suffix tells descriptor words apart).
namespace params {
extern NumberDescriptor ConfidenceInterval;                             // 5025, 0x4102, 95
extern NumberDescriptor ReferenceInterval;                              // 5200, 0x4102, 95
extern NumberDescriptor Coverage;                                       // 5033, 0x4102, 90
extern NumberDescriptor HypothesisedMean;                               // 5104, 0x100
extern NumberDescriptor PopulationSD;                                   // 5105, 0x101
extern NumberDescriptor HypothesisedProportion;                         // 5107, 0x103
extern NumberDescriptor UnequalVariances;                               // 5106, 0x500
extern HypothesisDescriptor AlternativeHypothesis;                      // 5024, 0x300
extern VariableDescriptor Variable403, Variable404, Variable406;        // 5008
extern VariableDescriptor Variables2403, Variables2406, Variables2404;  // 5015
extern VariableDescriptor VariableGroups2406, VariableGroups2404;       // 5022
// The other number fields and check boxes.
extern NumberDescriptor PolynomialOrder;       // 5110, 0x101, 1
extern NumberDescriptor ImprecisionSDX;        // 5204, 0x101, 1
extern NumberDescriptor ImprecisionSDY;        // 5205, 0x101, 1
extern NumberDescriptor PreliminarySD;         // 5203, 0x101
extern NumberDescriptor WithinRunSD;           // 5208, 0x101
extern NumberDescriptor TotalSD;               // 5209, 0x101
extern NumberDescriptor AnalyteConcentration;  // 5202, 0x100
extern NumberDescriptor Prevalence;            // 5210, 0x103
extern NumberDescriptor SameScale;             // 5220, 0x500, 1
extern NumberDescriptor NoIntercept;           // 5227, 0x500, 0
extern NumberDescriptor WeightedKappa;         // 5226, 0x500, 0
extern NumberDescriptor ContinuityCorrection;  // 5228, 0x500, 1 (2 x 2 tables of the chi-square test)
// Choice lists (a suffix gives the number of choices or the allowed mask where two differ).
extern ChoiceDescriptor PointEstimate3, PointEstimate2;                // 5108: 6096.. 3 or 2 choices
extern ChoiceDescriptor PercentilePlot;                                // 5109: 7041.. 5, default 95%
extern ChoiceDescriptor NormalityTest4, NormalityTest3;                // 5206: 7012.. with or without None
extern ChoiceDescriptor Method;                                        // 5201: 7024, 7025
extern ChoiceDescriptor Contrasts;                                     // 5041: 7080..7082
extern ChoiceDescriptor ErrorProtection30;                             // 5042: 7096..7100, mask 30
extern ChoiceDescriptor ErrorProtection29;                             // 5044: 7096..7100, mask 29
extern ChoiceDescriptor ControlGroup, AbnormalIndicatedBy, TrueGroup;  // 5043, 5221, 5222: run time
extern ChoiceDescriptor AbnormalObservations;                          // 5211: 7064, 7065
extern ChoiceDescriptor ComparisonMethod;                              // 5215: 7118, 7119
extern ChoiceDescriptor Plot;                                          // 5214: 7112..7115
// The other variable selectors (suffix: the descriptor word).
extern VariableDescriptor Variable1_406, Variable1_404, Variable2_406, Variable2_404;  // 5011, 5012
extern VariableDescriptor VariableX406, VariableX404, VariableY406, VariableY404;      // 5009, 5010
extern VariableDescriptor VariableGroup1_406, VariableGroup1_404;                      // 5031
extern VariableDescriptor VariableGroup2_406, VariableGroup2_404;                      // 5032
extern VariableDescriptor VariableX2404;                                               // 5009
extern VariableDescriptor IndependentX2404, IndependentX404;                           // 5026
extern VariableDescriptor DependentY404;                                               // 5027
extern VariableDescriptor VariableX1404, VariableY1404;                                // 5028, 5029
extern VariableDescriptor DayBatch404;                                                 // 5030
extern VariableDescriptor Runs1404;                                                    // 5017
extern VariableDescriptor MethodA404, MethodA1404, MethodB404, MethodB1404;            // 5216, 5217
extern VariableDescriptor AnalyteConcentration404;                                     // 5202
extern VariableDescriptor AnalyteConcentration402;                                     // 5219
extern VariableDescriptor FactorA403, FactorB403, Factor403, Classification403;        // 5013, 5014, 5016, 5213
extern VariableDescriptor TestClassification407;                                       // 5212
extern VariableDescriptor Variables5218;                                               // 5218, 0x2404
extern VariableDescriptor ConcentrationLevel404;                                       // 5034
}  // namespace params

// One variable as the dialog's list shows it: a variable of the dataset, or one group of a data
// variable (the data variable with the factor and category that select the group). `name` joins the
// levels with " - " ("Weight - Before", "Weight - A").
struct VariableChoice {
    CRef<VariableSource> variable;
    CRef<VariableSource> factor;  // groups only
    int category = 0;             // groups only: category number in the factor
    std::string name;
    int typeIndex = 0;  // of the variable (0 nominal ... 4 count)
    unsigned mask = 0;  // bit typeIndex, bit 7 categorical, 64 continuous and flagged by its dataset
    bool IsGroup() const { return factor.get() != nullptr; }
    std::string Parent() const;  // the name up to the last " - " (empty when none)
    friend bool operator==(const VariableChoice& a, const VariableChoice& b) {
        return a.variable.get() == b.variable.get() && a.factor.get() == b.factor.get() && a.category == b.category;
    }
};
// The dataset's variables as the dialog lists them, tree order.
std::vector<VariableChoice> ListVariables(DatasetSourceExcel& dataset);
// The entry named `name` (the full " - " path, or its last level when unambiguous); null when none.
const VariableChoice* FindVariableChoice(const std::vector<VariableChoice>& list, const std::string& name);

// The current value of one item.
struct ParameterValue {
    TypeCode type = kValueNothing;
    double number = numerics::MissingValue();  // kValueNumber; kValueWhole and kValueBoolean too
    std::vector<VariableChoice> variables;     // kValueVariables
    bool Given() const;                        // a number with not all exponent bits set, or any other non-empty value
};

struct ParameterItem {
    ParameterDescriptor* descriptor = nullptr;
    ParameterValue value;
    std::string label;        // label text as shown
    uint32_t optionWord = 0;  // choices: as ChoiceDescriptor::OptionWord, with the enable bits in force
    std::string hypothesisLeft, hypothesisRight;  // hypothesis: the texts either side of the sign
    std::vector<std::string> options;             // choices filled at run time: the option texts
    bool changed = true;
    bool hidden = false;
};

class Parameters : public CRefCounted {
public:
    enum Mode : int { kLoad = 0, kUpdate = 1, kUpdateHypothesis = 2, kCheck = 3 };

    Parameters(Test& test, DatasetSourceExcel* dataset);
    ~Parameters() override;

    Test& test;
    CRef<DatasetSourceExcel> dataset;
    std::vector<ParameterItem> items;  // declaration order
    Mode mode = kLoad;
    bool layoutChanged = false;  // items appeared or disappeared during the last pass

    // Runs one pass: this object becomes the current exchange while the test's ExchangeParameters
    // declares its parameters. The checking pass raises the first failing check's message.
    void Run(Mode mode);
    static Parameters* Current();
    ParameterItem* Find(unsigned label);
    ParameterItem* FindByLabel(const std::string& labelText);

    // Exchange operations, called from a test's ExchangeParameters in declaration order. Each
    // declares its item (in the loading pass: value from the remembered value or the default), and
    // moves the value between the item and the test's member: the member receives the item's value.
    void Number(NumberDescriptor& d, double& member);
    void Percentage(NumberDescriptor& d, double& member);  // checks 50 < v < 100 (confidence levels)
    void Proportion(NumberDescriptor& d, double& member);  // checks 0 < v < 1
    void Choice(ChoiceDescriptor& d, int& member);
    // A choice whose options are filled at run time (a control group: the categories of a
    // variable); the item keeps their texts in `options`.
    void Choice(ChoiceDescriptor& d, int& member, const std::vector<std::string>& options);
    void CheckBox(NumberDescriptor& d, bool& member);
    void Hypothesis(HypothesisDescriptor& d, numerics::Tail& member, const std::string& left, const std::string& right);
    void Variables(VariableDescriptor& d, std::vector<VariableChoice>& member);
    void Hide(bool hidden);  // hides the item declared last

    // Checks on the item declared last; they act in the checking pass only, and not on a hidden
    // item (the user could not correct it).
    void CheckRequired();
    void CheckRange(double a, double b);  // integers a..b (b infinite: at least a)
    void CheckPositive();
    void CheckVariableTypes();
    void CheckVariableCount(int count);         // message 6002 with 6011..6014
    void CheckVariableCount(int min, int max);  // max < 0: no upper bound
    void CheckObservations(int n);              // every selected variable has at least n observations
    void CheckSameObservations();               // 6035, 6036
    void CheckSameType();                       // 6037
    void CheckGroupsFromOneVariable();          // 8005
    void CheckRepeatsFromOneVariable();         // 8006

    // After a confirmed dialog: remember the values of the items with kParamRemember.
    void RememberDefaults();

    // Stored form of item i for a report record: type tag, kind word (masked with 0xBFFF), value.
    XlValue StoredValue(size_t i) const;
    // Puts a stored value back into item i; false when it does not fit (type, kind, missing variable).
    bool RestoreValue(size_t i, const XlValue& stored);

    // The variables the loading pass offers to a variable item: for one variable, the variable at
    // the dataset's active cell when it fits, else the last listed one that fits; for several, the
    // groups of the variable at the active cell (or of the first variable with groups), else the
    // repeats of the repeat-measures variable at the active cell (or of the first one), else every
    // variable that fits.
    std::vector<VariableChoice> DefaultVariables(const VariableDescriptor& d) const;

private:
    ParameterItem& Declare(ParameterDescriptor& d);
    ParameterItem& Last();
    bool Checking() const { return mode == kCheck; }
    void LoadDefault(ParameterItem& item);
    size_t m_next = 0;                                            // the next item a pass declares
    bool m_fresh = false;                                         // the item declared last is new in this pass
    std::vector<std::pair<ParameterDescriptor*, bool>> m_layout;  // items and hidden flags before the pass
};

// Reads and writes the remembered values of every descriptor (settings subkey "Parameters").
void LoadRememberedParameters();
void SaveRememberedParameters();
// The descriptors whose remembered value differs from their built-in default: what a run takes from
// an earlier one without being asked.
std::vector<const ParameterDescriptor*> RememberedChanges();
// Forgets every remembered value of this session: the built-in defaults apply.
void ForgetRememberedParameters();

}  // namespace qs
