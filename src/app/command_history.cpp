// SPDX-License-Identifier: MIT
#include "command_history.h"

namespace narravox::app {

void CommandHistory::Add(const std::string& line) {
    if (!line.empty() && (lines_.empty() || lines_.back() != line)) {
        lines_.push_back(line);
    }
    shown_ = lines_.size();
    draft_.clear();
}

const std::string& CommandHistory::Older(const std::string& current) {
    if (shown_ >= lines_.size()) {
        shown_ = lines_.size();
        draft_ = current;
    }
    if (shown_ == 0) {
        return lines_.empty() ? draft_ : lines_.front();
    }
    --shown_;
    return lines_[shown_];
}

const std::string& CommandHistory::Newer(const std::string& current) {
    if (shown_ >= lines_.size()) {
        return current;
    }
    ++shown_;
    return shown_ == lines_.size() ? draft_ : lines_[shown_];
}

}  // namespace narravox::app
