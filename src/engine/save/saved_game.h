// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

#include "interp/game.h"

namespace narravox {

// A saved game is its magic, the current location (16 bits, little-endian) and the flags.
inline constexpr std::string_view kSavedGameMagic = "NVES";
inline constexpr std::size_t kSavedGameSize = 4102;

// Writes "NVES", the current location and the flags. The new file replaces the old one only
// when it is completely on disk, so a failed save leaves the previous one as it was.
void SaveGame(const Game& game, const std::string& path);

// Restores the location and flags from a saved game and enters the location. A file with
// another magic gets the "wrong format" box; a short one raises IoError. Either way nothing
// changes unless the whole file has been read.
void LoadGame(Game& game, const std::string& path);

}  // namespace narravox
