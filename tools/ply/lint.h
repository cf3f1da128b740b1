// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "model.h"

namespace narravox::ply {

// Why a stored synonym or phrase can never equal what a player types, or empty when it can.
// Synonyms are compared with the typed line as it is; phrases after "ё" is folded to "е".
std::string WhyNeverMatches(std::string_view text, bool is_phrase);

// How findings name flags, verbs and locations: by number unless a function is given (the
// compiler gives the names from the source).
struct LintNames {
    std::function<std::string(std::int16_t)> flag;
    std::function<std::string(std::int16_t)> verb;
    std::function<std::string(std::uint16_t)> location;
};

// A jump that the arrival reaction of location `from` makes; `certain` when it happens whatever
// the flags (the first jump at the reaction's top level).
struct ArrivalJump {
    std::uint16_t from = 0;
    std::uint16_t to = 0;
    bool certain = false;
    const Statement* statement = nullptr;
};

// The jumps of every location's arrival reaction (of the first block with each id), as the
// check for arrival cycles sees them.
std::vector<ArrivalJump> FindArrivalJumps(const Scenario& scenario);

// Checks of a whole game that need more than one record: the global and start locations,
// duplicate ids, jumps, arrival cycles, verbs, synonyms, phrases and flags. Findings carry the
// `where` of the elements they are about.
void LintGame(const GameData& game, std::vector<Finding>& findings, const LintNames& names = {});

}  // namespace narravox::ply
