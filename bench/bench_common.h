// What the benchmarks that compare with LibreOffice share: processor time, and their two options
// (--rows N, --no-libreoffice).
#pragma once

#include <sys/resource.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace bench {

// Processor time (user and system) this process has used so far, in seconds.
inline double CpuSeconds() {
    struct rusage u {};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct RowsOptions {
    uint32_t rows = 50000;
    bool libreoffice = true;
};

// --rows N and --no-libreoffice; other arguments are ignored.
inline RowsOptions ParseRowsOptions(int argc, char** argv) {
    RowsOptions o;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--rows") && i + 1 < argc)
            o.rows = uint32_t(std::atol(argv[++i]));
        else if (!std::strcmp(argv[i], "--no-libreoffice"))
            o.libreoffice = false;
    }
    return o;
}

}  // namespace bench
