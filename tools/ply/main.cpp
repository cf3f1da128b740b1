// SPDX-License-Identifier: MIT
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "tool.h"

namespace {

// Where publish looks for the player template: beside the program (a build), in the share
// folder of the prefix the program is installed in, and in the one it was built for.
std::vector<std::string> TemplatePlaces(const char* argv0) {
    namespace fs = std::filesystem;
    std::error_code code;
    fs::path program = fs::read_symlink("/proc/self/exe", code);
    if (code && argv0 != nullptr) {
        program = fs::absolute(argv0, code);
    }
    const fs::path folder = program.parent_path();
    const std::string name = "player-template.html";
    std::vector<std::string> places = {
        (folder / name).string(),
        (folder.parent_path() / "share/narravox/web" / name).string()};
#ifdef NARRAVOX_WEB_TEMPLATE_DIR
    places.push_back((fs::path(NARRAVOX_WEB_TEMPLATE_DIR) / name).string());
#endif
    return places;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return narravox::ply::RunTool(args, std::cout, std::cerr,
                                  TemplatePlaces(argc > 0 ? argv[0] : nullptr));
}
