// SPDX-License-Identifier: MIT
// The compiler: what it writes, and what it says about mistakes.
#include "compiler.h"

#include <gtest/gtest.h>

#include <ostream>

#include "ply_runs.h"
#include "support/game_builder.h"

namespace narravox::ply {
namespace {

namespace tb = narravox::testing;

// A minimal valid game that cases extend.
constexpr const char* kHeader =
    "start Двор\n"
    "arrival смотреть\n"
    "verb смотреть: смотреть, о\n"
    "verb взять: взять\n";

struct ErrorCase {
    const char* name;
    std::string source;
    std::string expected;  // one of the findings, whole
};

void PrintTo(const ErrorCase& c, std::ostream* out) {
    *out << c.name;
}

class CompileErrorTest : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(CompileErrorTest, ReportsPositionAndRefusesToWrite) {
    const CompileResult result = Compile(GetParam().source);
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.commands.empty());
    std::vector<std::string> messages;
    for (const Finding& finding : result.findings) {
        messages.push_back(FormatFinding("g.nvx", finding));
    }
    EXPECT_NE(std::find(messages.begin(), messages.end(), GetParam().expected), messages.end())
        << ::testing::PrintToString(messages);
}

const std::string kRoom = "location Двор\n    object:\n        on смотреть:\n";

INSTANTIATE_TEST_SUITE_P(
    EachKindOfMistake, CompileErrorTest,
    ::testing::Values(
        ErrorCase{"NotInCodePage",
                  std::string(kHeader) + "info \"снег ☃\"\n" + kRoom + "            pass\n",
                  "g.nvx:5:12: error: character '☃' (U+2603) is not in code page 1251"},
        ErrorCase{"Unterminated", std::string(kHeader) + kRoom + "            text \"оборван\n",
                  "g.nvx:8:18: error: unterminated text: the closing '\"' is missing"},
        ErrorCase{"BadEscape", std::string(kHeader) + kRoom + "            text \"a\\qb\"\n",
                  "g.nvx:8:20: error: unknown escape \\'q'; use \\n, \\t, \\\", \\\\ or \\xHH"},
        ErrorCase{"ZeroByte", std::string(kHeader) + kRoom + "            text \"a\\x00\"\n",
                  "g.nvx:8:20: error: \\x00 cannot stand in a text: it ends texts"},
        ErrorCase{"StrayCharacter", std::string(kHeader) + "start @\n",
                  "g.nvx:5:7: error: unexpected character '@'"},
        ErrorCase{"InvalidUtf8", std::string(kHeader) + "# \xFF\n" + kRoom + "            pass\n",
                  "g.nvx:5:3: error: invalid UTF-8"},
        ErrorCase{"Tab", std::string(kHeader) + "location Двор\n\tobject:\n",
                  "g.nvx:6:1: error: tab in indentation; indent with spaces"},
        ErrorCase{"UnknownLocation", std::string(kHeader) + kRoom + "            jump Луна\n",
                  "g.nvx:8:18: error: unknown location 'Луна'"},
        ErrorCase{"UnknownVerb",
                  std::string(kHeader) + kRoom + "            pass\n" +
                      "        on прыгнуть:\n            pass\n",
                  "g.nvx:9:12: error: unknown verb 'прыгнуть'"},
        ErrorCase{"VerbTwice",
                  std::string(kHeader) + "verb взять: брать\n" + kRoom + "            pass\n",
                  "g.nvx:5:6: error: verb 'взять' is declared twice (first at 4:6)"},
        ErrorCase{"VerbNumberOutOfRange",
                  "verb x = 40000: икс\n" + std::string(kHeader) + kRoom + "            pass\n",
                  "g.nvx:1:10: error: verb number 40000 is out of range -32768 to 32767"},
        // Numbers just past either end of each range; both ends themselves compile (below).
        ErrorCase{"VerbNumberJustBelowRange",
                  "verb x = -32769: икс\n" + std::string(kHeader) + kRoom + "            pass\n",
                  "g.nvx:1:10: error: verb number -32769 is out of range -32768 to 32767"},
        ErrorCase{"VerbNumberJustAboveRange",
                  "verb x = 32768: икс\n" + std::string(kHeader) + kRoom + "            pass\n",
                  "g.nvx:1:10: error: verb number 32768 is out of range -32768 to 32767"},
        ErrorCase{"LocationNumberJustBelowRange",
                  std::string(kHeader) + "location Сад = -1\n" + kRoom + "            pass\n",
                  "g.nvx:5:16: error: location number -1 is out of range 0 to 65535"},
        ErrorCase{"LocationNumberJustAboveRange",
                  std::string(kHeader) + "location Сад = 65536\n" + kRoom + "            pass\n",
                  "g.nvx:5:16: error: location number 65536 is out of range 0 to 65535"},
        ErrorCase{"FlagNumberJustBelowRange",
                  std::string(kHeader) + "flag f = -1\n" + kRoom + "            pass\n",
                  "g.nvx:5:10: error: flag number -1 is out of range 0 to 32767"},
        ErrorCase{"FlagNumberJustAboveRange",
                  std::string(kHeader) + "flag f = 32768\n" + kRoom + "            pass\n",
                  "g.nvx:5:10: error: flag number 32768 is out of range 0 to 32767"},
        ErrorCase{"LocationNumberTaken",
                  std::string(kHeader) + "location Сад = 5\nlocation Луг = 5\n" + kRoom +
                      "            pass\n",
                  "g.nvx:6:16: error: location number 5 is already given to 'Сад'"},
        ErrorCase{"FlagOutOfRange",
                  std::string(kHeader) + "flag f = 40000\n" + kRoom + "            pass\n",
                  "g.nvx:5:10: error: flag number 40000 is out of range 0 to 32767"},
        ErrorCase{"ReservedName", std::string(kHeader) + kRoom + "            set not\n",
                  "g.nvx:8:17: error: 'not' is a reserved word and cannot name a flag"},
        ErrorCase{"MissingBlock", std::string(kHeader) + kRoom,
                  "g.nvx:7:9: error: expected statements indented under 'on' (write 'pass' for "
                  "none)"},
        ErrorCase{"ElseWithoutIf", std::string(kHeader) + kRoom + "            else:\n",
                  "g.nvx:8:13: error: 'else' without an 'if' just above it"},
        ErrorCase{"BadIndent",
                  std::string(kHeader) + kRoom + "            pass\n" + "          pass\n",
                  "g.nvx:9:11: error: indentation matches no line above"},
        ErrorCase{"UnknownStatement", std::string(kHeader) + kRoom + "            print \"x\"\n",
                  "g.nvx:8:13: error: unknown statement 'print'"},
        ErrorCase{"CenterWithoutMode", std::string(kHeader) + kRoom + "            center\n",
                  "g.nvx:8:19: error: expected 'on' or 'off' after 'center'"},
        ErrorCase{"MissingColon", std::string(kHeader) + "location Двор\n    object ключ\n",
                  "g.nvx:6:5: error: expected ':' after the phrases"},
        ErrorCase{"ListEndsInComma",
                  std::string(kHeader) + "verb идти: идти,:\n" + kRoom + "            pass\n",
                  "g.nvx:5:17: error: expected another item after ','"},
        ErrorCase{"NoStart", "arrival смотреть\nverb смотреть: о\n",
                  "g.nvx:1:1: error: no start location: add 'start' with a location's name"},
        ErrorCase{"EndlessArrival",
                  std::string(kHeader) + kRoom + "            jump Сад\n" +
                      "location Сад\n    object:\n        on смотреть:\n" +
                      "            jump Двор\n",
                  "g.nvx:12:18: error: arrival jumps cycle without end through location Двор"},
        ErrorCase{"TooDeep",
                  [] {
                      std::string source = std::string(kHeader) + kRoom;
                      for (int depth = 0; depth < 70; ++depth) {
                          source += std::string(12 + 2 * depth, ' ') + "if f:\n";
                      }
                      return source + std::string(12 + 140, ' ') + "pass\n";
                  }(),
                  "g.nvx:72:141: error: conditions nested deeper than 64 levels"}),
    [](const ::testing::TestParamInfo<ErrorCase>& param) { return std::string(param.param.name); });

TEST(CompileTest, ReportsEveryMistakeInOneRunInSourceOrder) {
    const std::string source = std::string(kHeader) +
                               "location Двор\n"
                               "    object:\n"
                               "        on смотреть:\n"
                               "            jump Луна\n"
                               "            text \"ok ☃\"\n"
                               "        on летать:\n"
                               "            set\n";
    EXPECT_EQ(Messages(source), (std::vector<std::string>{
                                    "g.nvx:8:18: error: unknown location 'Луна'",
                                    "g.nvx:9:22: error: character '☃' (U+2603) is not in code page 1251",
                                    "g.nvx:10:12: error: unknown verb 'летать'",
                                    "g.nvx:11:16: error: expected a flag name",
                                }));
}

TEST(CompileTest, WarnsAboutWhatCanNeverHappenButStillWrites) {
    const std::string source =
        "start Двор\narrival смотреть\n"
        "verb смотреть: смотреть, \"Осм\", \"ёж\"\n"
        "verb прыгать: прыгать\n"
        "location Двор\n"
        "    object:\n"
        "        on смотреть:\n"
        "            if открыто:\n"
        "                pass\n"
        "    object \"Ключ\", \"два  слова\":\n"
        "        on смотреть:\n"
        "            pass\n";
    const CompileResult result = Compile(source);
    EXPECT_TRUE(result.ok);
    std::vector<std::string> messages;
    for (const Finding& finding : result.findings) {
        messages.push_back(FormatFinding("g.nvx", finding));
    }
    EXPECT_EQ(messages,
              (std::vector<std::string>{
                  "g.nvx:3:26: warning: synonym \"Осм\" holds a capital letter, which typed "
                  "commands never do",
                  "g.nvx:3:33: warning: synonym \"ёж\" holds \"ё\", which typed commands never do",
                  "g.nvx:4:6: warning: no reaction lists verb прыгать (synonym \"прыгать\")",
                  "g.nvx:8:16: warning: flag открыто is tested but never set",
                  "g.nvx:10:12: warning: phrase \"Ключ\" holds a capital letter, which typed "
                  "commands never do",
                  "g.nvx:10:20: warning: phrase \"два  слова\" holds two spaces in a row, which "
                  "typed commands never do",
              }));
}

// Verb -1 is what the interpreter answers for an unknown verb. A game may still use it as its
// arrival verb, and a dump of such a game must compile, so it is a warning, not an error.
TEST(CompileTest, VerbMinusOneIsAllowedWithAWarning) {
    const CompileResult result = Compile(
        "start Двор\narrival войти\nverb войти = -1: войти\n"
        "location Двор\n    object:\n        on войти:\n            text \"Вы вошли.\"\n");
    ASSERT_TRUE(result.ok);
    ASSERT_FALSE(result.findings.empty());
    EXPECT_EQ(FormatFinding("g.nvx", result.findings.front()),
              "g.nvx:3:14: warning: verb number -1 is the interpreter's answer for an unknown "
              "verb: typed commands never reach its reactions, only an arrival verb of -1 does");
    EXPECT_EQ(result.verb_numbers.at("войти"), -1);
    // The arrival verb is stored as -1 at offset 12 of the scenario.
    ASSERT_GE(result.scenario.size(), 14u);
    EXPECT_EQ(static_cast<unsigned char>(result.scenario[12]) ^ 12, 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(result.scenario[13]) ^ 13, 0xFF);
}

TEST(CompileTest, HostileInputNeverCrashes) {
    // Fragments of the language shuffled into nonsense: every run must end with findings.
    const std::vector<std::string> pieces = {"location", "object", "on",    ":",           ",",
                                             "\"",       "if",     "else:", "\n",          "    ",
                                             "\t",       "=",      "-1",    "99999999999", "jump",
                                             "text \"",  "\\x",    "ё",     "☃",           "\xC3",
                                             "#",        "verb",   "flag"};
    std::uint32_t seed = 12345;
    for (int run = 0; run < 300; ++run) {
        std::string source;
        for (int i = 0; i < 60; ++i) {
            seed = seed * 1103515245u + 12345u;
            source += pieces[(seed >> 16) % pieces.size()];
        }
        const CompileResult result = Compile(source);
        EXPECT_FALSE(result.ok && result.scenario.empty());
    }
}

TEST(CompileTest, NumbersNamesInOrderAroundExplicitOnes) {
    const CompileResult result = Compile(
        "start А\narrival смотреть\nglobal Г\n"
        "verb смотреть: о\nverb взять = 1: взять\nverb идти: идти\n"
        "flag поздний = 0\n"
        "location Г\nlocation А = 7\nlocation Б\n"
        "location В\n    object:\n        on смотреть, взять, идти:\n"
        "            set ранний\n            if поздний:\n                set второй\n");
    ASSERT_TRUE(result.ok) << ::testing::PrintToString(Messages(""));
    EXPECT_EQ(result.verb_numbers,
              (std::map<std::string, long long>{{"взять", 1}, {"идти", 3}, {"смотреть", 2}}));
    EXPECT_EQ(result.location_numbers,
              (std::map<std::string, long long>{{"А", 7}, {"Б", 1}, {"В", 2}, {"Г", 0}}));
    EXPECT_EQ(result.flag_numbers,
              (std::map<std::string, long long>{{"второй", 2}, {"поздний", 0}, {"ранний", 1}}));
}

// Both ends of every range are numbers like any other: they compile without a finding, and
// the files hold them whole, high bytes and signs included.
TEST(CompileTest, TakesBothEndsOfEveryRange) {
    const CompileResult result = Compile(
        "global Низ\nstart Верх\narrival смотреть\n"
        "verb смотреть: смотреть\nverb нижний = -32768: низ\nverb верхний = 32767: верх\n"
        "flag ноль = 0, макс = 32767\n"
        "location Низ = 0\n    object:\n        on нижний:\n            set ноль\n"
        "            set макс\n"
        "location Верх = 65535\n    object:\n        on смотреть, верхний:\n"
        "            if макс:\n                clear ноль\n            jump Низ\n");
    std::vector<std::string> messages;
    for (const Finding& finding : result.findings) {
        messages.push_back(FormatFinding("g.nvx", finding));
    }
    // Only what the game does in play is wrong, not its numbers.
    EXPECT_EQ(messages, (std::vector<std::string>{
                            "g.nvx:11:17: warning: flag ноль is set but never tested, so setting "
                            "it changes nothing",
                            "g.nvx:18:18: warning: jump to the global location Низ: the player "
                            "is stuck there, and every command of a known verb that no global "
                            "reaction answers prints nothing",
                        }));
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.verb_numbers, (std::map<std::string, long long>{
                                       {"верхний", 32767}, {"нижний", -32768}, {"смотреть", 1}}));
    EXPECT_EQ(result.location_numbers,
              (std::map<std::string, long long>{{"Верх", 65535}, {"Низ", 0}}));
    EXPECT_EQ(result.flag_numbers,
              (std::map<std::string, long long>{{"макс", 32767}, {"ноль", 0}}));
    tb::Scenario expected;
    expected.global = 0;
    expected.start = 65535;
    expected.arrival = 1;
    expected.locations = {
        {0, "Низ", {{{""}, {{{-32768}, {tb::Set(0), tb::Set(32767)}}}}}},
        {65535,
         "Верх",
         {{{""}, {{{1, 32767}, {tb::If(32767, {tb::Clear(0)}), tb::Jump(0)}}}}}},
    };
    EXPECT_EQ(result.scenario, tb::BuildScenario(expected));
    EXPECT_EQ(result.commands,
              tb::BuildCommands({{1, {"смотреть"}}, {-32768, {"низ"}}, {32767, {"верх"}}}));
}

