// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

namespace narravox::testing {

// The wrapping rules applied literally, the reference our text window is checked against: every
// call appends to the whole kept text, scans all of it again from its first byte, and drops lines
// from the front. A line without a space to break at is broken right after its last column, as
// our window does.
class LiteralWindow {
  public:
    LiteralWindow(int lines, int columns) : lines_(lines), columns_(columns) {
        text_.assign(static_cast<std::size_t>(lines), '\n');
    }

    void PrintText(std::string_view addition) {
        std::string t = text_;
        t += addition;
        long c = 0;
        long n = 0;
        std::size_t line_start = 0;
        std::size_t p = std::string::npos;
        for (std::size_t i = 0; i < t.size(); ++i) {
            ++c;
            if (t[i] == ' ') {
                p = i;
            }
            if (t[i] == '\n') {
                c = 0;
                ++n;
                line_start = i + 1;
                continue;
            }
            if (c > columns_) {
                if (p != std::string::npos && p >= line_start) {
                    t[p] = '\n';
                    c = static_cast<long>(i - p);
                    line_start = p + 1;
                } else {
                    t.insert(i, 1, '\n');
                    line_start = i + 1;
                    c = 1;
                    ++i;
                }
                ++n;
            }
        }
        for (long k = n - lines_; k > 0; --k) {
            t.erase(0, t.find('\n') + 1);
        }
        text_ = std::move(t);
    }

    const std::string& Text() const { return text_; }

  private:
    std::string text_;
    int lines_;
    int columns_;
};

}  // namespace narravox::testing
