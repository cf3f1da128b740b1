// SPDX-License-Identifier: MIT
// The text window: 100 KB of prose printed one character per call and one line per call, by our
// PrintText and by the literal rules that rescan the whole kept text on every call.
#include "bench_support.h"
#include "console/text_window.h"
#include "support/literal_window.h"

namespace narravox::bench {
namespace {

struct Shape {
    int lines;
    int columns;
};

// The prose cut into the pieces that the calls print.
std::vector<std::string> Pieces(const std::string& prose, bool per_character) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (start < prose.size()) {
        std::size_t end = start + 1;
        if (!per_character) {
            const std::size_t feed = prose.find('\n', start);
            end = feed == std::string::npos ? prose.size() : feed + 1;
        }
        pieces.push_back(prose.substr(start, end - start));
        start = end;
    }
    return pieces;
}

std::string PrintWithOurs(const std::vector<std::string>& pieces, Shape shape) {
    TextWindow window;
    window.VisibleLines = shape.lines;
    window.LineWidth = shape.columns;
    window.Fill();
    for (const auto& piece : pieces) {
        window.PrintText(piece);
    }
    return window.Text();
}

std::string PrintWithLiteral(const std::vector<std::string>& pieces, Shape shape) {
    testing::LiteralWindow window(shape.lines, shape.columns);
    for (const auto& piece : pieces) {
        window.PrintText(piece);
    }
    return window.Text();
}

}  // namespace

void RegisterTextWindowBenchmarks(const Config& config, Plan& plan) {
    const std::size_t bytes = config.quick ? 8 << 10 : 100 << 10;
    auto prose = std::make_shared<const std::string>(MakeProse(bytes, 7));
    for (const Shape shape : {Shape{45, 128}, Shape{133, 480}}) {
        for (const bool per_character : {true, false}) {
            const std::string prefix =
                "print/" + SizeName(bytes) + "_" + (per_character ? "by_character" : "by_line") +
                "/" + std::to_string(shape.lines) + "x" + std::to_string(shape.columns);
            auto pieces =
                std::make_shared<const std::vector<std::string>>(Pieces(*prose, per_character));
            // The literal result is worked out once, by the first side to need it.
            auto expected = std::make_shared<Lazy<std::string>>([pieces, shape] {
                return std::make_unique<std::string>(PrintWithLiteral(*pieces, shape));
            });
            benchmark::RegisterBenchmark((prefix + "/ours").c_str(), [pieces, shape, expected](
                                                                         benchmark::State& state) {
                if (PrintWithOurs(*pieces, shape) != expected->Get()) {
                    state.SkipWithError("PrintText differs from the literal rules");
                    return;
                }
                for (auto _ : state) {
                    benchmark::DoNotOptimize(PrintWithOurs(*pieces, shape));
                }
            })->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark((prefix + "/literal").c_str(),
                                         [pieces, shape, expected](benchmark::State& state) {
                                             for (auto _ : state) {
                                                 const std::string text =
                                                     PrintWithLiteral(*pieces, shape);
                                                 if (text != expected->Get()) {
                                                     state.SkipWithError("not repeatable");
                                                     break;
                                                 }
                                             }
                                         })
                ->Unit(benchmark::kMillisecond);
            const bool judged = per_character && shape.columns == 480;
            plan.ratios.push_back({prefix + ": literal / ours", prefix + "/literal",
                                   prefix + "/ours",
                                   judged ? Ratio::Target::kAtLeast : Ratio::Target::kNone, 100});
        }
    }
    // Cost independent of the kept text: the large window keeps eleven times as much.
    const std::string small = "print/" + SizeName(bytes) + "_by_character/45x128/ours";
    const std::string large = "print/" + SizeName(bytes) + "_by_character/133x480/ours";
    plan.ratios.push_back({"print by character: ours 133x480 / ours 45x128", large, small,
                           Ratio::Target::kAtMost, 2});
}

}  // namespace narravox::bench
