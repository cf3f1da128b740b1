// SPDX-License-Identifier: MIT
#include "term_runner.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <sstream>

#include "support/game_builder.h"

namespace narravox::testing {

namespace {

RunResult RunProgram(const std::string& program, const std::filesystem::path& folder,
                     const std::vector<std::string>& arguments, const std::string& input,
                     const std::vector<std::string>& wrapper) {
    TempFolder io;
    WriteFile(io / "in", input);
    const std::string out_path = io / "out";
    const std::string err_path = io / "err";
    const std::string in_path = io / "in";

    std::vector<std::string> argv_strings = wrapper;
    argv_strings.push_back(program);
    argv_strings.insert(argv_strings.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& argument : argv_strings) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    const pid_t child = ::fork();
    if (child == 0) {
        const int in = ::open(in_path.c_str(), O_RDONLY);
        const int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 ||
            ::dup2(err, 2) < 0 || ::chdir(folder.c_str()) != 0) {
            ::_exit(126);
        }
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    RunResult result;
    int wait_status = 0;
    if (child < 0 || ::waitpid(child, &wait_status, 0) != child) {
        ADD_FAILURE() << "cannot run " << program;
        return result;
    }
    result.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
    result.out = ReadFile(out_path);
    result.err = ReadFile(err_path);
    return result;
}

}  // namespace

RunResult RunTerm(const std::filesystem::path& folder, const std::vector<std::string>& arguments,
                  const std::string& input, const std::vector<std::string>& wrapper) {
    return RunProgram(NARRAVOX_TERM_BINARY, folder, arguments, input, wrapper);
}

RunResult RunTermAs(const std::filesystem::path& name, const std::filesystem::path& folder,
                    const std::vector<std::string>& arguments, const std::string& input) {
    std::error_code error;
    std::filesystem::create_symlink(NARRAVOX_TERM_BINARY, name, error);
    if (error) {
        ADD_FAILURE() << "cannot link " << name << " to " << NARRAVOX_TERM_BINARY << ": "
                      << error.message();
        return {};
    }
    return RunProgram(name.string(), folder, arguments, input, {});
}

void ExpectSameLines(const std::string& expected, const std::string& actual,
                     const std::string& what) {
    std::istringstream expected_lines(expected);
    std::istringstream actual_lines(actual);
    std::string want;
    std::string got;
    for (int line = 1;; ++line) {
        const bool has_want = static_cast<bool>(std::getline(expected_lines, want));
        const bool has_got = static_cast<bool>(std::getline(actual_lines, got));
        if (!has_want && !has_got) {
            break;
        }
        if (!has_want || !has_got || want != got) {
            ADD_FAILURE() << what << " line " << line << ": expected "
                          << (has_want ? "\"" + want + "\"" : "the end") << ", got "
                          << (has_got ? "\"" + got + "\"" : "the end");
            return;
        }
    }
    // Line by line cannot see a missing final line feed; the whole comparison can.
    EXPECT_EQ(expected, actual) << what;
}

}  // namespace narravox::testing
