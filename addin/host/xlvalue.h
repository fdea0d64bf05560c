// XlValue: an owning spreadsheet value in the host's value layout (an XLOPER with no extra data, so
// an XlValue* can be handed to the host as it is).
//
// Ownership: a value flagged XLBIT_XLFREE was filled by the host and is given back with xlFree. Any
// other text or reference table belongs to the value itself. An array owns its elements only while it
// carries XLBIT_DLLFREE (or XLBIT_XLFREE); copying an array moves that ownership to the copy.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "addin/host/shared.h"
#include "xll/xlcall.h"

namespace qs {

class XlValue : public XLOPER {
public:
    static constexpr size_t kMaxText = 255;

    XlValue() {
        xltype = XLTYPE_MISSING;
        val.num = 0;
    }  // a fresh value is missing
    explicit XlValue(double d) : XlValue() { SetNumber(d); }
    explicit XlValue(int i) : XlValue() { SetNumber(i); }
    explicit XlValue(const char* text) : XlValue() { SetText(text ? text : ""); }
    explicit XlValue(std::string_view text) : XlValue() { SetText(text); }
    explicit XlValue(const std::string& text) : XlValue() { SetText(text); }
    explicit XlValue(const CSharedString& text) : XlValue() { SetText(text.view()); }

    static XlValue Bool(bool b);
    static XlValue Error(uint16_t code);
    static XlValue Int(int16_t w);
    static XlValue Nil();
    static XlValue Missing() { return XlValue(); }
    // A reference to areas of sheet `sheetId`.
    static XlValue Ref(XL_SHEET_ID sheetId, const std::vector<XLREF>& areas);
    // A single-sheet reference to one area of the current sheet.
    static XlValue SRef(const XLREF& area);
    // An add-in-owned array of rows x columns missing values, filled with Set().
    static XlValue Array(uint16_t rows, uint16_t columns);

    XlValue(const XlValue& other) : XlValue() { CopyFrom(other, true); }
    XlValue(XlValue&& other) noexcept;
    ~XlValue() { Release(); }
    XlValue& operator=(const XlValue& other);
    XlValue& operator=(XlValue&& other) noexcept;

    // Copies `other`: text and references deeply; an array shares the elements, and with
    // `moveOwnership` the source's ownership flags pass to this copy.
    void CopyFrom(const XlValue& other, bool moveOwnership);
    // Frees what the value owns (xlFree for host memory) and leaves it nil.
    void Release();

    void SetNumber(double d);
    void SetText(std::string_view text);  // cut to 255 bytes, never inside a UTF-8 sequence
    void SetBool(bool b);
    void SetError(uint16_t code);

    uint16_t Type() const { return static_cast<uint16_t>(xltype & XLTYPE_MASK); }
    bool Is(uint16_t type) const { return Type() == type; }
    bool IsMissing() const { return Type() == XLTYPE_MISSING; }
    bool IsNil() const { return Type() == XLTYPE_NIL; }
    bool IsError(uint16_t code) const { return Type() == XLTYPE_ERR && val.err == code; }

    double Number() const { return val.num; }
    std::string Text() const;           // text of a text value, empty otherwise
    std::string_view TextView() const;  // ditto, without copying
    uint16_t Rows() const;              // of an array (1 for other values)
    uint16_t Columns() const;
    XlValue& At(uint16_t row, uint16_t column);
    const XlValue& At(uint16_t row, uint16_t column) const;
    // Areas of a reference (both kinds); empty for other values.
    std::vector<XLREF> Areas() const;
    XL_SHEET_ID SheetId() const { return Type() == XLTYPE_REF ? val.mref.idSheet : 0; }

    // Equality: different types differ; numbers numerically; texts by length then bytes (optionally
    // ignoring ASCII case); booleans and errors by code; other types are equal when their types are.
    bool Equals(const XlValue& other, bool ignoreCase = false) const;
    friend bool operator==(const XlValue& a, const XlValue& b) { return a.Equals(b); }

    XLOPER* ptr() { return this; }

    // Releases a value handed back by the host through xlAutoFree.
    static void FreeReturned(XLOPER* value);
};

static_assert(sizeof(XlValue) == sizeof(XLOPER), "an XlValue is exactly a host value");

}  // namespace qs
