// SPDX-License-Identifier: MIT
#pragma once

// What the terminal on the other end of a file descriptor can do, from its terminfo entry.
namespace narravox::term {

// Whether the terminal can put its cursor anywhere on the screen. One that cannot (TERM=dumb,
// an Emacs shell buffer, an unknown or unset TERM) would get the whole screen drawn on one
// line, and a line editor's redrawing would garble its lines, so it is played line by line.
bool TerminalCanMoveCursor(int fd);

}  // namespace narravox::term
