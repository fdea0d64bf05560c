// The dialog's list of variables and the observations behind a selection.
//
// The list is a tree written as names whose levels are joined by " - ":
// - a variable of a list dataset by its name; one repeat of a repeat-measures variable as
//   "Group - Repeat";
// - a tabular (independent) dataset lists its data variable, then each group of it by a factor of
//   the header bands as "Data - Category" ("Data - Factor - Category" when the dataset has two
//   factors), then the factors themselves;
// - in a list dataset with categorical variables, a continuous variable is followed by its groups
//   by each categorical variable: "Weight - Low" when the dataset has one categorical variable,
//   "Weight - Diet - Low" when it has several (the factor's name keeps the groups apart).
// Each entry carries its type index and a mask: bit (type index), bit 7 for a categorical type, and
// 64 for a continuous variable that a tabular dataset flags as its data (and its groups).
#include "addin/framework/selection.h"
#include "platform/text.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace qs {

namespace {

unsigned MaskOf(const VariableSource& v, bool tabularData) {
    int index = TypeIndex(v.type);
    unsigned mask = 1u << index;
    if (IsCategorical(v.type)) mask |= 0x80;
    if (tabularData && SameType(v.type, kTypeContinuous)) mask |= 64;
    return mask;
}

VariableChoice Plain(VariableSource& v, const std::string& name, bool tabularData) {
    VariableChoice c;
    c.variable = &v;
    c.name = name;
    c.typeIndex = TypeIndex(v.type);
    c.mask = MaskOf(v, tabularData);
    return c;
}

// The categories of a factor in the order its groups are shown: the header order for a factor
// built from a header band, else the display order of the categories met in the data.
std::vector<Category*> GroupCategories(VariableSource& factor) {
    factor.Values();
    std::vector<Category*> out;
    if (!factor.categories) return out;
    if (!factor.grouping.empty()) {
        for (int n : factor.grouping)
            if (Category* c = factor.categories->ByNumber(n)) out.push_back(c);
        return out;
    }
    for (const CRef<Category>& c : factor.categories->Order())
        if (!c->first && (c->flags & Category::kOccursInData)) out.push_back(c.get());
    return out;
}

void AddGroups(std::vector<VariableChoice>& list, const VariableChoice& data, VariableSource& factor, bool nameFactor) {
    for (Category* cat : GroupCategories(factor)) {
        VariableChoice g = data;
        g.factor = &factor;
        g.category = cat->number;
        g.name = data.name + (nameFactor ? " - " + factor.name : std::string()) + " - " + cat->name;
        list.push_back(std::move(g));
    }
}

std::vector<std::string> Levels(const std::string& name) {
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        size_t at = name.find(" - ", start);
        if (at == std::string::npos) {
            out.push_back(name.substr(start));
            return out;
        }
        out.push_back(name.substr(start, at - start));
        start = at + 3;
    }
}

}  // namespace

std::string VariableChoice::Parent() const {
    size_t at = name.rfind(" - ");
    return at == std::string::npos ? std::string() : name.substr(0, at);
}

std::vector<VariableChoice> ListVariables(DatasetSourceExcel& dataset) {
    std::vector<VariableChoice> list;
    if (!dataset.dataset) return list;
    const std::vector<CRef<VariableSource>>& vars = dataset.dataset->variables;
    if (dataset.dataset->Layout() == kLayoutIndependent) {
        std::vector<VariableSource*> factors;
        for (const CRef<VariableSource>& v : vars)
            if (v->isFactor) factors.push_back(v.get());
        for (const CRef<VariableSource>& v : vars) {
            if (v->isFactor) continue;
            VariableChoice data = Plain(*v, v->name, true);
            list.push_back(data);
            for (VariableSource* f : factors) AddGroups(list, data, *f, factors.size() > 1);
        }
        for (VariableSource* f : factors) list.push_back(Plain(*f, f->name, false));
        return list;
    }
    std::vector<VariableSource*> factors;
    for (const CRef<VariableSource>& v : vars)
        if (!v->group && IsCategorical(v->type)) factors.push_back(v.get());
    for (const CRef<VariableSource>& v : vars) {
        if (v->group) {
            list.push_back(Plain(*v, v->group->name + " - " + v->name, false));
            continue;
        }
        VariableChoice plain = Plain(*v, v->name, false);
        list.push_back(plain);
        if (!SameType(v->type, kTypeContinuous)) continue;
        for (VariableSource* f : factors) AddGroups(list, plain, *f, factors.size() > 1);
    }
    return list;
}

