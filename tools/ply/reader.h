// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>
#include <vector>

#include "model.h"

namespace narravox::ply {

// Read whole data files (as stored, scrambled) into the model, noting every place where the
// layout is broken. Nothing outside `file` is ever read, every loop advances, and nesting is
// bounded, so any bytes at all are safe. What cannot be read is left out of the model.
Vocabulary ReadCommands(std::string_view file, std::vector<Finding>& findings);
Scenario ReadScenario(std::string_view file, std::vector<Finding>& findings);

}  // namespace narravox::ply
