// SPDX-License-Identifier: MIT
// A whole game from one input: the window's size, a vocabulary, a scenario and typed lines,
// played through start-up and the Enter handling.
#include <unistd.h>

#include "data/file_format.h"
#include "fuzz_host.h"
#include "session.h"

using namespace narravox;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const auto& folder = fuzzing::ScratchFolder();
    const int lines = input.ConsumeIntegralInRange(1, 60);
    const int columns = input.ConsumeIntegralInRange(1, 200);
    fuzzing::WriteBytes(folder / kCommandsFileName,
                        std::string(kCommandsMagic) + input.ConsumeRandomLengthString(4096));
    fuzzing::WriteBytes(folder / kScenarioFileName,
                        std::string(kScenarioMagic) + input.ConsumeRandomLengthString(65536));
    std::filesystem::remove(folder / "save.nvs");

    fuzzing::FuzzHost host(input, folder);
    Session session(host, "Fuzz", folder.string());
    if (session.Start(lines, columns) != StartResult::kStarted) {
        return 0;
    }
    for (int turn = 0; turn < 16 && input.remaining_bytes() > 0; ++turn) {
        std::string typed = input.ConsumeRandomLengthString(static_cast<std::size_t>(columns));
        if (input.ConsumeIntegralInRange(0, 7) == 0) {
            // The built-in commands are worth reaching often.
            static const char* const kBuiltIns[] = {"vorn telik", "quit",
                                                    "\xF1\xEE\xF5\xF0\xE0\xED\xE8\xF2\xFC",
                                                    "\xE7\xE0\xE3\xF0\xF3\xE7\xE8\xF2\xFC"};
            typed = kBuiltIns[input.ConsumeIntegralInRange(0, 3)];
        }
        session.PressEnter(typed);
        session.PressF1();
        const auto& window = session.game().TextWindow;
        if (window.CompleteLines().size() != static_cast<std::size_t>(lines)) {
            __builtin_trap();
        }
    }
    return 0;
}
