// SPDX-License-Identifier: MIT
// Arbitrary data files read, checked and dumped as source: nothing crashes or hangs, and the
// source dumped from any file that check accepts without error compiles again.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>

#include "compiler.h"
#include "data/file_format.h"
#include "decompiler.h"
#include "reader.h"
#include "tool.h"

using namespace narravox::ply;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    // The bodies are given plain, so that the fuzzer's mutations stay meaningful.
    const std::string commands = narravox::Scramble(std::string(narravox::kCommandsMagic) +
                                                    input.ConsumeRandomLengthString(2048));
    const std::string scenario = narravox::Scramble(std::string(narravox::kScenarioMagic) +
                                                    input.ConsumeRemainingBytesAsString());
    // A file that check finds errors in (an arrival cycle without end, say) may dump to a
    // source that the compiler refuses for the same reason, which is right.
    for (const Finding& finding : CheckGame(commands, scenario)) {
        if (finding.severity == Severity::kError) {
            return 0;
        }
    }
    std::vector<Finding> findings;
    GameData game;
    game.vocabulary = ReadCommands(commands, findings);
    game.scenario = ReadScenario(scenario, findings);
    const std::string source = Decompile(game);
    const CompileResult rebuilt = Compile(source);
    if (!rebuilt.ok) {
        // Say why, so that a finding can be read without a debugger.
        for (const Finding& finding : rebuilt.findings) {
            std::fprintf(stderr, "%s\n", FormatFinding("dump", finding).c_str());
        }
        __builtin_trap();
    }
    return 0;
}
