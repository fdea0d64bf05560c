// The parameter exchange: items, passes, exchange operations, checks, stored and remembered values.
#include "addin/framework/parameters.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "addin/framework/selection.h"
#include "addin/framework/test.h"
#include "addin/host/messages.h"
#include "addin/host/settings.h"
#include "addin/resources/string_ids.h"
#include "platform/text.h"

namespace qs {

// ------------------------------------------------------------------ descriptors

std::string ParameterDescriptor::SettingName() const { return std::to_string(label); }

std::string ChoiceDescriptor::SettingName() const {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%u_%ld_%u", label, static_cast<long>(count), firstChoice);
    return buf;
}

uint32_t ChoiceDescriptor::OptionWord() const {
    uint32_t enable = allowedMask & ((count >= 12 ? 0xFFFu : (1u << count) - 1u));
    return (firstChoice & 0x7FFFu) | ((static_cast<uint32_t>(count) & 0x1Fu) << 15) | (enable << 20);
}

bool ParameterValue::Given() const {
    switch (type) {
        case kValueNumber:
        case kValueWhole:
        case kValueBoolean: return std::isfinite(number);
        case kValueVariables: return !variables.empty();
        default: return false;
    }
}

// ------------------------------------------------------------------ remembered values
//
// A remembered value is 16 bytes: the value's type tag (4 bytes, little-endian), 4 zero bytes, and
// the value as a 64-bit floating-point number (an option index or 0/1 for choices and check boxes).

namespace {

void PackRemembered(ParameterDescriptor& d, TypeCode type, double value) {
    std::memset(d.remembered, 0, sizeof d.remembered);
    for (int i = 0; i < 4; ++i) d.remembered[i] = static_cast<unsigned char>(type >> (8 * i));
    std::memcpy(d.remembered + 8, &value, sizeof value);
    d.hasRemembered = true;
}

bool UnpackRemembered(const ParameterDescriptor& d, TypeCode type, double& value) {
    if (!d.hasRemembered) return false;
    TypeCode stored = 0;
    for (int i = 0; i < 4; ++i) stored |= static_cast<TypeCode>(d.remembered[i]) << (8 * i);
    if (stored != type) return false;
    std::memcpy(&value, d.remembered + 8, sizeof value);
    return std::isfinite(value);
}

SettingsKey UserKey() { return SettingsKey(SettingsRoot::CurrentUser, kQuelstatKey); }

}  // namespace

void LoadRememberedParameters() {
    SettingsKey key = UserKey();
    for (ParameterDescriptor* d : ParameterDescriptor::All()) {
        if (!(d->word & kParamRemember)) continue;
        std::optional<std::vector<uint8_t>> bytes = key.ReadBinary("Parameters", d->SettingName());
        if (!bytes || bytes->size() != sizeof d->remembered) continue;  // absent or foreign: ignored
        std::memcpy(d->remembered, bytes->data(), sizeof d->remembered);
        d->hasRemembered = true;
    }
}

void SaveRememberedParameters() {
    SettingsKey key = UserKey();
    for (ParameterDescriptor* d : ParameterDescriptor::All())
        if ((d->word & kParamRemember) && d->hasRemembered)
            key.WriteBinary("Parameters", d->SettingName(), d->remembered, sizeof d->remembered);
}

std::vector<const ParameterDescriptor*> RememberedChanges() {
    std::vector<const ParameterDescriptor*> out;
    for (const ParameterDescriptor* d : ParameterDescriptor::All()) {
        if (!(d->word & kParamRemember) || !d->hasRemembered) continue;
        double v = 0;
        bool differs = false;
        if (d->Kind() == kKindNumber)
            differs =
                UnpackRemembered(*d, kValueNumber, v) && v != static_cast<const NumberDescriptor*>(d)->defaultValue;
        else if (d->Kind() == kKindCheckBox)
            differs = UnpackRemembered(*d, kValueBoolean, v) &&
                      (v != 0) != (static_cast<const NumberDescriptor*>(d)->defaultValue != 0);
        else if (d->Kind() == kKindChoice)
            differs =
                UnpackRemembered(*d, kValueWhole, v) && v != static_cast<const ChoiceDescriptor*>(d)->defaultIndex;
        if (differs) out.push_back(d);
    }
    return out;
}

void ForgetRememberedParameters() {
    for (ParameterDescriptor* d : ParameterDescriptor::All()) d->hasRemembered = false;
}

// ------------------------------------------------------------------ the exchange

namespace {
Parameters* g_current = nullptr;

std::string NumberText(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

// "%1 must be %2." with the second part from `phraseId` and its arguments.
[[noreturn]] void ThrowMustBe(const std::string& label, const std::string& phrase) {
    ThrowMessage(ids::kMessageMustBe, "%s%s", label.c_str(), phrase.c_str());
}

std::string RequirementText(TypeRequirement mask) {
    unsigned id = RequirementTextId(mask);
    if (id) return LoadString(id).str();
    // Both continuous and categorical: the first word of the continuous name before the
    // categorical one ("continuous or categorical type").
    std::string continuous = LoadString(ids::kStringContinuousType).str();
    std::string word = continuous.substr(0, continuous.find(' '));
    return word + " or " + LoadString(ids::kStringCategoricalType).str();
}
}  // namespace

Parameters::Parameters(Test& t, DatasetSourceExcel* d) : test(t), dataset(d) {}

Parameters::~Parameters() {
    if (g_current == this) g_current = nullptr;
}

Parameters* Parameters::Current() { return g_current; }

void Parameters::Run(Mode m) {
    struct Scope {
        Parameters* previous;
        explicit Scope(Parameters* p) : previous(g_current) { g_current = p; }
        ~Scope() { g_current = previous; }
    } scope(this);
    mode = m;
    m_next = 0;
    m_layout.clear();
    for (ParameterItem& item : items) {
        m_layout.emplace_back(item.descriptor, item.hidden);
        item.changed = m == kLoad;
    }
    layoutChanged = false;
    test.ExchangeParameters();
    if (items.size() > m_next) items.erase(items.begin() + static_cast<long>(m_next), items.end());
    if (items.size() != m_layout.size()) {
        layoutChanged = true;
    } else {
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i].descriptor != m_layout[i].first || items[i].hidden != m_layout[i].second) layoutChanged = true;
    }
}

