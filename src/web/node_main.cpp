// SPDX-License-Identifier: MIT
// narravox-node: the batch mode of narravox-term, played by the WebAssembly engine under node.
// It proves that the engine the page runs plays every game as the native one does.
#include <iostream>
#include <string>

#include "line_source.h"
#include "program_start.h"
#include "stream_mode.h"

int main(int argc, char** argv) {
    using namespace narravox::term;
    // The launcher runs narravox-node.js; the program is named after the launcher.
    std::string program_path = argc > 0 ? argv[0] : "narravox-node";
    if (program_path.ends_with(".js")) {
        program_path.resize(program_path.size() - 3);
    }
    argv[0] = program_path.data();
    ProgramStart start;
    StartProgram(start, argc, argv, std::cout, std::cerr);
    if (start.exit_status) {
        return *start.exit_status;
    }
    // Standard input is a script here, never a person at a terminal.
    const Mode mode = ChooseMode(start.options, false, false);
    LineInput input(std::cin);
    return RunStreamMode(mode, start.options, start.program_path, input, std::cout, std::cerr,
                         start.transcript());
}
