// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "session.h"
#include "support/fake_host.h"
#include "support/game_builder.h"

namespace narravox::testing {

// The code of the IoError that `action` throws, or 0 when it throws none.
int IoErrorCodeOf(const std::function<void()>& action);

// A game written to a temporary folder and played through a session with a fake host, the
// way a front-end plays it. Lines are collected as they become complete, in UTF-8.
class Harness {
  public:
    Harness(std::vector<VerbGroup> commands, Scenario scenario);

    // Writes the files (again, after a test changed the game) and runs the start-up.
    StartResult Start(int visible_lines = 30, int line_width = 60);
    // Enter with a line typed in UTF-8; returns the lines completed meanwhile, echo included.
    std::vector<std::string> Type(std::string_view utf8_line);
    // The lines a typed command prints after its echo (a missing echo fails the test).
    std::vector<std::string> Answer(std::string_view utf8_line);
    // The lines completed since the last call (or since the start).
    std::vector<std::string> TakeLines();
    // Shown boxes, described as "[caption] text".
    std::vector<std::string> Boxes() const;

    Game& game() { return session_->game(); }
    Session& session() { return *session_; }
    void WriteGame() const { folder.WriteGame(commands, scenario); }

    std::vector<VerbGroup> commands;
    Scenario scenario;
    TempFolder folder;
    FakeHost host;
    EnterResult last_enter;

  private:
    std::unique_ptr<Session> session_;
    std::vector<std::string> lines_;
};

}  // namespace narravox::testing
