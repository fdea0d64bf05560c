// qsnum: reads lines "NAME ARG ..." from standard input (or the files named on the command
// line) and prints one line of results per line read. "qsnum --list" prints the operations.
#include <fstream>
#include <iostream>
#include <string>

#include "addin/numerics/console.h"

namespace {
void run(std::istream& in) {
    std::string line;
    while (std::getline(in, line)) std::cout << qs::numerics::EvaluateConsoleLine(line) << '\n';
}
}  // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    if (argc == 2 && std::string(argv[1]) == "--list") {
        std::cout << qs::numerics::ConsoleOperationNames() << '\n';
        return 0;
    }
    if (argc == 1) {
        run(std::cin);
        return 0;
    }
    for (int i = 1; i < argc; ++i) {
        std::ifstream file(argv[i]);
        if (!file) {
            std::cerr << "qsnum: cannot open " << argv[i] << '\n';
            return 1;
        }
        run(file);
    }
    return 0;
}
