// SPDX-License-Identifier: MIT
#include "trace_writer.h"

#include <string>

#include "cp1251.h"

namespace narravox::term {
namespace {

std::string Quoted(std::string_view cp1251) {
    return "«" + Cp1251ToUtf8(cp1251) + "»";
}

// "location 1 «Двор»", or without the title when the game has none for it.
std::string Location(LocationId id, std::string_view name, bool global = false) {
    std::string text = global ? "global location " : "location ";
    text += std::to_string(id);
    if (!name.empty()) {
        text += " " + Quoted(name);
    }
    return text;
}

std::string Object(std::string_view object) {
    return object.empty() ? std::string("no object") : "object " + Quoted(object);
}

const char* Reason(Fallback fallback) {
    switch (fallback) {
        case Fallback::kUnknownVerb:
            return "no verb begins the command";
        case Fallback::kUnknownWord:
            return "no phrase there has this word";
        case Fallback::kNotUnderstood:
            return "no phrase there is the object";
        case Fallback::kWhat:
            return "the section for no object has no reaction to the verb";
        case Fallback::kCannot:
            return "the object's section has no reaction to the verb";
    }
    return "";
}

}  // namespace

void TraceWriter::Command(VerbId verb, std::string_view object) {
    out_ << "trace: command: verb " << verb << ", " << Object(object) << '\n' << std::flush;
}

void TraceWriter::ReactionRuns(const TracedReaction& reaction) {
    out_ << "trace: reaction: "
         << Location(reaction.location, reaction.location_name, reaction.global) << ", "
         << Object(reaction.object) << ", verb " << reaction.verb << ", Scenario.ply offset "
         << reaction.offset << '\n'
         << std::flush;
}

void TraceWriter::NothingAnswered(const TracedFallback& fallback) {
    out_ << "trace: nothing answered";
    if (fallback.fallback != Fallback::kUnknownVerb) {
        out_ << " in " << Location(fallback.location, fallback.location_name);
    }
    out_ << " (" << Reason(fallback.fallback) << "): the player sees " << Quoted(fallback.shown)
         << '\n'
         << std::flush;
}

void TraceWriter::FlagChanged(std::int16_t flag, bool set) {
    out_ << "trace: " << (set ? "set" : "clear") << " flag " << flag << '\n' << std::flush;
}

void TraceWriter::FlagsCleared() {
    out_ << "trace: clear all flags\n" << std::flush;
}

void TraceWriter::Jumped(LocationId from, LocationId to) {
    out_ << "trace: jump from location " << from << " to location " << to << '\n' << std::flush;
}

void TraceWriter::Arrived(LocationId location) {
    out_ << "trace: arrival in location " << location << '\n' << std::flush;
}

}  // namespace narravox::term
