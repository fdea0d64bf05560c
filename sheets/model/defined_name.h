// Defined names. Workbook-level names live in Workbook::names(), sheet-level names in Sheet::names(),
// so that a sheet carries its own names when it moves to another workbook.
//
// A name keeps its refers-to text exactly as written (without the leading '='), and the parsed form of
// that text: a list of references (possibly external, possibly a union), a constant, an array
// constant, or, for anything else, just the formula text.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sheets/model/constant.h"
#include "sheets/model/reference.h"
#include "sheets/model/value.h"

namespace sheets {

struct DefinedName {
  enum class Kind : uint8_t { References, Constant, Array, Formula };

  std::string name;
  std::string refers_to;  // as written, no leading '='
  bool hidden = false;
  std::string comment;

  Kind kind = Kind::Formula;
  ReferenceList references;  // Kind::References
  Value constant;            // Kind::Constant
  ArrayConstant array;       // Kind::Array

  // Sets refers_to (a leading '=' is dropped) and the parsed form, reading references in A1 style
  // within limits.
  void SetRefersTo(std::string_view text, const SheetLimits& limits);
};

// Longest name a user may define, in bytes.
inline constexpr size_t kMaxDefinedNameBytes = 255;

// True when text may be a defined name: starts with a letter (any non-ASCII byte counts as one), '_'
// or '\'; continues with letters, digits, '_', '.', '\' or '?'; is not a cell reference in either style
// (A1, R1C1, R, C); at most kMaxDefinedNameBytes.
bool IsValidDefinedName(std::string_view text);

// Case-insensitive (ASCII letters) equality, as names and sheet names compare.
bool NamesEqual(std::string_view a, std::string_view b);

// The names of one scope, in the order they were defined.
class NameTable {
 public:
  const std::vector<DefinedName>& entries() const { return entries_; }
  size_t size() const { return entries_.size(); }
  const DefinedName* Find(std::string_view name) const;
  DefinedName* Find(std::string_view name);
  // Defines or redefines a name; throws ModelError for an invalid name. Returns the entry, which
  // stays valid until the table next changes.
  DefinedName& Define(std::string_view name, std::string_view refers_to, const SheetLimits& limits,
                      bool hidden = false);
  // Adds an entry as read from a file without checking the name's spelling (files hold built-in
  // names such as _xlnm.Print_Area); a name already present is replaced.
  DefinedName& Put(DefinedName name);
  bool Remove(std::string_view name);

 private:
  std::vector<DefinedName> entries_;
};

}  // namespace sheets
