#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "ratio.hpp"

namespace {

struct Ratio {
  std::string name, numerator, denominator;
};

std::vector<Ratio>& ratios() {
  static std::vector<Ratio> all;
  return all;
}

// Prints as usual and keeps the median real time of every benchmark, in seconds.
class MedianReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> medians;

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.aggregate_name != "median") continue;
      medians[run.run_name.str()] = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

bool hasFlag(int argc, char** argv, const char* flag) {
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], flag, std::strlen(flag)) == 0) return true;
  return false;
}

}  // namespace

int registerRatio(const char* name, const char* numerator, const char* denominator) {
  ratios().push_back({name, numerator, denominator});
  return 0;
}

int main(int argc, char** argv) {
  std::vector<char*> args(argv, argv + argc);
  static char repetitions[] = "--benchmark_repetitions=9";
  static char aggregatesOnly[] = "--benchmark_report_aggregates_only=true";
  if (!hasFlag(argc, argv, "--benchmark_repetitions")) args.push_back(repetitions);
  if (!hasFlag(argc, argv, "--benchmark_report_aggregates_only")) args.push_back(aggregatesOnly);
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 2;

  MedianReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  for (const Ratio& ratio : ratios()) {
    auto num = reporter.medians.find(ratio.numerator);
    auto den = reporter.medians.find(ratio.denominator);
    if (num == reporter.medians.end() || den == reporter.medians.end() || den->second <= 0) continue;
    std::printf("ratio %s %.4g\n", ratio.name.c_str(), num->second / den->second);
  }
  return 0;
}
