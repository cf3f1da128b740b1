// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace narravox::ply {

// The two data files of a game, as stored.
struct GameBytes {
    std::string commands;
    std::string scenario;
};

// Compiles a source or reads a folder's data files, writing what it finds (the compiler's
// findings, a file that cannot be read) to the stream; nothing when there is no game to play.
using GameLoader =
    std::function<std::optional<GameBytes>(const std::string& game, std::ostream& err)>;

// "test GAME WALKTHROUGH [EXPECTED] [--columns C] [--lines L] [--bless] [--trace]": plays the
// walkthrough's lines through narravox-term's batch mode, in a text window of C×L (80×24 by
// default), and compares the transcript with EXPECTED; prints the transcript when EXPECTED is
// not given, and writes it there with --bless. The game's data files and the saved games the
// walkthrough writes under a name without a folder are kept in a temporary folder, removed
// afterwards. Boxes and --trace lines go to `err`, as in batch mode.
//
// `args` starts with "test"; `usage` is written after a mistake on the command line. Returns 0
// when the transcript is the expected one (or was written), 1 when it differs or the game
// cannot be played (compile errors, data files refused), 2 for a usage or file problem.
int PlayTest(const std::vector<std::string>& args, const GameLoader& load, std::string_view usage,
             std::ostream& out, std::ostream& err);

}  // namespace narravox::ply
