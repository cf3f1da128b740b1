// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

#include "line_source.h"

namespace narravox::term {

// Plain mode's input when a person types at a terminal that can redraw a line: libedit gives
// the line its usual editing keys, Up and Down through earlier commands and Tab completion at
// the file-name prompts, while the game's own output stays one line after another for screen
// readers. Nothing when standard input is no such terminal; the caller then reads standard
// input line by line.
std::unique_ptr<LineSource> OpenEditedInput();

}  // namespace narravox::term
