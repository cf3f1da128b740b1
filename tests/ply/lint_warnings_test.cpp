// SPDX-License-Identifier: MIT
// Warnings about what a game does in play that its author cannot have meant: jumps that move
// nobody or strand the player, arrivals nobody answers, words the player program takes for
// itself or a player cannot type, dead statements and flags, and --werror.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>

#include "compiler.h"
#include "support/game_builder.h"
#include "tool.h"

namespace narravox::ply {
namespace {

// Four lines every case starts with; the start location is the caller's.
constexpr const char* kHeader =
    "start Двор\n"
    "arrival смотреть\n"
    "verb смотреть: смотреть\n"
    "verb идти: идти\n";

// A start location that answers the arrival and nothing else.
constexpr const char* kYard =
    "location Двор\n"
    "    object:\n"
    "        on смотреть:\n"
    "            text \"Двор.\"\n";

std::vector<std::string> Messages(const std::vector<Finding>& findings,
                                  std::string_view file = "g.nvx") {
    std::vector<std::string> out;
    for (const Finding& finding : findings) {
        out.push_back(FormatFinding(file, finding));
    }
    return out;
}

struct WarningCase {
    const char* name;
    std::string source;
    std::string at;  // "line:column"
    std::vector<std::string> words;
};

void PrintTo(const WarningCase& c, std::ostream* out) {
    *out << c.name;
}

class LintWarningTest : public ::testing::TestWithParam<WarningCase> {};

// The game still compiles; one warning stands at the place and says what the player sees.
TEST_P(LintWarningTest, WarnsAtThePlaceWithWhatThePlayerSees) {
    const WarningCase& c = GetParam();
    const CompileResult result = Compile(c.source);
    ASSERT_TRUE(result.ok) << ::testing::PrintToString(Messages(result.findings));
    const std::string prefix = "g.nvx:" + c.at + ": warning: ";
    bool found = false;
    for (const std::string& message : Messages(result.findings)) {
        if (message.rfind(prefix, 0) != 0) {
            continue;
        }
        found = true;
        for (const std::string& word : c.words) {
            EXPECT_NE(message.find(word), std::string::npos) << message << "\nlacks: " << word;
        }
    }
    EXPECT_TRUE(found) << "no warning at " << c.at << " in\n"
                       << ::testing::PrintToString(Messages(result.findings));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LintWarningTest,
    ::testing::Values(
        WarningCase{"JumpInTheGlobalLocationFirstInTheFile",
                    std::string(kHeader) + "global Везде\nlocation Везде\n    object:\n" +
                        "        on идти:\n            jump Двор\n" + kYard,
                    "9:18",
                    {"jump in the global location", "does not move",
                     "every command a global reaction answers prints nothing"}},
        WarningCase{
            "JumpInTheGlobalLocationAfterAnother",
            std::string(kHeader) + "global Везде\n" + kYard +
                "location Везде\n    object:\n        on идти:\n" +
                "            if ф:\n                jump Двор\n" +
                "    object:\n        on смотреть:\n            set ф\n",
            "14:22",
            {"does not move", "the next command of a known verb skips the global reactions"}},
        WarningCase{"JumpToTheGlobalLocation",
                    std::string(kHeader) + "global Везде\nlocation Везде\n    object:\n" +
                        "        on смотреть:\n            text \"Везде.\"\n" + kYard +
                        "    object сарай:\n        on идти:\n            jump Везде\n",
                    "16:18",
                    {"jump to the global location Везде", "stuck",
                     "no global reaction answers prints nothing"}},
        WarningCase{"StartInTheGlobalLocation",
                    "global Двор\n" + std::string(kHeader) + kYard,
                    "2:7",
                    {"start location Двор is the global one", "stuck"}},
        WarningCase{
            "ArrivalAnsweredByNoReactionOfTheEmptyPhrase",
            std::string(kHeader) + kYard + "    object сарай:\n        on идти:\n" +
                "            jump Сарай\n" +
                "location Сарай\n    object:\n        on идти:\n            jump Двор\n",
            "12:10",
            {"location Сарай has no reaction to the arrival verb смотреть", "«Сделать что?»"}},
        WarningCase{"ArrivalInALocationWithoutTheEmptyPhrase",
                    std::string(kHeader) + kYard + "    object сарай:\n        on идти:\n" +
                        "            jump Сарай\n" +
                        "location Сарай\n    object двор:\n        on идти:\n" +
                        "            jump Двор\n",
                    "12:10",
                    {"no empty phrase", "«Неизвестное слово: \"\"»"}},
        WarningCase{"ArrivalInALocationWithoutPhrases",
                    std::string(kHeader) + kYard + "    object сарай:\n        on идти:\n" +
                        "            jump Сарай\nlocation Сарай\n",
                    "12:10",
                    {"no phrases", "«Непонятный запрос.»"}},
        // The global arrival answers only the start; a jump asks the location itself.
        WarningCase{"ArrivalAfterAJumpIsNotTheGlobalOne",
                    std::string(kHeader) + "global Везде\nlocation Везде\n    object:\n" +
                        "        on смотреть:\n            text \"Везде.\"\n" +
                        "location Двор\n    object:\n        on идти:\n            jump Двор\n",
                    "10:10",
                    {"location Двор has no reaction to the arrival", "«Сделать что?»"}},
        WarningCase{
            "SynonymQuit",
            std::string(kHeader) + "verb уйти: уйти, quit\n" + kYard +
                "        on уйти:\n            pass\n",
            "5:18",
            {"synonym \"quit\" is a command of the player program", "asks whether to quit"}},
        WarningCase{"SynonymExit",
                    std::string(kHeader) + "verb уйти: выход\n" + kYard +
                        "        on уйти:\n            pass\n",
                    "5:12",
                    {"\"выход\"", "player program", "asks whether to quit"}},
        WarningCase{"SynonymSave",
                    std::string(kHeader) + "verb з: \"сохранить\"\n" + kYard +
                        "        on з:\n            pass\n",
                    "5:9",
                    {"\"сохранить\"", "saves the game"}},
        WarningCase{"SynonymLoad",
                    std::string(kHeader) + "verb з: загрузить\n" + kYard +
                        "        on з:\n            pass\n",
                    "5:9",
                    {"\"загрузить\"", "loads a saved game"}},
        WarningCase{"SynonymOfTheHiddenMode",
                    std::string(kHeader) + "verb з: vorn telik\n" + kYard +
                        "        on з:\n            pass\n",
                    "5:9",
                    {"\"vorn telik\"", "hidden mode"}},
        WarningCase{"StatementAfterAJump",
                    std::string(kHeader) + kYard + "    object сарай:\n        on идти:\n" +
                        "            jump Двор\n" +
                        "            text \"Никогда.\"\n            text \"И это.\"\n",
                    "12:13",
                    {"never runs", "the jump above it"}},
        WarningCase{"StatementAfterAnIfWhoseBranchesBothJump",
                    std::string(kHeader) + kYard + "    object сарай:\n        on идти:\n" +
                        "            if ф:\n                jump Двор\n            else:\n" +
                        "                jump Двор\n            set ф\n",
                    "15:17",
                    {"never runs", "both branches"}},
        WarningCase{"StatementAfterAJumpInABranch",
                    std::string(kHeader) + kYard + "    object сарай:\n        on идти:\n" +
                        "            if not ф:\n                set ф\n" +
                        "                jump Двор\n                text \"Никогда.\"\n",
                    "14:17",
                    {"never runs"}},
        WarningCase{
            "LocationNeverEntered",
            std::string(kHeader) + kYard + "location Чулан\n    object:\n" +
                "        on смотреть:\n            text \"Чулан.\"\n",
            "9:10",
            {"location Чулан is never entered", "not the start", "no other location jumps to it"}},
        WarningCase{"LocationEnteredOnlyByItself",
                    std::string(kHeader) + kYard + "location Чулан\n    object:\n" +
                        "        on идти:\n            jump Чулан\n",
                    "9:10",
                    {"location Чулан is never entered"}},
        WarningCase{"LocationEnteredOnlyFromTheGlobalLocation",
                    std::string(kHeader) + "global Везде\n" + kYard +
                        "location Везде\n    object чулан:\n        on идти:\n" +
                        "            jump Чулан\nlocation Чулан\n    object:\n" +
                        "        on смотреть:\n            text \"Чулан.\"\n",
                    "14:10",
                    {"never entered", "only the global location jumps to it"}},
        WarningCase{"FlagSetButNeverTested",
                    std::string(kHeader) + kYard + "            set открыто\n",
                    "9:17",
                    {"flag открыто is set but never tested", "changes nothing"}},
        WarningCase{"FlagSetButNeverTestedLooksLikeOneTested",
                    std::string(kHeader) + kYard + "            set открыт\n" +
                        "            if открыто:\n                text \"Открыто.\"\n",
                    "9:17",
                    {"flag открыт is set but never tested", "did you mean 'открыто'?"}},
        WarningCase{"FlagTestedButNeverSetLooksLikeOneSet",
                    std::string(kHeader) + kYard + "            set открыт\n" +
                        "            if открыто:\n                text \"Открыто.\"\n",
                    "10:16",
                    {"flag открыто is tested but never set", "did you mean 'открыт'?"}},
        // The flag set is spelt with Latin c, a, p and a: four letters apart, the same to the
        // eye.
        WarningCase{"FlagNamesThatDifferInLookAlikeLetters",
                    std::string(kHeader) + kYard + "            set capaй_открыт\n" +
                        "            if сарай_открыт:\n                pass\n",
                    "10:16",
                    {"flag сарай_открыт is tested but never set", "did you mean 'capaй_открыт'?"}},
        WarningCase{"SynonymsThatDifferInLookAlikeLetters",
                    std::string(kHeader) + "verb хор: хор\nverb xop: xop\n" + kYard +
                        "        on хор, xop:\n            pass\n",
                    "6:11",
                    {"synonym \"xop\" differs from synonym \"хор\"", "look-alike"}},
        WarningCase{"PhrasesThatDifferInLookAlikeLetters",
                    std::string(kHeader) + kYard + "    object сор:\n        on идти:\n" +
                        "            pass\n    object cop:\n        on идти:\n            pass\n",
                    "12:12",
                    {"phrase \"cop\" differs from phrase \"сор\"", "look-alike"}},
        WarningCase{"PhraseThatLooksLikeOneOfTheGlobalLocation",
                    std::string(kHeader) + "global Везде\nlocation Везде\n" +
                        "    object рос:\n        on идти:\n            pass\n" + kYard +
                        "    object poc:\n        on идти:\n            pass\n",
                    "14:12",
                    {"phrase \"poc\" differs from phrase \"рос\""}},
        WarningCase{"SynonymMixingLatinAndCyrillic",
                    std::string(kHeader) + "verb открыть: \"oткрыть дверь\"\n" + kYard +
                        "        on открыть:\n            pass\n",
                    "5:15",
                    {"mixes Latin and Cyrillic letters in \"oткрыть\"", "keyboard layout"}},
        WarningCase{"PhraseMixingLatinAndCyrillic",
                    std::string(kHeader) + kYard + "    object большой сундуk:\n" +
                        "        on идти:\n            pass\n",
                    "9:12",
                    {"phrase \"большой сундуk\" mixes Latin and Cyrillic letters in "
                     "\"сундуk\""}}),
    [](const ::testing::TestParamInfo<WarningCase>& param) { return param.param.name; });

// Games that do what their authors mean: nothing to warn about.
// In a game that declares its flags, a flag misspelt at its set is both undeclared and never
// tested: the author reads one warning there, not two.
TEST(LintWarningTest, MisspeltFlagIsWarnedAboutOnceAtItsSet) {
    const CompileResult result =
        Compile(std::string(kHeader) + "flag открыто\n" + kYard + "            set открыт\n" +
                "            if открыто:\n                text \"Открыто.\"\n");
    ASSERT_TRUE(result.ok) << ::testing::PrintToString(Messages(result.findings));
    int at_set = 0;
    for (const std::string& message : Messages(result.findings)) {
        if (message.rfind("g.nvx:10:17: ", 0) == 0) {
            ++at_set;
            EXPECT_NE(message.find("did you mean 'открыто'?"), std::string::npos) << message;
        }
    }
    EXPECT_EQ(at_set, 1) << ::testing::PrintToString(Messages(result.findings));
}

TEST(LintWarningTest, SoundGamesDrawNoWarning) {
    const std::vector<std::string> sources = {
        // Jumps between ordinary locations, each answering its arrival; the start is entered
        // though nothing jumps to it; a flag both set and tested.
        std::string(kHeader) + kYard + "    object сарай:\n        on идти:\n" +
            "            if открыто:\n                jump Сарай\n" +
            "            text \"Заперто.\"\n            set открыто\n" +
            "location Сарай\n    object:\n        on смотреть:\n            text \"Сарай.\"\n" +
            "    object двор:\n        on идти:\n            jump Двор\n",
        // The global arrival answers the start, which nothing jumps to; the start needs no
        // arrival reaction of its own. Global reactions that do not jump.
        std::string(kHeader) + "global Везде\nlocation Везде\n    object:\n" +
            "        on смотреть:\n            text \"Везде.\"\n" +
            "    object помощь:\n        on идти:\n            text \"Помощь.\"\n" +
            "location Двор\n    object сарай:\n        on идти:\n            text \"Нет.\"\n",
        // The program's commands with more words after them reach the game; synonyms and
        // phrases wholly Latin or wholly Cyrillic; an if/else where one branch jumps.
        std::string(kHeader) + "verb выйти: выход наружу, \"quit now\", \"ok\"\n" + kYard +
            "    object наружу, door, \"большой сундук\":\n        on выйти, идти:\n" +
            "            if ф:\n                jump Двор\n            else:\n" +
            "                set ф\n            text \"Дальше.\"\n",
    };
    for (const std::string& source : sources) {
        const CompileResult result = Compile(source);
        EXPECT_TRUE(result.ok) << source;
        EXPECT_EQ(Messages(result.findings), std::vector<std::string>{}) << source;
    }
}

// `check` runs the same checks on the files, naming everything by number: the start and the
// global location made for a game without one draw nothing, and numbers are never offered as
// misspellings of each other.
TEST(LintWarningTest, CheckFindsTheSameByNumber) {
    const std::string source =
        std::string(kHeader) + kYard + "            set открыт\n" +
        "            if открыто:\n                jump Двор\n" + "            text \"Никогда?\"\n" +
        "location Чулан\n    object ключ:\n        on идти:\n" + "            jump Двор\n";
    const CompileResult result = Compile(source);
    ASSERT_TRUE(result.ok);
    std::vector<std::string> messages;
    for (const Finding& finding : CheckGame(result.commands, result.scenario)) {
        messages.push_back((finding.severity == Severity::kError ? "E " : "W ") + finding.message);
    }
    EXPECT_EQ(messages, (std::vector<std::string>{
                            "W flag 0 is set but never tested, so setting it changes nothing",
                            "W flag 1 is tested but never set",
                            "W arrival jumps may cycle through location 0 unless flags break "
                            "the cycle",
                            "W location 1 is never entered: it is not the start and no other "
                            "location jumps to it",
                        }));
}

// What narravox-ply writes with and without --werror.
class WerrorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string shed = "    object сарай:\n        on идти:\n            pass\n";
        std::ofstream(folder_ / "warns.nvx") << kHeader << kYard << "            set открыт\n"
                                             << shed;
        std::ofstream(folder_ / "clean.nvx") << kHeader << kYard << shed;
        std::ofstream(folder_ / "player-template.html")
            << "<html><head><title>Narravox</title></head><body>"
               "<div id=\"loading\" role=\"status\">Narravox</div><!--narravox-game-->"
               "<script>x</script></body></html>";
    }