ParameterItem* Parameters::Find(unsigned label) {
    for (ParameterItem& item : items)
        if (item.descriptor && item.descriptor->label == label) return &item;
    return nullptr;
}

ParameterItem* Parameters::FindByLabel(const std::string& labelText) {
    for (ParameterItem& item : items)
        if (item.label == labelText) return &item;
    for (ParameterItem& item : items)
        if (platform::FoldCase(item.label) == platform::FoldCase(labelText)) return &item;
    return nullptr;
}

ParameterItem& Parameters::Declare(ParameterDescriptor& d) {
    size_t at = m_next++;
    m_fresh = false;
    if (at < items.size() && items[at].descriptor == &d) {
        items[at].hidden = false;
        return items[at];
    }
    // An item declared later in the previous pass moves up; otherwise a new item.
    for (size_t j = at + 1; j < items.size(); ++j) {
        if (items[j].descriptor != &d) continue;
        ParameterItem moved = std::move(items[j]);
        items.erase(items.begin() + static_cast<long>(j));
        items.insert(items.begin() + static_cast<long>(at), std::move(moved));
        items[at].hidden = false;
        return items[at];
    }
    ParameterItem item;
    item.descriptor = &d;
    item.label = LoadString(d.label).str();
    item.changed = true;
    items.insert(items.begin() + static_cast<long>(at), std::move(item));
    LoadDefault(items[at]);
    m_fresh = true;
    return items[at];
}

