// Helpers shared by the installer's tests: temporary folders and whole-file reads.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace quelstat::testing {

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "qstest-XXXXXX").string();
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        if (!::mkdtemp(buf.data())) std::abort();
        path_ = buf.data();
    }
    ~TempFolder() {
        std::error_code ec;
        // Read-only members are fine to remove: only the folder's permission matters.
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

inline std::vector<std::uint8_t> readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::uint64_t fnv1a(const std::vector<std::uint8_t>& data) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (std::uint8_t b : data) h = (h ^ b) * 0x100000001b3ull;
    return h;
}

// Runs a shell command; returns its exit status and fills `out` with its standard output.
inline int run(const std::string& command, std::string* out = nullptr) {
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return -1;
    char buf[4096];
    std::string text;
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) text.append(buf, n);
    int status = ::pclose(pipe);
    if (out) *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline bool haveTool(const std::string& name) { return run("command -v " + name + " >/dev/null 2>&1") == 0; }

}  // namespace quelstat::testing
