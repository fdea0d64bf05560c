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

extern const TestModule kModuleGeneral;            // "General", bit 1
extern const TestModule kModuleClinicalLaboratory;  // "Clinical Laboratory", bit 2

struct TestCatalogueEntry {
    uint16_t id;
    const TestModule* module;
    unsigned needsMessage;     // 1500..1522, %1 = the test's name
    const char* templateName;  // file stem of the report template
};

// All entries in catalogue order.
const TestCatalogueEntry* TestCatalogue(size_t* count);
// The entry with this id, or null.
const TestCatalogueEntry* FindTestEntry(unsigned id);

// The module bits enabled on this machine: the per-machine "Modules" value, all modules when absent.
uint32_t InstalledModules();

}  // namespace qs
