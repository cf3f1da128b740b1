// SPDX-License-Identifier: MIT
#pragma once

#include <ostream>

#include "interp/trace.h"

namespace narravox::term {

// Writes what the game does (--trace) to a stream, one line a thing, each beginning with
// "trace: ", in UTF-8. The data files know locations, verbs and flags by number, so the lines
// give numbers, with a location's title where the game has just read it.
class TraceWriter : public Tracer {
  public:
    explicit TraceWriter(std::ostream& out) : out_(out) {}

    void Command(VerbId verb, std::string_view object) override;
    void ReactionRuns(const TracedReaction& reaction) override;
    void NothingAnswered(const TracedFallback& fallback) override;
    void FlagChanged(std::int16_t flag, bool set) override;
    void FlagsCleared() override;
    void Jumped(LocationId from, LocationId to) override;
    void Arrived(LocationId location) override;

  private:
    std::ostream& out_;
};

}  // namespace narravox::term
