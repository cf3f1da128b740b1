// SPDX-License-Identifier: MIT
// The full-screen mode played for real: narravox-term runs in a detached tmux session, keys go
// in with send-keys and the screen comes back with capture-pane.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "support/game_builder.h"
#include "test_game.h"
#include "tmux_session.h"

namespace narravox::testing {
namespace {

TEST(TermInteractive, PlaysATurnRecallsItAnswersABoxAndQuits) {
    int version_status = 0;
    Capture("tmux -V 2>/dev/null", &version_status);
    if (version_status != 0) {
        GTEST_SKIP() << "tmux cannot run here";
    }
    TempFolder folder;
    WriteTestGame(folder);
    Tmux tmux(folder);
    const std::string command = "cd " + Quote(folder.path().string()) +
                                " && LANG=C.UTF-8 LC_ALL=C.UTF-8 " + Quote(NARRAVOX_TERM_BINARY) +
                                " --transcript record.txt; echo $? > status";
    int status = 0;
    tmux.Run("new-session -d -s play -x 80 -y 24 " + Quote(command), &status);
    if (status != 0) {
        GTEST_SKIP() << "tmux cannot start a session here";
    }

    // Start-up: the warning box over the banner, the title in the top row.
    // Under load the terminal can show the box a moment before the rest of the same update.
    tmux.WaitFor("!!!Внимание!!!");
    auto screen = tmux.WaitFor("Проверочная игра.");
    EXPECT_EQ(screen[0].rfind(" Narravox Enigne III", 0), 0u) << tmux.Join(screen);
    EXPECT_TRUE(Contains(screen, "!!!Внимание!!!"));
    EXPECT_TRUE(Contains(screen, "ПРОЧИТАЙТЕ ПЕРЕД ИГРОЙ"));
    tmux.Keys("Enter");

    // The first location: its name in the title, its text above an empty prompt.
    screen = tmux.WaitFor("Вы во дворе. На земле ключ.");
    EXPECT_EQ(screen[0].rfind(" Двор", 0), 0u) << tmux.Join(screen);
    EXPECT_EQ(screen[23], ">");
    EXPECT_FALSE(Contains(screen, "!!!Внимание!!!"));

    // A turn: echoed in the text window, answered, and the command line emptied.
    tmux.Keys("'взять ключ' Enter");
    screen = tmux.WaitFor("Взяли ключ.");
    EXPECT_EQ(screen[21], ">взять ключ") << tmux.Join(screen);
    EXPECT_EQ(screen[22], "  Взяли ключ.");
    EXPECT_EQ(screen[23], ">");

    // F3 brings the line back; editing keys change it before it is entered.
    tmux.Keys("F3");
    screen = tmux.WaitFor(">взять ключ");
    EXPECT_EQ(screen[23], ">взять ключ");
    tmux.Keys("Home Delete Delete Delete Delete Delete End BSpace BSpace BSpace BSpace BSpace");
    tmux.Keys("'выход' Enter");
    screen = tmux.WaitFor("Вы действительно хотите выйти?");
    EXPECT_TRUE(Contains(screen, "Выход"));

    // No keeps the game going, with only the echo printed.
    tmux.Keys("'н'");
    screen = tmux.WaitFor(">выход");
    for (int attempt = 0; attempt < 50 && Contains(screen, "хотите выйти"); ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        screen = tmux.Screen();
    }
    EXPECT_FALSE(Contains(screen, "хотите выйти")) << tmux.Join(screen);
    EXPECT_EQ(screen[22], ">выход");
    EXPECT_EQ(screen[23], ">");

    // Up walks back to the quit command; Enter and Enter (Yes) end the program.
    tmux.Keys("Up");
    screen = tmux.WaitFor(">выход");
    EXPECT_EQ(screen[23], ">выход");
    tmux.Keys("Enter");
    tmux.WaitFor("Вы действительно хотите выйти?");
    tmux.Keys("Enter");
    // The shell creates the status file before it writes the status into it: wait for the line.
    for (int attempt = 0; attempt < 100 && ReadFile(folder / "status").empty(); ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(ReadFile(folder / "status"), "0\n");
    const std::string record = ReadFile(folder / "record.txt");
    EXPECT_NE(record.find("\n>взять ключ\n  Взяли ключ.  \n>выход\n>выход\n"), std::string::npos)
        << record;
}

}  // namespace
}  // namespace narravox::testing
