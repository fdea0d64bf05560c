// The add-in's answer to the host program's "detect" command: finds the dataset around the active
// cell as the Dataset command does (through the host calls), optionally confirms it with the given
// properties as the Dataset properties dialog would, and describes it as text or JSON.
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "addin/dataset/dataset.h"
#include "addin/dataset/dataset_strings.h"
#include "addin/host/exceptions.h"
#include "addin/host/json_text.h"
#include "addin/host/messages.h"
#include "addin/resources/string_ids.h"

namespace qs {

namespace {

std::string JsonNumber(double v) {
  if (!std::isfinite(v)) return "null";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.15g", v);
  return buf;
}

const char* TypeWord(TypeCode t) {
  switch (TypeKey(t)) {
    case kTypeNominal: return "nominal";
    case kTypeOrdinal: return "ordinal";
    case kTypeIntegralCount: return "integral count";
    case kTypeInformation: return "information";
    case kTypeFloat: return "float";
    default: return "continuous";
  }
}

const char* LayoutWord(const Dataset& d) {
  if (d.Layout() == kLayoutList) return "list";
  return d.IsContingency() ? "contingency" : "tabular";
}

const char* OriginWord(unsigned origin) {
  if (origin & 2) return "title";
  if (origin & 1) return "default";
  return "user";
}

struct VariableFacts {
  std::string name, type, replicateOf, group;
  size_t n = 0, missing = 0;
  std::vector<const Category*> categories;
};

VariableFacts Facts(VariableSource& v) {
  VariableFacts f;
  f.name = v.name;
  f.type = TypeWord(v.type);
  const ValueVector& values = v.Values();
  f.n = values.Size();
  for (size_t i = 0; i < f.n; ++i)
    if (values.IsMissing(i)) ++f.missing;
  if (v.categories)
    for (const CRef<Category>& c : v.categories->Order())
      if (!c->first) f.categories.push_back(c.get());
  if (v.replicateOf) f.replicateOf = v.replicateOf->name;
  if (v.group) f.group = v.group->name;
  return f;
}

std::string Describe(DatasetSourceExcel& s, bool json) {
  const Dataset& d = *s.dataset;
  std::vector<VariableFacts> facts;
  for (const CRef<VariableSource>& v : d.variables) facts.push_back(Facts(*v));
  std::ostringstream o;
  if (json) {
    o << "{\"region\": " << JsonString(s.region.Address()) << ", \"layout\": \"" << LayoutWord(d)
      << "\", \"header_rows\": " << s.headerBand.count << ", \"label_columns\": " << s.labelBand.count
      << ", \"id_label\": " << (d.IdentifierLabel() ? "true" : "false") << ", \"name\": " << JsonString(d.name)
      << ", \"name_origin\": \"" << OriginWord(d.nameOrigin) << "\", \"variables\": [";
    for (size_t i = 0; i < facts.size(); ++i) {
      const VariableFacts& f = facts[i];
      o << (i ? ", " : "") << "{\"name\": " << JsonString(f.name) << ", \"type\": \"" << f.type << "\", \"n\": " << f.n
        << ", \"missing\": " << f.missing << ", \"categories\": [";
      for (size_t k = 0; k < f.categories.size(); ++k) {
        const Category* c = f.categories[k];
        o << (k ? ", " : "") << "{\"name\": " << JsonString(c->name) << ", \"number\": " << c->number
          << ", \"value\": " << (c->HasValue() ? JsonNumber(c->value) : "null") << "}";
      }
      o << "], \"replicate_of\": " << (f.replicateOf.empty() ? "null" : JsonString(f.replicateOf))
        << ", \"group\": " << (f.group.empty() ? "null" : JsonString(f.group)) << "}";
    }
    o << "]}\n";
    return o.str();
  }
  o << "Region: " << s.sheetKey << "!" << s.region.Address() << "\n";
  o << "Layout: " << LayoutWord(d) << (d.isNew ? " (detected, not confirmed)" : "") << "\n";
  o << "Header rows: " << s.headerBand.count << "\n";
  o << "Label columns: " << s.labelBand.count << "\n";
  o << "Identifier label: " << (d.IdentifierLabel() ? "yes" : "no") << "\n";
  o << "Name: " << d.name << " (" << OriginWord(d.nameOrigin) << ")\n";
  o << "Variables:\n";
  for (const VariableFacts& f : facts) {
    o << "  " << f.name << ": " << f.type << ", n = " << f.n << ", missing = " << f.missing;
    if (!f.replicateOf.empty()) o << ", replicate of " << f.replicateOf;
    if (!f.group.empty()) o << ", repeat of " << f.group;
    o << "\n";
    for (const Category* c : f.categories) {
      o << "    " << c->number << " " << c->name;
      if (c->HasValue()) o << " (= " << FormatG(c->value) << ")";
      o << "\n";
    }
  }
  return o.str();
}

char* Copy(const std::string& s) {
  char* p = static_cast<char*>(std::malloc(s.size() + 1));
  if (p) std::memcpy(p, s.c_str(), s.size() + 1);
  return p;
}

// The dataset around the active cell. Where detection cannot read the block (a header it cannot
// tell from the data) and the layout was given, the given layout decides: a list with one header
// row, or two with repeat measures; groups side by side under a title row.
CRef<DatasetSourceExcel> FindLaidOut(const DatasetProperties& p, bool layoutGiven) {
  try {
    return FindDataset(ActiveCell(), kLayoutDetect, -1, -1, true, true);
  } catch (CException* e) {
    if (!layoutGiven || e == CancelKeyException::Instance()) throw;
    e->Delete();
  }
  const bool list = p.layoutIndex == 0;
  return FindDataset(ActiveCell(), list ? kLayoutList : kLayoutIndependent, list ? 0 : (p.factors == 2 ? 1 : 0),
                     list ? (p.repeatMeasures ? 2 : 1) : 2, true, true);
}

}  // namespace

}  // namespace qs