ParameterItem& Parameters::Last() { return items[m_next - 1]; }

void Parameters::LoadDefault(ParameterItem& item) {
    ParameterDescriptor& d = *item.descriptor;
    item.changed = true;
    switch (d.Kind()) {
        case kKindNumber: {
            auto& n = static_cast<NumberDescriptor&>(d);
            item.value.type = kValueNumber;
            double v;
            item.value.number = UnpackRemembered(d, kValueNumber, v) ? v : n.defaultValue;
            break;
        }
        case kKindCheckBox: {
            auto& n = static_cast<NumberDescriptor&>(d);
            item.value.type = kValueBoolean;
            double v;
            if (!UnpackRemembered(d, kValueBoolean, v)) v = n.defaultValue;
            item.value.number = std::isfinite(v) ? (v != 0 ? 1 : 0) : 0;
            break;
        }
        case kKindChoice: {
            auto& c = static_cast<ChoiceDescriptor&>(d);
            item.value.type = kValueWhole;
            double v;
            bool ok = UnpackRemembered(d, kValueWhole, v) && v >= 0 && v < c.count && v == std::floor(v) &&
                      ((c.allowedMask >> static_cast<int>(v)) & 1);
            item.value.number = ok ? v : c.defaultIndex;
            item.optionWord = c.OptionWord();
            break;
        }
        case kKindHypothesis:
            item.value.type = kValueWhole;
            item.value.number = numerics::kTwoSided;
            break;
        case kKindVariable:
            item.value.type = kValueVariables;
            item.value.variables = DefaultVariables(static_cast<VariableDescriptor&>(d));
            break;
        default: item.value.type = kValueNothing;
    }
}

void Parameters::Hide(bool hidden) {
    if (m_next == 0) return;
    Last().hidden = hidden;
}

void Parameters::Number(NumberDescriptor& d, double& member) {
    ParameterItem& item = Declare(d);
    if (mode == kLoad && !m_fresh) LoadDefault(item);
    member = item.value.type == kValueNumber ? item.value.number : numerics::MissingValue();
}

void Parameters::Percentage(NumberDescriptor& d, double& member) {
    Number(d, member);
    if (!Checking()) return;
    // Confidence levels are held as 32-bit floats: the check sees the value as that precision
    // keeps it, so a level that rounds to 100 is refused.
    const double lower = d.label == ids::kLabelConfidenceInterval ? 50 : 0;
    float v = static_cast<float>(member);
    if (!(std::isfinite(member) && v > lower && v < 100))
        ThrowMessage(ids::kMessagePercentage, "%s%g%g", Last().label.c_str(), lower, 100.0);
}

void Parameters::Proportion(NumberDescriptor& d, double& member) {
    Number(d, member);
    if (!Checking()) return;
    if (!(member > 0 && member < 1))
        ThrowMustBe(Last().label, FormatMessage(ids::kRangeBetweenExclusive, "%d%d", 0, 1).str());
}

void Parameters::Choice(ChoiceDescriptor& d, int& member) {
    ParameterItem& item = Declare(d);
    if (mode == kLoad && !m_fresh) LoadDefault(item);
    item.optionWord = (item.optionWord & 0xFFFFFu) | (d.OptionWord() & 0xFFF00000u);
    double v = item.value.type == kValueWhole ? item.value.number : d.defaultIndex;
    member = std::isfinite(v) ? static_cast<int>(v) : -1;
    if (!Checking()) return;
    // Options filled at run time (no fixed list) accept any index.
    bool allowed = d.count == 0 ? member >= 0 : member >= 0 && member < d.count && ((d.allowedMask >> member) & 1);
    if (allowed) return;
    std::string options;
    for (int i = 0; i < d.count; ++i) {
        if (!((d.allowedMask >> i) & 1)) continue;
        if (!options.empty()) options += ", ";
        options += LoadString(d.firstChoice + static_cast<unsigned>(i)).str();
    }
    ThrowMessage(ids::kMessageChoice, "%s%s", item.label.c_str(), options.c_str());
}

