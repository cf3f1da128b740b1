// SPDX-License-Identifier: MIT
#pragma once

#include <benchmark/benchmark.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host.h"
#include "support/game_builder.h"

namespace narravox::bench {

// What the command line asked of the benchmarks.
struct Config {
    // Small inputs, for checking that every comparison agrees; the timings mean nothing then.
    bool quick = false;
};

// A host for games played without a player: boxes are answered with their first button.
class NullHost : public Host {
  public:
    Button ShowBox(const Box& box) override;
    std::optional<std::string> ChooseFile(FileChoice choice) override;
    void SetTitle(std::string_view text) override;
    void RepaintTextWindow() override {}
    void WaitForNextSecond() override {}
};

// A value made the first time a benchmark asks for it and shared by every benchmark of a
// comparison, so that a large game is written once and ours, the floor and the baseline read the
// same file.
template <class T>
class Lazy {
  public:
    explicit Lazy(std::function<std::unique_ptr<T>()> make) : make_(std::move(make)) {}
    T& Get() {
        std::call_once(once_, [&] { value_ = make_(); });
        return *value_;
    }

  private:
    std::function<std::unique_ptr<T>()> make_;
    std::once_flag once_;
    std::unique_ptr<T> value_;
};

// A game in a folder of its own, removed with the object.
struct GameOnDisk {
    testing::TempFolder folder;
    std::string command;  // the command a turn plays, normalised, code page 1251
    std::size_t scenario_bytes = 0;
    std::size_t commands_bytes = 0;
};

// A scenario of about `target_bytes` with `locations` ordinary locations after the global one.
// The player starts in the last location of the table, whose last object section holds the
// reaction that the turn's command runs; it prints a few lines.
std::unique_ptr<GameOnDisk> WriteLargeGame(std::size_t target_bytes, int locations);

// A vocabulary of `synonyms` synonyms in groups of four, with a small scenario beside it. The
// command names a synonym from the middle of the file followed by an object.
std::unique_ptr<GameOnDisk> WriteLargeVocabulary(int synonyms);

// About `bytes` of code page 1251 prose: words, single spaces, line feeds every few lines, and
// now and then a word longer than any window line.
std::string MakeProse(std::size_t bytes, unsigned seed);

// Human-readable byte counts for benchmark names: "64KB", "16MB".
std::string SizeName(std::size_t bytes);

}  // namespace narravox::bench

namespace narravox::bench {

// A figure printed at the end of a run: how two benchmarks' times compare, and the target the
// comparison must meet, if any. Times are CPU time per iteration, or the benchmark's own
// manual time where it measures another process.
struct Ratio {
    enum class Target { kNone, kAtMost, kAtLeast };
    std::string label;
    std::string numerator;    // benchmark name
    std::string denominator;  // benchmark name
    Target target = Target::kNone;
    double bound = 0;
};

// A benchmark counter that must stay below a bound.
struct Limit {
    std::string label;
    std::string benchmark;
    std::string counter;
    double below = 0;
    std::string unit;
};

struct Plan {
    std::vector<Ratio> ratios;
    std::vector<Limit> limits;
};

void RegisterTurnBenchmarks(const Config& config, Plan& plan);
void RegisterVerbBenchmarks(const Config& config, Plan& plan);
void RegisterTextWindowBenchmarks(const Config& config, Plan& plan);
void RegisterStartupBenchmarks(const Config& config, Plan& plan);

// Runs `program` with `arguments` from a small helper process (this program started again with
// kMeasureFlag) and returns its wall time and peak memory. The helper keeps the measuring
// process's own memory out of the child's peak.
struct ChildFigures {
    double wall_seconds = 0;
    long peak_kilobytes = 0;
    int exit_status = 0;
};
ChildFigures MeasureChild(const std::string& program, const std::vector<std::string>& arguments);
inline constexpr std::string_view kMeasureFlag = "--measure-child";
// The helper's side: runs the command given after kMeasureFlag and prints its figures.
int RunMeasureHelper(int argc, char** argv);

}  // namespace narravox::bench
