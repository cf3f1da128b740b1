// SPDX-License-Identifier: MIT
// The vocabulary alone, with one typed line.
#include "data/vocabulary.h"
#include "fuzz_host.h"
#include "io_error.h"

using namespace narravox;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const auto& folder = fuzzing::ScratchFolder();
    std::string typed = input.ConsumeRandomLengthString(256);
    const std::string original = typed;
    fuzzing::WriteBytes(folder / kCommandsFileName,
                        std::string(kCommandsMagic) + input.ConsumeRemainingBytesAsString());
    try {
        const VerbId verb = FindVerb(folder.string(), typed);
        // Only a match cuts the text, and only from its front.
        if (verb == kNoVerb ? typed != original : !original.ends_with(typed)) {
            __builtin_trap();
        }
    } catch (const IoError&) {
    }
    return 0;
}
