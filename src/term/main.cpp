// SPDX-License-Identifier: MIT
#include <unistd.h>

#include <iostream>
#include <memory>

#include "edited_input.h"
#include "full_screen.h"
#include "options.h"
#include "program_start.h"
#include "stream_mode.h"
#include "terminal_check.h"
#include "trace_writer.h"

int main(int argc, char** argv) {
    using namespace narravox::term;
    ProgramStart start;
    StartProgram(start, argc, argv, std::cout, std::cerr);
    if (start.exit_status) {
        return *start.exit_status;
    }
    const Options& options = start.options;
    const std::string& program_path = start.program_path;
    const std::string& program_name = start.program_name;
    std::ostream* transcript = start.transcript();

    Mode mode = ChooseMode(options, ::isatty(STDIN_FILENO) == 1, ::isatty(STDOUT_FILENO) == 1);
    // A terminal that cannot put its cursor anywhere (TERM=dumb in an Emacs shell buffer, an
    // unset or unknown TERM) would get the whole screen drawn on one line: it is played line by
    // line, as --plain asks, without a word, as when standard output is no terminal.
    if (mode == Mode::kInteractive && !TerminalCanMoveCursor(STDOUT_FILENO)) {
        mode = Mode::kPlain;
    }
    // Trace lines written to the terminal would land in the middle of the drawn screen.
    if (mode == Mode::kInteractive && options.trace && ::isatty(STDERR_FILENO) == 1) {
        std::cerr << program_name
                  << ": --trace writes to standard error, which is the screen in full-screen "
                     "mode;\nredirect it (for example 2>trace.txt), or play with --plain or "
                     "--batch\n";
        return 2;
    }
    if (mode == Mode::kInteractive) {
        TraceWriter trace(std::cerr);
        GameArea area;
        if (options.columns_given) {
            area.columns = options.columns;
        }
        if (options.lines_given) {
            area.lines = options.lines;
        }
        if (const auto status =
                RunFullScreen(program_path, area, transcript, options.trace ? &trace : nullptr)) {
            return *status;
        }
        std::cerr << program_name << ": this terminal cannot be drawn on; playing line by line\n";
        mode = Mode::kPlain;
    }
    // A person typing in plain mode gets a line editor; scripts, and terminals that cannot
    // redraw a line, get standard input exactly as it comes.
    std::unique_ptr<LineSource> edited_input;
    if (mode == Mode::kPlain) {
        edited_input = OpenEditedInput();
    }
    LineInput standard_input(std::cin);
    LineSource& input = edited_input ? *edited_input : standard_input;
    return RunStreamMode(mode, options, program_path, input, std::cout, std::cerr, transcript);
}
