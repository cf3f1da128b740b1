// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "interp/game.h"

namespace narravox {

// Reads the scenario header (which puts the player at the start location) and prints the
// information text one character at a time.
void ShowScenarioInfo(Game& game);

// Starts a new game: forgets the last command, clears every flag, prints the scenario
// information.
void ResetGame(Game& game);

// One pass over the location table for `CurrentLocation`: finds the first reaction to `verb`
// under a phrase equal to `text` and runs its statements; prints why nothing fitted otherwise
// (never in the global location).
void RunReactions(Game& game, VerbId verb, const std::string& text);

// One turn for a normalised command line that is no built-in command.
void DoCommand(Game& game, std::string line);

// Runs the arrival verb: in the global location first, then in the current one, following
// jumps made by arrival reactions.
void EnterLocation(Game& game);

}  // namespace narravox
