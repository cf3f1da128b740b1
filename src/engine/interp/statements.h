// SPDX-License-Identifier: MIT
#pragma once

#include "data/data_file.h"
#include "interp/game.h"

namespace narravox {

// Whether the pass may go on after a statement. A statement whose offsets would move the
// position backwards or into its own operands, or branches nested deeper than kMaxNesting,
// stop the pass.
enum class StatementResult { kContinue, kStopPass };

// Reads one statement at the file's position and executes it; does nothing while a jump is
// pending. `depth` is the number of branch bodies the statement stands in.
StatementResult ExecuteStatement(Game& game, DataFile& file, int depth = 0);

// The text statement after its opcode: prints the text, framed by two spaces, or centred and
// paced line by line when the centred mode is on.
void PrintMessage(Game& game, DataFile& file);

}  // namespace narravox
