// SPDX-License-Identifier: MIT
// narravox-term at real terminals of several kinds, under tmux: the game area asked for on the
// command line, keys whose sequences the terminal description does not know, a terminal that
// cannot move its cursor, the line editor of plain mode, and Ctrl+C.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "support/game_builder.h"
#include "test_game.h"
#include "tmux_session.h"

namespace narravox::testing {
namespace {

// Characters, not bytes, in a row of the screen as capture-pane gives it in UTF-8.
std::size_t Width(const std::string& row) {
    std::size_t width = 0;
    for (const char c : row) {
        width += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return width;
}

class TermAtATerminal : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!TmuxRuns()) {
            GTEST_SKIP() << "tmux cannot run here";
        }
        WriteTestGame(folder_);
    }
    // Starts narravox-term in the game's folder; skips the test when tmux cannot.
    void Play(const std::string& arguments, const std::string& environment = "", int columns = 80,
              int rows = 24) {
        if (!tmux_.Start(PlayCommand(folder_, arguments, environment), columns, rows)) {
            GTEST_SKIP() << "tmux cannot start a session here";
        }
    }
    std::string Status() const { return WaitForFile(folder_ / "status"); }
    std::string Errors() const { return ReadFile(folder_ / "err"); }

    TempFolder folder_;
    Tmux tmux_{folder_};
};

TEST_F(TermAtATerminal, FullScreenGameAreaOfTheSizeAskedForAtTheTopLeft) {
    Play("--columns 40 --lines 10");
    if (IsSkipped()) {
        return;
    }
    auto screen = tmux_.WaitFor("!!!Внимание!!!");
    tmux_.Keys("Enter");
    screen = tmux_.WaitFor("Вы во дворе. На земле ключ.");
    tmux_.Keys("'читать записку' Enter");
    screen = tmux_.WaitFor("Записка длинная");
    // The title, ten lines of text and the command line: rows 0 to 11, nothing below them.
    EXPECT_EQ(screen[0].rfind(" Двор", 0), 0u) << tmux_.Join(screen);
    EXPECT_EQ(screen[11], ">") << tmux_.Join(screen);
    for (std::size_t row = 12; row < screen.size(); ++row) {
        EXPECT_EQ(screen[row], "") << "row " << row << " below the game area:\n"
                                   << tmux_.Join(screen);
    }
    // The long text wraps at forty columns, and nothing is drawn right of them.
    for (const auto& row : screen) {
        EXPECT_LE(Width(row), 40u) << row;
    }
    EXPECT_GE(std::count_if(screen.begin() + 1, screen.begin() + 11,
                            [](const std::string& row) { return !row.empty(); }),
              3)
        << "the long text spans several lines:\n"
        << tmux_.Join(screen);
    tmux_.Keys("C-c");
    EXPECT_EQ(Status(), "130\n");
}

TEST_F(TermAtATerminal, TerminalSmallerThanTheGameAreaIsRefused) {
    Play("--columns 100 --lines 30");
    if (IsSkipped()) {
        return;
    }
    EXPECT_EQ(Status(), "1\n");
    const std::string errors = Errors();
    EXPECT_NE(errors.find("--columns 100 --lines 30"), std::string::npos) << errors;
    EXPECT_NE(errors.find("100 columns and 32 lines"), std::string::npos) << errors;
    EXPECT_NE(errors.find("80 columns and 24 lines"), std::string::npos) << errors;
}

TEST_F(TermAtATerminal, OneSizeTooLargeIsRefusedTheOtherFollowsTheTerminal) {
    // 23 lines of text need 25 rows with the title and the command line.
    Play("--lines 23");
    if (IsSkipped()) {
        return;
    }
    EXPECT_EQ(Status(), "1\n");
    EXPECT_NE(Errors().find("--lines 23"), std::string::npos) << Errors();
    EXPECT_EQ(Errors().find("--columns"), std::string::npos) << Errors();
}

