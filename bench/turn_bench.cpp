// SPDX-License-Identifier: MIT
// One turn on a large scenario: DoCommand against the floor (the same passes over a mapped
// file) and against the baseline (one byte per system call).
#include "bench_support.h"
#include "floors.h"
#include "interp/game.h"
#include "interp/reactions.h"

namespace narravox::bench {
namespace {

using Turn = void (*)(Game&, std::string);

// A game as start-up leaves it: header read, window filled, player in the start location.
std::unique_ptr<Game> StartedGame(Host& host, const GameOnDisk& disk) {
    auto game = std::make_unique<Game>(host, disk.folder.path().string());
    game->TextWindow.VisibleLines = 45;
    game->TextWindow.LineWidth = 128;
    game->TextWindow.Fill();
    ShowScenarioInfo(*game);
    return game;
}

// What a turn leaves behind that the player can see.
std::string Outcome(const Game& game) {
    return game.TextWindow.Text() + "|" + game.Title + "|" + std::to_string(game.Handled) + "|" +
           std::to_string(game.CurrentLocation);
}

void TimeTurn(benchmark::State& state, Lazy<GameOnDisk>& lazy, Turn turn) {
    const GameOnDisk& disk = lazy.Get();
    NullHost host;
    // Before timing: the turn must leave exactly what ours leaves.
    {
        auto ours = StartedGame(host, disk);
        auto other = StartedGame(host, disk);
        DoCommand(*ours, disk.command);
        try {
            turn(*other, disk.command);
        } catch (const std::exception& error) {
            state.SkipWithError(error.what());
            return;
        }
        if (Outcome(*ours) != Outcome(*other)) {
            state.SkipWithError("the turn's outcome differs from DoCommand's");
            return;
        }
    }
    auto game = StartedGame(host, disk);
    for (auto _ : state) {
        turn(*game, disk.command);
    }
    state.counters["scenario_MB"] = static_cast<double>(disk.scenario_bytes) / (1 << 20);
}

}  // namespace

void RegisterTurnBenchmarks(const Config& config, Plan& plan) {
    struct Size {
        std::size_t bytes;
        int locations;
    };
    const std::vector<Size> sizes =
        config.quick ? std::vector<Size>{{64 << 10, 256}, {1 << 20, 1000}}
                     : std::vector<Size>{{1 << 20, 1000}, {16 << 20, 4000}, {64 << 20, 4000}};
    for (const Size size : sizes) {
        const std::string prefix = "turn/" + SizeName(size.bytes);
        auto lazy = std::make_shared<Lazy<GameOnDisk>>(
            [size] { return WriteLargeGame(size.bytes, size.locations); });
        const auto add = [&](const std::string& side, Turn turn) {
            benchmark::RegisterBenchmark(
                (prefix + "/" + side).c_str(),
                [lazy, turn](benchmark::State& state) { TimeTurn(state, *lazy, turn); })
                ->Unit(benchmark::kMicrosecond);
        };
        add("ours", [](Game& game, std::string line) { DoCommand(game, std::move(line)); });
        add("floor", &FloorDoCommand);
        add("baseline", &BaselineDoCommand);
        plan.ratios.push_back({prefix + ": ours / floor (mapped file)", prefix + "/ours",
                               prefix + "/floor", Ratio::Target::kAtMost, 2});
        const bool large = size.bytes >= (16u << 20);
        plan.ratios.push_back({prefix + ": baseline (byte per call) / ours", prefix + "/baseline",
                               prefix + "/ours",
                               large ? Ratio::Target::kAtLeast : Ratio::Target::kNone, 20});
    }
}

}  // namespace narravox::bench
