// SPDX-License-Identifier: MIT
#pragma once

#include <fstream>
#include <optional>
#include <ostream>
#include <string>

#include "options.h"

namespace narravox::term {

// What the programs that play a game from their command line share before the game starts:
// the options read, --help and --version answered, the transcript file opened and the game's
// folder made the working folder.
struct ProgramStart {
    std::string program_path;  // as the system gave it, for the title of error boxes
    std::string program_name;  // the executable's file name, for messages
    Options options;
    std::ofstream transcript_file;
    // Set when the program is to end at once with this status (help shown, a refused option,
    // a folder or a transcript that cannot be used); the message has been written.
    std::optional<int> exit_status;

    // The --transcript file, or null.
    std::ostream* transcript() { return options.transcript_path.empty() ? nullptr : &transcript_file; }
};

// `argv[0]` is the program's path; messages go to `out` (help, version) and `err`.
void StartProgram(ProgramStart& start, int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace narravox::term
