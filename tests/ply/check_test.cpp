// SPDX-License-Identifier: MIT
// `check` on damaged and dubious files: each broken invariant is found, at its offset.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>

#include "support/game_builder.h"
#include "tool.h"

namespace narravox::ply {
namespace {

namespace tb = narravox::testing;

// The worked layout of the format: block ends at 22 and 54, sections at 29, 65 and 92,
// reactions at 36, 72 and 115, statements at 44, 80 and 125, end of file at 133.
tb::Scenario WorkedLayout() {
    tb::Scenario scenario;
    scenario.global = 0;
    scenario.start = 1;
    scenario.arrival = 1;
    scenario.info = "Пример\n";
    scenario.locations = {
        {0, "", {{{""}, {{{7}, {tb::Text("Справка")}}}}}},
        {1,
         "Двор",
         {{{""}, {{{1}, {tb::Text("Двор ясен")}}}},
          {{"ключ", "ржавый ключ"}, {{{3, 4}, {tb::Text("Взяли")}}}}}},
    };
    return scenario;
}

const std::vector<tb::VerbGroup> kVerbs = {
    {1, {"осмотреться"}}, {3, {"взять"}}, {4, {"брать"}}, {7, {"помощь"}}};

// Changes plain bytes of a scrambled file.
std::string Patch(const std::string& file, std::size_t at, std::vector<unsigned> bytes) {
    std::string plain = tb::Scramble(file);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        plain[at + i] = static_cast<char>(bytes[i]);
    }
    return tb::Scramble(plain);
}

struct BrokenCase {
    const char* name;
    std::function<std::string()> scenario;
    std::int32_t offset;
    Severity severity;
    std::string message;
};

void PrintTo(const BrokenCase& c, std::ostream* out) {
    *out << c.name;
}

class CheckBrokenTest : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(CheckBrokenTest, FindsTheBrokenInvariantAtItsOffset) {
    const auto findings = CheckGame(tb::BuildCommands(kVerbs), GetParam().scenario());
    std::vector<std::string> seen;
    bool found = false;
    for (const Finding& finding : findings) {
        seen.push_back(std::to_string(finding.where.offset) + ": " + finding.message);
        found = found ||
                (finding.file == FileKind::kScenario && finding.where.offset == GetParam().offset &&
                 finding.severity == GetParam().severity && finding.message == GetParam().message);
    }
    EXPECT_TRUE(found) << ::testing::PrintToString(seen);
}

std::string Worked() {
    return tb::BuildScenario(WorkedLayout());
}

INSTANTIATE_TEST_SUITE_P(
    WorkedLayout, CheckBrokenTest,
    ::testing::Values(
        BrokenCase{"BlockEndBeforeItsField",
                   [] {
                       return Patch(Worked(), 22, {20, 0, 0, 0});
                   },
                   22, Severity::kError, "block end offset 20 lies outside its record (26 to 133)"},
        BrokenCase{"SectionEndPastBlock",
                   [] {
                       return Patch(Worked(), 32, {60, 0, 0, 0});
                   },
                   32, Severity::kError,
                   "section end offset 60 lies outside its record (36 to 54)"},
        BrokenCase{"ReactionEndCutsText",
                   [] {
                       return Patch(Worked(), 40, {53, 0, 0, 0});
                   },
                   44, Severity::kError, "text runs past the end of its record at 53"},
        BrokenCase{"ReactionsDoNotTileSection",
                   [] {
                       return Patch(Worked(), 40, {53, 0, 0, 0});
                   },
                   53, Severity::kError,
                   "reaction head is cut off by the end of its section at 54"},
        BrokenCase{"NegativePhraseCount",
                   [] {
                       return Patch(Worked(), 29, {0xFF, 0xFF});
                   },
                   29, Severity::kError,
                   "negative phrase count -1 is followed by entries the interpreter does not "
                   "read as such"},
        BrokenCase{"NegativeVerbCount",
                   [] {
                       return Patch(Worked(), 36, {0x00, 0x80});
                   },
                   36, Severity::kError,
                   "negative verb count -32768 is followed by entries the interpreter does not "
                   "read as such"},
        BrokenCase{"TableOffsetPastEnd",
                   [] {
                       return Patch(Worked(), 4, {200, 0, 0, 0});
                   },
                   4, Severity::kError, "location table offset 200 lies outside 22 to 133"},
        BrokenCase{"EmptyTable", [] { return Worked().substr(0, 22); }, 4, Severity::kError,
                   "location table holds no location"},
        BrokenCase{"Truncated", [] { return Worked().substr(0, 130); }, 54, Severity::kError,
                   "block end offset 133 lies outside its record (58 to 130)"},
        BrokenCase{"WrongMagic", [] { return "SCR4" + Worked().substr(4); }, 0, Severity::kError,
                   "magic is not \"SCR3\""},
        BrokenCase{"MissingGlobal",
                   [] {
                       return Patch(Worked(), 8, {9, 0});
                   },
                   8, Severity::kError, "global location 9 has no block"},
        BrokenCase{"DuplicateIdHidesStart",
                   [] {
                       return Patch(Worked(), 58, {0, 0});
                   },
                   10, Severity::kError, "start location 1 has no block"},
        BrokenCase{"DuplicateId",
                   [] {
                       return Patch(Worked(), 58, {0, 0});
                   },
                   54, Severity::kWarning,
                   "location id 0 is used by an earlier block; this block "
                   "is never used"},
        BrokenCase{"CapitalInPhrase", [] { return Patch(Worked(), 94, {0xCA}); }, 94,
                   Severity::kWarning,
                   "phrase \"Ключ\" holds a capital letter, which typed commands never do"},
        BrokenCase{"UnknownOpcode",
                   [] {
                       return Patch(Worked(), 125, {'Q', 'Q'});
                   },
                   125, Severity::kWarning,
                   "unknown statement code; the interpreter skips these two bytes"},
        BrokenCase{"NegativeFlag",
                   [] {
                       return Patch(Worked(), 125, {'C', 'F', 0, 0x80});
                   },
                   127, Severity::kError, "flag number -32768 is negative"}),
    [](const ::testing::TestParamInfo<BrokenCase>& param) {
        return std::string(param.param.name);
    });

// Game-wide problems, each in an otherwise sound game.
std::vector<std::string> Messages(const std::vector<tb::VerbGroup>& verbs,
                                  const tb::Scenario& scenario) {
    std::vector<std::string> out;
    for (const Finding& finding :
         CheckGame(tb::BuildCommands(verbs), tb::BuildScenario(scenario))) {
        out.push_back(std::string(finding.severity == Severity::kError ? "E " : "W ") +
                      finding.message);
    }
    return out;
}

TEST(CheckTest, SoundGameHasNoFindings) {
    EXPECT_TRUE(Messages(kVerbs, WorkedLayout()).empty());
}

TEST(CheckTest, VocabularyProblems) {
    std::vector<tb::VerbGroup> verbs = kVerbs;
    verbs[1].synonyms.push_back("Взять");
    verbs[2].synonyms = {"брать", " брать"};
    verbs.push_back({9, {"прыгать"}});
    verbs.erase(verbs.begin() + 3);  // verb 7 now has no synonym
    EXPECT_EQ(Messages(verbs, WorkedLayout()),
              (std::vector<std::string>{
                  "W synonym \"Взять\" holds a capital letter, which typed commands never do",
                  "W synonym \" брать\" begins or ends with a space, which typed commands never do",
                  "W no reaction lists verb 9 (synonym \"прыгать\")",
                  "W reaction to verb 7, which no synonym names",
              }));
}

TEST(CheckTest, JumpsCyclesAndFlags) {
    tb::Scenario scenario = WorkedLayout();
    scenario.locations.push_back({2, "Петля", {{{""}, {{{1}, {tb::Jump(3)}}}}}});
    scenario.locations.push_back(
        {3, "Петля2", {{{""}, {{{1}, {tb::If(6, {tb::Jump(4)}), tb::Jump(2)}}}}}});
    scenario.locations.push_back({4, "Кольцо", {{{""}, {{{1}, {tb::If(6, {tb::Jump(4)})}}}}}});
    scenario.locations.push_back({5, "Обрыв", {{{""}, {{{1}, {tb::Jump(77)}}}}}});
    EXPECT_EQ(Messages(kVerbs, scenario),
              (std::vector<std::string>{
                  "W flag 6 is tested but never set",
                  "E arrival jumps cycle without end through location 2",
                  "W flag 6 is tested but never set",
                  "W arrival jumps may cycle through location 4 unless flags break the cycle",
                  "W location 5 is never entered: it is not the start and no other location "
                  "jumps to it",
                  "E jump to location 77, which has no block",
              }));
}

TEST(CheckTest, RandomDamageNeverCrashes) {
    const std::string commands = tb::BuildCommands(kVerbs);
    const std::string scenario = Worked();
    std::uint32_t seed = 7;
    for (int run = 0; run < 3000; ++run) {
        std::string damaged = scenario;
        for (int i = 0; i < 1 + run % 4; ++i) {
            seed = seed * 1664525u + 1013904223u;
            damaged[4 + (seed >> 8) % (damaged.size() - 4)] = static_cast<char>(seed >> 24);
        }
        if (run % 7 == 0) {
            damaged.resize(4 + (seed >> 4) % (damaged.size() - 4));
        }
        const auto findings = CheckGame(commands, damaged);
        for (const Finding& finding : findings) {
            const std::size_t size =
                finding.file == FileKind::kScenario ? damaged.size() : commands.size();
            EXPECT_LE(finding.where.offset, static_cast<std::int32_t>(size));
        }
    }
}

}  // namespace
}  // namespace narravox::ply
