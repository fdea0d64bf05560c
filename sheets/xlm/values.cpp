#include "sheets/xlm/values.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace xlm {

void SetNumber(XLOPER* out, double n) {
  out->val.num = n;
  out->xltype = XLTYPE_NUM;
}
void SetBool(XLOPER* out, bool b) {
  out->val.xbool = b ? 1 : 0;
  out->xltype = XLTYPE_BOOL;
}
void SetError(XLOPER* out, int code) {
  out->val.err = static_cast<uint16_t>(code);
  out->xltype = XLTYPE_ERR;
}
void SetInt(XLOPER* out, int w) {
  out->val.w = static_cast<int16_t>(w);
  out->xltype = XLTYPE_INT;
}
void SetMissing(XLOPER* out) {
  std::memset(&out->val, 0, sizeof out->val);
  out->xltype = XLTYPE_MISSING;
}
void SetNil(XLOPER* out) {
  std::memset(&out->val, 0, sizeof out->val);
  out->xltype = XLTYPE_NIL;
}

void SetText(XLOPER* out, const std::string& text) {
  size_t n = XlUtf8CutLength(text.data(), text.size(), 255);
  auto* s = static_cast<uint8_t*>(std::malloc(n + 2));
  s[0] = static_cast<uint8_t>(n);
  std::memcpy(s + 1, text.data(), n);
  s[n + 1] = 0;  // not counted; convenient for readers that want a C string
  out->val.str = s;
  out->xltype = XLTYPE_STR;
}

void SetRef(XLOPER* out, XL_SHEET_ID sheet, const std::vector<XLREF>& areas) {
  auto count = static_cast<uint16_t>(areas.size());
  auto* m = static_cast<XLMREF*>(std::malloc(XlMrefSize(count)));
  m->count = count;
  for (uint16_t i = 0; i < count; ++i) m->reftbl[i] = areas[i];
  out->val.mref.lpmref = m;
  out->val.mref.idSheet = sheet;
  out->xltype = XLTYPE_REF;
}

void SetSref(XLOPER* out, const XLREF& area) {
  out->val.sref.count = 1;
  out->val.sref.ref = area;
  out->xltype = XLTYPE_SREF;
}

void SetArray(XLOPER* out, int rows, int columns, const std::vector<XLOPER>& cells) {
  std::size_t n = static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns);
  auto* a = static_cast<XLOPER*>(std::calloc(n ? n : 1, sizeof(XLOPER)));
  for (std::size_t i = 0; i < n; ++i) {
    if (i < cells.size())
      a[i] = cells[i];
    else
      SetNil(&a[i]);
    a[i].xltype &= XLTYPE_MASK;
  }
  out->val.array.lparray = a;
  out->val.array.rows = static_cast<uint16_t>(rows);
  out->val.array.columns = static_cast<uint16_t>(columns);
  out->xltype = XLTYPE_MULTI;
}

void FreeValue(XLOPER* v) {
  if (!v) return;
  switch (TypeOf(v)) {
    case XLTYPE_STR:
    case XLTYPE_STR_INT: std::free(v->val.str); break;
    case XLTYPE_REF: std::free(v->val.mref.lpmref); break;
    case XLTYPE_MULTI: {
      std::size_t n = static_cast<std::size_t>(v->val.array.rows) * v->val.array.columns;
      if (v->val.array.lparray)
        for (std::size_t i = 0; i < n; ++i) FreeValue(&v->val.array.lparray[i]);
      std::free(v->val.array.lparray);
      break;
    }
    default: break;
  }
  SetNil(v);
}

void CopyValue(XLOPER* out, const XLOPER* in) {
  if (!in) {
    SetMissing(out);
    return;
  }
  switch (TypeOf(in)) {
    case XLTYPE_STR: {
      const uint8_t* s = in->val.str;
      SetText(out, s ? std::string(reinterpret_cast<const char*>(s + 1), s[0]) : std::string());
      break;
    }
    case XLTYPE_REF: {
      std::vector<XLREF> areas;
      if (in->val.mref.lpmref)
        for (uint16_t i = 0; i < in->val.mref.lpmref->count; ++i) areas.push_back(in->val.mref.lpmref->reftbl[i]);
      SetRef(out, in->val.mref.idSheet, areas);
      break;
    }
    case XLTYPE_MULTI: {
      int rows = in->val.array.rows, cols = in->val.array.columns;
      std::vector<XLOPER> cells(static_cast<std::size_t>(rows * cols));
      for (std::size_t i = 0; i < cells.size(); ++i) CopyValue(&cells[i], &in->val.array.lparray[i]);
      SetArray(out, rows, cols, cells);
      break;
    }
    default: *out = *in; out->xltype = static_cast<uint16_t>(TypeOf(in));
  }
}

std::optional<std::string> Text(const XLOPER* v) {
  if (TypeOf(v) != XLTYPE_STR || !v->val.str) return std::nullopt;
  return std::string(reinterpret_cast<const char*>(v->val.str + 1), v->val.str[0]);
}

std::optional<double> Number(const XLOPER* v) {
  switch (TypeOf(v)) {
    case XLTYPE_NUM: return v->val.num;
    case XLTYPE_INT: return v->val.w;
    case XLTYPE_BOOL: return v->val.xbool ? 1.0 : 0.0;
    default: return std::nullopt;
  }
}

std::optional<bool> Bool(const XLOPER* v) {
  switch (TypeOf(v)) {
    case XLTYPE_BOOL: return v->val.xbool != 0;
    case XLTYPE_NUM: return v->val.num != 0;
    case XLTYPE_INT: return v->val.w != 0;
    default: return std::nullopt;
  }
}

std::string ErrorText(int code) {
  switch (code) {
    case XLERR_NULL: return "#NULL!";
    case XLERR_DIV0: return "#DIV/0!";
    case XLERR_VALUE: return "#VALUE!";
    case XLERR_REF: return "#REF!";
    case XLERR_NAME: return "#NAME?";
    case XLERR_NUM: return "#NUM!";
    case XLERR_NA: return "#N/A";
    default: return "#ERR" + std::to_string(code);
  }
}

std::string Display(const XLOPER* v) {
  switch (TypeOf(v)) {
    case XLTYPE_NUM: {
      char buf[40];
      std::snprintf(buf, sizeof buf, "%.15g", v->val.num);
      return buf;
    }
    case XLTYPE_INT: return std::to_string(v->val.w);
    case XLTYPE_STR: return *Text(v);
    case XLTYPE_BOOL: return v->val.xbool ? "TRUE" : "FALSE";
    case XLTYPE_ERR: return ErrorText(v->val.err);
    case XLTYPE_MULTI: {
      // As an array constant: {1,2;3,4}.
      Table t = TableOf(v);
      std::string out = "{";
      for (int r = 0; r < t.rows; ++r)
        for (int c = 0; c < t.columns; ++c) out += (c ? "," : r ? ";" : "") + Display(t.At(r, c));
      return out + "}";
    }
    default: return {};
  }
}

Table TableOf(const XLOPER* v) {
  Table t;
  if (TypeOf(v) == XLTYPE_MULTI) {
    t.rows = v->val.array.rows;
    t.columns = v->val.array.columns;
    for (int i = 0; i < t.rows * t.columns; ++i) t.cells.push_back(&v->val.array.lparray[i]);
  } else if (!IsMissing(v)) {
    t.rows = t.columns = 1;
    t.cells.push_back(v);
  }
  return t;
}

}  // namespace xlm
