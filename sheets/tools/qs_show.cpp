// qs_show FILE [--sheet NAME] [--names] [--charts]: the show command on its own.
#include <iostream>

#include "sheets/show.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return sheets::RunShowCommand(args, std::cout, std::cerr);
}
