// SPDX-License-Identifier: MIT
// Runs the benchmarks and prints, after Google Benchmark's own table, every comparison of our
// code with its floor or baseline as a ratio, and whether each target holds.
//
//   narravox_bench [--quick] [Google Benchmark flags]
//   narravox_bench --write-game MEGABYTES FOLDER
//
// --quick runs every comparison once on small inputs, which checks that our code and its floor
// compute the same result; that is what CI runs. A comparison whose two sides disagree is
// reported as an error and makes the program fail.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench_support.h"
#include "cp1251.h"

namespace narravox::bench {
namespace {

struct Figures {
    double seconds = 0;  // per iteration: CPU time, or the manual time when one was set
    std::map<std::string, double> counters;
};

// Google Benchmark's console table, with every run remembered for the ratios.
class RecordingReporter : public benchmark::ConsoleReporter {
  public:
    explicit RecordingReporter(bool color)
        : ConsoleReporter(color ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const std::string name = run.run_name.function_name;
            if (run.error_occurred) {
                errors.push_back(name + ": " + run.error_message);
                continue;
            }
            if (run.run_type != Run::RT_Iteration || run.iterations == 0) {
                continue;
            }
            const double accumulated = run.run_name.time_type.empty() ? run.cpu_accumulated_time
                                                                      : run.real_accumulated_time;
            const double seconds = accumulated / static_cast<double>(run.iterations);
            // Of repetitions, the fastest is the one least disturbed by other work.
            auto [it, fresh] = figures.try_emplace(name);
            if (fresh || seconds < it->second.seconds) {
                it->second.seconds = seconds;
                for (const auto& [counter, value] : run.counters) {
                    it->second.counters[counter] = value.value;
                }
            }
        }
    }

    std::map<std::string, Figures> figures;
    std::vector<std::string> errors;
};

// Prints the ratios and targets; returns how many targets do not hold.
int Summarize(const Plan& plan, const RecordingReporter& reporter, bool judge) {
    int failing = 0;
    const auto find = [&](const std::string& name) -> const Figures* {
        const auto it = reporter.figures.find(name);
        return it == reporter.figures.end() ? nullptr : &it->second;
    };
    std::printf("\nRatios and targets%s:\n", judge ? "" : " (quick run: timings not judged)");
    for (const Ratio& ratio : plan.ratios) {
        const Figures* top = find(ratio.numerator);
        const Figures* bottom = find(ratio.denominator);
        if (top == nullptr || bottom == nullptr || bottom->seconds <= 0) {
            continue;
        }
        const double value = top->seconds / bottom->seconds;
        std::string verdict;
        if (ratio.target != Ratio::Target::kNone) {
            const bool holds = ratio.target == Ratio::Target::kAtMost ? value <= ratio.bound
                                                                      : value >= ratio.bound;
            char target[64];
            std::snprintf(target, sizeof target, "target %s %g: ",
                          ratio.target == Ratio::Target::kAtMost ? "<=" : ">=", ratio.bound);
            verdict = std::string(target) + (!judge ? "not judged" : holds ? "holds" : "FAILS");
            failing += judge && !holds;
        }
        std::printf("  %-58s %9.2f  %s\n", ratio.label.c_str(), value, verdict.c_str());
    }
    for (const Limit& limit : plan.limits) {
        const Figures* figures = find(limit.benchmark);
        if (figures == nullptr || !figures->counters.contains(limit.counter)) {
            continue;
        }
        const double value = figures->counters.at(limit.counter);
        const bool holds = value < limit.below;
        std::printf("  %-58s %9.2f  target < %g %s: %s\n", limit.label.c_str(), value, limit.below,
                    limit.unit.c_str(),
                    !judge  ? "not judged"
                    : holds ? "holds"
                            : "FAILS");
        failing += judge && !holds;
    }
    return failing;
}

// Writes the large game of the turn benchmarks into `folder` and prints the command its turn
// plays, so that other players of the same engine (node, a browser) can be timed on it.
int WriteGameFor(const std::string& megabytes, const std::string& folder) {
    const auto game = WriteLargeGame(std::stoul(megabytes) << 20, 4000);
    std::filesystem::create_directories(folder);
    for (const char* name : {"Commands.ply", "Scenario.ply"}) {
        std::filesystem::copy_file(game->folder / name, std::filesystem::path(folder) / name,
                                   std::filesystem::copy_options::overwrite_existing);
    }
    std::printf("%s\n", Cp1251ToUtf8(game->command).c_str());
    return 0;
}

}  // namespace
}  // namespace narravox::bench

int main(int argc, char** argv) {
    using namespace narravox::bench;
    if (argc > 1 && argv[1] == kMeasureFlag) {
        return RunMeasureHelper(argc - 2, argv + 2);
    }
    if (argc == 4 && std::strcmp(argv[1], "--write-game") == 0) {
        return WriteGameFor(argv[2], argv[3]);
    }
    Config config;
    std::vector<char*> arguments;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            config.quick = true;
        } else {
            arguments.push_back(argv[i]);
        }
    }
    if (config.quick) {
        // One short run each: the comparisons' results are checked, their speed is not.
        static char kMinTime[] = "--benchmark_min_time=0";
        arguments.push_back(kMinTime);
    }
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    if (benchmark::ReportUnrecognizedArguments(count, arguments.data())) {
        return 2;
    }
    Plan plan;
    RegisterTurnBenchmarks(config, plan);
    RegisterVerbBenchmarks(config, plan);
    RegisterTextWindowBenchmarks(config, plan);
    RegisterStartupBenchmarks(config, plan);

    RecordingReporter reporter(::isatty(STDOUT_FILENO) == 1);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const int failing = Summarize(plan, reporter, !config.quick);
    // The registered benchmarks own the games they wrote; dropping them removes the folders.
    benchmark::ClearRegisteredBenchmarks();
    benchmark::Shutdown();
    for (const auto& error : reporter.errors) {
        std::printf("ERROR %s\n", error.c_str());
    }
    if (!reporter.errors.empty()) {
        return 1;
    }
    if (config.quick) {
        std::printf("Every comparison's two sides agree.\n");
    } else {
        std::printf(failing == 0 ? "Every target holds.\n" : "%d target(s) FAIL.\n", failing);
    }
    return 0;
}
