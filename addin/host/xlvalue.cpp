#include "addin/host/xlvalue.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

namespace qs {

namespace {

uint8_t* MakeCounted(std::string_view text) {
    size_t n = Utf8Cut(text, XlValue::kMaxText);
    auto* s = static_cast<uint8_t*>(std::malloc(n + 2));
    if (!s) throw std::bad_alloc();
    s[0] = static_cast<uint8_t>(n);
    std::memcpy(s + 1, text.data(), n);
    s[n + 1] = 0;  // not part of the value; convenient for readers
    return s;
}

XLMREF* MakeTable(const XLREF* areas, uint16_t count) {
    auto* t = static_cast<XLMREF*>(std::malloc(XlMrefSize(count)));
    if (!t) throw std::bad_alloc();
    t->count = count;
    if (count) std::memcpy(reinterpret_cast<char*>(t) + offsetof(XLMREF, reftbl), areas, count * sizeof(XLREF));
    return t;
}

const XLREF* TableAreas(const XLMREF* t) {
    return reinterpret_cast<const XLREF*>(reinterpret_cast<const char*>(t) + offsetof(XLMREF, reftbl));
}

int AsciiLower(int c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }

}  // namespace

XlValue XlValue::Bool(bool b) {
    XlValue v;
    v.SetBool(b);
    return v;
}

XlValue XlValue::Error(uint16_t code) {
    XlValue v;
    v.SetError(code);
    return v;
}

XlValue XlValue::Int(int16_t w) {
    XlValue v;
    v.xltype = XLTYPE_INT;
    v.val.w = w;
    return v;
}

XlValue XlValue::Nil() {
    XlValue v;
    v.xltype = XLTYPE_NIL;
    return v;
}

XlValue XlValue::Ref(XL_SHEET_ID sheetId, const std::vector<XLREF>& areas) {
    XlValue v;
    v.val.mref.lpmref = MakeTable(areas.data(), static_cast<uint16_t>(areas.size()));
    v.val.mref.idSheet = sheetId;
    v.xltype = XLTYPE_REF;
    return v;
}

XlValue XlValue::SRef(const XLREF& area) {
    XlValue v;
    v.val.sref.count = 1;
    v.val.sref.ref = area;
    v.xltype = XLTYPE_SREF;
    return v;
}

XlValue XlValue::Array(uint16_t rows, uint16_t columns) {
    XlValue v;
    size_t n = static_cast<size_t>(rows) * columns;
    v.val.array.lparray = n ? new XlValue[n] : nullptr;
    v.val.array.rows = rows;
    v.val.array.columns = columns;
    v.xltype = XLTYPE_MULTI | XLBIT_DLLFREE;
    return v;
}

XlValue::XlValue(XlValue&& other) noexcept : XlValue() {
    std::memcpy(static_cast<XLOPER*>(this), static_cast<XLOPER*>(&other), sizeof(XLOPER));
    other.xltype = XLTYPE_NIL;
}

XlValue& XlValue::operator=(const XlValue& other) {
    if (this != &other) {
        Release();
        CopyFrom(other, true);
    }
    return *this;
}

XlValue& XlValue::operator=(XlValue&& other) noexcept {
    if (this != &other) {
        Release();
        std::memcpy(static_cast<XLOPER*>(this), static_cast<XLOPER*>(&other), sizeof(XLOPER));
        other.xltype = XLTYPE_NIL;
    }
    return *this;
}

void XlValue::CopyFrom(const XlValue& other, bool moveOwnership) {
    std::memcpy(static_cast<XLOPER*>(this), static_cast<const XLOPER*>(&other), sizeof(XLOPER));
    switch (other.Type()) {
        case XLTYPE_STR:
        case XLTYPE_STR_INT:
            val.str = MakeCounted(other.TextView());
            if (other.Type() == XLTYPE_STR_INT) val.strint.w = other.val.strint.w;
            xltype = other.Type();
            break;
        case XLTYPE_REF:
            val.mref.lpmref = other.val.mref.lpmref
                                  ? MakeTable(TableAreas(other.val.mref.lpmref), other.val.mref.lpmref->count)
                                  : nullptr;
            xltype = XLTYPE_REF;
            break;
        case XLTYPE_MULTI:
            if (moveOwnership) {
                const_cast<XlValue&>(other).xltype = XLTYPE_MULTI;  // the copy owns the elements now
            } else {
                xltype = XLTYPE_MULTI;
            }
            break;
        default: xltype = other.Type(); break;
    }
}

void XlValue::Release() {
    uint16_t type = Type();
    if (xltype & XLBIT_XLFREE) {
        xltype = type;
        XLOPER* arg = this;
        Excel4v(xlFree, nullptr, 1, &arg);
    } else {
        switch (type) {
            case XLTYPE_STR:
            case XLTYPE_STR_INT: std::free(val.str); break;
            case XLTYPE_REF: std::free(val.mref.lpmref); break;
            case XLTYPE_MULTI:
                if ((xltype & XLBIT_DLLFREE) && val.array.lparray) {
                    // Elements first (each releases what it owns), then the block.
                    delete[] static_cast<XlValue*>(val.array.lparray);
                }
                break;
            default: break;
        }
    }
    xltype = XLTYPE_NIL;
    val.num = 0;
}

void XlValue::SetNumber(double d) {
    Release();
    xltype = XLTYPE_NUM;
    val.num = d;
}

void XlValue::SetText(std::string_view text) {
    uint8_t* s = MakeCounted(text);  // before releasing: text may point into this value
    Release();
    val.str = s;
    xltype = XLTYPE_STR;
}

void XlValue::SetBool(bool b) {
    Release();
    xltype = XLTYPE_BOOL;
    val.xbool = b ? 1 : 0;
}

void XlValue::SetError(uint16_t code) {
    Release();
    xltype = XLTYPE_ERR;
    val.err = code;
}

std::string_view XlValue::TextView() const {
    if ((Type() != XLTYPE_STR && Type() != XLTYPE_STR_INT) || !val.str) return {};
    return {reinterpret_cast<const char*>(val.str + 1), val.str[0]};
}

std::string XlValue::Text() const { return std::string(TextView()); }

uint16_t XlValue::Rows() const { return Type() == XLTYPE_MULTI ? val.array.rows : 1; }
uint16_t XlValue::Columns() const { return Type() == XLTYPE_MULTI ? val.array.columns : 1; }

XlValue& XlValue::At(uint16_t row, uint16_t column) {
    if (Type() != XLTYPE_MULTI || row >= val.array.rows || column >= val.array.columns)
        throw std::out_of_range("XlValue::At");
    return static_cast<XlValue*>(val.array.lparray)[static_cast<size_t>(row) * val.array.columns + column];
}

const XlValue& XlValue::At(uint16_t row, uint16_t column) const { return const_cast<XlValue*>(this)->At(row, column); }

std::vector<XLREF> XlValue::Areas() const {
    if (Type() == XLTYPE_SREF) return {val.sref.ref};
    if (Type() == XLTYPE_REF && val.mref.lpmref) {
        const XLREF* a = TableAreas(val.mref.lpmref);
        return std::vector<XLREF>(a, a + val.mref.lpmref->count);
    }
    return {};
}

bool XlValue::Equals(const XlValue& other, bool ignoreCase) const {
    if (Type() != other.Type()) return false;
    switch (Type()) {
        case XLTYPE_NUM: return val.num == other.val.num;
        case XLTYPE_STR: {
            std::string_view a = TextView(), b = other.TextView();
            if (a.size() != b.size()) return false;
            for (size_t i = 0; i < a.size(); ++i) {
                int x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
                if (ignoreCase ? AsciiLower(x) != AsciiLower(y) : x != y) return false;
            }
            return true;
        }
        case XLTYPE_BOOL: return val.xbool == other.val.xbool;
        case XLTYPE_ERR: return val.err == other.val.err;
        default: return true;
    }
}

void XlValue::FreeReturned(XLOPER* value) {
    if (value) static_cast<XlValue*>(value)->Release();
}

}  // namespace qs
