// SPDX-License-Identifier: MIT
// How the tests of narravox-ply run it: a source through the compiler, or a whole command line.
#pragma once

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "compiler.h"
#include "tool.h"

namespace narravox::ply {

// Every finding of compiling `source`, as build prints it for a file named g.nvx.
inline std::vector<std::string> Messages(std::string_view source,
                                         SourceEncoding encoding = SourceEncoding::kUtf8) {
    std::vector<std::string> out;
    for (const Finding& finding : Compile(source, encoding).findings) {
        out.push_back(FormatFinding("g.nvx", finding));
    }
    return out;
}

// A command line's exit status and what it wrote to each stream.
struct Answer {
    int status;
    std::string out;
    std::string err;
};

inline Answer RunPly(const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunTool(args, out, err);
    return {status, out.str(), err.str()};
}

}  // namespace narravox::ply
