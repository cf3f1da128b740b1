// SPDX-License-Identifier: MIT
// Turns and arrivals on a small game: the global location 0 and the yard, location 1.
#include "interp/reactions.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>

#include "interp/flags.h"
#include "support/harness.h"

namespace narravox::testing {
namespace {

using Lines = std::vector<std::string>;

constexpr std::int16_t kLook = 1;
constexpr std::int16_t kTake = 3;
constexpr std::int16_t kLift = 4;
constexpr std::int16_t kHelp = 7;
constexpr std::int16_t kKick = 9;
constexpr std::int16_t kGo = 10;

std::vector<VerbGroup> Vocabulary() {
    return {{kLook, {"осмотреться"}}, {kTake, {"взять"}}, {kLift, {"поднять"}},
            {kHelp, {"помощь"}},      {kKick, {"пнуть"}}, {kGo, {"идти"}}};
}

Location Yard() {
    return {1,
            "Двор",
            {{{""}, {{{kLook}, {Text("Вы во дворе.")}}}},
             {{"ключ", "ржавый ключ"}, {{{kTake, kLift}, {Text("Ключ ваш.")}}}},
             {{"дом"}, {{{kGo}, {Jump(2)}}}}}};
}

Location House() {
    return {
        2, "Дом", {{{""}, {{{kLook}, {Text("Вы в доме.")}}}}, {{"двор"}, {{{kGo}, {Jump(1)}}}}}};
}

class ReactionsTest : public ::testing::Test {
  protected:
    ReactionsTest() : harness_(Vocabulary(), Scenario{0, 1, kLook, "Информация.\n", "", {}}) {
        harness_.scenario.locations = {
            {0, "", {{{"помощь", ""}, {{{kHelp}, {Text("Помощь.")}}}}}}, Yard(), House()};
    }

    void Start() {
        ASSERT_EQ(harness_.Start(), StartResult::kStarted);
        harness_.TakeLines();
    }

    Lines Answer(std::string_view typed) { return harness_.Answer(typed); }

    Game& game() { return harness_.game(); }

    Harness harness_;
};

// Whole turns (the four messages, matching, jumps and arrivals) are played in
// tests/transcripts; these tests look at what a transcript cannot show.
TEST_F(ReactionsTest, AJumpMovesThePlayerAndRenamesTheTitle) {
    Start();
    Answer("идти дом");
    EXPECT_EQ(game().CurrentLocation, 2);
    EXPECT_FALSE(game().JumpPending);
    EXPECT_EQ(Utf8(game().Title), " Дом");
}

TEST_F(ReactionsTest, ALocationWithoutABlock) {
    Start();
    game().CurrentLocation = 77;
    EXPECT_EQ(Answer("взять"), Lines{"Непонятный запрос."});
    EXPECT_EQ(Answer("взять синий шар"), Lines{"Неизвестное слово: \"синий\""});
    EXPECT_EQ(Utf8(game().Title), " Двор");
}

// The global arrival's text is in tests/transcripts/global/arrival.
TEST_F(ReactionsTest, GlobalArrivalKeepsTheProgramsTitle) {
    harness_.scenario.locations[0].sections[0].reactions.push_back({{kLook}, {Text("Глобально.")}});
    ASSERT_EQ(harness_.Start(), StartResult::kStarted);
    EXPECT_EQ(Utf8(game().Title), " Narravox Enigne III");
}

TEST_F(ReactionsTest, InTheGlobalLocationNothingFails) {
    Start();
    game().CurrentLocation = 0;
    EXPECT_TRUE(Answer("пнуть мяч").empty());
    EXPECT_EQ(Utf8(game().Title), " Двор");
}

TEST_F(ReactionsTest, OnlyTheFirstOfTwoBlocksWithOneIdIsUsed) {
    Location second = Yard();
    second.sections[0].reactions[0].statements = {Text("Второй двор.")};
    harness_.scenario.locations.push_back(second);
    Start();
    EXPECT_EQ(Answer("осмотреться"), Lines{"  Вы во дворе.  "});
}

TEST_F(ReactionsTest, ArrivalJumpsInACycleEndTheTurn) {
    harness_.scenario.locations[1].sections[0].reactions[0].statements = {Set(1), Jump(2)};
    harness_.scenario.locations[2].sections[0].reactions[0].statements = {Jump(1)};
    Start();
    EXPECT_TRUE(Answer("осмотреться").empty());
    EXPECT_FALSE(game().JumpPending);
    EXPECT_TRUE(TestFlag(game().Flags, 1));
}

TEST_F(ReactionsTest, AFailedGlobalPassPutsTheLocationBack) {
    Start();
    game().CurrentLocation = 2;
    const std::string scenario = harness_.folder / kScenarioFileName;
    std::filesystem::remove(scenario);
    EXPECT_TRUE(Answer("помощь").empty());
    EXPECT_EQ(game().CurrentLocation, 2);
    EXPECT_EQ(harness_.Boxes().back(), "[Narravox] File not found.");
    // The game goes on once the file is back.
    harness_.WriteGame();
    EXPECT_EQ(Answer("осмотреться"), Lines{"  Вы в доме.  "});
}

TEST_F(ReactionsTest, ChangedFilesTakeEffectAtTheNextTurn) {
    Start();
    harness_.commands.push_back({20, {"петь"}});
    harness_.scenario.locations[1].sections[0].reactions.push_back({{20}, {Text("Ля-ля.")}});
    harness_.WriteGame();
    EXPECT_EQ(Answer("петь"), Lines{"  Ля-ля.  "});
}

enum class Field { kFirstBlockEnd, kYardFirstSectionEnd };

struct BrokenCase {
    const char* name;
    Field field;          // the 32-bit end offset that is broken
    std::uint32_t value;  // what it says instead
    const char* answer;   // what "осмотреться" prints
};

void PrintTo(const BrokenCase& c, std::ostream* out) {
    *out << c.name;
}

class BrokenScenario : public ReactionsTest, public ::testing::WithParamInterface<BrokenCase> {};

std::uint32_t U32At(const std::string& plain, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = value << 8 | static_cast<unsigned char>(plain[at + i]);
    }
    return value;
}

// Malformed end offsets never hang or read outside the file; each case ends the walk.
TEST_P(BrokenScenario, EndsTheWalk) {
    std::string plain = Scramble(BuildScenario(harness_.scenario));
    const std::size_t table = U32At(plain, kLocationTableOffsetAt);
    const std::size_t yard = U32At(plain, table);
    // The yard's block end and id, its name "Двор" and the empty phrase's count and byte.
    const std::size_t at =
        GetParam().field == Field::kFirstBlockEnd ? table : yard + 4 + 2 + 5 + 2 + 1;
    for (int i = 0; i < 4; ++i) {
        plain[at + i] = static_cast<char>((GetParam().value >> (8 * i)) & 0xFF);
    }
    Start();
    WriteFile(harness_.folder.path() / kScenarioFileName, Scramble(plain));
    EXPECT_EQ(Answer("осмотреться"), Lines{GetParam().answer});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BrokenScenario,
    ::testing::Values(
        BrokenCase{"BlockEndBeforeItself", Field::kFirstBlockEnd, 10, "Непонятный запрос."},
        BrokenCase{"NegativeBlockEnd", Field::kFirstBlockEnd, 0x80000000u, "Непонятный запрос."},
        // The phrase was seen to match before the broken end was read.
        BrokenCase{"SectionEndBeforeItself", Field::kYardFirstSectionEnd, 3, "Сделать что?"}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace narravox::testing
