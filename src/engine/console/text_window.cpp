// SPDX-License-Identifier: MIT
#include "console/text_window.h"

#include <algorithm>

namespace narravox {

void TextWindow::Fill() {
    lines_.clear();
    bottom_.clear();
    bottom_last_space_ = std::string::npos;
    for (std::int32_t i = 0; i < VisibleLines; ++i) {
        lines_.emplace_back();
    }
}

void TextWindow::CompleteLine(std::string line) {
    if (sink_) {
        sink_(line);
    }
    lines_.push_back(std::move(line));
}

void TextWindow::Trim() {
    const std::size_t keep = VisibleLines > 0 ? static_cast<std::size_t>(VisibleLines) : 0;
    while (lines_.size() > keep) {
        lines_.pop_front();
    }
}

void TextWindow::PrintText(std::string_view text) {
    if (text.empty()) {
        return;
    }
    // Before the window is laid out the width may still be 0; one column keeps every line
    // finite until then.
    const std::size_t width = LineWidth > 0 ? static_cast<std::size_t>(LineWidth) : 1;
    std::string line = std::move(bottom_);
    bottom_.clear();
    // The last space of the current line, as an index into `line`, or npos.
    std::size_t last_space = bottom_last_space_;
    for (char c : text) {
        if (c == '\n') {
            CompleteLine(std::move(line));
            line.clear();
            last_space = std::string::npos;
            continue;
        }
        line += c;
        if (c == ' ') {
            last_space = line.size() - 1;
        }
        if (line.size() > width) {
            if (last_space != std::string::npos) {
                // The last space becomes the line feed; what follows it starts the next line.
                std::string rest = line.substr(last_space + 1);
                line.resize(last_space);
                CompleteLine(std::move(line));
                line = std::move(rest);
                last_space = line.rfind(' ');
            } else {
                // A word longer than the line is broken right after the last column.
                std::string rest = line.substr(width);
                line.resize(width);
                CompleteLine(std::move(line));
                line = std::move(rest);
                last_space = std::string::npos;
            }
        }
        // Lines dropped at the top are gone anyway; trimming as we go keeps a huge text from
        // piling up in memory.
        if (lines_.size() >
            2 * static_cast<std::size_t>(std::max<std::int32_t>(VisibleLines, 0)) + 64) {
            Trim();
        }
    }
    bottom_ = std::move(line);
    bottom_last_space_ = last_space;
    Trim();
}

std::string TextWindow::Text() const {
    std::string text;
    for (const auto& line : lines_) {
        text += line;
        text += '\n';
    }
    text += bottom_;
    return text;
}

}  // namespace narravox