// Runs detection at the active cell. Options: --json, --layout list|tabular|contingency, --factors N,
// --repeat-measures, --id-label, --name TEXT, --autoformat (any of the last six confirms the dataset).
// Returns 0 with the description in *output, 1 with a message in *output, 2 with a usage problem in
// *output. *output is allocated with malloc.
extern "C" __attribute__((visibility("default"))) int QuelstatDetectDataset(int argc, const char* const* argv,
                                                                            char** output) {
  using namespace qs;
  *output = nullptr;
  bool json = false, confirm = false;
  DatasetProperties p;
  bool layoutGiven = false;
  for (int i = 0; i < argc; ++i) {
    std::string a = argv[i];
    auto next = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string value;
    if (a == "--json") {
      json = true;
    } else if (a == "--layout" && next(value)) {
      confirm = layoutGiven = true;
      if (value == "list")
        p.layoutIndex = 0;
      else if (value == "tabular")
        p.layoutIndex = 1;
      else if (value == "contingency")
        p.layoutIndex = 2;
      else
        return (*output = Copy("--layout takes list, tabular or contingency")), 2;
    } else if (a == "--factors" && next(value)) {
      confirm = true;
      if (value != "1" && value != "2") return (*output = Copy("--factors takes 1 or 2")), 2;
      p.factors = value == "2" ? 2 : 1;
    } else if (a == "--repeat-measures") {
      confirm = true;
      p.repeatMeasures = true;
    } else if (a == "--id-label") {
      confirm = true;
      p.identifierLabel = true;
    } else if (a == "--name" && next(value)) {
      confirm = true;
      p.name = value;
    } else if (a == "--autoformat") {
      confirm = true;
      p.autoFormat = true;
    } else if (a == "--confirm") {
      confirm = true;
    } else {
      return (*output = Copy("unknown detect option " + a)), 2;
    }
  }
  try {
    CRef<DatasetSourceExcel> source = qs::FindLaidOut(p, layoutGiven || p.repeatMeasures || p.identifierLabel);
    if (!source) ThrowDatasetMessage(ids::kMessageNoDataset);
    if (confirm) {
      // What the dialog shows first, changed by the options given.
      DatasetProperties shown = CurrentProperties(*source);
      if (layoutGiven) shown.layoutIndex = p.layoutIndex;
      if (shown.layoutIndex != 0) shown.factors = p.factors;
      shown.repeatMeasures = p.repeatMeasures || (!layoutGiven && shown.repeatMeasures);
      shown.identifierLabel = p.identifierLabel || (!layoutGiven && shown.identifierLabel);
      shown.name = p.name;
      shown.autoFormat = p.autoFormat;
      ConfirmDataset(*source, shown);
    }
    *output = Copy(Describe(*source, json));
    return 0;
  } catch (...) {
    // Any exception, the add-in's own or not, ends the command with its message.
    CException* e = CaughtException();
    char buf[2048];
    if (!e->GetErrorMessage(buf, sizeof buf)) std::snprintf(buf, sizeof buf, "unknown failure");
    e->Delete();
    *output = Copy(buf);
    return 1;
  }
}
