// SPDX-License-Identifier: MIT
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
        tb::WriteFile(folder_.path() / kCommandsFileName, commands);
        tb::WriteFile(folder_.path() / kScenarioFileName, scenario);
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
    EXPECT_NE(player.Type("с").find("Дверь маяка заперта."), std::string::npos);
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

// The demo compiled and started, with ways to read and set its flags and to walk it: the
// cases below start where they need to be rather than replaying the whole game.
class DemoGame {
  public:
    DemoGame() : demo_(Compile(DemoSource())) {
        EXPECT_TRUE(demo_.ok);
        player_ = std::make_unique<Player>(demo_.commands, demo_.scenario);
    }

    bool At(const char* name) {
        return player_->game().CurrentLocation == demo_.location_numbers.at(name);
    }
    bool Flag(const char* name) {
        const long long n = demo_.flag_numbers.at(name);
        return (player_->game().Flags[static_cast<std::size_t>(n / 8)] >> (n % 8) & 1) != 0;
    }
    void Set(const char* name) {
        const long long n = demo_.flag_numbers.at(name);
        player_->game().Flags[static_cast<std::size_t>(n / 8)] |=
            static_cast<std::uint8_t>(1 << (n % 8));
    }
    // Types a line and expects the game to have understood every word of it.
    std::string Type(const std::string& line) {
        const std::string answer = player_->Type(line);
        EXPECT_EQ(answer.find("Неизвестное слово"), std::string::npos) << line << "\n" << answer;
        EXPECT_EQ(answer.find("Непонятный запрос"), std::string::npos) << line << "\n" << answer;
        return answer;
    }
    void Walk(std::initializer_list<const char*> lines) {
        for (const char* line : lines) {
            Type(line);
        }
    }
    const CompileResult& compiled() const { return demo_; }

  private:
    CompileResult demo_;
    std::unique_ptr<Player> player_;
};

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

void CollectTexts(const std::vector<Statement>& statements, std::vector<std::string>& texts) {
    for (const Statement& statement : statements) {
        if (statement.kind == Statement::Kind::kText) {
            texts.push_back(tb::Utf8(statement.text));
        }
        CollectTexts(statement.then_body, texts);
        CollectTexts(statement.else_body, texts);
    }
}

// The player program takes these words itself, before the game sees a command: a room that
// said «Выход на западе» sent players to the quit question.
TEST(DemoTest, NoTextOffersABuiltInCommandAsAMove) {
    DemoGame demo;
    std::vector<std::string> texts = {tb::Utf8(demo.compiled().game.scenario.info)};
    for (const Location& location : demo.compiled().game.scenario.locations) {
        for (const Section& section : location.sections) {
            for (const Reaction& reaction : section.reactions) {
                CollectTexts(reaction.statements, texts);
            }
        }
    }
    ASSERT_GT(texts.size(), 100u);
    int quit_hints = 0;
    for (const std::string& text : texts) {
        for (const std::string word : {"ыход", "quit", "сохранить", "загрузить"}) {
            for (std::size_t at = text.find(word); at != std::string::npos;
                 at = text.find(word, at + 1)) {
                // A word of its own, not «выходит»; «Выход» counts as well as «выход».
                const std::size_t end = at + word.size();
                if (end < text.size() && static_cast<unsigned char>(text[end]) >= 0xd0) {
                    continue;
                }
                // Offered only as something to type, in «», and «выход» only to end the game.
                const std::size_t start = word == "ыход" ? at - 2 : at;
                EXPECT_EQ(text.substr(0, start).ends_with("«"), true) << text;
                EXPECT_EQ(text.substr(end).starts_with("»"), true) << text;
                if (word == "ыход") {
                    EXPECT_TRUE(Has(text, "законч") || Has(text, "заканч")) << text;
                    ++quit_hints;
                }
            }
        }
        EXPECT_FALSE(Has(text, "большую землю")) << text;
        EXPECT_FALSE(Has(text, "лампадн")) << text;
        EXPECT_FALSE(Has(text, "закрыть окно")) << "the ending is also read in a terminal";
    }
    EXPECT_GE(quit_hints, 2);
    // No synonym starts with a built-in word: it could never reach the game.
    for (const VerbGroup& group : demo.compiled().game.vocabulary.groups) {
        for (const Phrase& synonym : group.synonyms) {
            const std::string typed = tb::Utf8(synonym.text) + " ";
            for (const char* word : {"выход ", "quit ", "сохранить ", "загрузить "}) {
                EXPECT_FALSE(typed.starts_with(word)) << typed;
            }
        }
    }
}

