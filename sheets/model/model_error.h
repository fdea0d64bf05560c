// The exception the workbook model throws when asked for something it cannot hold (a cell beyond the
// sheet's limits, a duplicate sheet name, text longer than a cell can keep).
#pragma once

#include <stdexcept>
#include <string>

namespace sheets {

class ModelError : public std::runtime_error {
 public:
  explicit ModelError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace sheets
