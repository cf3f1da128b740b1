// SPDX-License-Identifier: MIT
// Statements run from a reaction of a whole game: typing "тест" runs the statements under test.
#include "interp/statements.h"

#include <gtest/gtest.h>

#include "interp/flags.h"
#include "support/harness.h"

namespace narravox::testing {
namespace {

constexpr std::int16_t kArrive = 1;
constexpr std::int16_t kTest = 2;
using Lines = std::vector<std::string>;

class StatementsTest : public ::testing::Test {
  protected:
    // Starts a game whose reaction to "тест" holds `statements`; location 2 greets arrivals.
    void Run(Statements statements, int visible_lines = 30, int line_width = 60) {
        harness_.scenario.locations = {
            {0, "", {}},
            {1, "Старт", {{{""}, {{{kTest}, std::move(statements)}}}}},
            {2, "Цель", {{{""}, {{{kArrive}, {Text("Прибыли.")}}}}}},
        };
        ASSERT_EQ(harness_.Start(visible_lines, line_width), StartResult::kStarted);
        harness_.TakeLines();
    }

    Lines Test() {
        Lines lines = harness_.Type("тест");
        lines.erase(lines.begin());  // the echo
        return lines;
    }

    Game& game() { return harness_.game(); }

    Harness harness_{{{kArrive, {"осмотреться"}}, {kTest, {"тест"}}},
                     Scenario{0, 1, kArrive, "", "", {}}};
};

// Where centred lines go is shown by tests/transcripts/text/centred; here, that each one is on
// the screen before the wait that paces it begins.
TEST_F(StatementsTest, CentredTextIsPacedLineByLine) {
    Run({CenterOn(), Text("ab\n   cd"), Text(std::string(24, 'x')), CenterOff(), Text("e")}, 30,
        20);
    std::vector<std::string> painted;
    harness_.host.on_repaint = [&] { painted.push_back(Utf8(game().TextWindow.Text())); };
    Test();
    EXPECT_EQ(harness_.host.waits, 3);
    ASSERT_EQ(painted.size(), 3u);
    // "ab" and its line feed are three characters: (20 - 3) / 2 = 8 spaces.
    EXPECT_TRUE(painted[0].ends_with("        ab\n"));
    EXPECT_TRUE(painted[1].ends_with("        cd\n"));
}

TEST_F(StatementsTest, FlagsAreBitsOfBytes) {
    Run({Set(9), Set(8), Clear(9), Set(32767), Set(-1), Clear(-2)});
    Test();
    EXPECT_EQ(game().Flags[1], 1);
    EXPECT_EQ(game().Flags[4095], 128);
    EXPECT_FALSE(TestFlag(game().Flags, -1));
    int set_bytes = 0;
    for (auto byte : game().Flags) {
        set_bytes += byte != 0;
    }
    EXPECT_EQ(set_bytes, 2);
}

TEST_F(StatementsTest, ClearAllFlags) {
    Run({ClearAll()});
    game().Flags.fill(0xFF);
    Test();
    for (int flag = 0; flag < 32768; ++flag) {
        ASSERT_FALSE(TestFlag(game().Flags, static_cast<std::int16_t>(flag))) << flag;
    }
}

TEST_F(StatementsTest, UnknownOpcodeIsATwoByteStatement) {
    Run({Raw("zz"), Raw("tx"), Text("после")});
    EXPECT_EQ(Test(), (Lines{"  после  "}));
}

// Flag numbers below zero cannot be written in a game's source; the compiler refuses them. In a
// file they name no flag: setting one changes nothing and testing one finds it clear.
TEST_F(StatementsTest, NegativeFlagsAreNeverSet) {
    Run({Set(-5), If(-5, {Text("if")}), IfElse(-5, {Text("then")}, {Text("else")})});
    EXPECT_EQ(Test(), (Lines{"  else  "}));
}

TEST_F(StatementsTest, BackwardBranchOffsetsStopThePass) {
    // An "IF" whose flag is clear and whose end lies before it, and an "IE" whose else-end lies
    // before its then-end: both would move backwards, so the pass stops.
    Run({Text("до"), Raw(std::string("IF\0\0\0\0\x05\0", 8)), Text("после")});
    EXPECT_EQ(Test(), (Lines{"  до  "}));
}

TEST_F(StatementsTest, BackwardElseEndStopsThePass) {
    Run({Text("до"), Raw(std::string("IE", 2)), Raw(std::string("\0\0\0\0\x05\0", 6)),
         Text("после")});
    EXPECT_EQ(Test(), (Lines{"  до  "}));
}

TEST_F(StatementsTest, DeepNestingEndsThePassInsteadOfOverflowing) {
    Statement nest = Text("в глубине");
    for (int depth = 0; depth < 5000; ++depth) {
        Statements body;
        body.push_back(std::move(nest));
        nest = If(0, std::move(body));
    }
    Run({Text("до"), nest, Text("после")});
    SetFlag(game().Flags, 0);
    EXPECT_EQ(Test(), (Lines{"  до  "}));
    EXPECT_EQ(harness_.host.boxes.size(), 1u);  // only the start-up warning
}

TEST_F(StatementsTest, NestingWithinTheBoundRuns) {
    Statement nest = Text("в глубине");
    for (int depth = 0; depth < kMaxNesting; ++depth) {
        Statements body;
        body.push_back(std::move(nest));
        nest = If(0, std::move(body));
    }
    Run({nest});
    SetFlag(game().Flags, 0);
    EXPECT_EQ(Test(), (Lines{"  в глубине  "}));
}

TEST_F(StatementsTest, TextCutShortByTheEndOfTheFile) {
    // The last statement of the file: its text has no zero byte.
    harness_.scenario.locations = {{0, "", {}},
                                   {1, "Старт", {{{""}, {{{kTest}, {Raw("TXab\ncd")}}}}}}};
    ASSERT_EQ(harness_.Start(), StartResult::kStarted);
    harness_.TakeLines();
    EXPECT_EQ(Test(), (Lines{"  ab", "  "}));
}

TEST_F(StatementsTest, OperandsPastTheEndAbandonTheTurnKeepingWhatChanged) {
    harness_.scenario.locations = {
        {0, "", {}}, {1, "Старт", {{{""}, {{{kTest}, {Set(4), CenterOn(), Raw("CF\x01")}}}}}}};
    ASSERT_EQ(harness_.Start(), StartResult::kStarted);
    harness_.TakeLines();
    Test();
    EXPECT_TRUE(TestFlag(game().Flags, 4));
    EXPECT_TRUE(game().CenterMode);
    ASSERT_EQ(harness_.host.boxes.size(), 2u);
    EXPECT_EQ(harness_.Boxes()[1], "[Narravox] Read beyond end of file.");
    EXPECT_EQ(harness_.host.boxes[1].icon, BoxIcon::kError);
}

}  // namespace
}  // namespace narravox::testing
