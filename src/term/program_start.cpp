// SPDX-License-Identifier: MIT
#include "program_start.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "narravox_version.h"

namespace narravox::term {

void StartProgram(ProgramStart& start, int argc, char** argv, std::ostream& out,
                  std::ostream& err) {
    start.program_path = argc > 0 ? argv[0] : "narravox-term";
    start.program_name = std::filesystem::path(start.program_path).filename().string();
    const std::string& name = start.program_name;

    ParseResult parsed = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.options) {
        err << name << ": " << parsed.error << "\n"
            << "Try \"" << name << " --help\".\n";
        start.exit_status = 2;
        return;
    }
    start.options = std::move(*parsed.options);
    Options& options = start.options;
    if (options.help) {
        out << UsageText(name);
        start.exit_status = 0;
        return;
    }
    if (options.version) {
        out << name << " " << kVersion << "\n";
        start.exit_status = 0;
        return;
    }
    // A relative transcript path names a file where the player started, like every other
    // path typed on a command line, and not one inside the game's folder.
    const std::string shown_transcript_path = options.transcript_path;
    if (!options.transcript_path.empty()) {
        std::error_code error;
        const auto absolute = std::filesystem::absolute(options.transcript_path, error);
        if (!error) {
            options.transcript_path = absolute.string();
        }
    }
    if (!options.game_folder.empty() && ::chdir(options.game_folder.c_str()) != 0) {
        err << name << ": cannot change into " << options.game_folder << ": "
            << std::strerror(errno) << "\n";
        start.exit_status = 1;
        return;
    }
    if (!options.transcript_path.empty()) {
        start.transcript_file.open(options.transcript_path, std::ios::app | std::ios::binary);
        if (!start.transcript_file) {
            err << name << ": cannot open " << shown_transcript_path << ": "
                << std::strerror(errno) << "\n";
            start.exit_status = 1;
            return;
        }
    }
}

}  // namespace narravox::term
