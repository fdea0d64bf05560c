// The test catalogue as data: every test's id (its name's string id and menu command id), module,
// dataset requirement message and report template name.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qs {

struct TestModule {
    unsigned nameId;  // string id of the module's name
    uint32_t bit;     // bit in the "Modules" setting
};

extern const TestModule kModuleGeneral;             // "General", bit 1
extern const TestModule kModuleClinicalLaboratory;  // "Clinical Laboratory", bit 2

struct TestCatalogueEntry {
    uint16_t id;
    const TestModule* module;
    unsigned needsMessage;     // 1500..1522, %1 = the test's name
    const char* templateName;  // file stem of the report template
};

// What a dataset must offer a test, as far as its layout and its variables' types tell; each
// requirement message (1500..1522) stands for one. A message without an entry is left to the
// test's parameter checks.
struct DatasetNeed {
    enum Shape : uint8_t {
        kAnyShape,  // any layout
        kList,      // a list layout that is not a contingency table
        kGroups,    // an independent layout, or a list with a categorical variable to group by
        kRepeats,   // a list with a variable of at least two repeat measures
        kTable,     // a contingency table, or a list with categorical variables to cross-tabulate
    };
    unsigned message;     // the requirement message, %1 = the test's name
    uint8_t continuous;   // at least this many continuous variables
    uint8_t categorical;  // at least this many categorical variables or factors
    Shape shape;
    uint8_t ordered = 0;  // at least this many at least ordinal (ordinal or continuous) variables
};

// The need behind a requirement message, or null when the message has none.
const DatasetNeed* FindDatasetNeed(unsigned message);

// All entries in catalogue order.
const TestCatalogueEntry* TestCatalogue(size_t* count);
// The entry with this id, or null.
const TestCatalogueEntry* FindTestEntry(unsigned id);

// The module bits enabled on this machine: the per-machine "Modules" value, all modules when absent.
uint32_t InstalledModules();

}  // namespace qs