void Parameters::Choice(ChoiceDescriptor& d, int& member, const std::vector<std::string>& options) {
    ParameterItem& item = Declare(d);
    if (mode == kLoad && !m_fresh) LoadDefault(item);
    if (item.options != options) {
        item.options = options;
        item.changed = true;
    }
    const int count = static_cast<int>(options.size());
    uint32_t enable = count >= 12 ? 0xFFFu : (1u << count) - 1u;
    item.optionWord = (static_cast<uint32_t>(std::min(count, 31)) << 15) | (enable << 20);
    double v = item.value.type == kValueWhole ? item.value.number : 0;
    if (!(std::isfinite(v) && v >= 0 && v < count)) {
        // The options changed under the value: the first one.
        item.value.type = kValueWhole;
        item.value.number = 0;
        item.changed = true;
        v = 0;
    }
    member = count > 0 ? static_cast<int>(v) : -1;
    if (Checking() && count == 0) ThrowMessage(ids::kMessageValueRequired, "%s", item.label.c_str());
}

void Parameters::CheckBox(NumberDescriptor& d, bool& member) {
    ParameterItem& item = Declare(d);
    if (mode == kLoad && !m_fresh) LoadDefault(item);
    member = item.value.type == kValueBoolean && item.value.number == 1;
}

void Parameters::Hypothesis(HypothesisDescriptor& d, numerics::Tail& member, const std::string& left,
                            const std::string& right) {
    ParameterItem& item = Declare(d);
    if (mode == kLoad && !m_fresh) LoadDefault(item);
    if (item.hypothesisLeft != left || item.hypothesisRight != right) {
        item.hypothesisLeft = left;
        item.hypothesisRight = right;
        item.changed = true;
    }
    double v = item.value.number;
    if (item.value.type != kValueWhole || !(v == 0 || v == 1 || v == 2)) {
        // Not one of the three alternatives: back to "not equal".
        item.value.type = kValueWhole;
        item.value.number = numerics::kTwoSided;
        item.changed = true;
    }
    member = static_cast<numerics::Tail>(item.value.number);
}

void Parameters::Variables(VariableDescriptor& d, std::vector<VariableChoice>& member) {
    ParameterItem& item = Declare(d);
    if (mode == kLoad && !m_fresh) LoadDefault(item);
    if (item.value.type != kValueVariables) {
        item.value.type = kValueVariables;
        item.value.variables.clear();
        item.changed = true;
    }
    member = item.value.variables;
}

// ------------------------------------------------------------------ default variables

std::vector<VariableChoice> Parameters::DefaultVariables(const VariableDescriptor& d) const {
    std::vector<VariableChoice> out;
    if (!dataset) return out;
    std::vector<VariableChoice> list = ListVariables(*dataset);
    const TypeRequirement req = d.Requirement();
    auto fits = [&](const VariableChoice& c) { return (c.mask & req) != 0; };
    VariableSource* atCell = nullptr;
    if (!dataset->activeCell.Empty()) atCell = dataset->FindVariableAt(dataset->activeCell);
    if (!(d.word & kParamSeveral)) {
        for (const VariableChoice& c : list)
            if (!c.IsGroup() && c.variable.get() == atCell && fits(c)) return {c};
        for (auto it = list.rbegin(); it != list.rend(); ++it)
            if (fits(*it)) return {*it};
        return out;
    }
    // Groups of one variable by one factor.
    auto groupsOf = [&](VariableSource* v) {
        std::vector<VariableChoice> g;
        for (const VariableChoice& c : list)
            if (c.IsGroup() && c.variable.get() == v && fits(c) && (g.empty() || g[0].factor.get() == c.factor.get()))
                g.push_back(c);
        return g;
    };
    if (d.label == ids::kLabelVariableGroups || (d.word & kParamGroupsOfOne)) {
        if (atCell) out = groupsOf(atCell);
        for (size_t i = 0; out.empty() && i < list.size(); ++i)
            if (list[i].IsGroup() && fits(list[i])) out = groupsOf(list[i].variable.get());
        if (!out.empty()) return out;
    }
    // Repeats of one repeat-measures variable.
    WithinSubject* group = atCell ? atCell->group : nullptr;
    if (!group)
        for (const VariableChoice& c : list)
            if (!c.IsGroup() && c.variable->group && fits(c)) {
                group = c.variable->group;
                break;
            }
    if (group)
        for (const VariableChoice& c : list)
            if (!c.IsGroup() && c.variable->group == group && fits(c)) out.push_back(c);
    // Otherwise every variable that fits (columns side by side).
    if (out.empty())
        for (const VariableChoice& c : list)
            if (!c.IsGroup() && fits(c)) out.push_back(c);
    return out;
}

