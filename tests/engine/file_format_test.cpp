// SPDX-License-Identifier: MIT
// The layout every reader and writer takes from one header: the scramble and the statement
// codes as the files store them. Readers and writers agree by construction, so these cases pin
// the shared definitions to bytes written down independently of them.
#include "data/file_format.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace narravox {
namespace {

TEST(FileFormatTest, ScramblesEachByteWithItsOffset) {
    // The 16-bit value 1 at offset 4 and the text "ab" at offset 6.
    const std::string file = std::string("CMD3\x01\x00", 6) + "ab" + '\0';
    const std::string scrambled = Scramble(file);
    EXPECT_EQ(scrambled, std::string("CMD3\x05\x05\x67\x65\x08", 9));
    EXPECT_EQ(Scramble(scrambled), file);
    const std::string long_scrambled = Scramble(std::string(600, '\0'));
    EXPECT_EQ(long_scrambled.substr(0, 5), std::string("\0\0\0\0\x04", 5));
    EXPECT_EQ(long_scrambled[256], '\0');
    EXPECT_EQ(static_cast<unsigned char>(long_scrambled[511]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(long_scrambled[513]), 0x01);
}

struct CodeCase {
    const char* bytes;
    StatementCode code;
    std::int32_t head_size;
};

void PrintTo(const CodeCase& c, std::ostream* out) {
    *out << c.bytes;
}

class StatementCodeTest : public ::testing::TestWithParam<CodeCase> {};

TEST_P(StatementCodeTest, TwoBytesNameTheStatementAndBack) {
    const CodeCase& c = GetParam();
    EXPECT_EQ(StatementCodeOf(c.bytes[0], c.bytes[1]), c.code);
    EXPECT_EQ(StatementCodeBytes(c.code), c.bytes);
    EXPECT_EQ(StatementHeadSize(c.code), c.head_size);
}

// The codes as the files store them, written down apart from the list.
constexpr CodeCase kCodeCases[] = {
    {"TX", StatementCode::kText, 2},
    {"SC", StatementCode::kCenterOn, 2},
    {"EC", StatementCode::kCenterOff, 2},
    {"CS", StatementCode::kClearScreen, 2},
    {"CF", StatementCode::kSetFlag, 4},
    {"DF", StatementCode::kClearFlag, 4},
    {"DA", StatementCode::kClearAllFlags, 2},
    {"JS", StatementCode::kJump, 4},
    {"IF", StatementCode::kIf, 8},
    {"IE", StatementCode::kIfElse, 8},
};

INSTANTIATE_TEST_SUITE_P(EachStatement, StatementCodeTest, ::testing::ValuesIn(kCodeCases),
                         [](const auto& test) { return std::string(test.param.bytes); });

// A statement added to the list gets its bytes pinned above, and its code reads back as itself.
TEST(StatementListTest, EveryStatementIsPinnedAndReadsBack) {
    const auto count = static_cast<std::size_t>(StatementCode::kUnknown);
    EXPECT_EQ(std::size(kCodeCases), count);
    for (std::size_t i = 0; i < count; ++i) {
        const auto code = static_cast<StatementCode>(i);
        const std::string_view bytes = StatementCodeBytes(code);
        ASSERT_EQ(bytes.size(), 2u) << i;
        EXPECT_EQ(StatementCodeOf(bytes[0], bytes[1]), code) << bytes;
    }
}

TEST(StatementListTest, AnyOtherTwoBytesAreUnknown) {
    for (const char* bytes : {"tx", "Tx", "XT", "ZZ", "I\xC5", "\0\0"}) {
        EXPECT_EQ(StatementCodeOf(bytes[0], bytes[1]), StatementCode::kUnknown) << bytes;
    }
    EXPECT_EQ(StatementCodeBytes(StatementCode::kUnknown), "");
    EXPECT_TRUE(StatementOperands(StatementCode::kUnknown).empty());
    EXPECT_EQ(StatementHeadSize(StatementCode::kUnknown), 2);
}

TEST(StatementListTest, IfElseStoresItsElseEndAfterItsThenBody) {
    const auto operands = StatementOperands(StatementCode::kIfElse);
    const std::vector<Operand> expected = {Operand::kEnd, Operand::kFlag, Operand::kBody,
                                           Operand::kEnd, Operand::kBody};
    EXPECT_EQ(std::vector<Operand>(operands.begin(), operands.end()), expected);
}

}  // namespace
}  // namespace narravox
