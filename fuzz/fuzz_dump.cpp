// Arbitrary data files read, checked and dumped as source: nothing crashes or hangs, and the
// source dumped from any file the reader accepts without error compiles again.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>

#include "compiler.h"
#include "decompiler.h"
#include "reader.h"
#include "tool.h"
#include "writer.h"

using namespace narravox::ply;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    // The bodies are given plain, so that the fuzzer's mutations stay meaningful.
    const std::string commands = Scramble("CMD3" + input.ConsumeRandomLengthString(2048));
    const std::string scenario = Scramble("SCR3" + input.ConsumeRemainingBytesAsString());
    CheckGame(commands, scenario);
    std::vector<Finding> findings;
    GameData game;
    game.vocabulary = ReadCommands(commands, findings);
    game.scenario = ReadScenario(scenario, findings);
    for (const Finding& finding : findings) {
        if (finding.severity == Severity::kError) {
            return 0;
        }
    }
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