    int Run(std::vector<std::string> args) {
        out_.str("");
        err_.str("");
        return RunTool(args, out_, err_, {folder_ / "player-template.html"});
    }

    bool Exists(const std::string& name) const {
        return std::filesystem::exists(folder_.path() / name);
    }

    testing::TempFolder folder_;
    std::ostringstream out_;
    std::ostringstream err_;
};

TEST_F(WerrorTest, BuildWritesNothingWhenWarningsAreErrors) {
    EXPECT_EQ(Run({"build", folder_ / "warns.nvx", "-o", folder_ / "strict", "--werror"}), 1);
    EXPECT_NE(err_.str().find("warns.nvx:9:17: warning: flag открыт is set but never tested"),
              std::string::npos)
        << err_.str();
    EXPECT_FALSE(Exists("strict"));

    EXPECT_EQ(Run({"build", folder_ / "warns.nvx", "-o", folder_ / "lenient"}), 0) << err_.str();
    EXPECT_NE(err_.str().find("warning: flag открыт"), std::string::npos);
    EXPECT_TRUE(Exists("lenient/Commands.ply"));
    EXPECT_TRUE(Exists("lenient/Scenario.ply"));

    EXPECT_EQ(Run({"build", "--werror", folder_ / "clean.nvx", "-o", folder_ / "clean"}), 0)
        << err_.str();
    EXPECT_EQ(err_.str(), "");
    EXPECT_TRUE(Exists("clean/Scenario.ply"));
}

