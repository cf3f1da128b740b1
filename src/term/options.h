// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace narravox::term {

// How the game is shown: full screen, line by line for screen readers, or the scripted batch
// contract that tests and tools rely on.
enum class Mode { kInteractive, kPlain, kBatch };

// The largest text window we accept: every line of it is allocated, so a typing slip such as
// "--lines 2400000" must not take the machine's memory.
inline constexpr std::int32_t kMaxWindowSize = 10000;
inline constexpr std::int32_t kDefaultColumns = 80;
inline constexpr std::int32_t kDefaultLines = 24;

struct Options {
    std::int32_t columns = kDefaultColumns;
    std::int32_t lines = kDefaultLines;
    // Whether --columns or --lines was given; the full-screen mode takes the terminal's size for
    // what was not.
    bool columns_given = false;
    bool lines_given = false;
    bool plain = false;
    bool batch = false;
    bool pace = false;
    // Whether to tell on standard error how the game answers each command (trace_writer.h).
    bool trace = false;
    bool help = false;
    bool version = false;
    std::string game_folder;
    std::string transcript_path;
};

// Either the options, or the message that explains why the command line was refused.
struct ParseResult {
    std::optional<Options> options;
    std::string error;
};

// `arguments` excludes the program's own name.
ParseResult ParseOptions(const std::vector<std::string>& arguments);

// The mode the options and the kind of standard input and output ask for.
Mode ChooseMode(const Options& options, bool input_is_terminal, bool output_is_terminal);

std::string UsageText(const std::string& program_name);

}  // namespace narravox::term
