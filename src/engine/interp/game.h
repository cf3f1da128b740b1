// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "console/text_window.h"
#include "data/file_format.h"

namespace narravox {

class Host;
class Tracer;

using LocationId = std::uint16_t;
using VerbId = std::int16_t;
using FlagSet = std::array<std::uint8_t, 4096>;

inline constexpr VerbId kNoVerb = -1;

// Branches nested deeper than kMaxNesting (data/file_format.h) end the pass instead of
// recursing further. Jumps followed within one turn or one arrival; after this many the turn
// ends.
inline constexpr int kMaxJumpsPerTurn = 1000;

// Everything a running game holds. Two games never share anything, so two of them can run in
// one process side by side.
class Game {
  public:
    explicit Game(Host& host, std::string game_folder = {})
        : GameFolder(std::move(game_folder)), host_(&host) {}

    Host& host() const { return *host_; }

    // The folder holding the two data files; empty for the working directory.
    std::string GameFolder;

    LocationId CurrentLocation = 0;
    LocationId GlobalLocation = 0;
    VerbId ArrivalVerb = 0;
    std::int32_t LocationTableOffset = 0;
    bool Handled = false;
    bool JumpPending = false;
    bool CenterMode = false;
    FlagSet Flags{};
    std::string LastCommand;
    bool HiddenMode = false;
    // The title line's text as last set; the host shows it.
    std::string Title;
    narravox::TextWindow TextWindow;
    // Told what the game does, when set (interp/trace.h); it changes nothing in the play.
    Tracer* Trace = nullptr;

    // Sets the title line and tells the host.
    void SetTitle(std::string text);

  private:
    Host* host_;
};

}  // namespace narravox
