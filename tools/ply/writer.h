// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>

#include "model.h"

namespace narravox::ply {

// Whole data files, magic included, body scrambled. Nothing when the game is too large for the
// 31-bit offsets the format uses.
std::optional<std::string> WriteCommands(const Vocabulary& vocabulary);
std::optional<std::string> WriteScenario(const Scenario& scenario);

}  // namespace narravox::ply
