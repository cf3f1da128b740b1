// SPDX-License-Identifier: MIT
#pragma once

// narravox-term played for real: it runs in a detached tmux session of a tmux server of its
// own, keys go in with send-keys and the screen comes back with capture-pane.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/game_builder.h"

namespace narravox::testing {

inline std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// Runs a shell command and returns its standard output.
inline std::string Capture(const std::string& command, int* status = nullptr) {
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        while (const std::size_t count = std::fread(buffer, 1, sizeof buffer, pipe)) {
            output.append(buffer, count);
        }
        const int result = ::pclose(pipe);
        if (status != nullptr) {
            *status = result;
        }
    } else if (status != nullptr) {
        *status = -1;
    }
    return output;
}

inline bool TmuxRuns() {
    int status = 0;
    Capture("tmux -V 2>/dev/null", &status);
    return status == 0;
}

inline bool Contains(const std::vector<std::string>& screen, const std::string& text) {
    return std::any_of(screen.begin(), screen.end(),
                       [&](const std::string& row) { return row.find(text) != row.npos; });
}

// One tmux server of its own, on a socket in a temporary folder, so that neither the tests'
// terminal nor a player's tmux is touched.
class Tmux {
  public:
    explicit Tmux(const TempFolder& folder) : socket_(folder / "tmux.socket") {}
    ~Tmux() { Run("kill-server 2>/dev/null"); }
    Tmux(const Tmux&) = delete;
    Tmux& operator=(const Tmux&) = delete;

    std::string Run(const std::string& arguments, int* status = nullptr) const {
        return Capture("tmux -f /dev/null -S " + Quote(socket_) + " " + arguments + " </dev/null",
                       status);
    }
    // Starts `command` (a shell command line) in a terminal of that size; false when tmux
    // cannot start a session here.
    bool Start(const std::string& command, int columns = 80, int rows = 24) {
        rows_ = rows;
        int status = 0;
        Run("new-session -d -s play -x " + std::to_string(columns) + " -y " + std::to_string(rows) +
                " " + Quote(command),
            &status);
        return status == 0;
    }
    void Keys(const std::string& keys) const { Run("send-keys -t play " + keys); }
    std::vector<std::string> Screen() const {
        std::vector<std::string> rows;
        std::istringstream screen(Run("capture-pane -p -t play"));
        for (std::string row; std::getline(screen, row);) {
            rows.push_back(row);
        }
        rows.resize(static_cast<std::size_t>(rows_));
        return rows;
    }
    // Waits until some row holds `text`; returns the screen then.
    std::vector<std::string> WaitFor(const std::string& text) const {
        std::vector<std::string> screen;
        for (int attempt = 0; attempt < 100; ++attempt) {
            screen = Screen();
            if (Contains(screen, text)) {
                return screen;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ADD_FAILURE() << "the screen never showed \"" << text << "\"; it shows:\n" << Join(screen);
        return screen;
    }
    static std::string Join(const std::vector<std::string>& screen) {
        std::string text;
        for (const auto& row : screen) {
            text += row + "\n";
        }
        return text;
    }

  private:
    std::string socket_;
    int rows_ = 24;
};

// Waits for a file that the shell around the program writes when it ends (its exit status);
// returns its contents, or "" when it never came.
inline std::string WaitForFile(const std::filesystem::path& path) {
    for (int attempt = 0; attempt < 100 && !std::filesystem::exists(path); ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    // The shell may still be writing it.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return std::filesystem::exists(path) ? ReadFile(path) : "";
}

// The shell command that plays in `folder` with the given arguments and environment, leaving
// the exit status in `folder`/status. The shell traps Ctrl+C (the program does not inherit
// that), so that it outlives a program that Ctrl+C ends and can write its status.
inline std::string PlayCommand(const TempFolder& folder, const std::string& arguments,
                               const std::string& environment = "") {
    return "trap : INT; cd " + Quote(folder.path().string()) + " && LANG=C.UTF-8 LC_ALL=C.UTF-8 " +
           environment + " " + Quote(NARRAVOX_TERM_BINARY) + " " + arguments +
           " 2>err; echo $? > status";
}

}  // namespace narravox::testing
