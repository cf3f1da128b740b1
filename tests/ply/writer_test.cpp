// SPDX-License-Identifier: MIT
// The writer against the worked examples of the file format: every game the compiler and the
// tests make goes through it, so it must put each byte where the interpreter looks for it.
#include "writer.h"

#include <gtest/gtest.h>

#include "reader.h"
#include "support/game_builder.h"

namespace narravox::ply {
namespace {

namespace tb = narravox::testing;

std::uint32_t U32At(const std::string& plain, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = value << 8 | static_cast<unsigned char>(plain[at + static_cast<std::size_t>(i)]);
    }
    return value;
}

std::uint16_t U16At(const std::string& plain, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(plain[at]) |
                                      static_cast<unsigned char>(plain[at + 1]) << 8);
}

TEST(WriterTest, LaysOutTheExampleScenario) {
    tb::Scenario scenario;
    scenario.global = 0;
    scenario.start = 1;
    scenario.arrival = 1;
    scenario.info = "Пример\n";
    scenario.locations = {
        {0, "", {{{""}, {{{7}, {tb::Text("1234567")}}}}}},
        {1,
         "Двор",
         {{{""}, {{{1}, {tb::Text("123456789")}}}},
          {{"ключ", "ржавый ключ"}, {{{3, 4}, {tb::Text("12345")}}}}}},
    };
    const std::string plain = tb::Scramble(tb::BuildScenario(scenario));
    ASSERT_EQ(plain.size(), 133u);
    EXPECT_EQ(plain.substr(0, 4), "SCR3");
    EXPECT_EQ(U32At(plain, 4), 22u);
    EXPECT_EQ(U16At(plain, 10), 1u);
    EXPECT_EQ(U16At(plain, 12), 1u);
    EXPECT_EQ(tb::Utf8(plain.substr(14, 8)), std::string("Пример\n") + '\0');
    EXPECT_EQ(U32At(plain, 22), 54u);  // block end of location 0
    EXPECT_EQ(U32At(plain, 32), 54u);  // its section end
    EXPECT_EQ(U16At(plain, 38), 7u);   // its verb
    EXPECT_EQ(U32At(plain, 40), 54u);  // its reaction end
    EXPECT_EQ(plain.substr(44, 2), "TX");
    EXPECT_EQ(U32At(plain, 54), 133u);  // block end of location 1
    EXPECT_EQ(U16At(plain, 58), 1u);
    EXPECT_EQ(U32At(plain, 68), 92u);
    EXPECT_EQ(U16At(plain, 92), 2u);
    EXPECT_EQ(tb::Utf8(plain.substr(99, 11)), "ржавый ключ");
    EXPECT_EQ(U32At(plain, 111), 133u);
    EXPECT_EQ(U16At(plain, 119), 4u);
    EXPECT_EQ(U32At(plain, 121), 133u);
}

// The worked encoding of a branch: free bytes before the table put the reaction's statements at
// offset 200, where the example has them.
TEST(WriterTest, EncodesBranchesWithAbsoluteOffsets) {
    tb::Scenario scenario;
    scenario.gap = std::string(163, '\x55');
    scenario.locations = {
        {0,
         "",
         {{{""},
           {{{1},
             {tb::IfElse(3, {tb::Text("Открыто"), tb::Clear(3), tb::CenterOff()},
                         {tb::Text("Закрыто")}),
              tb::Jump(2)}}}}}},
    };
    const std::string plain = tb::Scramble(tb::BuildScenario(scenario));
    ASSERT_EQ(plain.size(), 242u);
    EXPECT_EQ(U32At(plain, 4), 178u);
    EXPECT_EQ(plain.substr(15, 163), scenario.gap);
    EXPECT_EQ(U32At(plain, 188), 242u);  // section end
    EXPECT_EQ(U32At(plain, 196), 242u);  // reaction end
    EXPECT_EQ(plain.substr(200, 2), "IE");
    EXPECT_EQ(U32At(plain, 202), 224u);
    EXPECT_EQ(U16At(plain, 206), 3u);
    EXPECT_EQ(plain.substr(208, 2), "TX");
    EXPECT_EQ(tb::Utf8(plain.substr(210, 8)), std::string("Открыто") + '\0');
    EXPECT_EQ(plain.substr(218, 2), "DF");
    EXPECT_EQ(U16At(plain, 220), 3u);
    EXPECT_EQ(plain.substr(222, 2), "EC");
    EXPECT_EQ(U32At(plain, 224), 238u);
    EXPECT_EQ(plain.substr(228, 2), "TX");
    EXPECT_EQ(tb::Utf8(plain.substr(230, 7)), "Закрыто");
    EXPECT_EQ(plain.substr(238, 2), "JS");
    EXPECT_EQ(U16At(plain, 240), 2u);
}

