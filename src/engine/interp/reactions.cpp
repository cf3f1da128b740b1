// SPDX-License-Identifier: MIT
#include "interp/reactions.h"

#include <algorithm>
#include <optional>

#include "cp1251.h"
#include "data/data_file.h"
#include "data/vocabulary.h"
#include "interp/normalize.h"
#include "interp/statements.h"
#include "interp/trace.h"

namespace narravox {
namespace {

enum class Outcome { kNothingMatched, kPhraseMatched, kReactionFound };

void Print(Game& game, const char* utf8) {
    game.TextWindow.PrintText(Utf8ToCp1251Lossy(utf8));
}

// The 1-based position at which a phrase stops agreeing with the text; the last character of
// the shorter one is never compared.
std::size_t MismatchPosition(const std::string& phrase, const std::string& text) {
    const std::size_t shorter = std::min(phrase.size(), text.size());
    std::size_t position = 1;
    while (position < shorter && phrase[position - 1] == text[position - 1]) {
        ++position;
    }
    return position;
}

// The word of the text at a 1-based position, or the word after it when a space stands there.
std::string WordAt(const std::string& text, std::size_t position) {
    const std::size_t length = text.size();
    if (length == 0) {
        return {};
    }
    const auto at = [&](std::size_t i) { return i >= 1 && i <= length ? text[i - 1] : ' '; };
    std::size_t start = std::max<std::size_t>(position, 1);
    while (start > 1 && at(start) != ' ') {
        --start;
    }
    if (start > 1) {
        ++start;
    }
    std::size_t end = start;
    while (end < length && at(end) != ' ') {
        ++end;
    }
    if (end < length) {
        --end;
    }
    if (start > length || end < start) {
        return {};
    }
    return text.substr(start - 1, end - start + 1);
}

void PrintUnknownWord(Game& game, const std::string& word) {
    Print(game, "Неизвестное слово: \"");
    game.TextWindow.PrintText(word + "\"\n");
}

// Tells the tracer, if any, what the player is shown instead of an answer: `shown` is UTF-8
// and `cp1251_tail` follows it as it is.
void TraceFallback(const Game& game, Fallback fallback, std::string_view location_name,
                   const char* shown, std::string_view cp1251_tail = {}) {
    if (game.Trace == nullptr) {
        return;
    }
    std::string text = Utf8ToCp1251Lossy(shown);
    text += cp1251_tail;
    if (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    game.Trace->NothingAnswered(
        TracedFallback{fallback, game.CurrentLocation, location_name, text});
}

void PrintFailure(Game& game, Outcome outcome, std::size_t best_mismatch, const std::string& text,
                  std::string_view location_name) {
    if (outcome == Outcome::kReactionFound || game.CurrentLocation == game.GlobalLocation) {
        return;
    }
    if (outcome == Outcome::kPhraseMatched) {
        const char* shown = text.empty() ? "Сделать что?\n" : "Вы не можете сделать этого.\n";
        TraceFallback(game, text.empty() ? Fallback::kWhat : Fallback::kCannot, location_name,
                      shown);
        Print(game, shown);
    } else if (text.size() == best_mismatch) {
        TraceFallback(game, Fallback::kNotUnderstood, location_name, "Непонятный запрос.");
        Print(game, "Непонятный запрос.\n");
    } else {
        const std::string word = WordAt(text, best_mismatch);
        TraceFallback(game, Fallback::kUnknownWord, location_name, "Неизвестное слово: \"",
                      word + "\"");
        PrintUnknownWord(game, word);
    }
}

// Where a reaction's record lies in the scenario file.
struct ReactionSpan {
    std::int64_t start = 0;
    std::int64_t end = 0;
};

// Walks the sections of the found block. Returns the reaction found, or nothing. Malformed
// records (an end at or before the record's start) end the walk, as if the block ended there.
std::optional<ReactionSpan> FindReaction(DataFile& file, std::int32_t block_end, VerbId verb,
                                         const std::string& text, Outcome& outcome,
                                         std::size_t& best_mismatch) {
    while (file.Position() < block_end) {
        const std::int64_t section_start = file.Position();
        const std::int16_t phrase_count = ReadI16(file);
        bool holds_text = false;
        for (std::int32_t i = 0; i < phrase_count; ++i) {
            const std::string phrase = FoldYo(ReadScrambledString(file));
            if (phrase == text) {
                holds_text = true;
                outcome = Outcome::kPhraseMatched;
            } else {
                best_mismatch = std::max(best_mismatch, MismatchPosition(phrase, text));
            }
        }
        const std::int32_t section_end = ReadI32(file);
        if (section_end <= section_start) {
            return std::nullopt;
        }
        if (!holds_text) {
            file.Seek(section_end);
            continue;
        }
        while (file.Position() < section_end) {
            const std::int64_t reaction_start = file.Position();
            const std::int16_t verb_count = ReadI16(file);
            bool found = false;
            for (std::int32_t i = 0; i < verb_count; ++i) {
                if (ReadI16(file) == verb) {
                    found = true;
                }
            }
            const std::int32_t reaction_end = ReadI32(file);
            if (found) {
                outcome = Outcome::kReactionFound;
                return ReactionSpan{reaction_start, reaction_end};
            }
            if (reaction_end <= reaction_start) {
                return std::nullopt;
            }
            file.Seek(reaction_end);
        }
    }
    return std::nullopt;
}

// Runs a global pass: the current location is the global one for its length and is put back
// afterwards, also when the pass fails.
void RunGlobalPass(Game& game, VerbId verb, const std::string& text) {
    const LocationId saved = game.CurrentLocation;
    game.CurrentLocation = game.GlobalLocation;
    try {
        RunReactions(game, verb, text);
    } catch (...) {
        game.CurrentLocation = saved;
        throw;
    }
    game.CurrentLocation = saved;
}

// Location passes, repeated with the arrival verb for as long as reactions jump.
void RunLocationPasses(Game& game, VerbId verb, std::string text) {
    for (int jumps = 0;; ++jumps) {
        game.JumpPending = false;
        if (jumps == kMaxJumpsPerTurn) {
            return;
        }
        if (jumps > 0 && game.Trace != nullptr) {
            game.Trace->Arrived(game.CurrentLocation);
        }
        RunReactions(game, verb, text);
        if (!game.JumpPending) {
            return;
        }
        verb = game.ArrivalVerb;
        text.clear();
    }
}

}  // namespace

void ShowScenarioInfo(Game& game) {
    DataFile file(DataFilePath(game.GameFolder, kScenarioFileName));
    file.Seek(kLocationTableOffsetAt);
    game.LocationTableOffset = ReadI32(file);
    game.GlobalLocation = ReadU16(file);
    game.CurrentLocation = ReadU16(file);
    game.ArrivalVerb = ReadI16(file);
    for (;;) {
        char byte = 0;
        ReadScrambled(file, &byte, 1);
        if (file.AtEnd() || byte == 0) {
            break;
        }
        game.TextWindow.PrintText(std::string_view(&byte, 1));
    }
}

void ResetGame(Game& game) {
    game.LastCommand.clear();
    game.Flags.fill(0);
    Print(game, "Информация о сценарии:\n\n");
    ShowScenarioInfo(game);
    game.TextWindow.PrintText("\n");
}

void RunReactions(Game& game, VerbId verb, const std::string& text) {
    DataFile file(DataFilePath(game.GameFolder, kScenarioFileName));
    file.Seek(game.LocationTableOffset);
    Outcome outcome = Outcome::kNothingMatched;
    std::size_t best_mismatch = 0;
    std::string name;
    for (;;) {
        const std::int64_t block_start = file.Position();
        const std::int32_t block_end = ReadI32(file);
        const LocationId id = ReadU16(file);
        if (id == game.CurrentLocation) {
            name = ReadScrambledString(file);
            if (game.CurrentLocation != game.GlobalLocation) {
                game.SetTitle(" " + name);
            }
            const auto reaction = FindReaction(file, block_end, verb, text, outcome, best_mismatch);
            if (reaction) {
                game.Handled = true;
                if (game.Trace != nullptr) {
                    game.Trace->ReactionRuns(TracedReaction{
                        game.CurrentLocation, name, game.CurrentLocation == game.GlobalLocation,
                        verb, text, reaction->start});
                }
                while (file.Position() < reaction->end) {
                    if (ExecuteStatement(game, file) == StatementResult::kStopPass ||
                        game.JumpPending) {
                        break;
                    }
                }
            }
            break;
        }
        // A block end at or before its own field would walk backwards: the table ends there.
        if (block_end <= block_start) {
            break;
        }
        file.Seek(block_end);
        if (game.JumpPending || file.AtEnd()) {
            break;
        }
    }
    // The centred mode never outlives a pass that ends normally. A failing read leaves it as
    // it was, like the flags.
    game.CenterMode = false;
    PrintFailure(game, outcome, best_mismatch, text, name);
}

void DoCommand(Game& game, std::string line) {
    const VerbId verb = FindVerb(game.GameFolder, line);
    if (verb == kNoVerb) {
        const std::string word = line.substr(0, line.find(' '));
        TraceFallback(game, Fallback::kUnknownVerb, {}, "Неизвестное слово: \"", word + "\"");
        Print(game, "Неизвестное слово: \"");
        game.TextWindow.PrintText(word + "\"\n");
        return;
    }
    game.Handled = false;
    const std::string object_text = NormalizeCommand(line);
    if (game.Trace != nullptr) {
        game.Trace->Command(verb, object_text);
    }
    RunGlobalPass(game, verb, object_text);
    if (game.Handled) {
        return;
    }
    RunLocationPasses(game, verb, object_text);
}

void EnterLocation(Game& game) {
    if (game.Trace != nullptr) {
        game.Trace->Arrived(game.CurrentLocation);
    }
    game.Handled = false;
    RunGlobalPass(game, game.ArrivalVerb, {});
    if (game.Handled) {
        return;
    }
    RunLocationPasses(game, game.ArrivalVerb, {});
}

}  // namespace narravox
