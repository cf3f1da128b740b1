// SPDX-License-Identifier: MIT
// Command-line options of narravox-term and the mode they choose.
#include "options.h"

#include <gtest/gtest.h>

namespace narravox::term {
namespace {

struct SizeCase {
    std::vector<std::string> arguments;
    bool accepted;
    std::int32_t columns;
    std::int32_t lines;
};

TEST(TermOptions, WindowSizesAreBoundedWholeNumbers) {
    const SizeCase cases[] = {
        {{}, true, 80, 24},
        {{"--columns", "1", "--lines", "1"}, true, 1, 1},
        {{"--columns=10000", "--lines=10000"}, true, 10000, 10000},
        {{"--columns", "60"}, true, 60, 24},
        {{"--columns", "0"}, false, 0, 0},
        {{"--lines", "-1"}, false, 0, 0},
        {{"--lines", "10001"}, false, 0, 0},
        {{"--lines", "99999999999999999999"}, false, 0, 0},
        {{"--columns", "12x"}, false, 0, 0},
        {{"--columns", "+5"}, false, 0, 0},
        {{"--columns", ""}, false, 0, 0},
        {{"--columns"}, false, 0, 0},
    };
    for (const auto& c : cases) {
        const ParseResult result = ParseOptions(c.arguments);
        const std::string shown = c.arguments.empty() ? "(none)" : c.arguments.back();
        ASSERT_EQ(result.options.has_value(), c.accepted) << shown << ": " << result.error;
        if (c.accepted) {
            EXPECT_EQ(result.options->columns, c.columns) << shown;
            EXPECT_EQ(result.options->lines, c.lines) << shown;
        } else {
            EXPECT_FALSE(result.error.empty()) << shown;
        }
    }
}

TEST(TermOptions, FoldersFlagsAndMistakes) {
    const auto parsed =
        ParseOptions({"--game", "игры/первая", "--transcript=log.txt", "--pace", "--plain"});
    ASSERT_TRUE(parsed.options) << parsed.error;
    EXPECT_EQ(parsed.options->game_folder, "игры/первая");
    EXPECT_EQ(parsed.options->transcript_path, "log.txt");
    EXPECT_TRUE(parsed.options->pace);
    EXPECT_TRUE(parsed.options->plain);
    EXPECT_FALSE(parsed.options->columns_given);
    EXPECT_FALSE(parsed.options->lines_given);
    const auto sized = ParseOptions({"--lines", "30"});
    ASSERT_TRUE(sized.options) << sized.error;
    EXPECT_FALSE(sized.options->columns_given);
    EXPECT_TRUE(sized.options->lines_given);
    EXPECT_EQ(sized.options->lines, 30);

    EXPECT_FALSE(parsed.options->trace);
    const auto traced = ParseOptions({"--trace", "--batch"});
    ASSERT_TRUE(traced.options) << traced.error;
    EXPECT_TRUE(traced.options->trace);
    EXPECT_NE(UsageText("narravox-term").find("--trace"), std::string::npos);

    EXPECT_FALSE(ParseOptions({"--plain", "--batch"}).options);
    EXPECT_FALSE(ParseOptions({"--pace=yes"}).options);
    EXPECT_EQ(ParseOptions({"--trace=on"}).error, "--trace takes no value");
    EXPECT_FALSE(ParseOptions({"--game"}).options);
    EXPECT_FALSE(ParseOptions({"Scenario.ply"}).options);
    EXPECT_EQ(ParseOptions({"-x"}).error, "unknown argument \"-x\"");
}

TEST(TermOptions, VersionIsAFlagOfItsOwn) {
    const auto parsed = ParseOptions({"--version"});
    ASSERT_TRUE(parsed.options) << parsed.error;
    EXPECT_TRUE(parsed.options->version);
    EXPECT_FALSE(parsed.options->help);
    EXPECT_FALSE(ParseOptions({}).options->version);
    EXPECT_EQ(ParseOptions({"--version=2"}).error, "--version takes no value");
    EXPECT_NE(UsageText("narravox-term").find("--version"), std::string::npos);
}

TEST(TermOptions, ModeFollowsTheFlagsThenTheTerminal) {
    Options none;
    Options plain;
    plain.plain = true;
    Options batch;
    batch.batch = true;
    EXPECT_EQ(ChooseMode(none, true, true), Mode::kInteractive);
    EXPECT_EQ(ChooseMode(none, false, true), Mode::kBatch);
    EXPECT_EQ(ChooseMode(none, false, false), Mode::kBatch);
    EXPECT_EQ(ChooseMode(none, true, false), Mode::kPlain);
    EXPECT_EQ(ChooseMode(plain, true, true), Mode::kPlain);
    EXPECT_EQ(ChooseMode(plain, false, true), Mode::kPlain);
    EXPECT_EQ(ChooseMode(batch, true, true), Mode::kBatch);
}

}  // namespace
}  // namespace narravox::term
