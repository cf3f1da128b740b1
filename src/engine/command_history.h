// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace narravox {

// The command lines typed in this session, walked with Up and Down like a shell's history.
// Lines are code page 1251, as the engine receives them. Walking back from the line being
// typed keeps that line as the draft, so Down past the newest entry brings it back unchanged.
class CommandHistory {
  public:
    // Remembers a line taken by Enter and ends any walk. Empty lines and a repeat of the newest
    // entry are not kept: they would only make the walk longer.
    void Add(const std::string& line);

    // Up: steps to the entry before the one shown and returns it; `current` is the command
    // line's text, kept as the draft when a walk begins. Nothing at the oldest entry, or with no
    // entries at all, and the walk stays where it is.
    std::optional<std::string> Older(const std::string& current);

    // Down: steps to the entry after the one shown and returns it, or the draft after the
    // newest. Nothing while no entry is shown.
    std::optional<std::string> Newer();

    // The entry the walk stands at; the draft while no entry is shown.
    const std::string& Shown() const;

    std::size_t size() const { return lines_.size(); }

  private:
    std::vector<std::string> lines_;
    // Index of the entry shown; lines_.size() while no entry is shown.
    std::size_t shown_ = 0;
    std::string draft_;
};

}  // namespace narravox
