// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Runs the real narravox-term binary as a script or a player would.
namespace narravox::testing {

struct RunResult {
    int status = -1;  // exit status, or 128 + signal
    std::string out;
    std::string err;
};

// Runs narravox-term in `folder` with `arguments`, standard input read from `input` (a file,
// so the program sees no terminal), and captures both output streams. A `wrapper` command, if
// any, runs the program (for example under another user).
RunResult RunTerm(const std::filesystem::path& folder, const std::vector<std::string>& arguments,
                  const std::string& input, const std::vector<std::string>& wrapper = {});

// Runs narravox-term as RunTerm does, through a link to it at `name`, so that the program sees
// `name` as its path.
RunResult RunTermAs(const std::filesystem::path& name, const std::filesystem::path& folder,
                    const std::vector<std::string>& arguments, const std::string& input);

// Expects two texts to be equal line by line, reporting the first difference as
// "line N: expected …, got …" in UTF-8.
void ExpectSameLines(const std::string& expected, const std::string& actual,
                     const std::string& what);

}  // namespace narravox::testing
