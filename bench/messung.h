// Small helpers the benchmark programs share: the process's CPU time and order statistics.
#pragma once

#include <algorithm>
#include <cstddef>
#include <ctime>
#include <vector>

namespace bench {

// CPU time of this process (all its threads) in seconds.
inline double CpuSekunden()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// The value below which the fraction `p` of the samples lies (0 for no samples).
inline double Perzentil(std::vector<double> v, double p)
{
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
}

inline double Median(std::vector<double> v)
{
    return Perzentil(std::move(v), 0.5);
}

}  // namespace bench
