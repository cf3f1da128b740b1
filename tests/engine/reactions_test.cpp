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

struct TurnCase {
    const char* name;
    const char* typed;
    const char* answer;
};

void PrintTo(const TurnCase& c, std::ostream* out) {
    *out << c.name;
}

class TurnMessages : public ReactionsTest, public ::testing::WithParamInterface<TurnCase> {};

TEST_P(TurnMessages, SayWhatHappened) {
    Start();
    EXPECT_EQ(Answer(GetParam().typed), Lines{GetParam().answer});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TurnMessages,
    ::testing::Values(
        TurnCase{"UnknownVerb", "прыгнуть выше", "Неизвестное слово: \"прыгнуть\""},
        TurnCase{"Taken", "взять ключ", "  Ключ ваш.  "},
        TurnCase{"OtherVerbLongerPhraseInCapitals", "Поднять   РЖАВЫЙ ключ", "  Ключ ваш.  "},
        TurnCase{"NoReactionToTheVerb", "пнуть ключ", "Вы не можете сделать этого."},
        TurnCase{"VerbAlone", "пнуть", "Сделать что?"},
        TurnCase{"UnknownNoun", "взять ржавый замок", "Неизвестное слово: \"замок\""},
        TurnCase{"CutWord", "взять ржав", "Непонятный запрос."},
        TurnCase{"WrongEnding", "взять ключи", "Неизвестное слово: \"ключи\""},
        TurnCase{"FirstUnknownWordNamed", "взять лопату и ключ", "Неизвестное слово: \"лопату\""},
        TurnCase{"GlobalReaction", "помощь", "  Помощь.  "},
        TurnCase{"Look", "осмотреться", "  Вы во дворе.  "}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(ReactionsTest, StartPrintsTheInformationAndTheArrival) {
    ASSERT_EQ(harness_.Start(), StartResult::kStarted);
    const Lines lines = harness_.TakeLines();
    const Lines tail(lines.end() - 5, lines.end());
    EXPECT_EQ(tail, (Lines{"Информация о сценарии:", "", "Информация.", "", "  Вы во дворе.  "}));
    EXPECT_EQ(Utf8(game().Title), " Двор");
    EXPECT_EQ(game().ArrivalVerb, kLook);
}

TEST_F(ReactionsTest, JumpsRunTheArrivalOfTheTarget) {
    Start();
    EXPECT_EQ(Answer("идти дом"), Lines{"  Вы в доме.  "});
    EXPECT_EQ(game().CurrentLocation, 2);
    EXPECT_FALSE(game().JumpPending);
    EXPECT_EQ(Utf8(game().Title), " Дом");
    EXPECT_EQ(Answer("идти двор"), Lines{"  Вы во дворе.  "});
}

TEST_F(ReactionsTest, JumpToTheSameLocationArrivesAgain) {
    harness_.scenario.locations[1].sections[2].reactions[0].statements = {Jump(1)};
    Start();
    EXPECT_EQ(Answer("идти дом"), Lines{"  Вы во дворе.  "});
}

TEST_F(ReactionsTest, ALocationWithoutABlock) {
    Start();
    game().CurrentLocation = 77;
    EXPECT_EQ(Answer("взять"), Lines{"Непонятный запрос."});
    EXPECT_EQ(Answer("взять синий шар"), Lines{"Неизвестное слово: \"синий\""});
    EXPECT_EQ(Utf8(game().Title), " Двор");
}

TEST_F(ReactionsTest, ArrivalMessagesWhenNothingAnswersIt) {
    // Location 3 has phrases but no empty one; location 4 has an empty phrase without an
    // arrival reaction.
    harness_.scenario.locations.push_back({3, "Поле", {{{"трава"}, {}}}});
    harness_.scenario.locations.push_back({4, "Лес", {{{""}, {{{kTake}, {}}}}}});
    harness_.scenario.locations[1].sections[2].reactions[0].statements = {If(1, {Jump(4)}),
                                                                          Jump(3)};
    Start();
    EXPECT_EQ(Answer("идти дом"), Lines{"Неизвестное слово: \"\""});
    game().CurrentLocation = 1;
    SetFlag(game().Flags, 1);
    EXPECT_EQ(Answer("идти дом"), Lines{"Сделать что?"});
}

TEST_F(ReactionsTest, ALaterSectionWithTheSamePhraseIsTried) {
    harness_.scenario.locations[1].sections.insert(
        harness_.scenario.locations[1].sections.begin() + 1,
        Section{{"ключ"}, {{{kKick}, {Text("Пнули.")}}}});
    harness_.scenario.locations[1].sections.insert(
        harness_.scenario.locations[1].sections.begin() + 1, Section{{"ключ"}, {}});
    Start();
    EXPECT_EQ(Answer("взять ключ"), Lines{"  Ключ ваш.  "});
    EXPECT_EQ(Answer("пнуть ключ"), Lines{"  Пнули.  "});
}

TEST_F(ReactionsTest, AnEmptyGlobalReactionStillHandlesTheTurn) {
    harness_.scenario.locations[0].sections[0].reactions[0].statements.clear();
    Start();
    EXPECT_TRUE(Answer("помощь").empty());
}

TEST_F(ReactionsTest, GlobalArrivalKeepsTheLocationsArrivalAndTitle) {
    harness_.scenario.locations[0].sections[0].reactions.push_back({{kLook}, {Text("Глобально.")}});
    ASSERT_EQ(harness_.Start(), StartResult::kStarted);
    const Lines lines = harness_.TakeLines();
    EXPECT_EQ(lines.back(), "  Глобально.  ");
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

TEST_F(ReactionsTest, AGlobalJumpIsDroppedAndStaysPending) {
    harness_.scenario.locations[0].sections[0].reactions[0].statements = {Jump(2),
                                                                          Text("не печатается")};
    Start();
    EXPECT_TRUE(Answer("помощь").empty());
    EXPECT_EQ(game().CurrentLocation, 1);
    EXPECT_TRUE(game().JumpPending);
    // The global block stands first, so it is still examined: it handles the turn but runs no
    // statement.
    EXPECT_TRUE(Answer("помощь").empty());
    EXPECT_TRUE(game().JumpPending);
    // A turn the global pass does not handle reaches the location pass, which clears it.
    EXPECT_EQ(Answer("осмотреться"), Lines{"  Вы во дворе.  "});
    EXPECT_FALSE(game().JumpPending);
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