TEST_F(TermAtATerminal, CtrlCPutsTheTerminalBackAndEndsWithStatus130) {
    // The shell stays a while after the program, so that its terminal can be looked at.
    if (!tmux_.Start(PlayCommand(folder_, "") + "; sleep 30")) {
        GTEST_SKIP() << "tmux cannot start a session here";
    }
    tmux_.WaitFor("!!!Внимание!!!");
    tmux_.Keys("C-c");
    EXPECT_EQ(Status(), "130\n");
    // The game's screen is gone: the terminal shows what it showed before.
    const auto screen = tmux_.Screen();
    EXPECT_FALSE(Contains(screen, "Внимание")) << tmux_.Join(screen);
    EXPECT_EQ(Errors(), "");
}

TEST_F(TermAtATerminal, KeySequencesTheTerminalDescriptionDoesNotKnow) {
    // xterm's description says Home sends ESC O H; tmux and PuTTY send ESC [ 1 ~.
    Play("", "TERM=xterm-256color");
    if (IsSkipped()) {
        return;
    }
    tmux_.WaitFor("!!!Внимание!!!");
    tmux_.Keys("Enter");
    tmux_.WaitFor("Вы во дворе.");
    tmux_.Keys("'ключ'");
    tmux_.Keys("-l " + Quote("\x1b[1~"));  // Home
    tmux_.Keys("'взять '");
    auto screen = tmux_.WaitFor(">взять ключ");
    EXPECT_EQ(screen[23], ">взять ключ") << tmux_.Join(screen);
    // rxvt's End, then a sequence that is no key: it vanishes whole.
    tmux_.Keys("-l " + Quote("\x1b[8~"));
    tmux_.Keys("-l " + Quote("\x1b[99~"));
    tmux_.Keys("'!'");
    screen = tmux_.WaitFor(">взять ключ!");
    EXPECT_EQ(screen[23], ">взять ключ!") << tmux_.Join(screen);
    // rxvt's Home and Delete.
    tmux_.Keys("-l " + Quote("\x1b[7~\x1b[3~"));
    screen = tmux_.WaitFor(">зять ключ!");
    EXPECT_EQ(screen[23], ">зять ключ!") << tmux_.Join(screen);
    tmux_.Keys("-l " + Quote("\x1b[4~"));  // End
    tmux_.Keys("BSpace Enter");
    screen = tmux_.WaitFor(">зять ключ");
    EXPECT_FALSE(Contains(screen, "[1~"));
    EXPECT_FALSE(Contains(screen, "[99~"));
    tmux_.Keys("C-c");
    EXPECT_EQ(Status(), "130\n");
}

TEST_F(TermAtATerminal, DumbTerminalPlaysLineByLine) {
    // An Emacs shell buffer: no cursor addressing, so no screen drawing.
    Play("", "TERM=dumb");
    if (IsSkipped()) {
        return;
    }
    auto screen = tmux_.WaitFor("Вы во дворе. На земле ключ.");
    EXPECT_TRUE(Contains(screen, "[!!!Внимание!!!]")) << tmux_.Join(screen);
    tmux_.Keys("'взять ключ' Enter");
    screen = tmux_.WaitFor("Взяли ключ.");
    // Each line of the game on a row of its own, under the line typed.
    const auto typed = std::find(screen.begin(), screen.end(), "взять ключ");
    ASSERT_NE(typed, screen.end()) << tmux_.Join(screen);
    ASSERT_LT(typed + 3, screen.end());
    EXPECT_EQ(typed[1], ">взять ключ") << tmux_.Join(screen);
    EXPECT_EQ(typed[2], "  Взяли ключ.") << tmux_.Join(screen);
    EXPECT_EQ(typed[3], ">") << tmux_.Join(screen);
    tmux_.Keys("C-d");
    EXPECT_EQ(Status(), "0\n");
    EXPECT_EQ(Errors(), "") << "chosen without a warning, as for a pipe";
}

