#pragma once

// Timing helpers the benchmarks share: the median of repeated runs, and the "target" line that puts
// a measured figure beside its reference with the allowed ratio and PASS or MISS.

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace kvo::bench {

inline double cpuNowUs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e6 + double(t.tv_nsec) / 1e3;
}

// Microseconds of one call of `run`, the median of `reps` runs; `prepare` runs untimed before each.
// With cpu, the process's CPU time (every thread) instead of wall time: steadier on a shared machine.
inline double medianUs(int reps, const std::function<void()>& prepare, const std::function<void()>& run,
                       bool cpu = false) {
    std::vector<double> us;
    for (int i = 0; i < reps; ++i) {
        if (prepare) prepare();
        const auto t0 = std::chrono::steady_clock::now();
        const double c0 = cpu ? cpuNowUs() : 0;
        run();
        us.push_back(
            cpu ? cpuNowUs() - c0
                : std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
    }
    std::sort(us.begin(), us.end());
    return us[us.size() / 2];
}

// "target <what>: measured <m> <unit>, reference <r> <unit>, ratio <m/r> (<= limit) PASS|MISS".
inline bool target(const char* what, double measured, double reference, double limit, const char* unit) {
    const double ratio = reference > 0 ? measured / reference : 0;
    const bool pass = ratio <= limit;
    std::printf("target %-46s %10.3f %-3s reference %10.3f %-3s ratio %6.2f (<= %.2f) %s\n", what, measured,
                unit, reference, unit, ratio, limit, pass ? "PASS" : "MISS");
    std::fflush(stdout);
    return pass;
}

} // namespace kvo::bench
