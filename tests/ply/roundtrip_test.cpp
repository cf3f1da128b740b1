// Source to files to source to files, and the demo game played from start to ending.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "compiler.h"
#include "decompiler.h"
#include "reader.h"
#include "session.h"
#include "support/fake_host.h"
#include "support/game_builder.h"
#include "tool.h"

namespace narravox::ply {
namespace {

namespace tb = narravox::testing;

std::string DemoSource() {
    std::ifstream in(NARRAVOX_DEMO_SOURCE, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

GameData ReadBack(const std::string& commands, const std::string& scenario) {
    std::vector<Finding> findings;
    GameData game;
    game.vocabulary = ReadCommands(commands, findings);
    game.scenario = ReadScenario(scenario, findings);
    EXPECT_FALSE(HasErrors(findings));
    return game;
}

// Every statement, explicit and automatic numbers, escapes, texts over several lines.
constexpr const char* kEverything =
    "info \"Все операторы\"\n     \"вторая строка\"\n"
    "start Б\narrival смотреть\n"
    "verb смотреть: смотреть, о\nverb взять = 40: взять, \"взять все\"\nverb ждать = -7\n"
    "flag далёкий = 900\n"
    "location Б = 12 \"Комната \\\"Б\\\"\"\n"
    "    object:\n        on смотреть:\n"
    "            clear screen\n            center on\n            text \"Титул\"\n"
    "            center off\n            clear flags\n"
    "    object \"шкаф\", \"старый шкаф\", \"\\x98\\t\":\n        on взять, ждать:\n"
    "            if далёкий:\n                pass\n"
    "            if not близкий:\n                set близкий\n            else:\n"
    "                clear близкий\n                jump В\n"
    "            text \"\"\n        on смотреть:\n            if близкий:\n                pass\n"
    "            else if not далёкий:\n                text \"а\"\n            else:\n"
    "                pass\n"
    "location В\n    object:\n        on смотреть:\n            set далёкий\n";

TEST(RoundTripTest, BuildDumpBuildGivesTheSameBytes) {
    for (const std::string& source : {std::string(kEverything), DemoSource()}) {
        const CompileResult first = Compile(source);
        ASSERT_TRUE(first.ok);
        const std::string dumped = Decompile(ReadBack(first.commands, first.scenario));
        const CompileResult second = Compile(dumped);
        ASSERT_TRUE(second.ok) << dumped;
        EXPECT_EQ(second.commands, first.commands) << dumped;
        EXPECT_EQ(second.scenario, first.scenario) << dumped;
        // And the dump is stable: dumping the rebuilt game gives the same source.
        EXPECT_EQ(Decompile(ReadBack(second.commands, second.scenario)), dumped);
    }
}

// Plays typed lines and returns everything the text window printed afterwards.
class Player {
  public:
    Player(const std::string& commands, const std::string& scenario) {
        tb::WriteFile(folder_.path() / "Commands.ply", commands);
        tb::WriteFile(folder_.path() / "Scenario.ply", scenario);
        session_ = std::make_unique<Session>(host_, "Narravox", folder_.path().string());
        session_->game().TextWindow.SetLineSink(
            [this](std::string_view line) { lines_.push_back(tb::Utf8(line)); });
        EXPECT_EQ(session_->Start(25, 80), StartResult::kStarted);
    }

    std::string Type(std::string_view utf8) {
        lines_.clear();
        session_->PressEnter(tb::Cp(utf8));
        std::string out;
        for (const std::string& line : lines_) {
            out += line + "\n";
        }
        return out;
    }

    Game& game() { return session_->game(); }
    tb::FakeHost& host() { return host_; }
    const std::vector<std::string>& lines() const { return lines_; }

  private:
    tb::TempFolder folder_;
    tb::FakeHost host_;
    std::unique_ptr<Session> session_;
    std::vector<std::string> lines_;
};

// A game the compiler would never write: duplicate ids, groups sharing a verb, an unknown
// statement, a gap before the table, a section without phrases. Its dump must build into a
// game that answers every command the same way.
TEST(RoundTripTest, ForeignGameDumpsIntoAnEquivalentOne) {
    tb::Scenario scenario;
    scenario.global = 0;
    scenario.start = 5;
    scenario.arrival = 2;
    scenario.info = "Чужая игра\n";
    scenario.gap = "мусор";
    scenario.locations = {
        {5,
         "Зал",
         {{{""}, {{{2}, {tb::Text("Зал."), tb::Raw("ZZ"), tb::Text("Дальше.")}}}},
          {{}, {{{3}, {tb::Text("никогда")}}}},
          {{"дверь"}, {{{3}, {tb::Jump(9)}}, {{}, {tb::Text("без глаголов")}}}}}},
        {0, "", {}},
        {9,
         "Коридор",
         {{{""}, {{{2}, {tb::Text("Коридор."), tb::If(4, {tb::Text("да")})}}}},
          {{"дверь"}, {{{3, 8}, {tb::Set(4), tb::Jump(5)}}}}}},
        {9, "Двойник", {{{""}, {{{2}, {tb::Text("не виден")}}}}}},
    };
    const std::vector<tb::VerbGroup> groups = {
        {2, {"смотреть"}}, {3, {"открыть", "тянуть"}}, {8, {"тянуть"}}, {3, {"толкнуть"}}};
    const std::string commands = tb::BuildCommands(groups);
    const std::string original = tb::BuildScenario(scenario);

    std::vector<Finding> findings;
    GameData game;
    game.vocabulary = ReadCommands(commands, findings);
    game.scenario = ReadScenario(original, findings);
    const CompileResult rebuilt = Compile(Decompile(game));
    ASSERT_TRUE(rebuilt.ok) << Decompile(game);

    Player before(commands, original);
    Player after(rebuilt.commands, rebuilt.scenario);
    for (const char* line : {"смотреть", "открыть дверь", "смотреть", "тянуть дверь", "смотреть",
                             "толкнуть дверь", "открыть", "прыгнуть", "открыть окно"}) {
        EXPECT_EQ(after.Type(line), before.Type(line)) << line;
        EXPECT_EQ(after.game().CurrentLocation, before.game().CurrentLocation) << line;
        EXPECT_EQ(after.game().Flags, before.game().Flags) << line;
    }
}

// Found by fuzzing: a game whose arrival verb is -1, the interpreter's answer for an unknown
// verb, dumped into a source the compiler refused.
TEST(RoundTripTest, ArrivalVerbMinusOneSurvivesADump) {
    tb::Scenario scenario;
    scenario.start = 1;
    scenario.arrival = -1;
    scenario.locations = {
        {0, "", {}}, {1, "Зал", {{{""}, {{{-1}, {tb::Text("Прибыли.")}}, {{2}, {tb::Jump(1)}}}}}}};
    const std::string commands = tb::BuildCommands({{-1, {"ничего"}}, {2, {"войти"}}});
    const std::string original = tb::BuildScenario(scenario);
    const CompileResult rebuilt = Compile(Decompile(ReadBack(commands, original)));
    ASSERT_TRUE(rebuilt.ok);
    EXPECT_EQ(rebuilt.commands, commands);
    EXPECT_EQ(rebuilt.scenario, original);
}

TEST(DemoTest, WalkthroughReachesTheEnding) {
    const CompileResult demo = Compile(DemoSource());
    ASSERT_TRUE(demo.ok);
    EXPECT_TRUE(demo.findings.empty()) << FormatFinding("demo.nvx", demo.findings.front());
    EXPECT_GE(demo.game.scenario.locations.size(), 13u);
    Player player(demo.commands, demo.scenario);
    Game& game = player.game();
    auto at = [&](const char* name) {
        return game.CurrentLocation == demo.location_numbers.at(name);
    };
    auto flag = [&](const char* name) {
        const long long n = demo.flag_numbers.at(name);
        return (game.Flags[static_cast<std::size_t>(n / 8)] >> (n % 8) & 1) != 0;
    };
    // The title was centred and paced, then an arrival jump brought the player to the pier.
    EXPECT_TRUE(at("Причал"));
    EXPECT_GT(player.host().waits, 0);

    EXPECT_NE(player.Type("инвентарь").find("непромокаемый плащ"), std::string::npos);
    EXPECT_NE(player.Type("помощь").find("Команды набираются"), std::string::npos);
    EXPECT_NE(player.Type("идти на север").find("Каменистая тропа"), std::string::npos);
    player.Type("с");
    EXPECT_TRUE(at("Развилка"));
    // The door stays shut without the key.
    player.Type("север");
    EXPECT_NE(player.Type("открыть дверь").find("ключа у вас нет"), std::string::npos);
    EXPECT_NE(player.Type("с").find("Дверь заперта."), std::string::npos);
    EXPECT_TRUE(at("Двор"));
    player.Type("ю");
    // Digging without the shovel fails, and the arrival jump returns the player to the beach.
    player.Type("в");
    EXPECT_NE(player.Type("копать").find("Нужна лопата."), std::string::npos);
    EXPECT_TRUE(at("Берег"));
    EXPECT_NE(player.Type("в").find("нога повисает"), std::string::npos);
    EXPECT_TRUE(at("Берег"));
    for (const char* line : {"з", "з", "с", "взять лопату", "ю", "в", "в"}) {
        player.Type(line);
    }
    EXPECT_TRUE(flag("лопата_у_вас"));
    EXPECT_NE(player.Type("копать песок").find("медный ключ"), std::string::npos);
    EXPECT_TRUE(flag("ключ_у_вас"));
    for (const char* line : {"ю", "взять бутыль", "с", "з", "с", "в", "взять спички"}) {
        player.Type(line);
    }
    EXPECT_NE(player.Type("прочитать записку").find("Ключ от маяка"), std::string::npos);
    EXPECT_NE(player.Type("инв").find("коробок спичек"), std::string::npos);
    for (const char* line : {"з", "открыть дверь", "с", "вверх", "вверх"}) {
        player.Type(line);
    }
    EXPECT_TRUE(at("Фонарная"));
    EXPECT_NE(player.Type("зажечь лампу").find("Лампа пуста"), std::string::npos);
    player.Type("налить масло в лампу");
    EXPECT_TRUE(flag("лампа_заправлена"));
    EXPECT_FALSE(flag("масло_у_вас"));
    const std::string ending = player.Type("зажечь лампу");
    EXPECT_TRUE(at("Финал"));
    EXPECT_TRUE(flag("игра_окончена"));
    // Centred in 80 columns: the line feed counts, so (80 - 6) / 2 spaces.
    EXPECT_NE(ending.find("\n" + std::string(37, ' ') + "КОНЕЦ\n"), std::string::npos) << ending;
    EXPECT_NE(player.Type("инвентарь").find("Игра окончена"), std::string::npos);
}

TEST(ToolTest, BuildThenCheckAndDumpThroughTheCommandLine) {
    tb::TempFolder folder;
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(RunTool({"build", NARRAVOX_DEMO_SOURCE, "-o", folder / "game"}, out, err), 0)
        << err.str();
    EXPECT_EQ(RunTool({"check", folder / "game"}, out, err), 0) << out.str();
    EXPECT_NE(out.str().find("0 error(s), 0 warning(s)"), std::string::npos);
    EXPECT_EQ(RunTool({"dump", folder / "game", "-o", folder / "back.nvx"}, out, err), 0);
    EXPECT_EQ(RunTool({"build", folder / "back.nvx", "-o", folder / "again"}, out, err), 0);
    EXPECT_EQ(tb::ReadFile(folder.path() / "again" / "Scenario.ply"),
              tb::ReadFile(folder.path() / "game" / "Scenario.ply"));
    EXPECT_EQ(RunTool({"frobnicate"}, out, err), 2);
    EXPECT_EQ(RunTool({"check", folder / "missing"}, out, err), 2);
}

}  // namespace
}  // namespace narravox::ply
