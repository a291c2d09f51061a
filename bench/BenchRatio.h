#pragma once
// Runs the registered benchmarks and then prints, for each pair, how our
// figure compares with the peer's measured in the same run.
#include <string>
#include <vector>

struct BenchPair {
    std::string ours;  // benchmark name as registered
    std::string peer;
};

// Returns the process exit code.
int RunBenchmarksWithRatios(int argc, char** argv, const std::vector<BenchPair>& pairs);
