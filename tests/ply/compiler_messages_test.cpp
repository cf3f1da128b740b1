// SPDX-License-Identifier: MIT
// What the compiler tells an author: one clear message per mistake, where it is, with what to
// do about it, and nothing that follows from it alone.
#include <gtest/gtest.h>

#include <sstream>

#include "compiler.h"
#include "cp1251.h"
#include "ply_runs.h"
#include "support/game_builder.h"
#include "tool.h"

namespace narravox::ply {
namespace {

namespace tb = narravox::testing;

// The game every case starts from; its location is on line 4.
constexpr const char* kHeader =
    "start Двор\n"
    "arrival смотреть\n"
    "verb смотреть: смотреть\n";

const std::string kGame = std::string(kHeader) +
                          "location Двор \"Старый двор\"\n"
                          "    object:\n"
                          "        on смотреть:\n"
                          "            text \"Вы во дворе.\"\n";

// The findings of compiling `source` that hold `words`.
std::vector<std::string> MessagesWith(std::string_view source, std::string_view words) {
    std::vector<std::string> out;
    for (const std::string& message : Messages(source)) {
        if (message.find(words) != std::string::npos) {
            out.push_back(message);
        }
    }
    return out;
}

// A reaction of the location Двор with these statements, starting on line 8.
std::string WithStatements(std::string_view statements) {
    return std::string(kHeader) + "location Двор\n    object:\n        on смотреть:\n" +
           std::string(statements);
}

std::string Cp1251(std::string_view utf8) {
    return Utf8ToCp1251(utf8).value();
}

// --- Sources that are not UTF-8 -----------------------------------------------------------------

TEST(SourceEncodingTest, ACodePage1251SourceIsOneErrorAtItsFirstCyrillicByte) {
    const std::string source = Cp1251("# a comment\n" + kGame);
    EXPECT_EQ(Messages(source),
              (std::vector<std::string>{
                  "g.nvx:2:7: error: the file is not UTF-8 but reads as code page 1251 (Windows "
                  "Cyrillic): save it as UTF-8, or build with '--encoding cp1251'"}));
}

TEST(SourceEncodingTest, ACodePage1251SourceCompilesWhenSaidSo) {
    const CompileResult utf8 = Compile(kGame);
    const CompileResult cp1251 = Compile(Cp1251(kGame), SourceEncoding::kCp1251);
    ASSERT_TRUE(utf8.ok);
    ASSERT_TRUE(cp1251.ok);
    EXPECT_EQ(cp1251.commands, utf8.commands);
    EXPECT_EQ(cp1251.scenario, utf8.scenario);
    // Positions are those of the file as written: one byte, one column.
    EXPECT_EQ(Messages(Cp1251(WithStatements("            jump Луна\n")), SourceEncoding::kCp1251),
              (std::vector<std::string>{"g.nvx:7:18: error: unknown location 'Луна'"}));
}

TEST(SourceEncodingTest, AUtf8SourceSaidToBeCodePage1251IsRefused) {
    EXPECT_EQ(Messages("# ok\n" + kGame, SourceEncoding::kCp1251),
              (std::vector<std::string>{"g.nvx:2:7: error: the file is UTF-8 already: build it "
                                        "without '--encoding cp1251'"}));
    // Plain ASCII is the same in both.
    EXPECT_FALSE(Compile("start A\n", SourceEncoding::kCp1251).findings.empty());
    EXPECT_NE(Messages("start A\n", SourceEncoding::kCp1251).front().find("no arrival verb"),
              std::string::npos);
}

TEST(SourceEncodingTest, SlightlyBrokenUtf8KeepsItsPreciseErrors) {
    // A stray byte, a sequence cut short, and one word pasted from a code page 1251 file into an
    // otherwise UTF-8 source: each bad byte where it is, and nothing about code pages.
    const std::string source = WithStatements(
        "            text \"Слово \xFF\"\n"
        "            text \"Сл\xD0\"\n"
        "            text \"Слово " +
        Cp1251("да") + " и ещё одно слово\"\n");
    EXPECT_EQ(Messages(source), (std::vector<std::string>{
                                    "g.nvx:7:25: error: invalid UTF-8",
                                    "g.nvx:8:21: error: invalid UTF-8",
                                    "g.nvx:9:25: error: invalid UTF-8",
                                    "g.nvx:9:26: error: invalid UTF-8",
                                }));
}

TEST(SourceEncodingTest, AByteOrderMarkIsSkippedWithoutMovingColumns) {
    const CompileResult plain = Compile(kGame);
    const CompileResult marked = Compile("\xEF\xBB\xBF" + kGame);
    ASSERT_TRUE(marked.ok);
    EXPECT_EQ(marked.scenario, plain.scenario);
    const std::vector<std::string> first_line = Messages("\xEF\xBB\xBFstart @\n");
    EXPECT_NE(std::find(first_line.begin(), first_line.end(),
                        "g.nvx:1:7: error: unexpected character '@'"),
              first_line.end())
        << ::testing::PrintToString(first_line);
    // Anywhere else it is an invisible character like any other.
    EXPECT_EQ(Messages(kGame + "\xEF\xBB\xBF# joined from another file\n"),
              (std::vector<std::string>{"g.nvx:8:1: error: unexpected character U+FEFF (byte order "
                                        "mark); it is invisible: delete it"}));
}

TEST(SourceEncodingTest, BuildAndPublishTakeTheEncoding) {
    const tb::TempFolder folder;
    tb::WriteFile(folder / "game.nvx", Cp1251(kGame));
    tb::WriteFile(folder / "player.html",
                  "<html><head><title>Narravox</title></head><body><div id=\"loading\" "
                  "role=\"status\">Narravox</div><!--narravox-game--><script>x</script>"
                  "</body></html>");
    std::string err;
    const auto run = [&](const std::vector<std::string>& args) {
        const Answer answer = RunPly(args);
        err = answer.err;
        return answer.status;
    };
    EXPECT_EQ(run({"build", folder / "game.nvx", "-o", folder / "plain"}), 1);
    EXPECT_EQ(err, folder / "game.nvx" +
                             ":1:7: error: the file is not UTF-8 but reads as code page 1251 "
                             "(Windows Cyrillic): save it as UTF-8, or build with '--encoding "
                             "cp1251'\n1 error(s), 0 warning(s)\n");
    EXPECT_EQ(run({"build", folder / "game.nvx", "--encoding", "cp1251", "-o", folder / "out"}), 0)
        << err;
    EXPECT_EQ(tb::ReadFile(folder / "out/Scenario.ply"), Compile(kGame).scenario);
    EXPECT_EQ(run({"publish", folder / "game.nvx", "-o", folder / "page.html", "--encoding",
                   "CP1251", "--template", folder / "player.html"}),
              0)
        << err;
    EXPECT_EQ(run({"build", folder / "game.nvx", "--encoding", "koi8-r", "-o", folder / "x"}), 2);
    EXPECT_EQ(err, "narravox-ply: --encoding takes utf-8 or cp1251\n");
    EXPECT_EQ(run({"build", folder / "game.nvx", "-o", folder / "x", "--encoding"}), 2);
}

// --- Characters that cannot be seen or that look like others -------------------------------------

TEST(CharacterTest, InvisibleAndLookAlikeCharactersAreShownByCodeAndName) {
    // No-break space between keyword and name, zero-width space and non-breaking hyphen inside
    // names: each one error, and the line is read as it looks.
    const std::string source = std::string(kHeader) +
                               "location\u00A0Двор\n"
                               "    object:\n"
                               "        on смотреть:\n"
                               "            set дверь\u2011открыта\n"
                               "            if двер\u200Bь-открыта:\n"
                               "                text \"Тире\u2011\u00A0нет\"\n";
    const CompileResult result = Compile(source);
    std::vector<std::string> messages;
    for (const Finding& finding : result.findings) {
        messages.push_back(FormatFinding("g.nvx", finding));
    }
    EXPECT_EQ(messages,
              (std::vector<std::string>{
                  "g.nvx:4:9: error: unexpected character U+00A0 (no-break space); type a plain "
                  "space",
                  "g.nvx:7:22: error: unexpected character '\u2011' (U+2011, non-breaking "
                  "hyphen); type a plain '-'",
                  "g.nvx:8:20: error: unexpected character U+200B (zero-width space); it is "
                  "invisible: delete it",
                  "g.nvx:9:27: error: character '\u2011' (U+2011, non-breaking hyphen) is not in "
                  "code page 1251",
              }));
    // Both spellings are the one flag the author meant.
    EXPECT_EQ(result.flag_numbers, (std::map<std::string, long long>{{"дверь-открыта", 0}}));
    EXPECT_EQ(Messages(WithStatements("            text \"a\tb\"\n")),
              (std::vector<std::string>{
                  "g.nvx:7:20: error: control character U+0009 (tab) in a text; use \\t"}));
}

TEST(CharacterTest, ANameMixingLatinAndCyrillicIsWarnedAboutOnceWhereItFirstStands) {
    const std::string source = WithStatements(
        "            set дверь_открытa\n"
        "            if дверь_открытa:\n"
        "                set Kлюч_на_cтoлe\n"
        "            if Kлюч_на_cтoлe:\n"
        "                set Hallо\n");
    const std::vector<std::string> messages = MessagesWith(source, "mixes");
    EXPECT_EQ(messages, (std::vector<std::string>{
                            "g.nvx:7:17: warning: name 'дверь_открытa' mixes Cyrillic and Latin "
                            "letters: Latin 'a' (U+0061)",
                            "g.nvx:9:21: warning: name 'Kлюч_на_cтoлe' mixes Cyrillic and Latin "
                            "letters: Latin 'K' (U+004B), 'c' (U+0063), 'o' (U+006F), 'e' "
                            "(U+0065)",
                            "g.nvx:11:21: warning: name 'Hallо' mixes Cyrillic and Latin letters: "
                            "Cyrillic 'о' (U+043E)",
                        }))
        << ::testing::PrintToString(messages);
}

TEST(CharacterTest, AnUnknownNameThatOnlyLooksLikeAKnownOneSaysWhichLetterDiffers) {
    const std::string source = WithStatements("            jump Зaл\n") +
                               "location Зал\n    object:\n        on смотреть:\n"
                               "            jump Двор\n";
    EXPECT_EQ(Messages(source),
              (std::vector<std::string>{"g.nvx:7:18: error: unknown location 'Зaл'; it has a Latin "
                                        "'a' (U+0061); did you mean 'Зал'?"}));
    // The other way round: the declaration is the one with the Latin letter.
    const std::string reversed = WithStatements("            jump Зал\n") +
                                 "location Зaл\n    object:\n        on смотреть:\n"
                                 "            jump Двор\n";
    EXPECT_EQ(Messages(reversed),
              (std::vector<std::string>{
                  "g.nvx:7:18: error: unknown location 'Зал'; it has a Cyrillic 'а' (U+0430); "
                  "did you mean 'Зaл'?",
                  "g.nvx:8:10: warning: name 'Зaл' mixes Cyrillic and Latin letters: Latin 'a' "
                  "(U+0061)",
              }));
}

// --- A broken declaration is one error, not one per use ------------------------------------------

struct FollowOnCase {
    const char* name;
    std::string declaration;  // on line 8, after a jump to the location it means to declare
    std::vector<std::string> expected;
    std::string target = "Касса";
};

void PrintTo(const FollowOnCase& c, std::ostream* out) {
    *out << c.name;
}

class FollowOnTest : public ::testing::TestWithParam<FollowOnCase> {};

TEST_P(FollowOnTest, OnlyTheCauseIsReported) {
    const std::string source = std::string(kHeader) +
                               "location Двор\n"
                               "    object:\n"
                               "        on смотреть:\n"
                               "            jump " +
                               GetParam().target + "\n" + GetParam().declaration +
                               "    object:\n"
                               "        on смотреть:\n"
                               "            jump Двор\n";
    EXPECT_EQ(Messages(source), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    EachBrokenDeclaration, FollowOnTest,
    ::testing::Values(
        FollowOnCase{"MisspeltKeyword",
                     "locaton Касса\n",
                     {"g.nvx:8:1: error: unknown keyword 'locaton'; did you mean 'location'?"}},
        FollowOnCase{"UnknownKeyword",
                     "комната Касса\n",
                     {"g.nvx:8:1: error: expected info, start, global, arrival, verb, flag or "
                      "location, found 'комната'"}},
        FollowOnCase{"DeclaredTwice",
                     "location Касса = 3\n    object:\n        on смотреть:\n"
                     "            pass\nlocation Касса = 4\n",
                     {"g.nvx:12:10: error: location 'Касса' is declared twice (first at 8:10)"}},
        FollowOnCase{"ReservedWord",
                     "location text\n",
                     {"g.nvx:8:10: error: 'text' is a reserved word and cannot name a location"},
                     "text"},
        FollowOnCase{"Indented",
                     "  location Касса\n",
                     {"g.nvx:8:3: error: 'location' starts a line of its own, at column 1: "
                      "remove the indentation"}},
        FollowOnCase{"IndentedInABlock",
                     "    location Касса\n",
                     {"g.nvx:8:5: error: 'location' starts a line of its own, at column 1: "
                      "remove the indentation"}},
        FollowOnCase{"UnquotedTitle",
                     "location Касса Главный зал 2\n",
                     {"g.nvx:8:16: error: a title is written in double quotes: \"Главный зал "
                      "2\""}},
        FollowOnCase{"BadNumber",
                     "location Касса = x\n",
                     {"g.nvx:8:18: error: expected a number after '='"}}),
    [](const ::testing::TestParamInfo<FollowOnCase>& param) {
        return std::string(param.param.name);
    });

TEST(BrokenDeclarationTest, VerbsDeclaredBrokenlyAreNotUnknownWhereListed) {
    const std::string source = std::string(kHeader) +
                               "location Двор\n    object:\n        on смотреть, clear, идти:\n"
                               "            pass\n"
                               "verb clear: очистить\n"
                               "verb идти = : идти\n";
    EXPECT_EQ(Messages(source), (std::vector<std::string>{
                                    "g.nvx:8:6: error: 'clear' is a reserved word and cannot "
                                    "name a verb",
                                    "g.nvx:9:13: error: expected a number after '='",
                                }));
    // A reserved word used where no declaration tried it is its own error, where it stands.
    EXPECT_EQ(Messages(WithStatements("            jump if\n")),
              (std::vector<std::string>{
                  "g.nvx:7:18: error: 'if' is a reserved word and cannot name a location"}));
}

// --- Pointers to what was meant ----------------------------------------------------------------

TEST(SuggestionTest, DeclaredTwiceSaysWhereTheFirstOneIs) {
    // The first in the file is the first, whichever of the two has a number.
    EXPECT_EQ(Messages(kGame + "verb смотреть = 5: глядеть\nflag a, b,\n     a\n"),
              (std::vector<std::string>{
                  "g.nvx:8:6: error: verb 'смотреть' is declared twice (first at 3:6)",
                  "g.nvx:10:6: error: flag 'a' is declared twice (first at 9:6)",
              }));
}

TEST(SuggestionTest, AnUnknownNameSuggestsTheOneCloseToIt) {
    const std::string locations = "location Касса\nlocation Сад\nlocation Зад\nlocation Погреб\n";
    const auto unknown = [&](const std::string& statements) {
        return Messages(WithStatements(statements) + locations).at(0);
    };
    EXPECT_EQ(unknown("            jump Каса\n"),
              "g.nvx:7:18: error: unknown location 'Каса'; did you mean 'Касса'?");
    EXPECT_EQ(unknown("            jump Пгореб\n"),
              "g.nvx:7:18: error: unknown location 'Пгореб'; did you mean 'Погреб'?");
    EXPECT_EQ(unknown("            jump Пгрб\n"), "g.nvx:7:18: error: unknown location 'Пгрб'");
    // Short names: one slip at most, and not when two names are as close.
    EXPECT_EQ(unknown("            jump Кас\n"), "g.nvx:7:18: error: unknown location 'Кас'");
    EXPECT_EQ(unknown("            jump Рад\n"), "g.nvx:7:18: error: unknown location 'Рад'");
    EXPECT_EQ(unknown("            jump Сд\n"),
              "g.nvx:7:18: error: unknown location 'Сд'; did you mean 'Сад'?");
    EXPECT_EQ(unknown("            jump Я\n"), "g.nvx:7:18: error: unknown location 'Я'");
    EXPECT_EQ(Messages(kGame + "    object:\n        on смотрет:\n            pass\n").at(0),
              "g.nvx:9:12: error: unknown verb 'смотрет'; did you mean 'смотреть'?");
}

TEST(SuggestionTest, MistypedKeywordsAreNamed) {
    EXPECT_EQ(Messages(WithStatements("            jmup Двор\n")),
              (std::vector<std::string>{
                  "g.nvx:7:13: error: unknown statement 'jmup'; did you mean 'jump'?"}));
    EXPECT_EQ(Messages(std::string(kHeader) + "location Двор\n    objet:\n"),
              (std::vector<std::string>{
                  "g.nvx:5:5: error: expected 'object' in a location; did you mean 'object'?"}));
    EXPECT_EQ(Messages(kGame + "arival смотреть\n"),
              (std::vector<std::string>{
                  "g.nvx:8:1: error: unknown keyword 'arival'; did you mean 'arrival'?"}));
    // The line was the game's only 'start' or 'arrival': that one is missing is no news.
    EXPECT_EQ(Messages("strat Двор\narrival смотреть\nverb смотреть: о\nlocation Двор\n"),
              (std::vector<std::string>{
                  "g.nvx:1:1: error: unknown keyword 'strat'; did you mean 'start'?"}));
    EXPECT_EQ(Messages("start Двор\narrival \"смотреть\"\nverb смотреть: о\nlocation Двор\n"),
              (std::vector<std::string>{"g.nvx:2:9: error: expected a verb name, found text"}));
}

// Set and tested under the same slip, the flag works, but not as the one declared.
TEST(SuggestionTest, AFlagMissingFromTheDeclaredOnesIsWarnedAboutWhenCloseToOne) {
    const std::string source =
        "flag дверь_открыта, ключ\n" + WithStatements(
                                           "            set дверь_открта\n"
                                           "            if дверь_открта:\n"
                                           "                set прочее\n"
                                           "            if ключ:\n"
                                           "                clear ключ\n"
                                           "            if прочее:\n"
                                           "                clear дверь_открта\n");
    const std::vector<std::string> warnings = MessagesWith(source, "not declared");
    EXPECT_EQ(warnings, (std::vector<std::string>{
                            "g.nvx:8:17: warning: flag 'дверь_открта' is not declared; did you "
                            "mean 'дверь_открыта'?"}));
}

TEST(SuggestionTest, TypographicQuotesAreReadAsTextsWithOneError) {
    const std::string source = WithStatements(
        "            text «Ёлка»\n"
        "            text “Ёлка”\n"
        "            text „Ёлка“\n");
    const CompileResult result = Compile(source);
    std::vector<std::string> messages;
    for (const Finding& finding : result.findings) {
        messages.push_back(FormatFinding("g.nvx", finding));
    }
    EXPECT_EQ(messages,
              (std::vector<std::string>{
                  "g.nvx:7:18: error: a text in typographic quotes '«' (U+00AB, left "
                  "guillemet); write texts in straight quotes \"...\"",
                  "g.nvx:8:18: error: a text in typographic quotes '“' (U+201C, left double "
                  "quote); write texts in straight quotes \"...\"",
                  "g.nvx:9:18: error: a text in typographic quotes '„' (U+201E, low double "
                  "quote); write texts in straight quotes \"...\"",
              }));
    EXPECT_EQ(Messages(WithStatements("            text «Ёлка\n")).back(),
              "g.nvx:7:18: error: unterminated text: the closing '»' (U+00BB, right guillemet) "
              "is missing");
    EXPECT_EQ(Messages(WithStatements("            text Ёлка»\n")).at(1),
              "g.nvx:7:22: error: unexpected character '»' (U+00BB, right guillemet); write "
              "texts in straight quotes \"...\"");
    // Inside a text they are letters of code page 1251 like any other.
    EXPECT_TRUE(Compile(WithStatements("            text \"«Ёлка» „и“ “ель”\"\n")).ok);
}

TEST(SuggestionTest, AQuoteThatEndsATextEarlySuggestsEscapingIt) {
    const std::string expected =
        "g.nvx:7:29: error: this '\"' ends the text; write a quote inside a text as \\\"";
    EXPECT_EQ(Messages(WithStatements("            text \"Он сказал \"привет\" и ушёл\"\n")),
              (std::vector<std::string>{expected}));
    EXPECT_EQ(Messages(WithStatements("            text \"Он сказал \"привет\"\n")),
              (std::vector<std::string>{expected}));
    EXPECT_EQ(Messages(WithStatements("            text \"Он сказал:\"\n"
                                      "                 \"Он сказал \"да\"\"\n")),
              (std::vector<std::string>{"g.nvx:8:29: error: this '\"' ends the text; write a "
                                        "quote inside a text as \\\""}));
    // Lists of quoted phrases are no such thing.
    EXPECT_TRUE(Compile(kGame + "    object \"ключ\", \"ржавый ключ\":\n        on смотреть:\n"
                                "            text \"\\\"Ключ\\\"\"\n")
                    .ok);
}

// --- build's summary -----------------------------------------------------------------------------

TEST(BuildSummaryTest, BuildCountsErrorsAndWarningsAfterThem) {
    const tb::TempFolder folder;
    std::ostringstream out;
    std::ostringstream err;
    const auto build = [&](const std::string& name, const std::string& source) {
        tb::WriteFile(folder / name, source);
        out.str("");
        err.str("");
        return RunTool({"build", folder / name, "-o", folder / "out"}, out, err);
    };
    ASSERT_EQ(build("clean.nvx", kGame), 0) << err.str();
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(build("errors.nvx", WithStatements("            jump Луна\n            jump Лес\n")),
              1);
    EXPECT_EQ(err.str(), folder / "errors.nvx" + ":7:18: error: unknown location 'Луна'\n" +
                             folder / "errors.nvx" + ":8:18: error: unknown location 'Лес'\n" +
                             "2 error(s), 0 warning(s)\n");
    EXPECT_EQ(build("warning.nvx", kGame + "    object:\n        on смотреть:\n"
                                           "            set Hallо\n"),
              0);
    const std::string text = err.str();
    EXPECT_NE(text.find("warning.nvx:10:17: warning: name 'Hallо' mixes"), std::string::npos)
        << text;
    EXPECT_EQ(text.substr(text.rfind('\n', text.size() - 2) + 1),
              "0 error(s), " + std::to_string(std::count(text.begin(), text.end(), '\n') - 1) +
                  " warning(s)\n")
        << text;
    EXPECT_EQ(out.str(), "");
}

// --- Arbitrary bytes ---------------------------------------------------------------------------

TEST(CompileMessagesTest, NewCharacterRulesHoldOnShuffledInput) {
    const std::vector<std::string> pieces = {"location ", "jump ",
                                             "text ",     "\"",
                                             "«",         "»",
                                             "“",         "„",
                                             "\u00A0",    "\u200B",
                                             "\u2011",    "\xEF\xBB\xBF",
                                             "\xD0",      "\xC4\xE2\xEE\xF0",
                                             "Зaл",       "Зал",
                                             "\n",        "    ",
                                             ":",         "verb ",
                                             "on ",       "object",
                                             "#"};
    std::uint32_t seed = 2024;
    for (int run = 0; run < 300; ++run) {
        std::string source;
        for (int i = 0; i < 50; ++i) {
            seed = seed * 1103515245u + 12345u;
            source += pieces[(seed >> 16) % pieces.size()];
        }
        for (const SourceEncoding encoding : {SourceEncoding::kUtf8, SourceEncoding::kCp1251}) {
            const CompileResult result = Compile(source, encoding);
            for (const Finding& finding : result.findings) {
                // Every finding points into the source.
                EXPECT_GE(finding.where.line, 1) << finding.message;
                EXPECT_GE(finding.where.column, 1) << finding.message;
            }
        }
    }
}

}  // namespace
}  // namespace narravox::ply
