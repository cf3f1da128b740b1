// SPDX-License-Identifier: MIT
// The text window on arbitrary texts and sizes, its invariant checked after every call.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>

#include "console/text_window.h"

using namespace narravox;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    TextWindow window;
    window.VisibleLines = input.ConsumeIntegralInRange(1, 200);
    window.LineWidth = input.ConsumeIntegralInRange(1, 500);
    window.Fill();
    std::size_t reported = 0;
    window.SetLineSink([&](std::string_view line) {
        if (line.size() > static_cast<std::size_t>(window.LineWidth) ||
            line.find('\n') != std::string_view::npos) {
            __builtin_trap();
        }
        ++reported;
    });
    while (input.remaining_bytes() > 0) {
        const std::string text = input.ConsumeRandomLengthString(4096);
        const std::size_t feeds =
            static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
        const std::size_t before = reported;
        window.PrintText(text);
        // Every line feed completes a line, and wrapping only adds more.
        if (reported - before < feeds) {
            __builtin_trap();
        }
        if (window.CompleteLines().size() != static_cast<std::size_t>(window.VisibleLines) ||
            window.BottomLine().size() > static_cast<std::size_t>(window.LineWidth) ||
            window.BottomLine().find('\n') != std::string::npos) {
            __builtin_trap();
        }
        for (const auto& line : window.CompleteLines()) {
            if (line.size() > static_cast<std::size_t>(window.LineWidth)) {
                __builtin_trap();
            }
        }
    }
    return 0;
}
