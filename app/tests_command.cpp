// quelstat tests: the add-in's test catalogue, with whether each test is part of this build.
#include <algorithm>

#include "app/run.h"
#include "app/run_support.h"

namespace app {

namespace {

// Characters, not bytes: names such as "χ² test" line up.
std::size_t Width(const std::string& s) {
  std::size_t n = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

std::string Pad(const std::string& s, std::size_t width) {
  std::size_t w = Width(s);
  return s + std::string(w < width ? width - w : 0, ' ');
}

}  // namespace

int TestsCommand(const SessionOptions& options, const std::vector<std::string>& args, std::ostream& out,
                 std::ostream& err) {
  bool json = false;
  for (const std::string& a : args) {
    if (a == "--json") {
      json = true;
    } else if (a == "--help" || a == "-h") {
      out << "usage: quelstat tests [--json]\n"
             "Lists every test: its id (the --test of quelstat run), name, module, report template,\n"
             "and whether it is built in this build.\n";
      return 0;
    } else {
      err << "quelstat: tests: unexpected argument " << a << "\nusage: quelstat tests [--json]\n";
      return 2;
    }
  }
  AddInSession s(options);
  if (!s.Start(err)) return 1;
  std::vector<CatalogueEntry> catalogue;
  if (!s.Catalogue(catalogue, err)) return 1;
  if (json) {
    out << "[";
    for (std::size_t i = 0; i < catalogue.size(); ++i) {
      const CatalogueEntry& e = catalogue[i];
      out << (i ? ",\n " : "") << "{\"id\": " << e.id << ", \"name\": " << JsonText(e.name)
          << ", \"module\": " << JsonText(e.module) << ", \"template\": " << JsonText(e.templateName)
          << ", \"built\": " << (e.built ? "true" : "false") << ", \"installed\": " << (e.available ? "true" : "false")
          << "}";
    }
    out << "]\n";
    return 0;
  }
  std::size_t nameWidth = 4, moduleWidth = 6;
  for (const CatalogueEntry& e : catalogue) {
    nameWidth = std::max(nameWidth, Width(e.name));
    moduleWidth = std::max(moduleWidth, Width(e.module));
  }
  out << Pad("Id", 6) << Pad("Name", nameWidth + 2) << Pad("Module", moduleWidth + 2) << Pad("Template", 10)
      << "Built\n";
  for (const CatalogueEntry& e : catalogue) {
    out << Pad(std::to_string(e.id), 6) << Pad(e.name, nameWidth + 2) << Pad(e.module, moduleWidth + 2)
        << Pad(e.templateName, 10) << (e.built ? (e.available ? "yes" : "yes (module not installed)") : "no") << "\n";
  }
  return 0;
}

}  // namespace app