TEST_F(WerrorTest, CheckAndPublishFailOnWarnings) {
    ASSERT_EQ(Run({"build", folder_ / "warns.nvx", "-o", folder_ / "warns"}), 0);
    ASSERT_EQ(Run({"build", folder_ / "clean.nvx", "-o", folder_ / "clean"}), 0);

    EXPECT_EQ(Run({"check", folder_ / "warns"}), 0);
    EXPECT_EQ(Run({"check", folder_ / "warns", "--werror"}), 1);
    EXPECT_NE(out_.str().find("0 error(s), 1 warning(s)"), std::string::npos) << out_.str();
    EXPECT_EQ(Run({"check", "--werror", folder_ / "clean"}), 0) << out_.str();

    for (const char* game : {"warns", "warns.nvx"}) {
        EXPECT_EQ(Run({"publish", folder_ / game, "-o", folder_ / "page.html", "--werror"}), 1)
            << game;
        EXPECT_NE(err_.str().find("flag"), std::string::npos) << game << ": " << err_.str();
        EXPECT_NE(err_.str().find("not published"), std::string::npos) << err_.str();
        EXPECT_FALSE(Exists("page.html")) << game;
    }
    EXPECT_EQ(Run({"publish", folder_ / "warns", "-o", folder_ / "page.html"}), 0) << err_.str();
    EXPECT_TRUE(Exists("page.html"));

    // dump reads files and judges nothing: --werror is no option of it.
    EXPECT_EQ(Run({"dump", folder_ / "clean", "--werror"}), 2);
}

}  // namespace
}  // namespace narravox::ply
