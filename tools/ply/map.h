// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <string>

#include "compiler.h"
#include "model.h"

// The map of a game: its locations and the jumps between them as a Graphviz graph, for authors
// to see at a glance where a player can go and where not.
namespace narravox::ply {

// What the map calls locations and verbs by: the source's names (UTF-8) for a compiled game.
// A game read from data files has none; its locations go by number and title, its verbs by
// their first synonym.
struct MapNames {
    std::map<std::uint16_t, std::string> locations;
    std::map<std::int16_t, std::string> verbs;
};

MapNames MapNamesOf(const CompileResult& compiled);

// The map as a Graphviz graph in DOT (UTF-8). A node per location, an edge per jump labelled
// with the verbs (and object) of the reaction that holds it; jumps under a condition dashed;
// the start marked; the global location in a box of its own; locations no jump from the start
// leads to, and those that lead nowhere, coloured; arrival jumps that go round in a cycle red.
// The same game always gives the same bytes.
std::string MapDot(const GameData& game, const MapNames& names = {});

// The contents of the map file `path` names by its extension: the DOT text itself for .dot and
// .gv, or what Graphviz's `program` (found on PATH) draws of it for .svg, .png and .pdf.
// Nothing, after a message on `err`, for an unknown extension or when the program is missing,
// fails or runs past `time_limit`.
std::optional<std::string> MapFile(const std::string& dot, const std::filesystem::path& path,
                                   std::ostream& err, const std::string& program = "dot",
                                   std::chrono::milliseconds time_limit = std::chrono::minutes(1));

}  // namespace narravox::ply
