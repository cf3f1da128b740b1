// SPDX-License-Identifier: MIT
// Verb lookup in a large vocabulary: FindVerb against one scan of the same bytes.
#include "bench_support.h"
#include "data/vocabulary.h"
#include "floors.h"

namespace narravox::bench {
namespace {

using Lookup = VerbId (*)(std::string_view, std::string&);

void TimeLookup(benchmark::State& state, Lazy<GameOnDisk>& lazy, Lookup lookup) {
    const GameOnDisk& disk = lazy.Get();
    const std::string folder = disk.folder.path().string();
    {
        std::string ours_text = disk.command;
        std::string other_text = disk.command;
        const VerbId ours = FindVerb(folder, ours_text);
        const VerbId other = lookup(folder, other_text);
        if (ours == kNoVerb || ours != other || ours_text != other_text) {
            state.SkipWithError("the lookup's verb or remainder differs from FindVerb's");
            return;
        }
    }
    for (auto _ : state) {
        std::string text = disk.command;
        benchmark::DoNotOptimize(lookup(folder, text));
    }
    state.counters["vocabulary_KB"] = static_cast<double>(disk.commands_bytes) / 1024;
}

}  // namespace

void RegisterVerbBenchmarks(const Config& config, Plan& plan) {
    const int synonyms = config.quick ? 2000 : 20000;
    const std::string prefix = "verb/" + std::to_string(synonyms) + "_synonyms";
    auto lazy =
        std::make_shared<Lazy<GameOnDisk>>([synonyms] { return WriteLargeVocabulary(synonyms); });
    const auto add = [&](const std::string& side, Lookup lookup) {
        benchmark::RegisterBenchmark((prefix + "/" + side).c_str(), [lazy, lookup](
                                                                        benchmark::State& state) {
            TimeLookup(state, *lazy, lookup);
        })->Unit(benchmark::kMicrosecond);
    };
    add("ours", [](std::string_view folder, std::string& text) { return FindVerb(folder, text); });
    add("floor", &FloorFindVerb);
    plan.ratios.push_back({prefix + ": ours / floor (one scan)", prefix + "/ours",
                           prefix + "/floor", Ratio::Target::kAtMost, 2});
}

}  // namespace narravox::bench
