#pragma once
// Small helpers of the benchmarks that run the programs as processes: the median of the
// rounds, and the machine's load average to print beside the figures.

#include <algorithm>
#include <cstdio>
#include <vector>

namespace tw::bench {

inline double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// The one-minute load average, 0 when it cannot be read.
inline double LoadAverage() {
    double load = 0;
    if (FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf", &load) != 1) load = 0;
        std::fclose(f);
    }
    return load;
}

}  // namespace tw::bench
