// SPDX-License-Identifier: MIT
#pragma once

#include <ostream>
#include <string_view>
#include <vector>

namespace narravox::term {

// Writes the text window's lines, each once as it becomes complete, in UTF-8 to every stream
// attached: standard output in batch and plain modes, and the --transcript file in all modes.
class Transcript {
  public:
    void Attach(std::ostream& out) { outputs_.push_back(&out); }

    // A complete line (code page 1251), without its line feed.
    void WriteLine(std::string_view cp1251_line);

    // At exit: the unfinished bottom line, when it holds anything, so nothing printed is lost.
    void Finish(std::string_view cp1251_bottom_line);

  private:
    std::vector<std::ostream*> outputs_;
};

}  // namespace narravox::term
