#include "bench/BenchRatio.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>

namespace {

// Console output as usual, plus each run's real time per iteration: the median of its
// repetitions where it has several.
class RecordingReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            if (run.run_type == Run::RT_Iteration && run.repetitions <= 1)
                times_[run.benchmark_name()] = run.GetAdjustedRealTime();
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                times_[run.run_name.str()] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    const std::map<std::string, double>& times() const { return times_; }

  private:
    std::map<std::string, double> times_;
};

}  // namespace

int RunBenchmarksWithRatios(int argc, char** argv, const std::vector<BenchPair>& pairs) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::printf("\nRatios (time of ours / time of peer; below 1 is faster):\n");
    for (const BenchPair& pair : pairs) {
        auto ours = reporter.times().find(pair.ours);
        auto peer = reporter.times().find(pair.peer);
        if (ours == reporter.times().end() || peer == reporter.times().end()) continue;
        std::printf("  %-40s vs %-40s %8.3f\n", pair.ours.c_str(), pair.peer.c_str(),
                    ours->second / peer->second);
    }
    return 0;
}
