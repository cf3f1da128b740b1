// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

#include "interp/game.h"

namespace narravox {

// Finds the longest synonym in the vocabulary file that begins the command text and is followed by
// a space or by nothing; of equally long ones the last in the file wins. Returns its verb id
// and cuts it off the text (the space after it stays), or returns kNoVerb and leaves the text
// as it was.
VerbId FindVerb(std::string_view game_folder, std::string& text);

}  // namespace narravox
