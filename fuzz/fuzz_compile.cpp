// SPDX-License-Identifier: MIT
// The scenario compiler on arbitrary source: it never crashes, a source it accepts always
// yields files without a format error, and dumping those files and compiling the dump gives
// the same bytes.
#include <cstdint>
#include <string_view>

#include "compiler.h"
#include "decompiler.h"
#include "reader.h"
#include "tool.h"

using namespace narravox::ply;

namespace {

bool HasError(const std::vector<Finding>& findings) {
    for (const Finding& finding : findings) {
        if (finding.severity == Severity::kError) {
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view source(reinterpret_cast<const char*>(data), size);
    const CompileResult compiled = Compile(source);
    if (!compiled.ok) {
        return 0;
    }
    if (HasError(CheckGame(compiled.commands, compiled.scenario))) {
        __builtin_trap();
    }
    std::vector<Finding> findings;
    GameData game;
    game.vocabulary = ReadCommands(compiled.commands, findings);
    game.scenario = ReadScenario(compiled.scenario, findings);
    const CompileResult again = Compile(Decompile(game));
    if (!again.ok || again.commands != compiled.commands || again.scenario != compiled.scenario) {
        __builtin_trap();
    }
    return 0;
}
