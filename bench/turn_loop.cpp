// SPDX-License-Identifier: MIT
// Times the engine alone on one game: starts it, then plays the same command again and again
// and prints the time a turn takes. Built natively and for node, so that the WebAssembly engine
// is compared with the native one on the same work, without the cost of writing a transcript.
//
//   narravox_turn_loop FOLDER COMMAND TURNS
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cp1251.h"
#include "host.h"
#include "session.h"

namespace {

// Answers every box with its default and never waits.
class QuietHost : public narravox::Host {
  public:
    narravox::Button ShowBox(const narravox::Box& box) override {
        return box.buttons == narravox::BoxButtons::kOk ? narravox::Button::kOk
                                                        : narravox::Button::kNo;
    }
    std::optional<std::string> ChooseFile(narravox::FileChoice) override { return std::nullopt; }
    void SetTitle(std::string_view) override {}
    void RepaintTextWindow() override {}
    void WaitForNextSecond() override {}
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: narravox_turn_loop FOLDER COMMAND TURNS\n");
        return 2;
    }
    const auto command = narravox::Utf8ToCp1251(argv[2]);
    const long turns = std::strtol(argv[3], nullptr, 10);
    if (!command || turns <= 0) {
        std::fprintf(stderr, "narravox_turn_loop: a command in code page 1251 and a count\n");
        return 2;
    }
    QuietHost host;
    narravox::Session session(host, "Narravox", argv[1]);
    if (session.Start(45, 128) != narravox::StartResult::kStarted) {
        std::fprintf(stderr, "narravox_turn_loop: the game did not start\n");
        return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < turns; ++i) {
        session.PressEnter(*command);
    }
    const std::chrono::duration<double, std::micro> elapsed =
        std::chrono::steady_clock::now() - start;
    std::printf("%.2f\n", elapsed.count() / static_cast<double>(turns));
    return 0;
}
