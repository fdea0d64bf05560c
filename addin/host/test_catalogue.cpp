#include "addin/host/test_catalogue.h"

#include <cstdlib>
#include <string>

#include "addin/host/settings.h"
#include "addin/resources/string_ids.h"

namespace qs {

constinit const TestModule kModuleGeneral{ids::kStringGeneral, 1};
constinit const TestModule kModuleClinicalLaboratory{ids::kStringClinicalLaboratory, 2};

namespace {
constexpr const TestModule* G = &kModuleGeneral;
constexpr const TestModule* C = &kModuleClinicalLaboratory;

// Constant-initialised: every test's catalogue object reads its entry while the units are being
// initialised, in whatever order they come.
constinit const TestCatalogueEntry kCatalogue[] = {
    {1008, G, 1501, "dscrptv"},  {1009, G, 1502, "dscrptvn"}, {1011, G, 1501, "normalty"}, {1013, G, 1509, "dscrptvc"},
    {1024, G, 1501, "ztest1"},   {1025, G, 1501, "ttest1"},   {1026, G, 1505, "ttesti"},   {1027, G, 1500, "ttestp"},
    {1028, G, 1505, "ftest"},    {1029, G, 1513, "anova1b"},  {1030, G, 1511, "anova1w"},  {1031, G, 1515, "anova2b"},
    {1040, G, 1502, "runs"},     {1041, G, 1512, "sign"},     {1042, G, 1512, "wilcoxon"}, {1043, G, 1505, "mannwht"},
    {1044, G, 1513, "median"},   {1045, G, 1517, "kruskal"},  {1046, G, 1522, "friedman"}, {1056, G, 1507, "binomial"},
    {1057, G, 1508, "fisher"},   {1058, G, 1508, "mcnemar"},  {1059, G, 1508, "chisq"},    {1060, G, 1510, "cochranq"},
    {1072, G, 1500, "correlp"},  {1073, G, 1521, "correls"},  {1074, G, 1521, "correlk"},  {1088, G, 1518, "regressl"},
    {1089, G, 1518, "regressp"}, {1200, C, 1506, "biasplot"}, {1201, C, 1506, "deming"},   {1202, C, 1518, "pb"},
    {1216, C, 1519, "precsn"},   {1217, C, 1500, "precsnp"},  {1232, C, 1501, "reflimit"}, {1233, C, 1516, "roc"},
    {1234, C, 1508, "diagscrn"}, {1235, C, 1508, "kappa"},    {1238, C, 1518, "pbm"},      {1239, C, 1506, "demingm"},
    {1240, C, 1518, "linearm"},  {1241, C, 1518, "linearty"},
};

using Need = DatasetNeed;
constinit const DatasetNeed kNeeds[] = {
    {1500, 0, 0, Need::kRepeats},   // a variable with repeat measures
    {1501, 1, 0, Need::kAnyShape},  // a continuous variable
    {1502, 0, 1, Need::kAnyShape},  // a categorical variable
    {1505, 1, 0, Need::kGroups},    // two groups of a continuous variable
    {1509, 1, 0, Need::kGroups},    {1511, 0, 0, Need::kRepeats},
    {1513, 1, 0, Need::kGroups},    {1518, 2, 0, Need::kList},  // two continuous variables
    {1507, 0, 1, Need::kAnyShape},                              // a dichotomous variable
    {1508, 0, 2, Need::kTable},                                 // a table, or two categorical variables to cross
    {1510, 0, 2, Need::kList},                                  // dichotomous measures of the same subjects
    {1512, 0, 0, Need::kList, 2},                               // two at least ordinal measures
    {1517, 0, 0, Need::kGroups, 1},                             // groups of an at least ordinal variable
    {1521, 0, 0, Need::kList, 2},                               // two at least ordinal variables
    {1522, 0, 0, Need::kRepeats},                               // an at least ordinal repeated measure
};
}  // namespace

const DatasetNeed* FindDatasetNeed(unsigned message) {
    for (const DatasetNeed& n : kNeeds)
        if (n.message == message) return &n;
    return nullptr;
}

const TestCatalogueEntry* TestCatalogue(size_t* count) {
    *count = sizeof kCatalogue / sizeof kCatalogue[0];
    return kCatalogue;
}

const TestCatalogueEntry* FindTestEntry(unsigned id) {
    for (const TestCatalogueEntry& e : kCatalogue)
        if (e.id == id) return &e;
    return nullptr;
}

uint32_t InstalledModules() {
    SettingsKey machine(SettingsRoot::LocalMachine, kQuelstatKey);
    constexpr uint32_t kAll = 0xFFFFFFFFu;
    uint32_t v = machine.ReadNumber("", "Modules", kAll);
    if (v != kAll) return v;
    // A value written as text ("3") counts as well.
    std::string text = machine.ReadText("", "Modules", "");
    if (!text.empty()) {
        char* end = nullptr;
        unsigned long n = std::strtoul(text.c_str(), &end, 10);
        if (end && *end == 0) return static_cast<uint32_t>(n);
    }
    return kAll;
}

}  // namespace qs
