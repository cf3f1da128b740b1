// SPDX-License-Identifier: MIT
// A save cut short: the real narravox-term saves in a loop and is killed with SIGKILL at random
// moments. Whatever the moment, the save on disk is either absent (the first save had not
// finished) or whole, and no temporary file is left.
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <random>
#include <thread>

#include "support/game_builder.h"
#include "test_game.h"

namespace narravox::testing {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Starts narravox-term in `folder`, reading a script from `input`, its output thrown away.
pid_t StartTerm(const fs::path& folder, const std::string& input) {
    const pid_t child = ::fork();
    if (child == 0) {
        const int in = ::open(input.c_str(), O_RDONLY);
        const int out = ::open("/dev/null", O_WRONLY);
        if (in < 0 || out < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(out, 2) < 0 ||
            ::chdir(folder.c_str()) != 0) {
            ::_exit(126);
        }
        ::execl(NARRAVOX_TERM_BINARY, NARRAVOX_TERM_BINARY, "--batch", "--columns", "80",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return child;
}

// Runs narravox-term to its end on `input`; true when it exited normally.
bool RunToTheEnd(const fs::path& folder, const std::string& input) {
    const pid_t child = StartTerm(folder, input);
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

std::string SaveCycles(int count) {
    std::string script;
    for (int i = 0; i < count; ++i) {
        script += "идти в дом\nсохранить\nslot\nидти во двор\nсохранить\nslot\n";
    }
    return script;
}

// Location 2 (the house) or 1 (the yard), and the magic.
bool IsWholeSave(const std::string& image) {
    return image.size() == 4102 && image.starts_with("NVES") &&
           (image.substr(4, 2) == std::string("\x01\x00", 2) ||
            image.substr(4, 2) == std::string("\x02\x00", 2));
}

// The file to replace a save is unnamed until it is whole on disk; only then is it linked in
// under a temporary name and renamed over the save, by a child that a kill of the program does
// not stop. Before, a kill anywhere from the file's creation to its rename (most of a save)
// left a temporary file.
TEST(SaveKill, AKilledSaveLeavesAWholeSaveOrNoneAndNoTemporaryFile) {
    // The child that finishes a save for a killed program is handed to this test, which waits
    // for it before looking at the folder.
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    TempFolder game;
    WriteTestGame(game);
    TempFolder io;
    const fs::path save = game.path() / "slot.nvs";
    // Kills fall anywhere within the time a run takes to start and save 40 times (at most
    // 400 ms, so that a slow machine still gets its kills in time).
    WriteFile(io / "measure", SaveCycles(20));
    const auto started = Clock::now();
    ASSERT_TRUE(RunToTheEnd(game.path(), io / "measure"));
    const auto span = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - started);
    // Far more saves than a run lives for; each in the other location, so that the saves differ
    // from one to the next.
    WriteFile(io / "in", SaveCycles(2000));

    std::mt19937 random(20261208);
    std::uniform_int_distribution<long> life_us(0, std::min<long>(span.count(), 400000));
    int kills = 0;
    int whole = 0;
    int absent = 0;
    int broken = 0;
    std::vector<fs::path> left;
    const auto give_up = Clock::now() + std::chrono::seconds(25);
    for (int run = 0; run < 60 && Clock::now() < give_up; ++run) {
        fs::remove(save);
        const pid_t child = StartTerm(game.path(), io / "in");
        ASSERT_GT(child, 0);
        std::this_thread::sleep_for(std::chrono::microseconds(life_us(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "narravox-term ended by itself, status " << status;
        ++kills;
        while (::waitpid(-1, &status, __WALL) > 0) {
        }

        if (!fs::exists(save)) {
            ++absent;
        } else if (IsWholeSave(ReadFile(save))) {
            ++whole;
        } else {
            ++broken;
            ADD_FAILURE() << "run " << run << ": a save of " << fs::file_size(save) << " bytes";
        }
        for (const auto& entry : fs::directory_iterator(game.path())) {
            const std::string name = entry.path().filename().string();
            if (name == "Commands.ply" || name == "Scenario.ply" || name == "slot.nvs" ||
                std::find(left.begin(), left.end(), entry.path()) != left.end()) {
                continue;
            }
            left.push_back(entry.path());
            EXPECT_TRUE(name.starts_with(".nvs-save-") && IsWholeSave(ReadFile(entry.path())))
                << "run " << run << " left " << name << " of " << fs::file_size(entry.path())
                << " bytes";
        }
    }
    std::cout << "[ figures  ] kills " << kills << ", whole saves " << whole << ", no save yet "
              << absent << ", broken saves " << broken << ", temporary files left "
              << left.size() << " (runs of " << span.count() / 1000 << " ms for 40 saves)\n";
    EXPECT_GE(kills, 50);
    EXPECT_GT(whole, 0);  // the kills did fall among saves
    EXPECT_EQ(broken, 0);
    EXPECT_EQ(left.size(), 0u);
    ::prctl(PR_SET_CHILD_SUBREAPER, 0);
}

}  // namespace
}  // namespace narravox::testing
