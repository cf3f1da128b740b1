// SPDX-License-Identifier: MIT
#pragma once

#include "support/game_builder.h"

// The small game the terminal front-end's tests play, written as source in the transcript
// tests (game/walkthrough.nvx): two places, a key, a door, centred text, a cleared screen and a
// long note, enough to reach every path of the front-end.
namespace narravox::testing {

inline void WriteTestGame(const TempFolder& folder) {
    folder.WriteGameFromSource(TestsFolder() / "transcripts" / "game" / "walkthrough.nvx");
}

}  // namespace narravox::testing
