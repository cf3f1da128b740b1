#include "interp/normalize.h"

#include <gtest/gtest.h>

#include "support/game_builder.h"

namespace narravox::testing {
namespace {

struct NormalizeCase {
    const char* typed;
    const char* normalized;
    const char* folded;
};

class NormalizeTest : public ::testing::TestWithParam<NormalizeCase> {};

TEST_P(NormalizeTest, CollapsesSpacesLowersAndFoldsYo) {
    const std::string normalized = NormalizeCommand(Cp(GetParam().typed));
    EXPECT_EQ(Utf8(normalized), GetParam().normalized);
    EXPECT_EQ(Utf8(FoldYo(normalized)), GetParam().folded);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NormalizeTest,
    ::testing::Values(NormalizeCase{"   ВЗЯТЬ    КЛЮЧ  ", "взять ключ", "взять ключ"},
                      NormalizeCase{"    ", "", ""}, NormalizeCase{"", "", ""},
                      NormalizeCase{"ЁЛКА", "ёлка", "елка"}, NormalizeCase{"Ёлка", "ёлка", "елка"},
                      NormalizeCase{"QUIT", "quit", "quit"},
                      NormalizeCase{"Идти на север!", "идти на север!", "идти на север!"},
                      NormalizeCase{"ЂЃЉЊЌЋЏЎЈҐЄЇІЅ", "ђѓљњќћџўјґєїіѕ", "ђѓљњќћџўјґєїіѕ"},
                      NormalizeCase{"a\tb", "a\tb", "a\tb"}));

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