TEST(WriterTest, WritesEachRemainingStatementWithItsOperands) {
    tb::Scenario scenario;
    scenario.locations = {
        {0,
         "",
         {{{""},
           {{{1},
             {tb::If(-2, {tb::CenterOn()}), tb::Set(9), tb::ClearAll(), tb::ClearScreen(),
              tb::Raw("zz")}}}}}},
    };
    const std::string plain = tb::Scramble(tb::BuildScenario(scenario));
    // Statements start after the header, the empty information text and the heads of the
    // block, the section and the reaction.
    const std::size_t at = 15 + 22;
    ASSERT_EQ(plain.size(), at + 10 + 4 + 2 + 2 + 2);
    EXPECT_EQ(plain.substr(at, 2), "IF");
    EXPECT_EQ(U32At(plain, at + 2), at + 10);
    EXPECT_EQ(U16At(plain, at + 6), 0xFFFEu);
    EXPECT_EQ(plain.substr(at + 8, 2), "SC");
    EXPECT_EQ(plain.substr(at + 10, 2), "CF");
    EXPECT_EQ(U16At(plain, at + 12), 9u);
    EXPECT_EQ(plain.substr(at + 14, 6), "DACSzz");
}

TEST(WriterTest, WritesTheVocabularyGroupByGroup) {
    const std::string plain =
        tb::Scramble(tb::BuildCommands({{5, {"взять", "брать"}}, {-1, {}}, {9, {"ab"}}}));
    EXPECT_EQ(plain.substr(0, 4), "CMD3");
    EXPECT_EQ(U16At(plain, 4), 2u);
    EXPECT_EQ(U16At(plain, 6), 5u);
    EXPECT_EQ(tb::Utf8(plain.substr(8, 12)), std::string("взять") + '\0' + "брать" + '\0');
    EXPECT_EQ(U16At(plain, 20), 0u);
    EXPECT_EQ(U16At(plain, 22), 0xFFFFu);
    EXPECT_EQ(U16At(plain, 24), 1u);
    EXPECT_EQ(plain.substr(28), std::string("ab") + '\0');
}

TEST(WriterTest, RefusesMorePhrasesThanACountHolds) {
    Scenario scenario;
    Location& location = scenario.locations.emplace_back();
    location.sections.emplace_back().phrases.resize(0x8000);
    EXPECT_FALSE(WriteScenario(scenario).has_value());
    location.sections.back().phrases.resize(0x7FFF);
    EXPECT_TRUE(WriteScenario(scenario).has_value());
}

// What the reader takes from a file the writer puts back byte for byte, the free bytes before the
// location table and unknown statement codes included: the two agree on every field.
TEST(WriterTest, WritesBackWhatTheReaderRead) {
    tb::Scenario scenario;
    scenario.start = 3;
    scenario.arrival = -1;
    scenario.info = "Справка\n";
    scenario.gap = "свободно";
    scenario.locations = {
        {3,
         "Зал",
         {{{"", "дверь"},
           {{{2, -1},
             {tb::IfElse(5, {tb::Text("Открыто"), tb::Raw("ZZ")}, {tb::If(6, {tb::Jump(4)})}),
              tb::Set(7), tb::Clear(8), tb::CenterOn(), tb::CenterOff(), tb::ClearAll(),
              tb::ClearScreen()}}}}}},
        {4, "", {}},
    };
    const std::string commands = tb::BuildCommands({{2, {"смотреть", "о"}}, {-1, {}}});
    const std::string original = tb::BuildScenario(scenario);
    std::vector<Finding> findings;
    const Vocabulary vocabulary = ReadCommands(commands, findings);
    const Scenario read = ReadScenario(original, findings);
    EXPECT_FALSE(HasErrors(findings));
    EXPECT_EQ(WriteCommands(vocabulary), commands);
    EXPECT_EQ(WriteScenario(read), original);
}

}  // namespace
}  // namespace narravox::ply
