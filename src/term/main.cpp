#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "full_screen.h"
#include "narravox_version.h"
#include "options.h"
#include "stream_mode.h"

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
    if (!options.game_folder.empty() && ::chdir(options.game_folder.c_str()) != 0) {
        std::cerr << program_name << ": cannot change into " << options.game_folder << ": "
                  << std::strerror(errno) << "\n";
        return 1;
    }
    std::ofstream transcript_file;
    if (!options.transcript_path.empty()) {
        transcript_file.open(options.transcript_path, std::ios::app | std::ios::binary);
        if (!transcript_file) {
            std::cerr << program_name << ": cannot open " << options.transcript_path << ": "
                      << std::strerror(errno) << "\n";
            return 1;
        }
    }
    std::ostream* transcript = options.transcript_path.empty() ? nullptr : &transcript_file;

    Mode mode = ChooseMode(options, ::isatty(STDIN_FILENO) == 1, ::isatty(STDOUT_FILENO) == 1);
    if (mode == Mode::kInteractive) {
        if (const auto status = RunFullScreen(program_path, transcript)) {
            return *status;
        }
        std::cerr << program_name << ": this terminal cannot be drawn on; playing line by line\n";
        mode = Mode::kPlain;
    }
    return RunStreamMode(mode, options, program_path, std::cin, std::cout, std::cerr, transcript);
}
