#include "sheets/model/defined_name.h"

#include "sheets/model/model_error.h"

namespace sheets {

namespace {
bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

bool NamesEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = char(x - 32);
    if (y >= 'a' && y <= 'z') y = char(y - 32);
    if (x != y) return false;
  }
  return true;
}

bool IsValidDefinedName(std::string_view text) {
  if (text.empty() || text.size() > kMaxDefinedNameBytes) return false;
  auto starts_ok = [](char c) { return IsAsciiLetter(c) || c == '_' || c == '\\' || (unsigned char)c >= 0x80; };
  if (!starts_ok(text[0])) return false;
  for (char c : text) {
    if (!(starts_ok(c) || IsDigit(c) || c == '.' || c == '?')) return false;
  }
  if (text.size() == 1 && (text[0] == 'R' || text[0] == 'r' || text[0] == 'C' || text[0] == 'c')) return false;
  auto big = SheetLimits::Large();
  if (ParseA1(text, big) || ParseR1C1(text, {}, big)) return false;
  return true;
}

void DefinedName::SetRefersTo(std::string_view text, const SheetLimits& limits) {
  if (!text.empty() && text.front() == '=') text.remove_prefix(1);
  refers_to = std::string(text);
  references.clear();
  constant = Value();
  array = ArrayConstant();
  if (auto refs = ParseReferenceList(text, RefStyle::A1, {}, limits)) {
    kind = Kind::References;
    references = std::move(*refs);
  } else if (!text.empty() && text.front() == '{') {
    if (auto a = ParseArrayConstant(text)) {
      kind = Kind::Array;
      array = std::move(*a);
    } else {
      kind = Kind::Formula;
    }
  } else if (auto c = ParseConstant(text)) {
    kind = Kind::Constant;
    constant = std::move(*c);
  } else {
    kind = Kind::Formula;
  }
}

const DefinedName* NameTable::Find(std::string_view name) const {
  for (const auto& e : entries_)
    if (NamesEqual(e.name, name)) return &e;
  return nullptr;
}

DefinedName* NameTable::Find(std::string_view name) {
  for (auto& e : entries_)
    if (NamesEqual(e.name, name)) return &e;
  return nullptr;
}

DefinedName& NameTable::Define(std::string_view name, std::string_view refers_to, const SheetLimits& limits,
                               bool hidden) {
  if (!IsValidDefinedName(name)) throw ModelError("\"" + std::string(name) + "\" is not a valid name");
  DefinedName n;
  n.name = std::string(name);
  n.hidden = hidden;
  n.SetRefersTo(refers_to, limits);
  if (DefinedName* old = Find(name)) {
    n.name = old->name;  // a redefinition keeps the spelling first given
    n.comment = old->comment;
    *old = std::move(n);
    return *old;
  }
  entries_.push_back(std::move(n));
  return entries_.back();
}

DefinedName& NameTable::Put(DefinedName name) {
  if (DefinedName* old = Find(name.name)) {
    *old = std::move(name);
    return *old;
  }
  entries_.push_back(std::move(name));
  return entries_.back();
}

bool NameTable::Remove(std::string_view name) {
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (NamesEqual(it->name, name)) {
      entries_.erase(it);
      return true;
    }
  }
  return false;
}

}  // namespace sheets