// The worked layout of the format, written in source, gives the very bytes of the test builder.
TEST(CompileTest, WritesTheSameBytesAsTheReferenceBuilder) {
    const CompileResult result = Compile(
        "info \"Пример\"\n     \"\"\n"
        "global Везде\nstart Двор\narrival смотреть\n"
        "verb смотреть = 1: осмотреться, \"осм\"\n"
        "verb взять = 3: взять\nverb брать = 4: брать\nverb помощь = 7: помощь\n"
        "flag f = 3\n"
        "location Везде = 0 \"\"\n    object:\n        on помощь:\n"
        "            text \"Справка\"\n"
        "location Двор = 1\n    object:\n        on смотреть:\n"
        "            clear screen\n            center on\n            text \"Двор\"\n"
        "            center off\n"
        "    object \"ключ\", \"ржавый ключ\":\n        on взять, брать:\n"
        "            if f:\n                text \"Открыто\"\n                clear f\n"
        "            else:\n                if not f:\n                    set f\n"
        "                jump Двор\n"
        "            clear flags\n");
    ASSERT_TRUE(result.ok);
    tb::Scenario expected;
    expected.global = 0;
    expected.start = 1;
    expected.arrival = 1;
    expected.info = "Пример\n";
    expected.locations = {
        {0, "", {{{""}, {{{7}, {tb::Text("Справка")}}}}}},
        {1,
         "Двор",
         {{{""}, {{{1}, {tb::ClearScreen(), tb::CenterOn(), tb::Text("Двор"), tb::CenterOff()}}}},
          {{"ключ", "ржавый ключ"},
           {{{3, 4},
             {tb::IfElse(3, {tb::Text("Открыто"), tb::Clear(3)},
                         {tb::IfElse(3, {}, {tb::Set(3)}), tb::Jump(1)}),
              tb::ClearAll()}}}}}},
    };
    EXPECT_EQ(result.scenario, tb::BuildScenario(expected));
    EXPECT_EQ(result.commands,
              tb::BuildCommands(
                  {{1, {"осмотреться", "осм"}}, {3, {"взять"}}, {4, {"брать"}}, {7, {"помощь"}}}));
}

}  // namespace
}  // namespace narravox::ply
