// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string_view>

#include "interp/game.h"

// What a game does on its way to an answer, told to an observer that an author sets to learn
// why the game answered as it did. The engine calls it only when it is set (Game::Trace), and
// after the fact: it sees the play, it never steers it. Texts are code page 1251, as the data
// files hold them.
namespace narravox {

// A reaction found and about to run.
struct TracedReaction {
    LocationId location = 0;
    // The location's title as its block gives it.
    std::string_view location_name;
    bool global = false;
    VerbId verb = 0;
    // The object of the command, equal to one of the section's phrases; empty for a command
    // without one (and for arrivals).
    std::string_view object;
    // Where the reaction's record starts in Scenario.ply.
    std::int64_t offset = 0;
};

// Why nothing answered, by the text the player is shown instead.
enum class Fallback {
    kUnknownVerb,    // no verb begins the command: "Неизвестное слово"
    kUnknownWord,    // no phrase of the location knows a word of the object
    kNotUnderstood,  // "Непонятный запрос."
    kWhat,  // a section has no object and no reaction to the verb: "Сделать что?"
    kCannot,  // a section knows the object but not the verb: "Вы не можете сделать этого."
};

struct TracedFallback {
    Fallback fallback = Fallback::kNotUnderstood;
    LocationId location = 0;
    // Empty when the location's block was not read (an unknown verb, a location missing from
    // the table).
    std::string_view location_name;
    // What the player is shown, without its line feed.
    std::string_view shown;
};

class Tracer {
  public:
    virtual ~Tracer() = default;
    // A command line that begins with a verb: its number and the object text after it.
    virtual void Command(VerbId verb, std::string_view object) = 0;
    virtual void ReactionRuns(const TracedReaction& reaction) = 0;
    // Neither the global location nor the current one answered.
    virtual void NothingAnswered(const TracedFallback& fallback) = 0;
    virtual void FlagChanged(std::int16_t flag, bool set) = 0;
    virtual void FlagsCleared() = 0;
    virtual void Jumped(LocationId from, LocationId to) = 0;
    // The arrival verb is about to run for `location`: after a jump, at the start of a game
    // and after a saved game is loaded.
    virtual void Arrived(LocationId location) = 0;
};

}  // namespace narravox