TEST(DemoTest, MovementWordsPlayersTryLeadWhereTheTextsSay) {
    DemoGame demo;
    // The path goes up, and back means where the player came from.
    demo.Type("подняться по тропе");
    EXPECT_TRUE(demo.At("Тропа"));
    demo.Type("вверх");
    EXPECT_TRUE(demo.At("Развилка"));
    demo.Type("назад");
    EXPECT_TRUE(demo.At("Тропа"));
    demo.Type("назад");
    EXPECT_TRUE(demo.At("Развилка"));
    demo.Type("идти на север");
    EXPECT_TRUE(demo.At("Двор"));
    // Into the hut and out again, in every way a player tries.
    for (const char* in : {"войти в сторожку", "зайти в сторожку", "в сторожку", "восток"}) {
        for (const char* out : {"выйти", "наружу", "назад", "выйти из сторожки", "запад"}) {
            demo.Type(in);
            EXPECT_TRUE(demo.At("Сторожка")) << in;
            demo.Type(out);
            EXPECT_TRUE(demo.At("Двор")) << out;
        }
    }
    EXPECT_TRUE(Has(demo.Type("войти"), "в маяк или в сторожку"));
    EXPECT_TRUE(demo.At("Двор"));
    // The lighthouse door keeps the stairs until it is open.
    EXPECT_TRUE(Has(demo.Type("войти в маяк"), "заперта"));
    EXPECT_TRUE(demo.At("Двор"));
    demo.Set("дверь_открыта");
    demo.Type("войти в маяк");
    EXPECT_TRUE(demo.At("Низ"));
    demo.Type("подняться по лестнице");
    EXPECT_TRUE(demo.At("Лестница"));
    demo.Type("подняться по лестнице");
    EXPECT_TRUE(demo.At("Фонарная"));
    demo.Type("спуститься по лестнице");
    EXPECT_TRUE(demo.At("Лестница"));
    demo.Type("назад");
    EXPECT_TRUE(demo.At("Фонарная"));
    demo.Walk({"вниз", "вниз"});
    EXPECT_TRUE(demo.At("Низ"));
    demo.Type("наружу");
    EXPECT_TRUE(demo.At("Двор"));
    demo.Type("назад");
    EXPECT_TRUE(demo.At("Низ"));
    demo.Type("выйти из маяка");
    EXPECT_TRUE(demo.At("Двор"));
}

TEST(DemoTest, ImperativesAndTheGamesOwnWordsAreUnderstood) {
    DemoGame demo;
    EXPECT_TRUE(Has(demo.Type("осмотри волны"), "Серые волны"));
    demo.Walk({"с", "с", "с", "в"});
    EXPECT_TRUE(Has(demo.Type("прочти записку"), "Ключ от маяка"));
    demo.Type("возьми спички");
    EXPECT_TRUE(demo.Flag("спички_у_вас"));
    EXPECT_TRUE(Has(demo.Type("взять всё"), "Здесь нечего взять."));
    demo.Walk({"наружу", "ю", "з", "с"});
    demo.Type("взять всё");
    EXPECT_TRUE(demo.Flag("лопата_у_вас"));
    demo.Walk({"ю", "в", "в"});
    demo.Type("откопать");
    EXPECT_TRUE(demo.Flag("ключ_у_вас"));
    EXPECT_TRUE(Has(demo.Type("открой ящик"), "пуст"));
    demo.Type("ю");
    demo.Type("взять все");
    EXPECT_TRUE(demo.Flag("масло_у_вас"));
    demo.Walk({"с", "з", "с"});
    EXPECT_TRUE(Has(demo.Type("открой дверь"), "Открыто!"));
    demo.Walk({"с", "вверх", "вверх"});
    ASSERT_TRUE(demo.At("Фонарная"));
    // Every word for the light is understood; with an empty lamp none of them lights it.
    for (const char* line : {"зажечь маяк", "зажечь огонь", "зажечь фитиль", "зажечь спичку",
                             "зажги лампу", "зажечь"}) {
        EXPECT_TRUE(Has(demo.Type(line), "Лампа пуста")) << line;
    }
    demo.Type("налить масла");
    EXPECT_TRUE(demo.Flag("лампа_заправлена"));
    EXPECT_TRUE(Has(demo.Type("налить масла"), "Лампа уже полна."));
    demo.Type("зажечь спичку");
    EXPECT_TRUE(demo.At("Финал"));
}

