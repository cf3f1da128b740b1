// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

#include "interp/game.h"

// The floors and baselines that our code is measured against. Both play the same turn as
// DoCommand, through the same passes, for the games the benchmarks write (reactions made of text
// statements); they differ only in how they reach the files' bytes.
namespace narravox::bench {

// The floor: each use opens its file, maps it, reads the bytes it needs straight from the
// mapping and unmaps and closes it again. Nothing is copied and no system call is made per
// record, so no reader of the same bytes can do less.
VerbId FloorFindVerb(std::string_view game_folder, std::string& text);
void FloorDoCommand(Game& game, std::string line);

// The baseline: the file reached one byte per read() call and one lseek() per seek, the way the
// file-access rules read when taken word for word. Position and size are kept in memory, which
// a literal reading would ask the system for; the baseline is therefore a little faster than a
// literal implementation.
void BaselineDoCommand(Game& game, std::string line);

}  // namespace narravox::bench
