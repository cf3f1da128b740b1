// SPDX-License-Identifier: MIT
#include "fake_host.h"

#include "cp1251.h"

namespace narravox::testing {

Button FakeHost::ShowBox(const Box& box) {
    boxes.push_back(box);
    if (on_box) {
        on_box(box);
    }
    if (box.buttons == BoxButtons::kOk) {
        return Button::kOk;
    }
    if (answers.empty()) {
        return Button::kNo;
    }
    const Button answer = answers.front();
    answers.pop_front();
    return answer;
}

std::optional<std::string> FakeHost::ChooseFile(FileChoice choice) {
    choices.push_back(choice);
    if (files.empty()) {
        return std::nullopt;
    }
    auto answer = files.front();
    files.pop_front();
    return answer;
}

void FakeHost::SetTitle(std::string_view text) {
    titles.emplace_back(text);
}

void FakeHost::RepaintTextWindow() {
    ++repaints;
    if (on_repaint) {
        on_repaint();
    }
}

void FakeHost::WaitForNextSecond() {
    ++waits;
}

std::string Describe(const Box& box) {
    return "[" + Cp1251ToUtf8(box.caption) + "] " + Cp1251ToUtf8(box.text);
}

}  // namespace narravox::testing