const VariableChoice* FindVariableChoice(const std::vector<VariableChoice>& list, const std::string& name) {
    for (const VariableChoice& c : list)
        if (c.name == name) return &c;
    const VariableChoice* found = nullptr;
    int matches = 0;
    for (const VariableChoice& c : list)
        if (platform::FoldCase(c.name) == platform::FoldCase(name)) found = &c, ++matches;
    if (matches == 1) return found;
    if (matches > 1) return nullptr;
    // The trailing levels alone ("Before" for "Weight - Before"), when only one entry ends so.
    std::vector<std::string> want = Levels(platform::FoldCase(name));
    for (const VariableChoice& c : list) {
        std::vector<std::string> have = Levels(platform::FoldCase(c.name));
        if (have.size() <= want.size()) continue;
        if (std::equal(want.begin(), want.end(), have.end() - static_cast<long>(want.size()))) found = &c, ++matches;
    }
    return matches == 1 ? found : nullptr;
}

// ------------------------------------------------------------------ observations

CRef<Criteria> ChoiceCriteria(const VariableChoice& choice) {
    PairWith present;
    present.entries.push_back({choice.variable.get(), true, false});
    CRef<Criteria> c = MakeCriteria(nullptr, choice.factor.get(), &present, nullptr);
    c->Update();
    return c;
}

int GroupIndexOf(const VariableChoice& choice, const Criteria& criteria) {
    if (!criteria.splitBy) return -1;
    const std::vector<std::vector<int>>& groups = criteria.splitBy->groups;
    for (size_t g = 0; g < groups.size(); ++g)
        if (std::find(groups[g].begin(), groups[g].end(), choice.category) != groups[g].end())
            return static_cast<int>(g);
    return -1;
}

namespace {
// The choice's observations including the missing ones (a group through its split only).
std::vector<double> AllValues(const VariableChoice& choice) {
    if (!choice.IsGroup()) return ObservationValues(*choice.variable, nullptr);
    CRef<Criteria> split = MakeCriteria(nullptr, choice.factor.get(), nullptr, nullptr);
    split->Update();
    int g = GroupIndexOf(choice, *split);
    if (g < 0) return {};
    return GroupValues(*choice.variable, *split)[static_cast<size_t>(g)];
}
}  // namespace

std::vector<double> ChoiceValues(const VariableChoice& choice) {
    if (!choice.variable) return {};
    CRef<Criteria> c = ChoiceCriteria(choice);
    if (!choice.IsGroup()) return ObservationValues(*choice.variable, c.get());
    int g = GroupIndexOf(choice, *c);
    if (g < 0) return {};
    return GroupValues(*choice.variable, *c)[static_cast<size_t>(g)];
}

uint32_t MissingCount(const VariableChoice& choice) {
    if (!choice.variable) return 0;
    std::vector<double> all = AllValues(choice);
    return static_cast<uint32_t>(std::count_if(all.begin(), all.end(), [](double x) { return !std::isfinite(x); }));
}

LeftOut LeftOutOf(const VariableChoice& choice) {
    LeftOut out;
    if (!choice.variable) return out;
    // The values of groups side by side end at each column's last value already.
    for (double x : AllValues(choice))
        if (!std::isfinite(x)) ++(IsNotANumberMark(x) ? out.notNumbers : out.missing);
    return out;
}

PairedValues PairedChoiceValues(const VariableChoice& a, const VariableChoice& b) {
    PairedValues out;
    if (!a.variable || !b.variable) return out;
    if (!a.IsGroup() && !b.IsGroup()) {
        PairWith both;
        both.entries.push_back({a.variable.get(), true, false});
        both.entries.push_back({b.variable.get(), true, false});
        CRef<Criteria> c = MakeCriteria(nullptr, nullptr, &both, nullptr);
        c->Update();
        out.first = ObservationValues(*a.variable, c.get());
        out.second = ObservationValues(*b.variable, c.get());
        out.excludedMissing = c->excludedMissing;
        return out;
    }
    std::vector<double> x = AllValues(a), y = AllValues(b);
    size_t n = std::max(x.size(), y.size());
    for (size_t i = 0; i < n; ++i) {
        double u = i < x.size() ? x[i] : MissingValue();
        double v = i < y.size() ? y[i] : MissingValue();
        if (!std::isfinite(u) || !std::isfinite(v)) {
            ++out.excludedMissing;
            continue;
        }
        out.first.push_back(u);
        out.second.push_back(v);
    }
    return out;
}

}  // namespace qs
