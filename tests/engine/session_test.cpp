// SPDX-License-Identifier: MIT
// Start-up and the keys, played through the session as a front-end plays them.
#include "session.h"

#include <gtest/gtest.h>

#include "support/harness.h"

namespace narravox::testing {
namespace {

using Lines = std::vector<std::string>;

constexpr std::int16_t kLook = 1;
constexpr std::int16_t kTake = 3;

class SessionTest : public ::testing::Test {
  protected:
    SessionTest()
        : harness_({{kLook, {"осмотреться", "осм"}}, {kTake, {"взять"}}},
                   Scenario{0, 1, kLook, "Пример.\n", "", {}}) {
        harness_.scenario.locations = {
            {0, "", {}},
            {1,
             "Двор",
             {{{""}, {{{kLook}, {Text("Вы во дворе.")}}}},
              {{"ключ"}, {{{kTake}, {Text("Взяли."), Set(5)}}}}}},
        };
    }

    void Start() {
        ASSERT_EQ(harness_.Start(), StartResult::kStarted);
        harness_.TakeLines();
        harness_.host.boxes.clear();
    }

    Game& game() { return harness_.game(); }

    Harness harness_;
};

TEST_F(SessionTest, StartUpPrintsBannerInformationWarningAndArrival) {
    Lines lines_at_warning;
    harness_.host.on_box = [&](const Box&) { lines_at_warning = harness_.TakeLines(); };
    ASSERT_EQ(harness_.Start(30, 60), StartResult::kStarted);
    EXPECT_EQ(lines_at_warning, (Lines{"Narravox Engine III (3.03)", "(c) 2026 Команда Narravox",
                                       "mailto: team@narravox.org", "www: https://narravox.org", "",
                                       "Нажмите F1 для вызова окна \"О программе\".",
                                       "Нажмите F3 для повторения последней набранной команды.",
                                       "Для выхода наберите \"выход\" или \"quit\".",
                                       "Наберите \"сохранить\" для сохранения текущей игры.",
                                       "Наберите \"загрузить\" для загрузки сохранённой игры.", "",
                                       "Информация о сценарии:", "", "Пример.", ""}));
    // The first location's text comes only after the warning has been dismissed.
    EXPECT_EQ(harness_.TakeLines(), Lines{"  Вы во дворе.  "});
    EXPECT_EQ(harness_.Boxes(),
              Lines{"[!!!Внимание!!!] Если Вы играете первый раз, то\nПРОЧИТАЙТЕ ПЕРЕД ИГРОЙ\n"
                    "ДОКУМЕНТАЦИЮ!!! - Read1st!.txt"});
    EXPECT_EQ(harness_.host.boxes[0].icon, BoxIcon::kWarning);
    EXPECT_EQ(harness_.host.titles, (Lines{Cp(" Narravox Enigne III"), Cp(" Двор")}));
    EXPECT_EQ(game().TextWindow.CompleteLines().size(), 30u);
}

TEST_F(SessionTest, MissingVocabularyShowsOnlyItsBox) {
    harness_.WriteGame();
    std::filesystem::remove(harness_.folder.path() / kCommandsFileName);
    Session session(harness_.host, "Narravox", harness_.folder.path().string());
    EXPECT_EQ(session.Start(30, 60), StartResult::kDataFilesRefused);
    EXPECT_EQ(harness_.Boxes(), Lines{"[Ошибка] Файл команд \"Commands.ply\" не найден!!"});
    EXPECT_EQ(session.game().TextWindow.Text(), "");
}

TEST_F(SessionTest, ReadErrorInTheCheckLeavesTheWindowUnlaidOut) {
    harness_.WriteGame();
    WriteFile(harness_.folder.path() / kScenarioFileName, "SC");
    Session session(harness_.host, "Narravox", harness_.folder.path().string());
    EXPECT_EQ(session.Start(30, 60), StartResult::kCheckFailed);
    EXPECT_EQ(harness_.Boxes(), Lines{"[Narravox] Read beyond end of file."});
    EXPECT_EQ(session.game().TextWindow.VisibleLines, 0);
    EXPECT_EQ(session.game().TextWindow.LineWidth, 0);
    // The game stays safe to type into.
    session.PressEnter("abc");
}

TEST_F(SessionTest, ReadErrorInTheHeaderSkipsWarningAndArrival) {
    harness_.WriteGame();
    WriteFile(harness_.folder.path() / kScenarioFileName,
              Scramble(std::string(kScenarioMagic) + "\x10"));
    Session session(harness_.host, "Narravox", harness_.folder.path().string());
    EXPECT_EQ(session.Start(30, 60), StartResult::kStarted);
    EXPECT_EQ(harness_.Boxes(), Lines{"[Narravox] Read beyond end of file."});
    const auto& lines = session.game().TextWindow.CompleteLines();
    EXPECT_EQ(Utf8(lines[lines.size() - 2]), "Информация о сценарии:");
}

TEST_F(SessionTest, EnterEchoesNormalisesAndPlays) {
    Start();
    EXPECT_EQ(harness_.Type("  Взять   КЛЮЧ "), (Lines{">  Взять   КЛЮЧ ", "  Взяли.  "}));
    EXPECT_EQ(Utf8(game().LastCommand), "  Взять   КЛЮЧ ");
    EXPECT_EQ(Utf8(harness_.session().PressF3()), "  Взять   КЛЮЧ ");
    EXPECT_FALSE(harness_.last_enter.DrawEmblem);
}

TEST_F(SessionTest, EmptyAndBlankLinesPlayNoTurn) {
    Start();
    EXPECT_EQ(harness_.Type(""), Lines{">"});
    EXPECT_EQ(game().LastCommand, "");
    EXPECT_EQ(harness_.Type("   "), Lines{">   "});
    EXPECT_EQ(harness_.session().PressF3(), "   ");
}

TEST_F(SessionTest, HiddenModeTogglesTheEmblemAndTheF1Box) {
    Start();
    harness_.session().PressF1();
    EXPECT_EQ(harness_.Boxes().back(),
              "[О программе] Narravox Engine III (3.03)\n(c) 2026 Команда Narravox\n"
              "Свободно распространяемая.");
    EXPECT_EQ(harness_.Type(" VORN   Telik"), Lines{"> VORN   Telik"});
    EXPECT_TRUE(game().HiddenMode);
    EXPECT_TRUE(harness_.last_enter.DrawEmblem);
    harness_.Type("");
    EXPECT_TRUE(harness_.last_enter.DrawEmblem);
    harness_.session().PressF1();
    const Box& dedication = harness_.host.boxes.back();
    EXPECT_EQ(dedication.caption, "Vorn telik");
    EXPECT_EQ(std::count(dedication.text.begin(), dedication.text.end(), '\n'), 5);
    EXPECT_EQ(dedication.icon, BoxIcon::kInformation);
    harness_.Type("vorn telik");
    EXPECT_FALSE(game().HiddenMode);
    EXPECT_FALSE(harness_.last_enter.DrawEmblem);
}

TEST_F(SessionTest, QuitAsksAndOnlyYesCloses) {
    Start();
    EXPECT_EQ(harness_.Type("Выход"), Lines{">Выход"});
    EXPECT_FALSE(harness_.last_enter.CloseRequested);
    EXPECT_EQ(harness_.Boxes(), Lines{"[Выход] Вы действительно хотите выйти?"});
    EXPECT_EQ(harness_.host.boxes[0].buttons, BoxButtons::kYesNo);
    EXPECT_EQ(harness_.host.boxes[0].icon, BoxIcon::kQuestion);
    harness_.host.answers.push_back(Button::kYes);
    harness_.Type("  QUIT ");
    EXPECT_TRUE(harness_.last_enter.CloseRequested);
    // A built-in word followed by more is an ordinary command.
    EXPECT_EQ(harness_.Type("quit now"), (Lines{">quit now", "Неизвестное слово: \"quit\""}));
}

TEST_F(SessionTest, CancelledChoicesDoNothing) {
    Start();
    EXPECT_EQ(harness_.Type("сохранить"), Lines{">сохранить"});
    EXPECT_EQ(harness_.Type("Загрузить"), Lines{">Загрузить"});
    EXPECT_EQ(harness_.host.choices,
              (std::vector<FileChoice>{FileChoice::kSave, FileChoice::kOpen}));
    EXPECT_TRUE(harness_.host.boxes.empty());
}

TEST_F(SessionTest, SaveAndLoadRestoreTheGame) {
    Start();
    harness_.Type("взять ключ");
    const std::string path = harness_.folder / "game.nvs";
    harness_.host.files.push_back(path);
    harness_.Type("сохранить");
    EXPECT_EQ(std::filesystem::file_size(path), 4102u);
    game().Flags.fill(0);
    game().CurrentLocation = 9;
    harness_.host.files.push_back(path);
    // Loading enters the saved location below what the window already shows.
    EXPECT_EQ(harness_.Type("загрузить"), (Lines{">загрузить", "  Вы во дворе.  "}));
    EXPECT_EQ(game().CurrentLocation, 1);
    EXPECT_EQ(game().Flags[0], 1 << 5);
    EXPECT_EQ(Utf8(game().TextWindow.CompleteLines()[25]), ">взять ключ");
}

TEST_F(SessionTest, AFailedLoadIsReportedAndEndsTheLine) {
    Start();
    harness_.Type("vorn telik");
    harness_.host.files.push_back(harness_.folder / "нет такого.nvs");
    EXPECT_EQ(harness_.Type("загрузить"), Lines{">загрузить"});
    EXPECT_EQ(harness_.Boxes(), Lines{"[Narravox] File not found."});
    EXPECT_EQ(harness_.host.boxes[0].icon, BoxIcon::kError);
    EXPECT_FALSE(harness_.last_enter.DrawEmblem);
    EXPECT_EQ(game().LastCommand, Cp("загрузить"));
}

TEST_F(SessionTest, TwoGamesInOneProcessDoNotShareState) {
    Start();
    Harness other({{kLook, {"осмотреться"}}}, harness_.scenario);
    ASSERT_EQ(other.Start(10, 40), StartResult::kStarted);
    harness_.Type("взять ключ");
    EXPECT_EQ(game().Flags[0], 1 << 5);
    EXPECT_EQ(other.game().Flags[0], 0);
    EXPECT_EQ(other.game().TextWindow.VisibleLines, 10);
}

}  // namespace
}  // namespace narravox::testing
