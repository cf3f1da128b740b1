// SPDX-License-Identifier: MIT
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model.h"

namespace narravox::ply {

// Sources larger than this are refused; no game comes near it.
inline constexpr std::size_t kMaxSourceSize = 16u << 20;

struct CompileResult {
    // True when there is no error; the files are then set and pass `check` without error.
    bool ok = false;
    std::string commands;  // Commands.ply, whole
    std::string scenario;  // Scenario.ply, whole
    GameData game;
    // The number each source name was given (UTF-8 names), for tools and tests.
    std::map<std::string, long long> verb_numbers;
    std::map<std::string, long long> location_numbers;
    std::map<std::string, long long> flag_numbers;
    // Every error and warning, in source order, with line and column.
    std::vector<Finding> findings;
};

// How the bytes of a source are to be read. Sources are UTF-8; one saved in code page 1251 (what
// a Russian Windows editor writes by default) is compiled when the author says so.
enum class SourceEncoding { kUtf8, kCp1251 };

// "utf-8" or "cp1251" (also "utf8", "windows-1251"), in any case; nothing for other names.
std::optional<SourceEncoding> ParseSourceEncoding(std::string_view name);

// Compiles scenario source. Never throws for bad input: every mistake becomes a finding and
// compilation goes on to report the rest. A UTF-8 source that reads as code page 1251 draws a
// single error that says so.
CompileResult Compile(std::string_view source, SourceEncoding encoding = SourceEncoding::kUtf8);

// "file:line:column: error: message", or with an offset for findings in data files.
std::string FormatFinding(std::string_view file_name, const Finding& finding);

}  // namespace narravox::ply
