#include "benchkit/timings.h"

#include <cstdio>
#include <vector>

namespace benchkit {
namespace {

class SummaryReporter : public benchmark::ConsoleReporter {
public:
    explicit SummaryReporter(Timings& timings) : m_timings(timings) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            m_timings.Record(run);
        }
    }

private:
    Timings& m_timings;
};

} // namespace

void Timings::Record(const benchmark::BenchmarkReporter::Run& run) {
    bool median = run.run_type == benchmark::BenchmarkReporter::Run::RT_Aggregate &&
                  run.aggregate_name == "median";
    bool single = run.run_type == benchmark::BenchmarkReporter::Run::RT_Iteration;
    if ((!single && !median) || run.error_occurred) {
        return;
    }
    Timing& timing = m_timings[run.run_name.function_name];
    if (timing.median && !median) {
        return;
    }
    timing.median = median;
    timing.perIteration = run.GetAdjustedCPUTime();
    auto items = run.counters.find("items_per_second");
    timing.perItem =
        items != run.counters.end() && items->second.value > 0 ? 1e9 / items->second.value : 0;
}

double Timings::PerIteration(const std::string& function) const {
    auto found = m_timings.find(function);
    return found == m_timings.end() ? 0 : found->second.perIteration;
}

double Timings::PerItem(const std::string& function) const {
    auto found = m_timings.find(function);
    return found == m_timings.end() ? 0 : found->second.perItem;
}

int RunWithSummary(int argc, char** argv, const std::function<void(const Timings&)>& summarise) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    Timings timings;
    SummaryReporter reporter(timings);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::printf("\n");
    summarise(timings);
    return 0;
}

void PrintRatio(const std::string& label, double ours, double baseline, double target) {
    if (ours <= 0 || baseline <= 0) {
        return;
    }
    double ratio = ours / baseline;
    std::printf("%-40s %6.2f", label.c_str(), ratio);
    if (target > 0) {
        std::printf("  (target at most %.2f: %s)", target, ratio <= target ? "met" : "missed");
    }
    std::printf("\n");
}

} // namespace benchkit