// ------------------------------------------------------------------ checks

void Parameters::CheckRequired() {
    if (!Checking() || m_next == 0 || Last().hidden) return;  // a hidden item cannot be corrected
    ParameterItem& item = Last();
    if (item.value.Given()) return;
    if (item.value.type == kValueVariables || item.descriptor->Kind() == kKindVariable)
        ThrowMessage(ids::kMessageVariableCount, "%s%s", item.label.c_str(),
                     FormatMessage(ids::kCountAtLeast, "%d", 1).c_str());
    ThrowMessage(ids::kMessageValueRequired, "%s", item.label.c_str());
}

void Parameters::CheckRange(double a, double b) {
    if (!Checking() || m_next == 0 || Last().hidden) return;  // a hidden item cannot be corrected
    ParameterItem& item = Last();
    double v = item.value.number;
    bool ok = item.value.Given() && v == std::floor(v) && v >= a && (!std::isfinite(b) || v <= b);
    if (ok) return;
    std::string phrase;
    if (a == b)
        phrase = FormatMessage(ids::kRangeExactly, "%s", NumberText(a).c_str()).str();
    else if (!std::isfinite(b))
        phrase = FormatMessage(ids::kRangeAtLeast, "%s", NumberText(a).c_str()).str();
    else if (!std::isfinite(a))
        phrase = FormatMessage(ids::kRangeAtMost, "%s", NumberText(b).c_str()).str();
    else
        phrase = FormatMessage(ids::kRangeBetween, "%s%s", NumberText(a).c_str(), NumberText(b).c_str()).str();
    ThrowMustBe(item.label, phrase);
}

void Parameters::CheckPositive() {
    if (!Checking() || m_next == 0 || Last().hidden) return;  // a hidden item cannot be corrected
    ParameterItem& item = Last();
    if (item.value.Given() && item.value.number > 0) return;
    ThrowMustBe(item.label, LoadString(ids::kRangeAboveZero).str());
}

void Parameters::CheckVariableTypes() {
    if (!Checking() || m_next == 0 || Last().hidden) return;  // a hidden item cannot be corrected
    ParameterItem& item = Last();
    if (item.descriptor->Kind() != kKindVariable) return;
    TypeRequirement req = static_cast<VariableDescriptor*>(item.descriptor)->Requirement();
    for (const VariableChoice& c : item.value.variables) {
        if (!c.variable || Accepts(req, c.variable->type)) continue;
        // The message names the variable itself ("Variable Diet must be continuous type.").
        ThrowMessage(ids::kMessageVariableType, "%s%s", c.name.c_str(), RequirementText(req).c_str());
    }
}

void Parameters::CheckVariableCount(int count) { CheckVariableCount(count, count); }

