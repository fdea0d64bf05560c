// Result blocks: the objects a test fills with its results. Every block describes its fields in a
// table built once per class (label string id, kind, flags, how to read the value), and one output
// routine walks those tables to write any block into a report, or as JSON.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "addin/host/shared.h"
#include "addin/numerics/distributions.h"

namespace qs {

class Results;

enum class FieldKind : uint8_t {
    Number,       // 64-bit floating point: one cell
    Count,        // 32-bit integer: one cell
    Text,         // a text: one cell
    Pair,         // two numbers (an interval): two cells side by side
    NumberArray,  // one cell per element, downwards
    TextArray,    // one cell per element, downwards
    Block,        // a nested block: its own fields
    BlockArray,   // an array of blocks of one class: one table row per block
};

enum FieldFlags : unsigned {
    kFieldTransparent = 0x01,  // the level adds nothing to slot names and JSON keys (its fields
                               // appear as fields of the enclosing block)
    kFieldIndirect = 0x20,     // the member is reached through a pointer (may be null: nothing written)
    kFieldHidden = 0x40,       // not written (kept for stored reports and JSON only when set so)
    kFieldBoundText = 0x80,    // a number whose infinite values stand for a bound written as the
                               // field's text instead ("< 0.01", "> 0.15")
};

// One entry of a block's field table. Exactly the reader that fits `kind` is set.
struct Field {
    Field() = default;
    Field(unsigned l, FieldKind k, unsigned f = 0) : label(l), kind(k), flags(f) {}
    unsigned label = 0;  // string id of the field's label
    FieldKind kind = FieldKind::Number;
    unsigned flags = 0;
    std::function<double(const Results&)> number;                       // Number, Count
    std::function<std::string(const Results&)> text;                    // Text
    std::function<std::pair<double, double>(const Results&)> pair;      // Pair
    std::function<std::vector<double>(const Results&)> numbers;         // NumberArray
    std::function<std::vector<std::string>(const Results&)> texts;      // TextArray
    std::function<const Results*(const Results&)> block;                // Block (null: nothing)
    std::function<std::vector<const Results*>(const Results&)> blocks;  // BlockArray
    std::function<const Results*()> row;  // BlockArray: an empty row, to check label paths without results
};
using FieldTable = std::vector<Field>;

class Results {
public:
    virtual ~Results() = default;
    // The block's field table, built on first use and kept for the whole load.
    virtual const FieldTable& GetFields() const = 0;
    // Text appended to the labels of the block's fields when shown (empty by default).
    virtual std::string Suffix() const { return {}; }
    // Size of the block's data in bytes.
    virtual size_t Size() const = 0;
};

// Builds a field table from members of block class B: FieldTableOf<VCI>().Number(2041, &VCI::value)...
template <class B>
class FieldTableOf {
public:
    FieldTableOf& Number(unsigned label, double B::*m, unsigned flags = 0) {
        Field f{label, FieldKind::Number, flags};
        f.number = [m](const Results& r) { return static_cast<const B&>(r).*m; };
        return Add(std::move(f));
    }
    FieldTableOf& Count(unsigned label, uint32_t B::*m, unsigned flags = 0) {
        Field f{label, FieldKind::Count, flags};
        f.number = [m](const Results& r) { return static_cast<double>(static_cast<const B&>(r).*m); };
        return Add(std::move(f));
    }
    FieldTableOf& Text(unsigned label, CSharedString B::*m, unsigned flags = 0) {
        Field f{label, FieldKind::Text, flags};
        f.text = [m](const Results& r) { return (static_cast<const B&>(r).*m).str(); };
        return Add(std::move(f));
    }
    FieldTableOf& Pair(unsigned label, double B::*first, double B::*second, unsigned flags = 0) {
        Field f{label, FieldKind::Pair, flags};
        f.pair = [first, second](const Results& r) {
            const B& b = static_cast<const B&>(r);
            return std::pair<double, double>(b.*first, b.*second);
        };
        return Add(std::move(f));
    }
    FieldTableOf& Numbers(unsigned label, std::vector<double> B::*m, unsigned flags = 0) {
        Field f{label, FieldKind::NumberArray, flags};
        f.numbers = [m](const Results& r) { return static_cast<const B&>(r).*m; };
        return Add(std::move(f));
    }
    template <class R>
    FieldTableOf& Nested(unsigned label, R B::*m, unsigned flags = 0) {
        Field f{label, FieldKind::Block, flags};
        f.block = [m](const Results& r) -> const Results* { return &(static_cast<const B&>(r).*m); };
        return Add(std::move(f));
    }
    template <class R>
    FieldTableOf& Rows(unsigned label, std::vector<R> B::*m, unsigned flags = 0) {
        Field f{label, FieldKind::BlockArray, flags};
        f.blocks = [m](const Results& r) {
            std::vector<const Results*> out;
            for (const R& x : static_cast<const B&>(r).*m) out.push_back(&x);
            return out;
        };
        f.row = []() -> const Results* {
            static const R empty;
            return &empty;
        };
        return Add(std::move(f));
    }
    // A number shown as a text when it is infinite (kFieldBoundText): `bound` gives that text.
    FieldTableOf& BoundNumber(unsigned label, double B::*m, std::string (*bound)(double)) {
        Field f{label, FieldKind::Number, kFieldBoundText};
        f.number = [m](const Results& r) { return static_cast<const B&>(r).*m; };
        f.text = [m, bound](const Results& r) { return bound(static_cast<const B&>(r).*m); };
        return Add(std::move(f));
    }
    // Any other reader (computed texts, pointers followed with kFieldIndirect ...).
    FieldTableOf& Add(Field f) {
        m_table.push_back(std::move(f));
        return *this;
    }
    FieldTableOf& Include(const FieldTable& base) {
        m_table.insert(m_table.end(), base.begin(), base.end());
        return *this;
    }
    FieldTable Build() { return std::move(m_table); }

private:
    FieldTable m_table;
};

// The small blocks shared by the tests.

struct N : Results {
    uint32_t n = 0;
    const FieldTable& GetFields() const override;  // n (2017)
    size_t Size() const override { return sizeof(uint32_t); }
};

// A p-value with how it was obtained: the tail, the method (1 exact, 2 normal approximation,
// 3 chisqr approximation, 4 t approximation, 5 Welch's approximation for unequal variances,
// 6 Woolf's approximation), the flags (bit 8 corrected for ties, bit 9 double 1-tailed p,
// bit 10 corrected for continuity) and the percentage of tied values.
struct P : Results {
    enum : unsigned { kCorrectedForTies = 0x100, kDouble1TailedP = 0x200, kCorrectedForContinuity = 0x400 };
    enum : unsigned { kNoTailShown = 3 };
    double p = numerics::MissingValue();
    double tiesPercent = 0;
    unsigned flags = 0;  // bits 0-3 method, 4-7 tail, 8-10 as above
    void Set(double pValue, numerics::Tail tail, unsigned method, unsigned more = 0) {
        p = pValue;
        flags = (method & 0xF) | ((static_cast<unsigned>(tail) & 0xF) << 4) | more;
    }
    unsigned Method() const { return flags & 0xF; }
    unsigned TailCode() const { return (flags >> 4) & 0xF; }
    // "2-tailed" / "1-tailed" and the method and flag texts, joined by ", " (empty parts left out).
    std::string Description() const;
    const FieldTable& GetFields() const override;  // p (2113)
    size_t Size() const override { return 16; }
};

struct PointEstimate : Results {
    double value = numerics::MissingValue();
    const FieldTable& GetFields() const override;  // Point estimate (2098)
    size_t Size() const override { return 8; }
};

struct CI : Results {
    double lower = numerics::MissingValue();
    double upper = numerics::MissingValue();
    void Set(const numerics::Interval& i) {
        lower = i.lower;
        upper = i.upper;
    }
    const FieldTable& GetFields() const override;  // CI (2064): pair
    size_t Size() const override { return 16; }
};

struct VCI : Results {
    double value = numerics::MissingValue();
    CI ci;
    const FieldTable& GetFields() const override;  // value (2041), CI (2064) block, transparent
    size_t Size() const override { return 48; }
};

struct ARRAY_CI : Results {
    std::vector<double> lower, upper;
    const FieldTable& GetFields() const override;  // Lower (2066), Upper (2067)
    size_t Size() const override { return 16; }
};

}  // namespace qs

namespace qs {
// The blocks of `root` as JSON, in block order: numbers as numbers (null for NaN, "inf" and "-inf"
// for infinities), texts as strings, a pair as a two-element array, a nested block as an object keyed
// by its field labels, an array of blocks as an array of row objects. Transparent levels put their
// fields into the enclosing object.
std::string ResultsJson(const Results& root);
}  // namespace qs
