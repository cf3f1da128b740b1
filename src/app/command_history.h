// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <vector>

namespace narravox::app {

// The command lines typed in this session, walked with Up and Down like a shell's history.
// Lines are code page 1251. Walking back from the line being typed keeps that line, so Down
// past the newest entry brings it back unchanged.
class CommandHistory {
  public:
    // Remembers a line taken by Enter and ends any walk. Empty lines and a repeat of the newest
    // entry are not kept: they would only make the walk longer.
    void Add(const std::string& line);

    // The entry before the one shown; `current` is the command line's text, kept as the draft
    // when a walk begins. At the oldest entry it stays there.
    const std::string& Older(const std::string& current);

    // The entry after the one shown, or the draft after the newest entry.
    const std::string& Newer(const std::string& current);

    std::size_t size() const { return lines_.size(); }

  private:
    std::vector<std::string> lines_;
    // Index of the entry shown; lines_.size() while no entry is shown.
    std::size_t shown_ = 0;
    std::string draft_;
};

}  // namespace narravox::app
