// SPDX-License-Identifier: MIT
#include "terminal_check.h"

// term.h defines capability names such as "lines" and "columns" as macros, so it is included
// here alone, in a file that needs nothing else.
#include <curses.h>
#include <term.h>

namespace narravox::term {

bool TerminalCanMoveCursor(int fd) {
    int error = 0;
    // With an error pointer, a missing terminfo entry is reported instead of ending the program.
    if (setupterm(nullptr, fd, &error) != OK) {
        return false;
    }
    const char* cup = tigetstr("cup");
    const bool can_move = cup != nullptr && cup != reinterpret_cast<char*>(-1);
    del_curterm(cur_term);
    return can_move;
}

}  // namespace narravox::term
