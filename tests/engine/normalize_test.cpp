// SPDX-License-Identifier: MIT
#include "interp/normalize.h"

#include <gtest/gtest.h>

#include <ostream>

#include "support/game_builder.h"

namespace narravox::testing {
namespace {

struct NormalizeCase {
    const char* name;
    const char* typed;
    const char* normalized;
    const char* folded;
};

void PrintTo(const NormalizeCase& c, std::ostream* out) {
    *out << c.name;
}

class NormalizeTest : public ::testing::TestWithParam<NormalizeCase> {};

TEST_P(NormalizeTest, CollapsesSpacesLowersAndFoldsYo) {
    const std::string normalized = NormalizeCommand(Cp(GetParam().typed));
    EXPECT_EQ(Utf8(normalized), GetParam().normalized);
    EXPECT_EQ(Utf8(FoldYo(normalized)), GetParam().folded);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NormalizeTest,
    ::testing::Values(
        NormalizeCase{"SpacesCollapsed", "   ВЗЯТЬ    КЛЮЧ  ", "взять ключ", "взять ключ"},
        NormalizeCase{"OnlySpaces", "    ", "", ""}, NormalizeCase{"Empty", "", "", ""},
        NormalizeCase{"CapitalYo", "ЁЛКА", "ёлка", "елка"},
        NormalizeCase{"LeadingCapitalYo", "Ёлка", "ёлка", "елка"},
        NormalizeCase{"Latin", "QUIT", "quit", "quit"},
        NormalizeCase{"PunctuationKept", "Идти на север!", "идти на север!", "идти на север!"},
        NormalizeCase{"OtherCyrillicCapitals", "ЂЃЉЊЌЋЏЎЈҐЄЇІЅ", "ђѓљњќћџўјґєїіѕ",
                      "ђѓљњќћџўјґєїіѕ"},
        NormalizeCase{"TabKept", "a\tb", "a\tb", "a\tb"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(NormalizeTest, LowerCaseChangesExactlyTheCapitals) {
    int changed = 0;
    for (int byte = 0; byte < 256; ++byte) {
        const std::string one(1, static_cast<char>(byte));
        if (LowerCase(one) != one) {
            ++changed;
        }
    }
    EXPECT_EQ(changed, 26 + 32 + 15);
}

TEST(NormalizeTest, FoldYoKeepsTheCaseOfScenarioPhrases) {
    EXPECT_EQ(Utf8(FoldYo(Cp("Ёж"))), "Еж");
    EXPECT_EQ(Utf8(FoldYo(Cp("ёж"))), "еж");
}

}  // namespace
}  // namespace narravox::testing
