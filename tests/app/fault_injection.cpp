// Fault injection for a test build of the add-in: QUELSTAT_FAULT=KIND@STAGE makes the add-in throw at
// its injection point STAGE (compute, output) an exception of KIND: numerics (the numerics'
// "error in iterative routine"), memory (std::bad_alloc) or runtime (a std::runtime_error).
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string>

#include "addin/numerics/numerics_error.h"

extern "C" void QuelstatInjectFault(const char* stage) {
  const char* fault = std::getenv("QUELSTAT_FAULT");
  if (!fault) return;
  std::string text = fault;
  std::size_t at = text.find('@');
  if (at == std::string::npos || text.substr(at + 1) != stage) return;
  std::string kind = text.substr(0, at);
  if (kind == "numerics") qs::numerics::RaiseIterativeRoutineError();
  if (kind == "memory") throw std::bad_alloc();
  if (kind == "runtime") throw std::runtime_error("injected fault");
}
