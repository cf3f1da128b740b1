// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>

#include "support/game_builder.h"

// The small game the window's tests play (test_game.nvx beside this file).
namespace narravox::testing {

inline std::filesystem::path TestGameSource() {
    return TestsFolder() / "app" / "test_game.nvx";
}

inline void WriteTestGame(const TempFolder& folder) {
    folder.WriteGameFromSource(TestGameSource());
}

}  // namespace narravox::testing
