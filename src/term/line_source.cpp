// SPDX-License-Identifier: MIT
#include "line_source.h"

namespace narravox::term {

bool LineInput::ReadLine(std::string& line) {
    if (!std::getline(in_, line)) {
        return false;
    }
    ++line_number_;
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return true;
}

}  // namespace narravox::term
