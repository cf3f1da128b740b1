// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

namespace narravox {

// The scrolling text window: the last `VisibleLines` complete lines and the unfinished bottom
// line below them. Text is code page 1251; a line feed alone ends a line. There is no
// scroll-back: lines that leave the top are gone.
class TextWindow {
  public:
    // Called once for every line as it becomes complete (after wrapping), without its line
    // feed; lines that scroll out at once are reported too. Transcripts are built on it.
    using LineSink = std::function<void(std::string_view line)>;

    std::int32_t VisibleLines = 0;
    std::int32_t LineWidth = 0;

    // Empties the window and fills it with `VisibleLines` empty lines, so that what is printed
    // afterwards enters at the bottom. The fill is not reported to the line sink.
    void Fill();

    // Appends text: breaks a line that would run past `LineWidth` at its last space (or, when it
    // has none, right after column `LineWidth`), then drops lines from the top so that exactly
    // `VisibleLines` line feeds remain.
    void PrintText(std::string_view text);

    // The window's whole text: the kept lines, each followed by a line feed, then the
    // unfinished bottom line.
    std::string Text() const;

    const std::deque<std::string>& CompleteLines() const { return lines_; }
    const std::string& BottomLine() const { return bottom_; }

    void SetLineSink(LineSink sink) { sink_ = std::move(sink); }

  private:
    void CompleteLine(std::string line);
    void Trim();

    // Completed lines never change again, so only the unfinished bottom line is wrapped anew
    // together with the text that continues it.
    std::deque<std::string> lines_;
    std::string bottom_;
    // Index of the bottom line's last space, or npos; kept so that a call printing one
    // character does not search the bottom line again.
    std::size_t bottom_last_space_ = std::string::npos;
    LineSink sink_;
};

}  // namespace narravox
