// SPDX-License-Identifier: MIT
#include "console/text_window.h"

#include <gtest/gtest.h>

#include <ostream>
#include <random>

#include "support/literal_window.h"

namespace narravox {
namespace {

using ReferenceWindow = testing::LiteralWindow;

TextWindow MakeWindow(int lines, int columns) {
    TextWindow window;
    window.VisibleLines = lines;
    window.LineWidth = columns;
    window.Fill();
    return window;
}

TEST(TextWindow, StartsAsEmptyLinesAndPrintsAtTheBottom) {
    TextWindow window = MakeWindow(3, 10);
    EXPECT_EQ(window.Text(), "\n\n\n");
    window.PrintText("a\n");
    EXPECT_EQ(window.Text(), "\n\na\n");
    window.PrintText("");
    EXPECT_EQ(window.Text(), "\n\na\n");
}

struct WrapCase {
    const char* name;
    std::vector<std::string> calls;
    std::string expected;  // after a fill of 4 lines with LineWidth 10
};

void PrintTo(const WrapCase& c, std::ostream* out) {
    *out << c.name;
}

class TextWindowWraps : public ::testing::TestWithParam<WrapCase> {};

TEST_P(TextWindowWraps, KeepsEveryLineWithinTheWidth) {
    TextWindow window = MakeWindow(4, 10);
    for (const auto& call : GetParam().calls) {
        window.PrintText(call);
    }
    EXPECT_EQ(window.Text(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TextWindowWraps,
    ::testing::Values(
        // The space before the third word stands in column 10 and becomes the break.
        WrapCase{"ThreeWords", {"abcd efgh ijkl"}, "\n\n\nabcd efgh\nijkl"},
        WrapCase{"SpaceInColumnElevenBreaks", {"abcdefghij klm"}, "\n\n\nabcdefghij\nklm"},
        WrapCase{"ExactWidthIsNotBroken", {"abcdefghij\n"}, "\n\n\nabcdefghij\n"},
        // A break may fall on a space printed by an earlier call.
        WrapCase{"ContinuesTheBottomLine", {"abc de", "fghij"}, "\n\n\nabc\ndefghij"},
        WrapCase{
            "LongWordIsCut", {"abcdefghijklmnopqrstuvwxy"}, "\n\nabcdefghij\nklmnopqrst\nuvwxy"},
        WrapCase{"LongWordAfterABreak", {"ab cdefghijklmnop"}, "\n\nab\ncdefghijkl\nmnop"},
        WrapCase{"ManyLinesScrollOut", {"1\n2\n3\n4\n5\n6\n"}, "3\n4\n5\n6\n"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(TextWindow, ReportsEachCompletedLineOnce) {
    TextWindow window = MakeWindow(2, 10);
    std::vector<std::string> lines;
    window.SetLineSink([&](std::string_view line) { lines.emplace_back(line); });
    window.PrintText("abcd efgh ij");
    EXPECT_EQ(lines, (std::vector<std::string>{"abcd efgh"}));
    window.PrintText("\n1\n2\n3\n");
    EXPECT_EQ(lines, (std::vector<std::string>{"abcd efgh", "ij", "1", "2", "3"}));
    EXPECT_EQ(window.Text(), "2\n3\n");
}

TEST(TextWindow, StaysSafeBeforeItIsLaidOut) {
    TextWindow window;
    window.PrintText("some text\nmore");
    EXPECT_TRUE(window.CompleteLines().empty());
    EXPECT_LE(window.BottomLine().size(), 1u);
}

// Random texts of words, spaces and line feeds, printed in random pieces, must give exactly
// what the literal rules give, and keep the window's invariant after every call.
TEST(TextWindow, MatchesTheLiteralRulesOnRandomText) {
    std::mt19937 random(12345);
    for (int round = 0; round < 300; ++round) {
        const int lines = 1 + static_cast<int>(random() % 6);
        const int columns = 1 + static_cast<int>(random() % 14);
        TextWindow window = MakeWindow(lines, columns);
        ReferenceWindow reference(lines, columns);
        for (int call = 0; call < 20; ++call) {
            std::string piece;
            const int length = static_cast<int>(random() % 30);
            for (int i = 0; i < length; ++i) {
                const unsigned r = random() % 10;
                piece += r < 2 ? ' ' : r == 2 ? '\n' : static_cast<char>('a' + random() % 26);
            }
            window.PrintText(piece);
            reference.PrintText(piece);
            ASSERT_EQ(window.Text(), reference.Text())
                << "round " << round << ", lines " << lines << ", columns " << columns;
            ASSERT_EQ(window.CompleteLines().size(), static_cast<std::size_t>(lines));
            for (const auto& line : window.CompleteLines()) {
                ASSERT_LE(line.size(), static_cast<std::size_t>(columns));
            }
            ASSERT_LE(window.BottomLine().size(), static_cast<std::size_t>(columns));
        }
    }
}

// The largest window players use, a 4K screen, fed as the game feeds it: single characters (the
// scenario information), lines and long runs of text, with now and then a word longer than a
// line. The window keeps only the bottom line to wrap again, so a fault there shows only once
// the window is full and lines break on spaces printed by earlier calls.
TEST(TextWindow, MatchesTheLiteralRulesInAFourKWindow) {
    constexpr int kLines = 133;
    constexpr int kColumns = 480;
    std::mt19937 random(4096);
    for (int round = 0; round < 3; ++round) {
        TextWindow window = MakeWindow(kLines, kColumns);
        ReferenceWindow reference(kLines, kColumns);
        for (int call = 0; call < 500; ++call) {
            const unsigned kind = random() % 3;
            const std::size_t length = kind == 0 ? 1 : kind == 1 ? 1 + random() % 80 : 3000;
            std::string piece;
            while (piece.size() < length) {
                const unsigned r = random() % 100;
                if (r < 15) {
                    piece += ' ';
                } else if (r < 17) {
                    piece += '\n';
                } else if (r == 17) {
                    piece.append(kColumns + random() % 100, 'x');
                } else {
                    piece += static_cast<char>(0xE0 + random() % 32);
                }
            }
            piece.resize(length);
            window.PrintText(piece);
            reference.PrintText(piece);
            ASSERT_EQ(window.Text(), reference.Text()) << "round " << round << ", call " << call;
            ASSERT_EQ(window.CompleteLines().size(), static_cast<std::size_t>(kLines));
            ASSERT_LE(window.BottomLine().size(), static_cast<std::size_t>(kColumns));
        }
    }
}

}  // namespace
}  // namespace narravox
