// SPDX-License-Identifier: MIT
#include "data/vocabulary.h"

#include <gtest/gtest.h>

#include <ostream>

#include "io_error.h"
#include "support/game_builder.h"

namespace narravox::testing {
namespace {

struct LookupCase {
    const char* name;
    const char* command;
    VerbId verb;
    const char* rest;
};

void PrintTo(const LookupCase& c, std::ostream* out) {
    *out << c.name;
}

class FindVerbTest : public ::testing::TestWithParam<LookupCase> {
  protected:
    void Lookup(const std::vector<VerbGroup>& groups) {
        WriteFile(folder_.path() / kCommandsFileName, BuildCommands(groups));
        std::string text = Cp(GetParam().command);
        EXPECT_EQ(FindVerb(folder_.path().string(), text), GetParam().verb);
        EXPECT_EQ(Utf8(text), GetParam().rest);
    }

    TempFolder folder_;
};

const std::vector<VerbGroup> kVocabulary = {
    {5, {"взять"}}, {9, {"взять все"}},   {2, {"осмотр"}},
    {3, {"пнуть"}}, {11, {"положить в"}}, {12, {"", "Бросить", "ёлка", "два  пробела", " идти"}},
    {0, {}},        {7, {"пнуть"}},
};

TEST_P(FindVerbTest, FindsTheLongestSynonym) {
    Lookup(kVocabulary);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FindVerbTest,
    ::testing::Values(LookupCase{"TwoWordSynonym", "взять все", 9, ""},
                      LookupCase{"TwoWordSynonymNeedsItsWholeLastWord", "взять всех", 5, " всех"},
                      LookupCase{"OneWord", "взять", 5, ""},
                      LookupCase{"PrefixOfAWordIsNoSynonym", "осмотреться", -1, "осмотреться"},
                      LookupCase{"LaterOfTwoEqualSynonymsWins", "пнуть мяч", 7, " мяч"},
                      LookupCase{"Empty", "", -1, ""},
                      LookupCase{"SynonymEndingInAPreposition", "положить в сумку", 11, " сумку"},
                      LookupCase{"SynonymEndingInsideAWordIsNoMatch", "положить все", -1,
                                 "положить все"},
                      // Synonyms with capitals, "ё" or stray spaces can never match.
                      LookupCase{"CapitalisedSynonymNeverMatches", "бросить", -1, "бросить"},
                      LookupCase{"SynonymWithYoNeverMatches", "елка", -1, "елка"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(FindVerb, LongestSynonymWinsInEitherOrder) {
    TempFolder folder;
    for (const auto& groups : {std::vector<VerbGroup>{{5, {"взять"}}, {9, {"взять все"}}},
                               std::vector<VerbGroup>{{9, {"взять все"}}, {5, {"взять"}}}}) {
        WriteFile(folder.path() / kCommandsFileName, BuildCommands(groups));
        std::string all = Cp("взять все");
        std::string one = Cp("взять всех");
        EXPECT_EQ(FindVerb(folder.path().string(), all), 9);
        EXPECT_EQ(FindVerb(folder.path().string(), one), 5);
        EXPECT_EQ(Utf8(one), " всех");
    }
}

TEST(FindVerb, EmptyVocabularyAndBrokenFiles) {
    TempFolder folder;
    const std::string commands = folder / kCommandsFileName;
    WriteFile(commands, kCommandsMagic);
    std::string text = "go";
    EXPECT_EQ(FindVerb(folder.path().string(), text), kNoVerb);
    EXPECT_EQ(text, "go");

    // A group that promises more synonyms than the file holds.
    std::string broken = BuildCommands({{4, {"go"}}});
    broken[4] = static_cast<char>(3 ^ 4);
    WriteFile(commands, broken);
    try {
        FindVerb(folder.path().string(), text);
        ADD_FAILURE() << "expected a read error";
    } catch (const IoError& error) {
        EXPECT_EQ(error.code(), kErrorReadBeyondEnd);
    }

    // The last synonym lacks its zero byte, so it matches one letter shorter.
    std::string unterminated = BuildCommands({{4, {"goo"}}});
    unterminated.pop_back();
    WriteFile(commands, unterminated);
    text = "go";
    EXPECT_EQ(FindVerb(folder.path().string(), text), 4);
}

}  // namespace
}  // namespace narravox::testing
