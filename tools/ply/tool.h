// SPDX-License-Identifier: MIT
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "model.h"

namespace narravox::ply {

// Everything `check` finds in a pair of data files (as stored, scrambled): the layout of each
// file, then the game as a whole. Sorted by file and offset.
std::vector<Finding> CheckGame(std::string_view commands, std::string_view scenario);

// The command line of narravox-ply without the program name: "build SOURCE -o DIR",
// "dump DIR|COMMANDS SCENARIO [-o FILE]", "check DIR|COMMANDS SCENARIO",
// "publish SOURCE|DIR -o PAGE [--title T] [--readme F] [--template F]", "map SOURCE|DIR
// [-o FILE]" or "test SOURCE|DIR WALKTHROUGH [EXPECTED] ...", with --werror and --encoding
// where a game is compiled or checked. Returns the exit status: 0 success, 1 errors in the
// game (warnings too with --werror, a differing transcript, or no player template to publish
// with), 2 a usage or file-system problem. `template_places` are where publish looks for the
// player template.
int RunTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
            const std::vector<std::string>& template_places = {});

}  // namespace narravox::ply
