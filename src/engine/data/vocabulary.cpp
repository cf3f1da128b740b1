#include "data/vocabulary.h"

#include "data/data_file.h"

namespace narravox {

VerbId FindVerb(std::string_view game_folder, std::string& text) {
    DataFile file(DataFilePath(game_folder, kCommandsFileName));
    file.Seek(4);
    std::size_t best_length = 0;
    VerbId result = kNoVerb;
    while (!file.AtEnd()) {
        const std::uint16_t count = ReadU16(file);
        const VerbId verb = ReadI16(file);
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::string synonym = ReadScrambledString(file);
            const bool matches = !synonym.empty() && synonym.size() >= best_length &&
                                 text.starts_with(synonym) &&
                                 (text.size() == synonym.size() || text[synonym.size()] == ' ');
            if (matches) {
                best_length = synonym.size();
                result = verb;
            }
        }
    }
    text.erase(0, best_length);
    return result;
}

}  // namespace narravox
