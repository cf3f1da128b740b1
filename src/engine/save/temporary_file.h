// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "interp/game.h"

namespace narravox {

// How a save makes the new file that is to replace the old one. Where the file system can, it
// is made without a name and named only once it is whole on disk, so that a program killed
// while saving leaves nothing behind; elsewhere it is made under a temporary name. A test can
// ask for the named way, to play a file system that has no unnamed files.
enum class TemporaryFileKind { kUnnamedWherePossible, kNamed };

// SaveGame() with the kind of temporary file chosen.
void SaveGame(const Game& game, const std::string& path, TemporaryFileKind kind);

}  // namespace narravox
