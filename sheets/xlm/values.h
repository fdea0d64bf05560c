// Values passed between the host and add-ins: reading arguments and making results.
//
// Results the host hands out with memory behind them (text, area tables, arrays) are allocated
// with malloc and given back with xlFree (FreeValue).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "xll/xlcall.h"

namespace xlm {

// Type of a value without the ownership bits.
inline int TypeOf(const XLOPER* v) { return v ? (v->xltype & XLTYPE_MASK) : XLTYPE_MISSING; }
inline bool IsMissing(const XLOPER* v) { return !v || TypeOf(v) == XLTYPE_MISSING || TypeOf(v) == XLTYPE_NIL; }

// Result makers (the previous content of *out is overwritten, not freed).
void SetNumber(XLOPER* out, double n);
void SetBool(XLOPER* out, bool b);
void SetError(XLOPER* out, int code);
void SetInt(XLOPER* out, int w);
void SetMissing(XLOPER* out);
void SetNil(XLOPER* out);
// Text longer than 255 bytes is cut without splitting a UTF-8 sequence.
void SetText(XLOPER* out, const std::string& text);
void SetRef(XLOPER* out, XL_SHEET_ID sheet, const std::vector<XLREF>& areas);
void SetSref(XLOPER* out, const XLREF& area);
// An array of rows x columns values; `cells` row by row, each already made with the makers.
void SetArray(XLOPER* out, int rows, int columns, const std::vector<XLOPER>& cells);

// Gives back the memory of a value the host made (xlFree).
void FreeValue(XLOPER* v);
// A deep copy made with the host's allocator.
void CopyValue(XLOPER* out, const XLOPER* in);

// Argument readers. Text() gives nothing for a non-text value; Number() accepts numbers,
// integers and booleans; Bool() accepts booleans and numbers.
std::optional<std::string> Text(const XLOPER* v);
std::optional<double> Number(const XLOPER* v);
std::optional<bool> Bool(const XLOPER* v);
// Text of a value as a formula would show it (numbers in %.15g, TRUE/FALSE, #N/A ...; arrays as
// {1,2;3,4}).
std::string Display(const XLOPER* v);
std::string ErrorText(int code);

// The elements of an array argument (a scalar is a 1 x 1 array).
struct Table {
  int rows = 0;
  int columns = 0;
  std::vector<const XLOPER*> cells;
  const XLOPER* At(int r, int c) const {
    return (r < rows && c < columns) ? cells[static_cast<std::size_t>(r * columns + c)] : nullptr;
  }
};
Table TableOf(const XLOPER* v);

// Owns a value made by the host and frees it on destruction.
struct HostValue {
  XLOPER v{};
  HostValue() { v.xltype = XLTYPE_NIL; }
  ~HostValue() { FreeValue(&v); }
  HostValue(const HostValue&) = delete;
  HostValue& operator=(const HostValue&) = delete;
};

}  // namespace xlm
