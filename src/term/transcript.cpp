// SPDX-License-Identifier: MIT
#include "transcript.h"

#include "cp1251.h"

namespace narravox::term {

void Transcript::WriteLine(std::string_view cp1251_line) {
    const std::string line = Cp1251ToUtf8(cp1251_line) + "\n";
    for (std::ostream* out : outputs_) {
        *out << line;
        // A record that survives a killed program or a closed terminal is the point of it.
        out->flush();
    }
}

void Transcript::Finish(std::string_view cp1251_bottom_line) {
    if (!cp1251_bottom_line.empty()) {
        WriteLine(cp1251_bottom_line);
    }
}

}  // namespace narravox::term
