#include "addin/dataset/types.h"

#include <algorithm>
#include <cstdio>
#include <strings.h>

#include "addin/dataset/dataset_strings.h"
#include "addin/host/xlcalls.h"
#include "addin/resources/string_ids.h"

namespace qs {

int TypeIndex(TypeCode code) {
  if (SameType(code, kTypeNominal)) return 0;
  if (SameType(code, kTypeOrdinal)) return 1;
  if (SameType(code, kTypeIntegralCount)) return 4;
  if (SameType(code, kTypeInformation)) return 3;
  return 2;
}

TypeCode TypeOfIndex(int index) {
  static const TypeCode codes[] = {kTypeNominal, kTypeOrdinal, kTypeContinuous, kTypeInformation, kTypeIntegralCount};
  return (index >= 0 && index < 5) ? codes[index] : kTypeContinuous;
}

unsigned TypeNameId(TypeCode code) {
  switch (TypeKey(code)) {
    case kTypeNominal: return ids::kStringNominalType;
    case kTypeOrdinal: return ids::kStringOrdinalType;
    case kTypeContinuous: return ids::kStringContinuousType;
    case kTypeIntegralCount: return ids::kStringIntegralCountType;
    case kTypeInformation: return ids::kStringInformationType;
    case kTypeFloat: return ids::kStringFloatType;
    default: return ids::kStringContinuousType;
  }
}

bool Accepts(TypeRequirement mask, TypeCode code) {
  if (SameType(code, kTypeNominal)) return mask & 1;
  if (SameType(code, kTypeOrdinal)) return mask & 2;
  if (SameType(code, kTypeContinuous)) return mask & (4 | 64);
  return false;
}

unsigned RequirementTextId(TypeRequirement mask) {
  switch (mask & 7) {
    case 2: return ids::kStringOrdinalType;
    case 3: return ids::kStringCategoricalType;
    case 4: return ids::kStringContinuousType;
    case 6: return ids::kStringAtLeastOrdinalType;
    case 7: return 0;  // "continuous or categorical type" has no table entry: built by the caller
    default: return 0;
  }
}

std::string FormatG(double value) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%g", value);
  return buf;
}

std::string FormatWithNumberFormat(double value, const std::string& numberFormat) {
  XlValue text = XlCallResultNA(XLF_TEXT, {value, numberFormat.empty() ? std::string("General") : numberFormat});
  if (text.Is(XLTYPE_STR)) return text.Text();
  return FormatG(value);
}

std::string Category::Description() const {
  std::string out = DatasetMessage(ids::kStringCategoryNamed, {name});
  if (kind == kNumeric)
    out += " (=" + FormatG(value) + ")";
  else if (kind == kBoolean)
    out += " (=" + DatasetString(value != 0 ? ids::kStringTrue : ids::kStringFalse) + ")";
  return out;
}

Categories::Categories(TypeCode t) : type(t) {
  CRef<Category> missing(new Category);
  missing->first = true;
  missing->number = 0;
  missing->position = 0;
  m_order.push_back(missing);
  m_numbers.push_back(missing.get());
}

Category* Categories::ByNumber(int number) const {
  if (number < 0 || static_cast<size_t>(number) >= m_numbers.size()) return nullptr;
  return m_numbers[static_cast<size_t>(number)];
}

Category* Categories::FindName(const std::string& name) const {
  for (size_t i = 1; i < m_order.size(); ++i)
    if (m_order[i]->name == name) return m_order[i].get();
  return nullptr;
}

Category* Categories::FindValue(double value, bool numericOnly) const {
  for (size_t i = 1; i < m_order.size(); ++i) {
    const Category& c = *m_order[i];
    if ((numericOnly ? c.kind == Category::kNumeric : c.HasValue()) && c.value == value) return m_order[i].get();
  }
  return nullptr;
}

