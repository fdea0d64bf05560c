// The small result blocks, the p-value texts and the JSON form of a test's results.
#include "addin/framework/results.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>

#include "addin/host/json_text.h"
#include "addin/host/messages.h"
#include "addin/resources/string_ids.h"

namespace qs {

// ------------------------------------------------------------------ field tables

const FieldTable& N::GetFields() const {
    static const FieldTable table = FieldTableOf<N>().Count(ids::kLabelN, &N::n).Build();
    return table;
}

const FieldTable& P::GetFields() const {
    // The p-value, and beside it how it was obtained ("2-tailed, Welch's approximation ...").
    static const FieldTable table = [] {
        Field method(ids::kLabelMethod, FieldKind::Text);
        method.text = [](const Results& r) { return static_cast<const P&>(r).Description(); };
        return FieldTableOf<P>().Number(ids::kLabelP, &P::p).Add(std::move(method)).Build();
    }();
    return table;
}

const FieldTable& PointEstimate::GetFields() const {
    static const FieldTable table =
        FieldTableOf<PointEstimate>().Number(ids::kLabelPointEstimate, &PointEstimate::value).Build();
    return table;
}

const FieldTable& CI::GetFields() const {
    static const FieldTable table = FieldTableOf<CI>().Pair(ids::kLabelCI, &CI::lower, &CI::upper).Build();
    return table;
}

const FieldTable& VCI::GetFields() const {
    // The interval's level adds nothing: its pair shows as the CI field of the enclosing block.
    static const FieldTable table = FieldTableOf<VCI>()
                                        .Number(ids::kLabelValue, &VCI::value)
                                        .Nested(ids::kLabelCI, &VCI::ci, kFieldTransparent)
                                        .Build();
    return table;
}

const FieldTable& ARRAY_CI::GetFields() const {
    static const FieldTable table = FieldTableOf<ARRAY_CI>()
                                        .Numbers(ids::kLabelLower, &ARRAY_CI::lower)
                                        .Numbers(ids::kLabelUpper, &ARRAY_CI::upper)
                                        .Build();
    return table;
}

// ------------------------------------------------------------------ p-value texts

std::string P::Description() const {
    std::vector<std::string> parts;
    switch (TailCode()) {
        case 0: parts.push_back(LoadString(ids::kMethodTwoTailed).str()); break;
        case 1:
        case 2: parts.push_back(LoadString(ids::kMethodOneTailed).str()); break;
        default: break;  // no tail shown
    }
    unsigned method = Method();
    if (method == 1 && tiesPercent != 0 && std::isfinite(tiesPercent))
        parts.push_back(FormatMessage(ids::kMethodExactTablesTies, "%ld", std::lround(tiesPercent)).str());
    else if (method >= 1 && method <= 6)
        parts.push_back(LoadString(ids::kMethodOneTailed + method).str());
    if (flags & kCorrectedForTies) parts.push_back(LoadString(ids::kMethodCorrectedForTies).str());
    if (flags & kDouble1TailedP) parts.push_back(LoadString(ids::kMethodDouble1TailedP).str());
    if (flags & kCorrectedForContinuity) parts.push_back(LoadString(ids::kMethodCorrectedForContinuity).str());
    std::string out;
    for (const std::string& s : parts) {
        if (s.empty()) continue;
        if (!out.empty()) out += ", ";
        out += s;
    }
    return out;
}

// ------------------------------------------------------------------ JSON

namespace {

class JsonWriter {
public:
    std::string out;

    void Object(const Results& block) {
        out += '{';
        std::set<std::string> keys;
        bool first = true;
        Members(block, keys, first);
        out += '}';
    }

private:
    // The fields of `block` as members of the object being written; transparent levels add their
    // fields to it.
    void Members(const Results& block, std::set<std::string>& keys, bool& first) {
        const std::string suffix = block.Suffix();
        for (const Field& f : block.GetFields()) {
            if (f.flags & kFieldHidden) continue;
            if (f.kind == FieldKind::Block && (f.flags & kFieldTransparent)) {
                const Results* nested = f.block ? f.block(block) : nullptr;
                if (nested) Members(*nested, keys, first);
                continue;
            }
            if (f.kind == FieldKind::Block) {
                const Results* nested = f.block ? f.block(block) : nullptr;
                if (!nested) continue;  // an indirect block that is absent
                Key(f.label, suffix, keys, first);
                Object(*nested);
                continue;
            }
            Key(f.label, suffix, keys, first);
            Value(f, block);
        }
    }

    void Key(unsigned label, const std::string& suffix, std::set<std::string>& keys, bool& first) {
        std::string key = LoadString(label).str();
        if (key.empty()) key = std::to_string(label);
        key += suffix;
        // A label met twice in one object keeps both values: the later one is numbered.
        std::string unique = key;
        for (int n = 2; !keys.insert(unique).second; ++n) unique = key + " (" + std::to_string(n) + ")";
        if (!first) out += ',';
        first = false;
        AppendJsonString(out, unique);
        out += ':';
    }

    void Value(const Field& f, const Results& block) {
        switch (f.kind) {
            case FieldKind::Number: {
                double v = f.number(block);
                if (std::isinf(v) && (f.flags & kFieldBoundText) && f.text)
                    AppendJsonString(out, f.text(block));
                else
                    AppendJsonNumber(out, v, false);
                break;
            }
            case FieldKind::Count: AppendJsonNumber(out, f.number(block), true); break;
            case FieldKind::Text: AppendJsonString(out, f.text(block)); break;
            case FieldKind::Pair: {
                std::pair<double, double> p = f.pair(block);
                out += '[';
                AppendJsonNumber(out, p.first, false);
                out += ',';
                AppendJsonNumber(out, p.second, false);
                out += ']';
                break;
            }
            case FieldKind::NumberArray: {
                out += '[';
                bool first = true;
                for (double v : f.numbers(block)) {
                    if (!first) out += ',';
                    first = false;
                    AppendJsonNumber(out, v, false);
                }
                out += ']';
                break;
            }
            case FieldKind::TextArray: {
                out += '[';
                bool first = true;
                for (const std::string& s : f.texts(block)) {
                    if (!first) out += ',';
                    first = false;
                    AppendJsonString(out, s);
                }
                out += ']';
                break;
            }
            case FieldKind::BlockArray: {
                out += '[';
                bool first = true;
                for (const Results* row : f.blocks(block)) {
                    if (!row) continue;
                    if (!first) out += ',';
                    first = false;
                    Object(*row);
                }
                out += ']';
                break;
            }
            case FieldKind::Block: break;  // written by Members
        }
    }
};

}  // namespace

std::string ResultsJson(const Results& root) {
    JsonWriter w;
    w.Object(root);
    return w.out;
}

}  // namespace qs