TEST_F(TermAtATerminal, PlainModeHasHistoryAndTheCommonKeySequences) {
    Play("--plain", "TERM=xterm-256color");
    if (IsSkipped()) {
        return;
    }
    tmux_.WaitFor("Вы во дворе. На земле ключ.");
    tmux_.Keys("'взять ключ' Enter");
    tmux_.WaitFor("Взяли ключ.");
    tmux_.Keys("Up");
    tmux_.Keys("Enter");
    auto screen = tmux_.WaitFor("Ключ уже у вас.");
    EXPECT_EQ(std::count(screen.begin(), screen.end(), ">взять ключ"), 2) << tmux_.Join(screen);
    EXPECT_EQ(std::count(screen.begin(), screen.end(), "взять ключ"), 2) << tmux_.Join(screen);
    EXPECT_FALSE(Contains(screen, "^[")) << tmux_.Join(screen);

    // Home as tmux sends it, unknown to xterm's description, then a sequence for no key.
    tmux_.Keys("'ключ'");
    tmux_.Keys("-l " + Quote("\x1b[1~"));
    tmux_.Keys("'взять '");
    tmux_.Keys("-l " + Quote("\x1b[99~\x1b[4~"));
    tmux_.Keys("Enter");
    for (int attempt = 0; attempt < 100; ++attempt) {
        screen = tmux_.Screen();
        if (std::count(screen.begin(), screen.end(), "  Ключ уже у вас.") == 2) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(std::count(screen.begin(), screen.end(), ">взять ключ"), 3) << tmux_.Join(screen);
    EXPECT_EQ(std::count(screen.begin(), screen.end(), "  Ключ уже у вас."), 2)
        << tmux_.Join(screen);
    EXPECT_FALSE(Contains(screen, "~")) << tmux_.Join(screen);

    // Ctrl+C while a line is edited ends the program as Ctrl+C does anywhere.
    tmux_.Keys("'осм'");
    tmux_.Keys("C-c");
    EXPECT_EQ(Status(), "130\n");
}

TEST_F(TermAtATerminal, PlainModeTabCompletesSaveNamesNeverTheGamesFiles) {
    WriteFile(folder_ / "партия-1.nvs", "");
    Play("--plain");
    if (IsSkipped()) {
        return;
    }
    tmux_.WaitFor("Вы во дворе. На земле ключ.");
    // Tab means nothing in a command.
    tmux_.Keys("'осм' Tab Enter");
    auto screen = tmux_.WaitFor(">осм");
    tmux_.Keys("'сохранить' Enter");
    tmux_.WaitFor("Сохранить игру в файл");
    // The game's data files are not offered, whatever their first letters.
    tmux_.Keys("C Tab S Tab");
    tmux_.Keys("C-u Tab");
    screen = tmux_.WaitFor("  партия-1.nvs");
    EXPECT_FALSE(Contains(screen, ".ply")) << tmux_.Join(screen);
    tmux_.Keys("'па' Tab Enter");
    screen = tmux_.WaitFor("Файл партия-1.nvs уже существует. Заменить его?");
    tmux_.Keys("'да' Enter");
    // Ctrl+D ends the game at the command prompt; typed before the save is done, the terminal
    // could take it for the end of a line still being read, so the prompt is waited for.
    for (int attempt = 0; attempt < 100; ++attempt) {
        screen = tmux_.Screen();
        const auto last = std::find_if(screen.rbegin(), screen.rend(),
                                       [](const std::string& row) { return !row.empty(); });
        if (last != screen.rend() && *last == ">") {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    tmux_.Keys("C-d");
    EXPECT_EQ(Status(), "0\n") << tmux_.Join(tmux_.Screen());
    EXPECT_FALSE(ReadFile(folder_ / "партия-1.nvs").empty()) << "the completed name was saved";
}

}  // namespace
}  // namespace narravox::testing