TEST(DemoTest, CarriedThingsAreExaminedAnywhereAndSceneryIsKnown) {
    DemoGame demo;
    EXPECT_TRUE(Has(demo.Type("осмотреть ключ"), "Ключа у вас нет."));
    EXPECT_TRUE(Has(demo.Type("осмотреть плащ"), "парусины"));
    for (const char* carried :
         {"лопата_у_вас", "ключ_у_вас", "масло_у_вас", "спички_у_вас", "дверь_открыта"}) {
        demo.Set(carried);
    }
    const std::vector<std::pair<const char*, const char*>> carried = {
        {"осмотреть ключ", "затейливой бородкой"}, {"осмотреть лопату", "черенок"},
        {"осмотреть бутыль", "сургучная пробка"}, {"осмотреть масло", "сургучная пробка"},
        {"осмотреть спички", "Коробок почти полон"}, {"осмотреть плащ", "парусины"}};
    // Each place, the way there from the one before, and the scenery its texts name.
    const std::vector<std::tuple<const char*, std::vector<const char*>, std::vector<const char*>>>
        places = {
            {"Причал", {}, {"волны", "тропу", "тропа", "сваи", "причал"}},
            {"Тропа", {"с"}, {"валуны", "тропу", "причал"}},
            {"Развилка", {"с"}, {"ели", "ельник", "маяк", "башню", "тропу", "скалы"}},
            {"Лес", {"з"}, {"ели", "тропинку"}},
            {"Поляна", {"с"}, {"сарай", "дверь"}},
            {"Берег", {"ю", "в", "в"}, {"ящик", "туман", "обрыв", "волны", "бухту", "песок"}},
            {"Бухта", {"ю"}, {"водоросли", "скалу"}},
            {"Двор", {"с", "з", "с"}, {"маяк", "сторожку", "дверь", "скалы"}},
            {"Сторожка", {"в"}, {"койку", "стол", "печь", "записку", "дверь", "окно"}},
            {"Низ", {"з", "с"}, {"лестницу", "маяк", "дверь"}},
            {"Лестница", {"вверх"}, {"лестницу", "ступени"}},
            {"Фонарная", {"вверх"}, {"линзу", "лампу", "фитиль", "лестницу", "маяк", "стёкла"}},
        };
    for (const auto& [place, way, scenery] : places) {
        for (const char* line : way) {
            demo.Type(line);
        }
        ASSERT_TRUE(demo.At(place)) << place;
        for (const auto& [line, answer] : carried) {
            EXPECT_TRUE(Has(demo.Type(line), answer)) << place << ": " << line;
        }
        for (const char* thing : scenery) {
            const std::string answer = demo.Type(std::string("осмотреть ") + thing);
            EXPECT_FALSE(Has(answer, "Вы не можете")) << place << ": " << thing;
            EXPECT_FALSE(Has(answer, "у вас нет")) << place << ": " << thing;
        }
    }
    // The lamp is not the oil.
    EXPECT_FALSE(Has(demo.Type("осмотреть масло"), "Медная лампа"));
    demo.Type("налить масло в лампу");
    EXPECT_TRUE(Has(demo.Type("осмотреть масло"), "Всё масло теперь в лампе"));
    EXPECT_TRUE(Has(demo.Type("осмотреть лампу"), "полная масла"));
}

TEST(DemoTest, WhatPlayersFoundWrongStaysRight) {
    DemoGame demo;
    // One thing carried: no list that starts with «и».
    demo.Set("спички_у_вас");
    const std::string inventory = demo.Type("и");
    EXPECT_TRUE(Has(inventory, "коробок спичек")) << inventory;
    EXPECT_TRUE(Has(inventory, "непромокаемый плащ")) << inventory;
    EXPECT_FALSE(Has(inventory, "и непромокаемый")) << inventory;
    // Digging answers in place, without the beach again, and an open box is not «to dig out».
    demo.Walk({"с", "с", "в"});
    ASSERT_TRUE(demo.At("Берег"));
    EXPECT_TRUE(Has(demo.Type("о"), "торчит угол"));
    EXPECT_TRUE(Has(demo.Type("открыть ящик"), "откопать"));
    demo.Set("лопата_у_вас");
    std::string dug = demo.Type("копать");
    EXPECT_TRUE(Has(dug, "медный ключ")) << dug;
    EXPECT_FALSE(Has(dug, "Узкая полоса")) << dug;
    EXPECT_TRUE(demo.At("Берег"));
    dug = demo.Type("копать");
    EXPECT_TRUE(Has(dug, "уже раскопан")) << dug;
    EXPECT_FALSE(Has(dug, "Узкая полоса")) << dug;
    const std::string beach = demo.Type("о");
    EXPECT_FALSE(Has(beach, "торчит")) << beach;
    EXPECT_TRUE(Has(beach, "раскопанный ящик")) << beach;
    const std::string box = demo.Type("открыть ящик");
    EXPECT_FALSE(Has(box, "откопать")) << box;
    // The yard names the hut whether the door is shut or open.
    demo.Walk({"з", "с"});
    EXPECT_TRUE(Has(demo.Type("о"), "На востоке — сторожка"));
    demo.Type("открыть дверь");
    const std::string yard = demo.Type("о");
    EXPECT_TRUE(Has(yard, "На востоке — сторожка")) << yard;
    EXPECT_TRUE(Has(yard, "открыта")) << yard;
    // After the ending every move is answered by the game, with the way to end.
    demo.Set("масло_у_вас");
    demo.Walk({"с", "вверх", "вверх", "налить", "зажечь"});
    ASSERT_TRUE(demo.At("Финал"));
    for (const char* line : {"с", "вверх", "вниз", "назад", "выйти", "войти", "идти на юг"}) {
        const std::string answer = demo.Type(line);
        EXPECT_FALSE(Has(answer, "Сделать что?")) << line;
        EXPECT_TRUE(Has(answer, "наберите «выход»")) << line << "\n" << answer;
        EXPECT_TRUE(demo.At("Финал"));
    }
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
