// SPDX-License-Identifier: MIT
#pragma once

#include <string>

#include "model.h"

namespace narravox::ply {

// Writes a game back as source (UTF-8). For files the compiler wrote, compiling the result gives
// the same bytes; for any other readable game it gives one that plays the same. Parts that can
// never take effect (blocks hidden by an earlier one with their id, sections without phrases,
// reactions without verbs, unknown statement codes) are left out with a comment saying so.
std::string Decompile(const GameData& game);

}  // namespace narravox::ply
