// SPDX-License-Identifier: MIT
// Writes the window tests' game into a folder, for the end-to-end test to play.
#include <cstdio>
#include <filesystem>

#include "test_game.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: write_test_game FOLDER\n");
        return 2;
    }
    std::filesystem::create_directories(argv[1]);
    narravox::testing::WriteTestGame(argv[1]);
    return 0;
}
