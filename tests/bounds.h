// Bounds that tests put on the time and memory of a piece of work (a reader must stay near-linear
// on a file built to multiply, say). Time is the processor time of this process, so that a busy
// machine does not fail a bound; both are loosened in builds with the address and undefined
// behaviour sanitizers, whose checks make code several times slower and whose shadow memory and
// quarantine of freed blocks add to every process's size.
#pragma once

#include <cstdint>
#include <ctime>

namespace test_bounds {

// GCC defines __SANITIZE_ADDRESS__ under -fsanitize=address; clang answers __has_feature.
#if defined(__SANITIZE_ADDRESS__)
#define QS_TEST_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QS_TEST_SANITIZED 1
#endif
#endif

#ifdef QS_TEST_SANITIZED
inline constexpr double kTimeScale = 10.0;
inline constexpr uint64_t kMemoryScale = 8;
#else
inline constexpr double kTimeScale = 1.0;
inline constexpr uint64_t kMemoryScale = 1;
#endif

// The bound for work that takes at most `seconds` in an ordinary build.
inline double Seconds(double seconds) { return seconds * kTimeScale; }
// The bound for work that takes at most `bytes` in an ordinary build.
inline uint64_t Bytes(uint64_t bytes) { return bytes * kMemoryScale; }

// Processor time used by this process so far, in seconds.
inline double CpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

}  // namespace test_bounds
