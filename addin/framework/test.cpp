// The catalogue, the test base and the compute driver.
#include "addin/framework/test.h"

#include <algorithm>
#include <cfenv>
#include <cmath>

#include "addin/host/messages.h"
#include "addin/resources/string_ids.h"

namespace qs {

namespace {
std::vector<const Test::Info*>*& CatalogueList() {
    static std::vector<const Test::Info*>* list = nullptr;
    return list;
}
}  // namespace

// ------------------------------------------------------------------ catalogue

Test::Info::Info(unsigned testId, Factory create)
    : id(testId), module(nullptr), needsMessage(0), templateName(""), m_create(create) {
    if (const TestCatalogueEntry* e = FindTestEntry(testId)) {
        module = e->module;
        needsMessage = e->needsMessage;
        templateName = e->templateName;
    }
    std::vector<const Info*>*& list = CatalogueList();
    if (!list) list = new std::vector<const Info*>;
    list->push_back(this);
}

Test::Info::~Info() {
    std::vector<const Info*>*& list = CatalogueList();
    if (!list) return;
    list->erase(std::remove(list->begin(), list->end(), this), list->end());
    if (list->empty()) {  // the last one frees the list
        delete list;
        list = nullptr;
    }
}

Test* Test::Info::Create() const { return m_create ? m_create() : nullptr; }

bool Test::Info::IsAvailable() const { return module && (InstalledModules() & module->bit) != 0; }

CSharedString Test::Info::Name() const { return LoadString(id); }

const std::vector<const Test::Info*>& Catalogue() {
    static const std::vector<const Test::Info*> empty;
    const std::vector<const Test::Info*>* list = CatalogueList();
    return list ? *list : empty;
}

const Test::Info* FindTest(unsigned id) {
    for (const Test::Info* info : Catalogue())
        if (info->id == id) return info;
    return nullptr;
}

// ------------------------------------------------------------------ test base

Test::Test() = default;
Test::~Test() = default;

void Test::Bind(DatasetSourceExcel* source) {
    dataset = source;
    parameters = new Parameters(*this, source);
    parameters->Run(Parameters::kLoad);
}

std::string Test::VariablesText() const {
    std::string out;
    if (!parameters) return out;
    for (const ParameterItem& item : parameters->items) {
        if (item.hidden || item.value.type != kValueVariables) continue;
        for (const VariableChoice& c : item.value.variables) {
            if (!out.empty()) out += ", ";
            out += c.name;
        }
    }
    return out;
}

void Test::CheckNotZero(double value, const std::string& quantity, const std::string& variable) {
    if (std::fabs(value) < 1e-14) ThrowMessage(ids::kMessageQuantityZero, "%s%s", quantity.c_str(), variable.c_str());
}

void Test::CheckNotAllEqual(const std::vector<double>& values, const std::string& variable) {
    if (values.empty()) return;
    for (double v : values)
        if (v != values[0]) return;
    ThrowMessage(ids::kMessageAllEqual, "%s", variable.c_str());
}

// ------------------------------------------------------------------ compute driver

void ComputeTest(Test& test, uint32_t bits) {
    test.Change(bits);
    if (!test.Pending()) return;
    // Every floating-point exception masked (a division by zero gives infinity), rounding to
    // nearest. The precision needs no setting here: on x86-64 doubles are computed in SSE
    // registers, which always round to 53 bits; the x87 control word is left alone.
    std::fenv_t saved;
    std::feholdexcept(&saved);
    std::fesetround(FE_TONEAREST);
    try {
        InjectFault("compute");
        test.Compute();
    } catch (...) {
        std::fesetenv(&saved);
        throw;
    }
    test.Seen();
    std::fesetenv(&saved);
}

}  // namespace qs
