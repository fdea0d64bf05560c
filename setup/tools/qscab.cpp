// qscab: lists or extracts a cabinet with the installer's own reader.
//   qscab l FILE.cab        members with size, time, attributes and folder
//   qscab x FILE.cab DIR    every member into DIR
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <string>

#include "setup/cab/cabinet.h"
#include "setup/cab/member_file.h"
#include "setup/core/cabinet_errors.h"
#include "setup/core/exceptions.h"
#include "setup/core/extract_folder.h"

using namespace quelstat;
using namespace quelstat::cab;
using quelstat::setup::ExceptionX;

namespace {

std::string asPath(const std::string& arg) {
    // A bare name is a file in the current folder, never a program resource.
    return arg.find('/') == std::string::npos ? "./" + arg : arg;
}

int usage() {
    std::fprintf(stderr, "usage: qscab l FILE.cab\n       qscab x FILE.cab DIR\n");
    return 2;
}

int list(const std::string& cabinet) {
    auto source = openCabinet(asPath(cabinet));
    if (!source) setup::raiseCabinetError(CabinetError::CabinetNotFound, cabinet);
    CabinetDirectory dir;
    CabinetError error = readCabinetDirectory(*source, dir);
    setup::raiseCabinetError(error, cabinet);
    if (error != CabinetError::None) throw ExceptionX(describe(error));
    std::printf("%10s  %-19s  %-4s  %6s  %s\n", "Size", "Time", "Attr", "Folder", "Name");
    for (const CabinetFile& f : dir.files) {
        // Shown as extraction names them: '/' between folders.
        std::string name = f.name;
        for (char& c : name)
            if (c == '\\') c = '/';
        std::time_t t = dosToUnixTime(f.date, f.time);
        char when[32];
        std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", std::localtime(&t));
        std::printf("%10u  %-19s  %-4s  %6u  %s\n", f.size, when, attributeLetters(f.attributes).c_str(),
                    static_cast<unsigned>(f.folder), name.empty() ? "(invalid name)" : name.c_str());
    }
    std::printf("%zu member(s) in %zu folder(s)\n", dir.files.size(), dir.folders.size());
    return 0;
}

int extract(const std::string& cabinet, const std::string& dir) {
    setup::extractCabinetToFolder(asPath(cabinet), dir);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        std::string command = argc > 1 ? argv[1] : "";
        if (command == "l" && argc == 3) return list(argv[2]);
        if (command == "x" && argc == 4) return extract(argv[2], argv[3]);
        return usage();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qscab: %s\n", e.what());
        return 1;
    }
}
