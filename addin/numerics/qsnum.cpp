// qsnum: reads lines "NAME ARG ..." from standard input (or the files named on the command
// line) and prints one line of results per line read. "qsnum --list" prints the operations.
#include <fstream>
#include <iostream>
#include <string>

#include "addin/numerics/console.h"

namespace {
const char* kUsage =
    "usage: qsnum [--list] [FILE]...\n"
    "\n"
    "Reads lines \"NAME ARG ...\" from standard input, or from the files named, and prints one\n"
    "line of results for each line read (\"TP 2.5 10 0\": the p-value of t = 2.5 with 10 degrees of\n"
    "freedom, two-sided).\n"
    "  --list   print the names of the operations\n"
    "  --help   print this text\n";

void run(std::istream& in) {
    std::string line;
    while (std::getline(in, line)) std::cout << qs::numerics::EvaluateConsoleLine(line) << '\n';
}
}  // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            return 0;
        }
    }
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
