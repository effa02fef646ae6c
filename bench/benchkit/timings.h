#pragma once

#include <benchmark/benchmark.h>

#include <functional>
#include <map>
#include <string>

namespace benchkit {

// What each benchmark function measured: CPU nanoseconds per iteration and, when the
// benchmark counts items, per item. With repeated runs the median stands for the function;
// other statistics are left out.
class Timings {
public:
    void Record(const benchmark::BenchmarkReporter::Run& run);

    // 0 when the function did not run.
    double PerIteration(const std::string& function) const;
    double PerItem(const std::string& function) const;

private:
    struct Timing {
        double perIteration = 0;
        double perItem = 0;
        bool median = false;
    };
    std::map<std::string, Timing> m_timings;
};

// Runs the benchmarks the command line selects, printing them as usual, then hands the
// timings to summarise. Returns the process exit code.
int RunWithSummary(int argc, char** argv, const std::function<void(const Timings&)>& summarise);

// Prints "label: ours / baseline = ratio", with the verdict when target is above 0.
void PrintRatio(const std::string& label, double ours, double baseline, double target);

} // namespace benchkit
