#pragma once

// What the benchmarks report of their rounds. The machine is shared: one
// round can be slowed by someone else's build, so the answer is the median of
// many interleaved rounds, with the spread beside it, and a ratio is taken
// within each round before its median is.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace BenchStats {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Spread {
    double median = 0;
    double min = 0;
    double max = 0;
};

inline Spread Of(std::vector<double> values)
{
    if (values.empty())
        return {};
    std::sort(values.begin(), values.end());
    std::size_t middle = values.size() / 2;
    double median = values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
    return {median, values.front(), values.back()};
}

// One measure over the rounds: a time in seconds or a per-round ratio.
struct Series {
    std::string name;
    std::vector<double> values;
};

// The rows "median", "min" and "max" below a table of rounds whose first
// `blank` columns are not measures.
inline void PrintSummaryRows(const std::vector<Series>& columns, int blank)
{
    const char* const rows[] = {"median", "min", "max"};
    for (int row = 0; row < 3; ++row) {
        std::printf("| %s |", rows[row]);
        for (int i = 0; i < blank; ++i)
            std::printf(" |");
        for (const Series& column : columns) {
            Spread spread = Of(column.values);
            std::printf(" %.2f |", row == 0 ? spread.median : row == 1 ? spread.min : spread.max);
        }
        std::printf("\n");
    }
}

// "Load / bare reads: median 1.31 (1.20 to 1.52) over 9 rounds"
inline void PrintMedianLine(const Series& series)
{
    Spread spread = Of(series.values);
    std::printf("%s: median %.2f (%.2f to %.2f) over %zu rounds\n", series.name.c_str(), spread.median, spread.min,
                spread.max, series.values.size());
}

}  // namespace BenchStats
