// SPDX-License-Identifier: MIT
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>

#include "edited_input.h"
#include "full_screen.h"
#include "narravox_version.h"
#include "options.h"
#include "stream_mode.h"
#include "terminal_check.h"

int main(int argc, char** argv) {
    using namespace narravox::term;
    const std::string program_path = argc > 0 ? argv[0] : "narravox-term";
    const std::string program_name = std::filesystem::path(program_path).filename().string();

    const ParseResult parsed = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.options) {
        std::cerr << program_name << ": " << parsed.error << "\n"
                  << "Try \"" << program_name << " --help\".\n";
        return 2;
    }
    const Options& options = *parsed.options;
    if (options.help) {
        std::cout << UsageText(program_name);
        return 0;
    }
    if (options.version) {
        std::cout << program_name << " " << narravox::kVersion << "\n";
        return 0;
    }
    // A relative transcript path names a file where the player started, like every other
    // path typed on a command line, and not one inside the game's folder.
    std::string transcript_path = options.transcript_path;
    if (!transcript_path.empty()) {
        std::error_code error;
        const auto absolute = std::filesystem::absolute(transcript_path, error);
        if (!error) {
            transcript_path = absolute.string();
        }
    }
    if (!options.game_folder.empty() && ::chdir(options.game_folder.c_str()) != 0) {
        std::cerr << program_name << ": cannot change into " << options.game_folder << ": "
                  << std::strerror(errno) << "\n";
        return 1;
    }
    std::ofstream transcript_file;
    if (!transcript_path.empty()) {
        transcript_file.open(transcript_path, std::ios::app | std::ios::binary);
        if (!transcript_file) {
            std::cerr << program_name << ": cannot open " << options.transcript_path << ": "
                      << std::strerror(errno) << "\n";
            return 1;
        }
    }
    std::ostream* transcript = transcript_path.empty() ? nullptr : &transcript_file;

    Mode mode = ChooseMode(options, ::isatty(STDIN_FILENO) == 1, ::isatty(STDOUT_FILENO) == 1);
    // A terminal that cannot put its cursor anywhere (TERM=dumb in an Emacs shell buffer, an
    // unset or unknown TERM) would get the whole screen drawn on one line: it is played line by
    // line, as --plain asks, without a word, as when standard output is no terminal.
    if (mode == Mode::kInteractive && !TerminalCanMoveCursor(STDOUT_FILENO)) {
        mode = Mode::kPlain;
    }
    if (mode == Mode::kInteractive) {
        GameArea area;
        if (options.columns_given) {
            area.columns = options.columns;
        }
        if (options.lines_given) {
            area.lines = options.lines;
        }
        if (const auto status = RunFullScreen(program_path, area, transcript)) {
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
