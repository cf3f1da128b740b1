// SPDX-License-Identifier: MIT
#include <iostream>
#include <string>
#include <vector>

#include "tool.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return narravox::ply::RunTool(args, std::cout, std::cerr);
}