void Parameters::CheckVariableCount(int min, int max) {
    if (!Checking() || m_next == 0 || Last().hidden) return;  // a hidden item cannot be corrected
    ParameterItem& item = Last();
    int n = static_cast<int>(item.value.variables.size());
    if (n >= min && (max < 0 || n <= max)) return;
    std::string phrase;
    if (min == max)
        phrase = FormatMessage(ids::kCountExactly, "%d", min).str();
    else if (max < 0)
        phrase = FormatMessage(ids::kCountAtLeast, "%d", min).str();
    else if (min <= 0)
        phrase = FormatMessage(ids::kCountAtMost, "%d", max).str();
    else
        phrase = FormatMessage(ids::kCountBetween, "%d%d", min, max).str();
    ThrowMessage(ids::kMessageVariableCount, "%s%s", item.label.c_str(), phrase.c_str());
}

void Parameters::CheckObservations(int n) {
    if (!Checking() || m_next == 0 || Last().hidden) return;  // a hidden item cannot be corrected
    ParameterItem& item = Last();
    for (const VariableChoice& c : item.value.variables)
        if (static_cast<int>(ChoiceValues(c).size()) < n)
            ThrowMessage(ids::kMessageObservationCount, "%s%s", item.label.c_str(),
                         FormatMessage(ids::kRangeAtLeast, "%d", n).c_str());
}

void Parameters::CheckSameObservations() {
    if (!Checking() || m_next == 0 || Last().hidden) return;  // a hidden item cannot be corrected
    ParameterItem& item = Last();
    const std::vector<VariableChoice>& vars = item.value.variables;
    if (vars.size() < 2) return;
    size_t first = ChoiceValues(vars[0]).size();
    for (size_t i = 1; i < vars.size(); ++i) {
        if (ChoiceValues(vars[i]).size() == first) continue;
        // Two variables: the second is named with the count of the first; more: all are asked for
        // the same count.
        if (vars.size() == 2)
            ThrowMessage(ids::kMessageVariableObservations, "%s%ld", vars[i].name.c_str(), static_cast<long>(first));
        ThrowMessage(ids::kMessageAllObservations, "%s%s", Last().label.c_str(),
                     LoadString(ids::kCountSameNumber).c_str());
    }
}

void Parameters::CheckSameType() {
    if (!Checking() || m_next == 0 || Last().hidden) return;  // a hidden item cannot be corrected
    const std::vector<VariableChoice>& vars = Last().value.variables;
    for (size_t i = 1; i < vars.size(); ++i)
        if (!SameType(vars[i].variable->type, vars[0].variable->type)) ThrowMessage(ids::kMessageSameType);
}

void Parameters::CheckGroupsFromOneVariable() {
    if (!Checking() || m_next == 0 || Last().hidden) return;  // a hidden item cannot be corrected
    const std::vector<VariableChoice>& vars = Last().value.variables;
    // Separate variables side by side are independent samples as they stand; groups must all be
    // groups of one variable by one factor.
    bool anyGroup = std::any_of(vars.begin(), vars.end(), [](const VariableChoice& c) { return c.IsGroup(); });
    if (!anyGroup) return;
    for (const VariableChoice& c : vars)
        if (!c.IsGroup() || c.variable.get() != vars[0].variable.get() || c.factor.get() != vars[0].factor.get())
            ThrowMessage(ids::kMessageGroupsOneVariable);
}

void Parameters::CheckRepeatsFromOneVariable() {
    if (!Checking() || m_next == 0 || Last().hidden) return;  // a hidden item cannot be corrected
    const std::vector<VariableChoice>& vars = Last().value.variables;
    // Plain variables side by side pair by row; repeats must all be repeats of one variable.
    bool anyRepeat =
        std::any_of(vars.begin(), vars.end(), [](const VariableChoice& c) { return c.IsGroup() || c.variable->group; });
    if (!anyRepeat) return;
    for (const VariableChoice& c : vars)
        if (c.IsGroup() || !c.variable->group || c.variable->group != vars[0].variable->group)
            ThrowMessage(ids::kMessageRepeatsOneVariable);
}

// ------------------------------------------------------------------ remembered and stored values

