// The exception every file reader and writer throws: it names the file and says what is wrong with it.
#pragma once

#include <stdexcept>
#include <string>

namespace sheets {

class FileError : public std::runtime_error {
 public:
  FileError(const std::string& file, const std::string& problem)
      : std::runtime_error(file + ": " + problem), file_(file), problem_(problem) {}
  const std::string& file() const { return file_; }
  const std::string& problem() const { return problem_; }

 private:
  std::string file_;
  std::string problem_;
};

// Thrown inside a reader that does not know the file name; the public entry points turn it into a
// FileError naming the file.
class FormatError : public std::runtime_error {
 public:
  explicit FormatError(const std::string& problem) : std::runtime_error(problem) {}
};

}  // namespace sheets
