// The add-in's answers to the host program's command line: the test catalogue and the results of the
// last test run. Plain C entries with text allocated by malloc, found by the host with dlsym.
#include <cstdlib>
#include <cstring>
#include <string>

#include "addin/framework/results.h"
#include "addin/framework/run.h"
#include "addin/framework/test.h"
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
// report has been made); with json not null, *json receives its result blocks as JSON. Returns 0,
// or 1 when there is no such test.
extern "C" __attribute__((visibility("default"))) int QuelstatLastTest(const void** identity, char** json) {
    qs::Test* test = qs::LastCompletedTest();
    *identity = test;
    if (json) *json = test ? Copy(qs::ResultsJson(*test)) : nullptr;
    return test ? 0 : 1;
}
