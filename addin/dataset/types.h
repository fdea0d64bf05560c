// Variable types and categories.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "addin/host/shared.h"
#include "addin/host/xlvalue.h"

namespace qs {

// Byte 3: width of a stored value; byte 1: measurement-scale bits (1 nominal, 2 ordinal, 4
// continuous); low five bits of byte 0: the type's number. Bits 0x20 and 0x40 of byte 0 are flags of
// the holder, masked off when codes are compared.
using TypeCode = uint32_t;
constexpr TypeCode kTypeNominal = 0x02000101;
constexpr TypeCode kTypeOrdinal = 0x02000202;
constexpr TypeCode kTypeContinuous = 0x08000404;
constexpr TypeCode kTypeIntegralCount = 0x04000003;
constexpr TypeCode kTypeInformation = 0x04000005;
constexpr TypeCode kTypeFloat = 0x04000006;
constexpr TypeCode kTypeOwn = 15;  // a map's request for the variable's own type

inline TypeCode TypeKey(TypeCode code) { return code & 0xFFFFFF9Fu; }
inline bool SameType(TypeCode a, TypeCode b) { return TypeKey(a) == TypeKey(b); }
inline bool IsCategorical(TypeCode code) { return SameType(code, kTypeNominal) || SameType(code, kTypeOrdinal); }
inline unsigned TypeWidth(TypeCode code) { return code >> 24; }
// Index in the variable-type list (0 nominal, 1 ordinal, 2 continuous, 3 information, 4 count).
int TypeIndex(TypeCode code);
TypeCode TypeOfIndex(int index);
// The display name's string id (66 continuous ... 74 float).
unsigned TypeNameId(TypeCode code);

// TypeRequirement masks of a test's variable slots: bit 0 nominal, bit 1 ordinal, bit 2 or 6
// continuous.
using TypeRequirement = uint8_t;
bool Accepts(TypeRequirement mask, TypeCode code);
// String id of the mask's text in "Variable %1 must be %2." (0 when the mask has none).
unsigned RequirementTextId(TypeRequirement mask);

inline double MissingValue() { return std::numeric_limits<double>::quiet_NaN(); }
// The value of a cell of a numeric variable that holds something other than a number (a text, a
// logical value, an error): missing to every computation, told apart from an empty cell only by
// IsNotANumberMark (a NaN of its own payload), so that a report can say why a value was left out.
inline double NotANumberMark() { return std::nan("2"); }
inline bool IsNotANumberMark(double v) {
  const double mark = NotANumberMark();
  return std::isnan(v) && std::memcmp(&v, &mark, sizeof v) == 0;
}

class Category : public CRefCounted {
 public:
  enum Kind : int { kNoValue = 0, kBoolean = 1, kNumeric = 2 };
  enum Flags : unsigned { kOccursInData = 1, kKeptInWorkbook = 2 };

  std::string name;
  int number = -1;
  int position = 0;
  int kind = kNoValue;
  double value = MissingValue();
  unsigned flags = 0;
  bool first = false;  // the missing category

  bool HasValue() const { return kind == kBoolean || kind == kNumeric; }
  // "category 'NAME'" with " (=VALUE)" when it has a value.
  std::string Description() const;
};

class Categories : public CRefCounted {
 public:
  explicit Categories(TypeCode type);

  TypeCode type;
  // Display order; [0] is the missing category.
  const std::vector<CRef<Category>>& Order() const { return m_order; }
  size_t Count() const { return m_order.size(); }
  Category* Missing() const { return m_order[0].get(); }
  Category* ByNumber(int number) const;
  Category* FindName(const std::string& name) const;
  Category* FindValue(double value, bool numericOnly) const;

  // The category of one cell value (empty and error cells: the missing category), added when
  // absent. `numberFormat` names numbers and booleans as the cell shows them.
  Category* FindOrAdd(const XlValue& cell, const std::string& numberFormat, bool sorted);
  // Adds a category (message 8196 when its name or value is already taken).
  void Add(Category* category, bool sorted);
  void Remove(Category* category);
  void SetName(Category* category, const std::string& name);
  // Ordinal values: message 98 when another category has the value or lacks one.
  void SetValue(Category* category, double value);
  // True when every category but the missing one has a value and no two values are equal.
  bool AllValuedAndUnique() const;
  uint32_t Stamp() const { return m_stamp; }

 private:
  void CheckUnique(const Category* category, const Category* except) const;
  void Renumber();
  std::vector<CRef<Category>> m_order;
  std::vector<Category*> m_numbers;  // number -> category (null for a free slot)
  uint32_t m_stamp = 1;
};

// The text a number shows under a number format, as the host's TEXT gives it.
std::string FormatWithNumberFormat(double value, const std::string& numberFormat);
std::string FormatG(double value);

}  // namespace qs
