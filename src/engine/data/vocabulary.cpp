// SPDX-License-Identifier: MIT
#include "data/vocabulary.h"

#include "data/data_file.h"

namespace narravox {
namespace {

struct Synonym {
    std::size_t length = 0;
    bool begins_text = true;  // every byte so far equals the text's byte at its place
};

// Reads one synonym as ReadScrambledString would and compares it with the start of the text on
// the way. Nothing is copied: the vocabulary is read in full on every command, and most of its
// synonyms differ from the text at their first byte.
Synonym ReadSynonym(DataFile& file, const std::string& text) {
    Synonym synonym;
    ScanScrambledString(file, [&](char byte) {
        synonym.begins_text =
            synonym.begins_text && synonym.length < text.size() && text[synonym.length] == byte;
        ++synonym.length;
    });
    return synonym;
}

}  // namespace

VerbId FindVerb(std::string_view game_folder, std::string& text) {
    DataFile file(DataFilePath(game_folder, kCommandsFileName));
    file.Seek(kBodyStart);
    std::size_t best_length = 0;
    VerbId result = kNoVerb;
    while (!file.AtEnd()) {
        const std::uint16_t count = ReadU16(file);
        const VerbId verb = ReadI16(file);
        for (std::uint32_t i = 0; i < count; ++i) {
            const Synonym synonym = ReadSynonym(file, text);
            const bool matches = synonym.begins_text && synonym.length > 0 &&
                                 synonym.length >= best_length &&
                                 (text.size() == synonym.length || text[synonym.length] == ' ');
            if (matches) {
                best_length = synonym.length;
                result = verb;
            }
        }
    }
    text.erase(0, best_length);
    return result;
}

}  // namespace narravox
