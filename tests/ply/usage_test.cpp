// SPDX-License-Identifier: MIT
// What narravox-ply answers when asked how to use it, and when used wrongly.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "ply_runs.h"
#include "tool.h"

namespace narravox::ply {
namespace {

TEST(PlyUsage, HelpIsAnAnswerOnStandardOutput) {
    for (const char* option : {"--help", "-h"}) {
        const Answer help = RunPly({option});
        EXPECT_EQ(help.status, 0) << option;
        EXPECT_EQ(help.err, "") << option;
        EXPECT_EQ(help.out.rfind("usage: narravox-ply build", 0), 0u) << help.out;
        for (const char* command : {"build", "dump", "check", "--version"}) {
            EXPECT_NE(help.out.find(command), std::string::npos) << command;
        }
    }
}

TEST(PlyUsage, MistakesGetTheUsageOnStandardErrorAndStatus2) {
    const std::vector<std::vector<std::string>> mistakes = {
        {},                       // nothing at all
        {"compile", "game.nvx"},  // no such command
        {"build", "game.nvx"},    // no -o
        {"build", "-o"},          // -o without its folder
        {"dump", "a", "b", "c"},  // three data files
        {"--help", "build"},      // --help with something else
        {"--version", "--help"},  //
    };
    const std::string usage = RunPly({"--help"}).out;
    for (const auto& args : mistakes) {
        std::string shown;
        for (const auto& arg : args) {
            shown += arg + " ";
        }
        const Answer answer = RunPly(args);
        EXPECT_EQ(answer.status, 2) << shown;
        EXPECT_EQ(answer.out, "") << shown;
        EXPECT_EQ(answer.err, usage) << shown;
    }
}

}  // namespace
}  // namespace narravox::ply