Category* Categories::FindOrAdd(const XlValue& cell, const std::string& numberFormat, bool sorted) {
  switch (cell.Type()) {
    case XLTYPE_STR: {
      std::string text = cell.Text();
      if (Category* c = FindName(text)) return c;
      if (text.empty()) return Missing();
      CRef<Category> c(new Category);
      c->name = text;
      Add(c.get(), sorted);
      return c.get();
    }
    case XLTYPE_BOOL: {
      double v = cell.val.xbool ? 1 : 0;
      for (size_t i = 1; i < m_order.size(); ++i)
        if (m_order[i]->kind == Category::kBoolean && m_order[i]->value == v) return m_order[i].get();
      CRef<Category> c(new Category);
      c->kind = Category::kBoolean;
      c->value = v;
      XlValue shown = XlCallResultNA(
          XLF_TEXT, {XlValue::Bool(v != 0), numberFormat.empty() ? std::string("General") : numberFormat});
      c->name = shown.Is(XLTYPE_STR) ? shown.Text() : DatasetString(v != 0 ? ids::kStringTrue : ids::kStringFalse);
      Add(c.get(), sorted);
      return c.get();
    }
    case XLTYPE_NUM:
    case XLTYPE_INT: {
      double v = cell.Is(XLTYPE_NUM) ? cell.val.num : cell.val.w;
      if (Category* c = FindValue(v, true)) return c;
      std::string name = FormatWithNumberFormat(v, numberFormat);
      if (Category* c = FindName(name)) return c;
      CRef<Category> c(new Category);
      c->kind = Category::kNumeric;
      c->value = v;
      c->name = name;
      Add(c.get(), sorted);
      return c.get();
    }
    default: return Missing();
  }
}

void Categories::CheckUnique(const Category* category, const Category* except) const {
  for (size_t i = 1; i < m_order.size(); ++i) {
    const Category* other = m_order[i].get();
    if (other == category || other == except) continue;
    bool clash = (!category->name.empty() && other->name == category->name) ||
                 (category->HasValue() && other->HasValue() && other->value == category->value);
    if (clash)
      ThrowDatasetMessage(ids::kMessageAlreadyHas, {DatasetString(ids::kStringCategories), other->Description()});
  }
}

void Categories::Add(Category* category, bool sorted) {
  if (category->first) return;  // the list has its own missing category
  CheckUnique(category, nullptr);
  CRef<Category> held(category);
  size_t at = m_order.size();
  if (sorted) {
    at = 1;
    if (!category->HasValue()) {
      while (at < m_order.size() && !m_order[at]->HasValue() &&
             strcasecmp(m_order[at]->name.c_str(), category->name.c_str()) <= 0)
        ++at;
    } else {
      while (at < m_order.size() && !m_order[at]->HasValue()) ++at;
      while (at < m_order.size() && m_order[at]->value < category->value) ++at;
    }
  }
  m_order.insert(m_order.begin() + static_cast<std::ptrdiff_t>(at), held);
  auto slot = std::find(m_numbers.begin() + 1, m_numbers.end(), nullptr);
  if (slot != m_numbers.end()) {
    *slot = category;
    category->number = static_cast<int>(slot - m_numbers.begin());
  } else {
    m_numbers.push_back(category);
    category->number = static_cast<int>(m_numbers.size() - 1);
  }
  Renumber();
}

void Categories::Remove(Category* category) {
  if (!category || category->first) return;
  auto it = std::find_if(m_order.begin(), m_order.end(), [&](const CRef<Category>& c) { return c.get() == category; });
  if (it == m_order.end()) return;
  if (category->number > 0 && static_cast<size_t>(category->number) < m_numbers.size())
    m_numbers[static_cast<size_t>(category->number)] = nullptr;
  category->number = -1;
  m_order.erase(it);
  Renumber();
}

void Categories::SetName(Category* category, const std::string& name) {
  Category probe;
  probe.name = name;
  CheckUnique(&probe, category);
  category->name = name;
  ++m_stamp;
}

void Categories::SetValue(Category* category, double value) {
  std::string shown = FormatG(value);
  if (!std::isfinite(value)) ThrowDatasetMessage(ids::kMessageOrdinalValueTaken, {category->Description(), shown});
  for (size_t i = 1; i < m_order.size(); ++i) {
    const Category* other = m_order[i].get();
    if (other == category) continue;
    // An ordinal list keeps every category valued; a list still being given values only keeps
    // them unique.
    bool ordinal = SameType(type, kTypeOrdinal);
    if ((ordinal && !other->HasValue()) || (other->HasValue() && other->value == value))
      ThrowDatasetMessage(ids::kMessageOrdinalValueTaken, {category->Description(), shown});
  }
  category->kind = Category::kNumeric;
  category->value = value;
  ++m_stamp;
}

bool Categories::AllValuedAndUnique() const {
  for (size_t i = 1; i < m_order.size(); ++i) {
    if (!m_order[i]->HasValue()) return false;
    for (size_t j = 1; j < i; ++j)
      if (m_order[j]->value == m_order[i]->value) return false;
  }
  return true;
}

void Categories::Renumber() {
  for (size_t i = 0; i < m_order.size(); ++i) m_order[i]->position = static_cast<int>(i);
  ++m_stamp;
}

}  // namespace qs
