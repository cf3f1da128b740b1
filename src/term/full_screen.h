// SPDX-License-Identifier: MIT
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

namespace narravox {
class Tracer;
}

namespace narravox::term {

// The text window asked for on the command line (--columns, --lines); a size not given
// follows the terminal. The game then takes that many columns and two more lines than the text
// window (the title and the command line), at the top left of the terminal.
struct GameArea {
    std::optional<int> columns;
    std::optional<int> lines;
};

// Plays the game full screen with ncurses until the player quits; returns the exit status, or
// nothing when this terminal cannot be driven (unknown TERM, no cursor addressing and the
// like) and nothing has been drawn, so that the caller can fall back to plain mode. A terminal
// smaller than the game area asked for is refused with a message on standard error. A Ctrl+C,
// a hang-up or a termination request restores the terminal and then ends the program by that
// signal. A `tracer`, if any, is told what the game does.
std::optional<int> RunFullScreen(const std::string& program_path, const GameArea& area,
                                 std::ostream* transcript_file, Tracer* tracer = nullptr);

}  // namespace narravox::term
