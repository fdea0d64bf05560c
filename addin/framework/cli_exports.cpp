// The add-in's answers to the host program's command line: the test catalogue and the results of the
// last test run. Plain C entries with text allocated by malloc, found by the host with dlsym.
#include <cstdlib>
#include <cstring>
#include <string>

#include "addin/framework/parameters.h"
#include "addin/framework/results.h"
#include "addin/framework/run.h"
#include "addin/framework/test.h"
#include "addin/host/addin_services.h"
#include "addin/host/json_text.h"
#include "addin/host/messages.h"
#include "addin/host/test_catalogue.h"

namespace {

char* Copy(const std::string& s) {
    char* p = static_cast<char*>(std::malloc(s.size() + 1));
    if (p) std::memcpy(p, s.c_str(), s.size() + 1);
    return p;
}

// Tabs and line ends inside a text would break the line format.
std::string LineField(std::string s) {
    for (char& c : s)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return s;
}

// The words of the alternative hypothesis control's options, by Tail.
constexpr const char* kAlternativeWords[] = {"not equal", "less than", "greater than"};

// One parameter's value as JSON: a number, yes/no as a boolean, an option or alternative as its
// words, variables as an array of names.
void AppendParameter(std::string& out, const qs::ParameterItem& item) {
    using namespace qs;
    const ParameterValue& v = item.value;
    switch (v.type) {
        case kValueNumber: AppendJsonNumber(out, v.number); return;
        case kValueBoolean: out += v.number != 0 ? "true" : "false"; return;
        case kValueWhole: {
            const int index = static_cast<int>(v.number);
            if (item.descriptor->Kind() == kKindHypothesis && index >= 0 && index <= 2) {
                AppendJsonString(out, kAlternativeWords[index]);
            } else if (index >= 0 && static_cast<size_t>(index) < item.options.size()) {
                AppendJsonString(out, item.options[index]);
            } else if (item.descriptor->Kind() == kKindChoice) {
                auto* c = static_cast<const ChoiceDescriptor*>(item.descriptor);
                AppendJsonString(out, LoadString(c->firstChoice + index).str());
            } else {
                AppendJsonNumber(out, v.number, true);
            }
            return;
        }
        case kValueVariables: {
            out += '[';
            for (size_t i = 0; i < v.variables.size(); ++i) {
                if (i) out += ',';
                AppendJsonString(out, v.variables[i].name);
            }
            out += ']';
            return;
        }
        default: out += "null";
    }
}

// A run as JSON: the test (id, name), the dataset (name, variables), every parameter value the run
// used, keyed by its label, and the result blocks.
std::string RunJson(const qs::Test& test) {
    using namespace qs;
    std::string out = "{\"test\":{\"id\":" + std::to_string(test.GetInfo().id) + ",\"name\":";
    AppendJsonString(out, test.Name().str());
    out += "},\"dataset\":{\"name\":";
    const bool named = test.dataset && test.dataset->dataset;
    AppendJsonString(out, named ? test.dataset->dataset->name : std::string());
    out += ",\"variables\":";
    AppendJsonString(out, test.VariablesText());
    out += "},\"parameters\":{";
    bool first = true;
    if (test.parameters)
        for (const ParameterItem& item : test.parameters->items) {
            if (item.hidden) continue;
            if (!first) out += ',';
            first = false;
            AppendJsonString(out, item.label);
            out += ':';
            AppendParameter(out, item);
        }
    out += "},\"results\":" + ResultsJson(test) + "}";
    return out;
}

}  // namespace

// Every test of the catalogue, one a line: "id TAB template TAB built TAB installed TAB module TAB
// name". built: 1 when this build has the test's computation; installed: 1 when its module is
// installed on this machine. Returns 0.
extern "C" __attribute__((visibility("default"))) int QuelstatTestCatalogue(char** output) {
    using namespace qs;
    size_t count = 0;
    const TestCatalogueEntry* entries = TestCatalogue(&count);
    uint32_t installed = InstalledModules();
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        const TestCatalogueEntry& e = entries[i];
        const Test::Info* info = FindTest(e.id);
        text += std::to_string(e.id) + "\t" + LineField(e.templateName) + "\t" + (info ? "1" : "0") + "\t" +
                ((installed & e.module->bit) ? "1" : "0") + "\t" + LineField(LoadString(e.module->nameId).str()) +
                "\t" + LineField(LoadString(e.id).str()) + "\n";
    }
    *output = Copy(text);
    return 0;
}

// The test of the last report made: *identity tells one run's test from another's (null when no
// report has been made); with json not null, *json receives the run as JSON (test, dataset,
// parameters, results). Returns 0, or 1 when there is no such test.
extern "C" __attribute__((visibility("default"))) int QuelstatLastTest(const void** identity, char** json) {
    qs::Test* test = qs::LastCompletedTest();
    *identity = test;
    if (json) *json = test ? Copy(RunJson(*test)) : nullptr;
    return test ? 0 : 1;
}

// A reports workbook opened from a file holds reports numbered up to next - 1: new report sheets
// continue from `next`. Returns 0.
extern "C" __attribute__((visibility("default"))) int QuelstatContinueReportCount(long next) {
    qs::ContinueReportCount(next);
    return 0;
}

// The labels of the parameters whose remembered answer differs from the built-in default, one a
// line (what a run takes from an earlier one unasked). Returns 0.
extern "C" __attribute__((visibility("default"))) int QuelstatRememberedAnswers(char** output) {
    std::string text;
    for (const qs::ParameterDescriptor* d : qs::RememberedChanges())
        text += LineField(qs::LoadString(d->label).str()) + "\n";
    *output = Copy(text);
    return 0;
}

// Runs of this session start from the built-in defaults: remembered answers are forgotten and
// nothing is written back to the settings at the end. Returns 0.
extern "C" __attribute__((visibility("default"))) int QuelstatUseDefaults() {
    qs::ForgetRememberedParameters();
    qs::Services().saveParameters = nullptr;
    return 0;
}
