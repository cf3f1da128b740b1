// SPDX-License-Identifier: MIT
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host.h"

namespace narravox::testing {

// A host that records what the engine asks of it and answers from queues the test fills.
class FakeHost : public Host {
  public:
    Button ShowBox(const Box& box) override;
    std::optional<std::string> ChooseFile(FileChoice choice) override;
    void SetTitle(std::string_view text) override;
    void RepaintTextWindow() override;
    void WaitForNextSecond() override;

    // Answers for Yes/No boxes, used in order; when empty, No.
    std::deque<Button> answers;
    // Answers for file choices, used in order; when empty, cancelled.
    std::deque<std::optional<std::string>> files;
    // Runs at every repaint, to look at the text window at that moment.
    std::function<void()> on_repaint;
    // Runs when a box is shown, before it is answered.
    std::function<void(const Box&)> on_box;

    std::vector<Box> boxes;
    std::vector<FileChoice> choices;
    std::vector<std::string> titles;
    int repaints = 0;
    int waits = 0;
};

// Boxes in a test's words: "[caption] text", both in UTF-8.
std::string Describe(const Box& box);

}  // namespace narravox::testing