void Parameters::RememberDefaults() {
    for (ParameterItem& item : items) {
        ParameterDescriptor& d = *item.descriptor;
        if (!(d.word & kParamRemember) || !item.value.Given()) continue;
        if (item.value.type == kValueVariables) continue;
        PackRemembered(d, item.value.type, item.value.number);
    }
}

XlValue Parameters::StoredValue(size_t i) const {
    const ParameterItem& item = items.at(i);
    const ParameterValue& v = item.value;
    size_t rows = 3;
    if (v.type == kValueVariables) rows = 3 + v.variables.size();
    XlValue out = XlValue::Array(static_cast<uint16_t>(rows), 1);
    out.At(0, 0) = XlValue(static_cast<double>(v.type));
    out.At(1, 0) = XlValue(static_cast<double>(item.descriptor->word & 0xBFFF));
    switch (v.type) {
        case kValueVariables:
            out.At(2, 0) = XlValue(static_cast<double>(v.variables.size()));
            for (size_t k = 0; k < v.variables.size(); ++k)
                out.At(static_cast<uint16_t>(3 + k), 0) = XlValue(v.variables[k].name);
            break;
        case kValueBoolean: out.At(2, 0) = XlValue(v.number == 1 ? 1.0 : 0.0); break;
        case kValueNumber:
        case kValueWhole:
            // A number not given is kept as an empty text (a sheet cannot hold NaN).
            out.At(2, 0) = std::isfinite(v.number) ? XlValue(v.number) : XlValue("");
            break;
        default: out.At(2, 0) = XlValue(""); break;
    }
    return out;
}

bool Parameters::RestoreValue(size_t i, const XlValue& stored) {
    if (i >= items.size()) return false;
    ParameterItem& item = items[i];
    if (!stored.Is(XLTYPE_MULTI) || stored.Rows() < 3 || stored.Columns() < 1) return false;
    const XlValue& tag = stored.At(0, 0);
    const XlValue& word = stored.At(1, 0);
    if (!tag.Is(XLTYPE_NUM) || !word.Is(XLTYPE_NUM)) return false;
    // Holder flags (0x60) of the tag do not tell values apart.
    TypeCode storedType = static_cast<TypeCode>(tag.Number());
    if (TypeKey(storedType) != TypeKey(item.value.type)) return false;
    if (static_cast<unsigned>(word.Number()) != (item.descriptor->word & 0xBFFFu)) return false;
    const XlValue& value = stored.At(2, 0);
    ParameterValue restored;
    restored.type = item.value.type;
    switch (item.value.type) {
        case kValueVariables: {
            if (!value.Is(XLTYPE_NUM) || !dataset) return false;
            size_t n = static_cast<size_t>(value.Number());
            if (value.Number() < 0 || stored.Rows() < 3 + n) return false;
            std::vector<VariableChoice> list = ListVariables(*dataset);
            for (size_t k = 0; k < n; ++k) {
                const XlValue& name = stored.At(static_cast<uint16_t>(3 + k), 0);
                if (!name.Is(XLTYPE_STR)) return false;
                const VariableChoice* found = nullptr;
                for (const VariableChoice& c : list)
                    if (c.name == name.TextView()) found = &c;
                if (!found) return false;  // the variable is gone or was renamed
                restored.variables.push_back(*found);
            }
            break;
        }
        case kValueBoolean:
            if (!value.Is(XLTYPE_NUM)) return false;
            restored.number = value.Number() != 0 ? 1 : 0;
            break;
        case kValueNumber:
        case kValueWhole:
            if (value.Is(XLTYPE_NUM))
                restored.number = value.Number();
            else if (value.Is(XLTYPE_STR) && value.TextView().empty())
                restored.number = numerics::MissingValue();
            else
                return false;
            break;
        default: return false;
    }
    item.value = std::move(restored);
    item.changed = true;
    return true;
}

}  // namespace qs
