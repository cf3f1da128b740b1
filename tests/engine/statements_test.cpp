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

TEST_F(StatementsTest, PlainTextIsFramedByTwoSpaces) {
    Run({Text("A\nB"), Text("A\n"), Text("")});
    EXPECT_EQ(Test(), (Lines{"  A", "  B  ", "  A", "    ", "    "}));
}

TEST_F(StatementsTest, CentredTextIsCentredAndPacedLineByLine) {
    Run({CenterOn(), Text("ab\n   cd"), Text(std::string(24, 'x')), CenterOff(), Text("e")}, 30,
        20);
    std::vector<std::string> painted;
    harness_.host.on_repaint = [&] { painted.push_back(Utf8(game().TextWindow.Text())); };
    const Lines lines = Test();
    // "ab" and its line feed are three characters: (20 - 3) / 2 = 8 spaces. The last line of
    // a text is ended by a line feed too, and an empty line follows every centred text. A line
    // longer than the window still gets (25 - 20) / 2 = 2 spaces and is then wrapped.
    // The long line breaks at the last space of its indent, then inside the word.
    EXPECT_EQ(lines, (Lines{"        ab", "        cd", "", " ", std::string(20, 'x'), "xxxx", "",
                            "  e  "}));
    EXPECT_EQ(harness_.host.waits, 3);
    ASSERT_EQ(painted.size(), 3u);
    // Each line is on the screen before its wait begins.
    EXPECT_TRUE(painted[0].ends_with("        ab\n"));
    EXPECT_TRUE(painted[1].ends_with("        cd\n"));
}

TEST_F(StatementsTest, CentredModeEndsWithThePass) {
    Run({CenterOn(), Text("ab")}, 30, 20);
    Test();
    EXPECT_FALSE(game().CenterMode);
}

TEST_F(StatementsTest, ClearScreenPrintsOneLineFeedPerVisibleLine) {
    Run({Text("x"), ClearScreen()}, 5, 40);
    const Lines lines = Test();
    EXPECT_EQ(lines, (Lines{"  x  ", "", "", "", "", ""}));
    EXPECT_EQ(game().TextWindow.Text(), "\n\n\n\n\n");
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

TEST_F(StatementsTest, BranchesFollowTheirFlags) {
    Run({If(1, {Text("if1")}), If(2, {Text("if2")}),
         IfElse(1,
                {Text("then1"), IfElse(2, {Text("inner then")}, {Text("inner else")}),
                 Text("rest of then")},
                {Text("else1")}),
         IfElse(3, {Text("then3")}, {Text("else3")}), If(-5, {Text("negative")}), Text("end")});
    SetFlag(game().Flags, 1);
    SetFlag(game().Flags, 2);
    EXPECT_EQ(Test(), (Lines{"  if1  ", "  if2  ", "  then1  ", "  inner then  ",
                             "  rest of then  ", "  else3  ", "  end  "}));
}

// A block of nothing but "pass" holds no statement: the branch ends right after its head, or
// right after the else-end of an "IE". Such a branch is not malformed; it runs nothing and the
// statement after it runs, whichever way the flag points.
class EmptyBodies : public StatementsTest, public ::testing::WithParamInterface<bool> {};

TEST_P(EmptyBodies, RunNothingAndTheReactionGoesOn) {
    Run({If(1, {}), Text("a"), IfElse(1, {}, {Text("иначе")}), Text("b"),
         IfElse(1, {Text("тогда")}, {}), Text("c"), IfElse(1, {}, {}), Text("d"),
         If(1, {If(1, {}), IfElse(1, {}, {})}), IfElse(1, {If(1, {})}, {IfElse(1, {}, {})}),
         Text("e")});
    if (GetParam()) {
        SetFlag(game().Flags, 1);
        EXPECT_EQ(Test(), (Lines{"  a  ", "  b  ", "  тогда  ", "  c  ", "  d  ", "  e  "}));
    } else {
        EXPECT_EQ(Test(), (Lines{"  a  ", "  иначе  ", "  b  ", "  c  ", "  d  ", "  e  "}));
    }
}

INSTANTIATE_TEST_SUITE_P(Flag, EmptyBodies, ::testing::Values(true, false),
                         [](const auto& test) { return test.param ? "Set" : "Clear"; });

// The operand of a jump is two bytes wide: locations past 255 are reached whole.
TEST_F(StatementsTest, JumpReachesLocationsPastTheFirstByte) {
    harness_.scenario.locations = {
        {0, "", {}},
        {1, "Старт", {{{""}, {{{kTest}, {Jump(300)}}}}}},
        {44, "Не та", {{{""}, {{{kArrive}, {Text("Не туда.")}}}}}},
        {300, "Чердак", {{{""}, {{{kArrive}, {Text("Чердак."), Jump(65535)}}}}}},
        {65535, "Край", {{{""}, {{{kArrive}, {Text("Край.")}}}}}},
    };
    ASSERT_EQ(harness_.Start(), StartResult::kStarted);
    harness_.TakeLines();
    EXPECT_EQ(Test(), (Lines{"  Чердак.  ", "  Край.  "}));
    EXPECT_EQ(game().CurrentLocation, 65535);
}

TEST_F(StatementsTest, JumpInsideABodyStopsEverythingAfterIt) {
    Run({If(1, {Jump(2), Text("не здесь")}), Text("и не здесь")});
    SetFlag(game().Flags, 1);
    EXPECT_EQ(Test(), (Lines{"  Прибыли.  "}));
    EXPECT_EQ(game().CurrentLocation, 2);
    EXPECT_EQ(Utf8(game().Title), " Цель");
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
