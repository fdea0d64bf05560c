// Fault injection for a test build of the add-in: QUELSTAT_FAULT=KIND@STAGE makes the add-in throw at
// its injection point STAGE (compute, output) an exception of KIND: numerics (the numerics'
// "error in iterative routine"), memory (std::bad_alloc) or runtime (a std::runtime_error); KIND esc
// presses the ESC key there instead (Ctrl-C, as a user at the terminal does). "KIND@STAGE#N" acts
// at the Nth pass of the stage only.
#include <csignal>
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
  if (at == std::string::npos) return;
  std::size_t hash = text.find('#', at);
  if (text.substr(at + 1, hash == std::string::npos ? std::string::npos : hash - at - 1) != stage) return;
  if (hash != std::string::npos) {
    static int passes = 0;
    if (++passes != std::atoi(text.c_str() + hash + 1)) return;
  }
  std::string kind = text.substr(0, at);
  if (kind == "esc") {
    std::raise(SIGINT);
    return;
  }
  if (kind == "numerics") qs::numerics::RaiseIterativeRoutineError();
  if (kind == "memory") throw std::bad_alloc();
  if (kind == "runtime") throw std::runtime_error("injected fault");
}
