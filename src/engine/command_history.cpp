// SPDX-License-Identifier: MIT
#include "command_history.h"

namespace narravox {

void CommandHistory::Add(const std::string& line) {
    if (!line.empty() && (lines_.empty() || lines_.back() != line)) {
        lines_.push_back(line);
    }
    shown_ = lines_.size();
    draft_.clear();
}

std::optional<std::string> CommandHistory::Older(const std::string& current) {
    if (shown_ >= lines_.size()) {
        shown_ = lines_.size();
        draft_ = current;
    }
    if (shown_ == 0) {
        return std::nullopt;
    }
    --shown_;
    return lines_[shown_];
}

std::optional<std::string> CommandHistory::Newer() {
    if (shown_ >= lines_.size()) {
        return std::nullopt;
    }
    ++shown_;
    return Shown();
}

const std::string& CommandHistory::Shown() const {
    return shown_ < lines_.size() ? lines_[shown_] : draft_;
}

}  // namespace narravox
