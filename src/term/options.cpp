// SPDX-License-Identifier: MIT
#include "options.h"

#include <charconv>

namespace narravox::term {
namespace {

// A window size: a whole number in range, nothing else (no sign, no trailing letters).
std::optional<std::int32_t> ParseSize(const std::string& text) {
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || ptr != end || value < 1 || value > kMaxWindowSize) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

}  // namespace

ParseResult ParseOptions(const std::vector<std::string>& arguments) {
    Options options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        std::optional<std::string> value;
        // Both "--columns 60" and "--columns=60" are accepted.
        if (const auto equals = name.find('='); name.rfind("--", 0) == 0 && equals != name.npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        const bool takes_value =
            name == "--columns" || name == "--lines" || name == "--game" || name == "--transcript";
        if (takes_value && !value) {
            if (i + 1 >= arguments.size()) {
                return {std::nullopt, name + " needs a value"};
            }
            value = arguments[++i];
        }
        if (!takes_value && value) {
            return {std::nullopt, name + " takes no value"};
        }
        if (name == "--columns" || name == "--lines") {
            const auto size = ParseSize(*value);
            if (!size) {
                return {std::nullopt, name + " needs a whole number from 1 to " +
                                          std::to_string(kMaxWindowSize) + ", not \"" + *value +
                                          "\""};
            }
            (name == "--columns" ? options.columns : options.lines) = *size;
            (name == "--columns" ? options.columns_given : options.lines_given) = true;
        } else if (name == "--game") {
            if (value->empty()) {
                return {std::nullopt, "--game needs a folder"};
            }
            options.game_folder = *value;
        } else if (name == "--transcript") {
            if (value->empty()) {
                return {std::nullopt, "--transcript needs a file name"};
            }
            options.transcript_path = *value;
        } else if (name == "--plain") {
            options.plain = true;
        } else if (name == "--batch") {
            options.batch = true;
        } else if (name == "--pace") {
            options.pace = true;
        } else if (name == "--trace") {
            options.trace = true;
        } else if (name == "--help" || name == "-h") {
            options.help = true;
        } else if (name == "--version") {
            options.version = true;
        } else {
            return {std::nullopt, "unknown argument \"" + arguments[i] + "\""};
        }
    }
    if (options.plain && options.batch) {
        return {std::nullopt, "--plain and --batch cannot be used together"};
    }
    return {options, {}};
}

Mode ChooseMode(const Options& options, bool input_is_terminal, bool output_is_terminal) {
    if (options.batch) {
        return Mode::kBatch;
    }
    if (options.plain) {
        return Mode::kPlain;
    }
    if (!input_is_terminal) {
        return Mode::kBatch;
    }
    // Someone typing while the output goes to a file or a pipe cannot see a drawn screen.
    return output_is_terminal ? Mode::kInteractive : Mode::kPlain;
}

std::string UsageText(const std::string& program_name) {
    return "Usage: " + program_name +
           " [--game DIR] [--columns C] [--lines L] [--plain | --batch] [--pace]\n"
           "       [--transcript FILE] [--trace]\n"
           "Plays the game whose Commands.ply and Scenario.ply are in the working folder\n"
           "(or in DIR).\n"
           "\n"
           "  --game DIR         change into DIR first; saved games are kept there too\n"
           "  --columns C        text window width (default 80; full screen: the terminal's)\n"
           "  --lines L          text window height (default 24; full screen: the\n"
           "                     terminal's, less the title and the command line)\n"
           "  --plain            no screen drawing: lines are written once, for screen\n"
           "                     readers and simple terminals\n"
           "  --batch            read command lines from standard input and write the\n"
           "                     transcript to standard output (the default when standard\n"
           "                     input is not a terminal)\n"
           "  --pace             pace centred text one line a second also in batch mode\n"
           "  --transcript FILE  append every line of the game to FILE\n"
           "  --trace            tell on standard error which reaction answers each command,\n"
           "                     each flag set or cleared, each jump and each arrival; full\n"
           "                     screen only with standard error redirected away from it\n"
           "  --help             show this text\n"
           "  --version          show the version\n";
}

}  // namespace narravox::term
