#pragma once

#include <iosfwd>
#include <optional>
#include <string>

namespace narravox::term {

// Plays the game full screen with ncurses until the player quits; returns the exit status, or
// nothing when this terminal cannot be driven (unknown TERM and the like) and nothing has been
// drawn, so that the caller can fall back to plain mode. A Ctrl+C, a hang-up or a termination
// request restores the terminal and then ends the program by that signal.
std::optional<int> RunFullScreen(const std::string& program_path, std::ostream* transcript_file);

}  // namespace narravox::term
