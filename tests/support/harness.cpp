// SPDX-License-Identifier: MIT
#include "support/harness.h"

#include <gtest/gtest.h>

#include "io_error.h"

namespace narravox::testing {

int IoErrorCodeOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const IoError& error) {
        return error.code();
    }
    return 0;
}

Harness::Harness(std::vector<VerbGroup> commands_, Scenario scenario_)
    : commands(std::move(commands_)), scenario(std::move(scenario_)) {}

StartResult Harness::Start(int visible_lines, int line_width) {
    WriteGame();
    session_ = std::make_unique<Session>(host, "Narravox", folder.path().string());
    session_->game().TextWindow.SetLineSink(
        [this](std::string_view line) { lines_.push_back(Utf8(line)); });
    return session_->Start(visible_lines, line_width);
}

std::vector<std::string> Harness::Type(std::string_view utf8_line) {
    lines_.clear();
    last_enter = session_->PressEnter(Cp(utf8_line));
    return TakeLines();
}

std::vector<std::string> Harness::Answer(std::string_view utf8_line) {
    std::vector<std::string> lines = Type(utf8_line);
    EXPECT_FALSE(lines.empty()) << "no echo of \"" << utf8_line << "\"";
    if (!lines.empty()) {
        lines.erase(lines.begin());
    }
    return lines;
}

std::vector<std::string> Harness::TakeLines() {
    std::vector<std::string> lines;
    lines.swap(lines_);
    return lines;
}

std::vector<std::string> Harness::Boxes() const {
    std::vector<std::string> boxes;
    for (const Box& box : host.boxes) {
        boxes.push_back(Describe(box));
    }
    return boxes;
}

}  // namespace narravox::testing
