// Small helpers the benchmark programs share: the process's CPU time, order statistics and the
// timed exchanges of the line benchmarks.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdio>
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

// Timed exchanges of one way to the module.
struct Messung {
    std::vector<double> zeiten;  // seconds per exchange
    double cpu = 0.0;            // CPU seconds of this process, all exchanges
    int fehler = 0;
};

// One line: median and 10th percentile of the exchange time, CPU per exchange. On an idle machine the
// wake-up of a sleeping core can add tens of microseconds to any exchange; the 10th percentile shows
// the exchange without it.
inline void Bericht(const char *was, const Messung &m)
{
    const double n = static_cast<double>(m.zeiten.size());
    std::printf("  %-8s median %9.1f us   10th percentile %8.1f us   CPU %6.1f us/exchange   (%zu exchanges, %d "
                "failed)\n",
                was, Median(m.zeiten) * 1e6, Perzentil(m.zeiten, 0.1) * 1e6, n > 0 ? m.cpu / n * 1e6 : 0.0,
                m.zeiten.size(), m.fehler);
}

// The three ratios of two ways: median, 10th percentile and CPU per exchange.
inline void Verhaeltnis(const char *text, const Messung &a, const Messung &b)
{
    const double cpuA = a.cpu / static_cast<double>(std::max<std::size_t>(1, a.zeiten.size()));
    const double cpuB = b.cpu / static_cast<double>(std::max<std::size_t>(1, b.zeiten.size()));
    std::printf("  %s: median %.2f, 10th percentile %.2f, CPU %.2f\n", text, Median(a.zeiten) / Median(b.zeiten),
                Perzentil(a.zeiten, 0.1) / Perzentil(b.zeiten, 0.1), cpuA / cpuB);
}

}  // namespace bench
