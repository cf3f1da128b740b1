// SPDX-License-Identifier: MIT
#include "lint.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>

#include "cp1251.h"
#include "interp/normalize.h"
#include "session.h"
#include "spelling.h"

namespace narravox::ply {
namespace {

using Kind = Statement::Kind;

struct Linter {
    const GameData& game;
    std::vector<Finding>& findings;
    const LintNames& names;

    std::string Flag(std::int16_t id) const {
        return names.flag ? "flag " + names.flag(id) : "flag " + std::to_string(id);
    }
    std::string Verb(std::int16_t id) const {
        return names.verb ? "verb " + names.verb(id) : "verb " + std::to_string(id);
    }
    std::string Loc(std::uint16_t id) const {
        return names.location ? "location " + names.location(id) : "location " + std::to_string(id);
    }

    void Add(Severity severity, FileKind file, const Where& where, std::string message) {
        findings.push_back(Finding{severity, file, where, std::move(message)});
    }
};

std::string Quoted(std::string_view cp1251) {
    return "\"" + Cp1251ToUtf8(cp1251) + "\"";
}

template <typename Visit>
void ForEachStatement(const std::vector<Statement>& statements, int depth, Visit&& visit) {
    for (const Statement& s : statements) {
        visit(s, depth);
        ForEachStatement(s.then_body, depth + 1, visit);
        ForEachStatement(s.else_body, depth + 1, visit);
    }
}

template <typename Visit>
void ForEachStatement(const Scenario& scenario, Visit&& visit) {
    for (const Location& location : scenario.locations) {
        for (const Section& section : location.sections) {
            for (const Reaction& reaction : section.reactions) {
                ForEachStatement(reaction.statements, 0, visit);
            }
        }
    }
}

// The reaction an arrival runs in a location: the first reaction to the arrival verb in the
// first section that holds the empty phrase and has one.
const Reaction* ArrivalReaction(const Location& location, std::int16_t arrival) {
    for (const Section& section : location.sections) {
        const bool has_empty = std::any_of(section.phrases.begin(), section.phrases.end(),
                                           [](const Phrase& p) { return p.text.empty(); });
        if (!has_empty) {
            continue;
        }
        for (const Reaction& reaction : section.reactions) {
            for (const VerbUse& verb : reaction.verbs) {
                if (verb.id == arrival) {
                    return &reaction;
                }
            }
        }
    }
    return nullptr;
}

struct Edge {
    std::uint16_t to = 0;
    bool certain = false;
    Where where;
    const Statement* statement = nullptr;
};

// Jumps an arrival reaction makes. Only the first jump at its top level is certain; later
// statements never run after it, and jumps inside branches depend on flags.
std::vector<Edge> ArrivalJumps(const Reaction& reaction) {
    std::vector<Edge> edges;
    for (const Statement& s : reaction.statements) {
        if (s.kind == Kind::kJump) {
            edges.push_back(Edge{s.location, true, s.where, &s});
            break;
        }
        ForEachStatement(s.then_body, 1, [&](const Statement& inner, int) {
            if (inner.kind == Kind::kJump) {
                edges.push_back(Edge{inner.location, false, inner.where, &inner});
            }
        });
        ForEachStatement(s.else_body, 1, [&](const Statement& inner, int) {
            if (inner.kind == Kind::kJump) {
                edges.push_back(Edge{inner.location, false, inner.where, &inner});
            }
        });
    }
    return edges;
}

void CheckArrivalCycles(Linter& lint, const std::map<std::uint16_t, const Location*>& blocks) {
    const Scenario& scenario = lint.game.scenario;
    std::map<std::uint16_t, std::vector<Edge>> graph;
    for (const auto& [id, location] : blocks) {
        if (const Reaction* reaction = ArrivalReaction(*location, scenario.arrival)) {
            graph[id] = ArrivalJumps(*reaction);
        }
    }
    // Two rounds: first only the jumps that always happen (a cycle there never ends), then all
    // of them (a cycle there ends only if the flags allow it). A cycle is reported once, at the
    // jump that closes it.
    std::set<std::uint16_t> reported;
    for (const bool certain_only : {true, false}) {
        std::map<std::uint16_t, int> state;  // 0 unseen, 1 on the stack, 2 done
        for (const auto& [root, unused] : graph) {
            if (state[root] != 0) {
                continue;
            }
            // Iterative depth-first search: the number of locations is bounded only by the
            // file, so the call stack must not grow with it.
            std::vector<std::pair<std::uint16_t, std::size_t>> stack{{root, 0}};
            state[root] = 1;
            while (!stack.empty()) {
                auto& [node, next_edge] = stack.back();
                const auto found = graph.find(node);
                if (found == graph.end() || next_edge >= found->second.size()) {
                    state[node] = 2;
                    stack.pop_back();
                    continue;
                }
                const Edge edge = found->second[next_edge++];
                if (certain_only && !edge.certain) {
                    continue;
                }
                if (state[edge.to] == 1) {
                    if (reported.insert(edge.to).second) {
                        lint.Add(
                            certain_only ? Severity::kError : Severity::kWarning,
                            FileKind::kScenario, edge.where,
                            certain_only
                                ? "arrival jumps cycle without end through " + lint.Loc(edge.to)
                                : "arrival jumps may cycle through " + lint.Loc(edge.to) +
                                      " unless flags break the cycle");
                    }
                } else if (state[edge.to] == 0) {
                    state[edge.to] = 1;
                    stack.emplace_back(edge.to, 0);
                }
            }
        }
    }
}

// The first word of a code page 1251 text that mixes Latin and Cyrillic letters, or empty.
std::u32string MixedWord(std::string_view cp1251) {
    const std::u32string text = Cp1251ToUtf32(cp1251);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(U' ', start);
        if (end == std::u32string::npos) {
            end = text.size();
        }
        const std::u32string_view word = std::u32string_view(text).substr(start, end - start);
        if (std::any_of(word.begin(), word.end(), IsLatinLetter) &&
            std::any_of(word.begin(), word.end(), IsCyrillicLetter)) {
            return std::u32string(word);
        }
        start = end + 1;
    }
    return {};
}

// How far apart two names are when one may be the other misspelt: 0 when they differ only in
// look-alike letters, else their edit distance if it is at most 2 and leaves the shorter name
// some letter of its own (so that "a" is no misspelling of "b").
std::optional<std::size_t> Misspelling(const std::string& utf8_a, const std::string& utf8_b) {
    const std::u32string a = Utf8ToUtf32(utf8_a);
    const std::u32string b = Utf8ToUtf32(utf8_b);
    if (FoldLookAlikes(a) == FoldLookAlikes(b)) {
        return 0;
    }
    const auto distance = static_cast<std::size_t>(EditDistance(a, b, 2));
    if (distance <= 2 && distance < std::min(a.size(), b.size())) {
        return distance;
    }
    return std::nullopt;
}

// "; did you mean 'X'?" for the candidate flag closest to the flag, or empty. Only source
// names can be misspelt: numbers from data files are never compared.
std::string DidYouMean(const Linter& lint, std::int16_t flag,
                       const std::set<std::int16_t>& candidates) {
    if (!lint.names.flag) {
        return {};
    }
    const std::string name = lint.names.flag(flag);
    std::optional<std::size_t> best;
    std::string best_name;
    for (const std::int16_t candidate : candidates) {
        const std::string other = lint.names.flag(candidate);
        const auto distance = Misspelling(name, other);
        if (distance && (!best || *distance < *best)) {
            best = distance;
            best_name = other;
        }
    }
    return best ? "; did you mean '" + best_name + "'?" : std::string();
}

// Flags set but never tested and tested but never set: either usually means a misspelt name,
// and when both kinds are there each is offered the other as what was meant.
void CheckFlags(Linter& lint) {
    std::map<std::int16_t, Where> first_set;
    std::set<std::int16_t> tested;
    ForEachStatement(lint.game.scenario, [&](const Statement& s, int) {
        if (s.kind == Kind::kSetFlag) {
            first_set.emplace(s.flag, s.where);
        } else if (s.kind == Kind::kIf || s.kind == Kind::kIfElse) {
            tested.insert(s.flag);
        }
    });
    std::set<std::int16_t> never_set;
    std::set<std::int16_t> never_tested;
    for (const std::int16_t flag : tested) {
        if (first_set.count(flag) == 0) {
            never_set.insert(flag);
        }
    }
    for (const auto& [flag, where] : first_set) {
        if (tested.count(flag) == 0) {
            never_tested.insert(flag);
        }
    }
    ForEachStatement(lint.game.scenario, [&](const Statement& s, int) {
        if ((s.kind == Kind::kIf || s.kind == Kind::kIfElse) && never_set.count(s.flag) != 0) {
            lint.Add(Severity::kWarning, FileKind::kScenario, s.where,
                     lint.Flag(s.flag) + " is tested but never set" +
                         DidYouMean(lint, s.flag, never_tested));
        }
    });
    for (const std::int16_t flag : never_tested) {
        lint.Add(Severity::kWarning, FileKind::kScenario, first_set.at(flag),
                 lint.Flag(flag) + " is set but never tested, so setting it changes nothing" +
                     DidYouMean(lint, flag, never_set));
    }
}

// What the player program does with a line that is one of its own commands.
const char* ProgramAction(ProgramCommand command) {
    switch (command) {
        case ProgramCommand::kHiddenMode:
            return "switches its hidden mode";
        case ProgramCommand::kQuit:
            return "asks whether to quit";
        case ProgramCommand::kSave:
            return "saves the game";
        case ProgramCommand::kLoad:
            return "loads a saved game";
        case ProgramCommand::kNone:
            break;
    }
    return nullptr;
}

// Synonyms that are the player program's own commands, and synonyms and phrases that a player
// cannot type or cannot tell apart: words that mix Latin and Cyrillic letters, and texts that
// differ from another only in look-alike letters.
void CheckTypedTexts(Linter& lint, const std::map<std::uint16_t, const Location*>& blocks) {
    std::map<std::u32string, std::string> synonyms;  // folded -> the first synonym so folded
    for (const VerbGroup& group : lint.game.vocabulary.groups) {
        for (const Phrase& synonym : group.synonyms) {
            if (!WhyNeverMatches(synonym.text, false).empty()) {
                continue;
            }
            if (const char* action = ProgramAction(ProgramCommandOf(synonym.text))) {
                lint.Add(Severity::kWarning, FileKind::kCommands, synonym.where,
                         "synonym " + Quoted(synonym.text) +
                             " is a command of the player program, which takes it typed alone "
                             "(it " +
                             action + "), so it reaches the game only with words after it");
            }
            const std::u32string mixed = MixedWord(synonym.text);
            if (!mixed.empty()) {
                lint.Add(Severity::kWarning, FileKind::kCommands, synonym.where,
                         "synonym " + Quoted(synonym.text) +
                             " mixes Latin and Cyrillic letters in \"" + Utf32ToUtf8(mixed) +
                             "\"; a player types a word in one keyboard layout, so it never "
                             "matches");
            }
            const auto [it, fresh] =
                synonyms.emplace(FoldLookAlikes(Cp1251ToUtf32(synonym.text)), synonym.text);
            if (!fresh && it->second != synonym.text) {
                lint.Add(Severity::kWarning, FileKind::kCommands, synonym.where,
                         "synonym " + Quoted(synonym.text) + " differs from synonym " +
                             Quoted(it->second) +
                             " only in look-alike Latin and Cyrillic letters; a player cannot "
                             "tell which one to type");
            }
        }
    }

    // Phrases meet in a turn only within a location and the global one.
    const auto global = blocks.find(lint.game.scenario.global);
    const auto usable = [](const Phrase& phrase) {
        return !phrase.text.empty() && WhyNeverMatches(phrase.text, true).empty();
    };
    std::map<std::u32string, std::string> global_phrases;
    if (global != blocks.end()) {
        for (const Section& section : global->second->sections) {
            for (const Phrase& phrase : section.phrases) {
                if (usable(phrase)) {
                    global_phrases.emplace(FoldLookAlikes(Cp1251ToUtf32(FoldYo(phrase.text))),
                                           FoldYo(phrase.text));
                }
            }
        }
    }
    for (const auto& [id, location] : blocks) {
        // The global location's words are met again in every other one.
        std::map<std::u32string, std::string> phrases;
        const bool with_global = global != blocks.end() && id != global->first;
        for (const Section& section : location->sections) {
            for (const Phrase& phrase : section.phrases) {
                if (!usable(phrase)) {
                    continue;
                }
                const std::string text = FoldYo(phrase.text);
                const std::u32string mixed = MixedWord(text);
                if (!mixed.empty()) {
                    lint.Add(Severity::kWarning, FileKind::kScenario, phrase.where,
                             "phrase " + Quoted(phrase.text) +
                                 " mixes Latin and Cyrillic letters in \"" + Utf32ToUtf8(mixed) +
                                 "\"; a player types a word in one keyboard layout, so it never "
                                 "matches");
                }
                const std::u32string folded = FoldLookAlikes(Cp1251ToUtf32(text));
                auto it = phrases.emplace(folded, text).first;
                if (with_global && it->second == text) {
                    const auto in_global = global_phrases.find(folded);
                    if (in_global != global_phrases.end()) {
                        it = in_global;
                    }
                }
                if (it->second != text) {
                    lint.Add(Severity::kWarning, FileKind::kScenario, phrase.where,
                             "phrase " + Quoted(phrase.text) + " differs from phrase " +
                                 Quoted(it->second) +
                                 " only in look-alike Latin and Cyrillic letters; a player "
                                 "cannot tell which one to type");
                }
            }
        }
    }
}

// Reports the first statement of a block that can never run because the statements before it
// always jump, and returns whether the block always jumps.
bool CheckAfterJumps(Linter& lint, const std::vector<Statement>& statements) {
    const char* because = nullptr;
    for (const Statement& s : statements) {
        if (because != nullptr) {
            lint.Add(Severity::kWarning, FileKind::kScenario, s.where,
                     std::string("this statement never runs: ") + because);
            return true;
        }
        if (s.kind == Kind::kJump) {
            because = "the jump above it ends the reaction";
        } else if (s.kind == Kind::kIf) {
            CheckAfterJumps(lint, s.then_body);
        } else if (s.kind == Kind::kIfElse) {
            const bool then_jumps = CheckAfterJumps(lint, s.then_body);
            const bool else_jumps = CheckAfterJumps(lint, s.else_body);
            if (then_jumps && else_jumps) {
                because = "both branches of the 'if' above it end in a jump";
            }
        }
    }
    return because != nullptr;
}

template <typename Visit>
void ForEachStatement(const Location& location, Visit&& visit) {
    for (const Section& section : location.sections) {
        for (const Reaction& reaction : section.reactions) {
            ForEachStatement(reaction.statements, 0, visit);
        }
    }
}

// What a player sees on entering a location whose arrival no reaction answers: the message of
// a turn that found nothing, for the empty text.
std::string ArrivalFallback(const Location& location) {
    bool any_phrase = false;
    for (const Section& section : location.sections) {
        for (const Phrase& phrase : section.phrases) {
            if (phrase.text.empty()) {
                return "its empty phrase has no reaction to it: entering it prints "
                       "«Сделать что?»";
            }
            any_phrase = true;
        }
    }
    return any_phrase ? "it has no empty phrase: entering it prints «Неизвестное слово: \"\"»"
                      : "it has no phrases: entering it prints «Непонятный запрос.»";
}

// Jumps and how locations are entered. The engine runs the global location's reactions with
// the global location standing in for the current one and puts the current one back afterwards,
// so a jump there moves nobody; a jump to the global location leaves the player where no
// failing command is answered. A location is entered at the start (and when a game is loaded)
// through the global location's arrival reaction first, but after a jump through its own only.
void CheckJumps(Linter& lint, const std::map<std::uint16_t, const Location*>& blocks) {
    // In the global location a failing turn prints nothing, and its own jumps are undone.
    static constexpr const char* kStuck =
        "the player is stuck there, and every command of a known verb that no global reaction "
        "answers prints nothing";
    const Scenario& scenario = lint.game.scenario;
    const auto global = blocks.find(scenario.global);
    const bool global_first =
        !scenario.locations.empty() && scenario.locations.front().id == scenario.global;
    std::set<std::uint16_t> entered_by_jump;  // from a location, itself included
    std::set<std::uint16_t> entered_from_elsewhere;
    std::set<std::uint16_t> global_targets;
    for (const auto& [block_id, location] : blocks) {
        // Clang 14 cannot capture a structured binding in a lambda.
        const std::uint16_t id = block_id;
        const bool in_global = id == scenario.global;
        for (const Section& section : location->sections) {
            for (const Reaction& reaction : section.reactions) {
                CheckAfterJumps(lint, reaction.statements);
            }
        }
        ForEachStatement(*location, [&](const Statement& s, int) {
            if (s.kind != Kind::kJump) {
                return;
            }
            if (in_global) {
                global_targets.insert(s.location);
                lint.Add(Severity::kWarning, FileKind::kScenario, s.where,
                         global_first
                             ? "jump in the global location: the player does not move, and "
                               "until a command reaches the current location's reactions, "
                               "every command a global reaction answers prints nothing"
                             : "jump in the global location: the player does not move, and "
                               "the next command of a known verb skips the global reactions "
                               "and goes to the current location's");
                return;
            }
            entered_by_jump.insert(s.location);
            if (s.location != id) {
                entered_from_elsewhere.insert(s.location);
            }
            if (s.location == scenario.global && global != blocks.end()) {
                lint.Add(Severity::kWarning, FileKind::kScenario, s.where,
                         "jump to the global " + lint.Loc(s.location) + ": " + kStuck);
            }
        });
    }
    if (scenario.start == scenario.global && global != blocks.end()) {
        lint.Add(Severity::kWarning, FileKind::kScenario, scenario.start_where,
                 "the start " + lint.Loc(scenario.start) + " is the global one: " + kStuck);
    }

    const bool global_arrives =
        global != blocks.end() && ArrivalReaction(*global->second, scenario.arrival) != nullptr;
    for (const auto& [id, location] : blocks) {
        if (id == scenario.global) {
            continue;
        }
        if (id != scenario.start && entered_from_elsewhere.count(id) == 0) {
            lint.Add(Severity::kWarning, FileKind::kScenario, location->where,
                     global_targets.count(id) != 0
                         ? lint.Loc(id) +
                               " is never entered: only the global location jumps "
                               "to it, and its jumps move nobody"
                         : lint.Loc(id) +
                               " is never entered: it is not the start and no "
                               "other location jumps to it");
            continue;
        }
        const bool fallback_seen =
            entered_by_jump.count(id) != 0 || (id == scenario.start && !global_arrives);
        if (fallback_seen && ArrivalReaction(*location, scenario.arrival) == nullptr) {
            lint.Add(Severity::kWarning, FileKind::kScenario, location->where,
                     lint.Loc(id) + " has no reaction to the arrival " +
                         lint.Verb(scenario.arrival) + ": " + ArrivalFallback(*location));
        }
    }
}

}  // namespace

std::string WhyNeverMatches(std::string_view text, bool is_phrase) {
    const std::string folded = is_phrase ? FoldYo(text) : std::string(text);
    if (!is_phrase && text.empty()) {
        return "an empty synonym never matches";
    }
    if (!is_phrase && folded != FoldYo(folded)) {
        return "holds \"ё\", which typed commands never do";
    }
    if (LowerCase(folded) != folded) {
        return "holds a capital letter, which typed commands never do";
    }
    if (NormalizeCommand(folded) != folded) {
        return folded.find("  ") != std::string::npos
                   ? "holds two spaces in a row, which typed commands never do"
                   : "begins or ends with a space, which typed commands never do";
    }
    return {};
}

std::vector<ArrivalJump> FindArrivalJumps(const Scenario& scenario) {
    std::vector<ArrivalJump> jumps;
    std::set<std::uint16_t> seen;
    for (const Location& location : scenario.locations) {
        if (!seen.insert(location.id).second) {
            continue;
        }
        if (const Reaction* reaction = ArrivalReaction(location, scenario.arrival)) {
            for (const Edge& edge : ArrivalJumps(*reaction)) {
                jumps.push_back(ArrivalJump{location.id, edge.to, edge.certain, edge.statement});
            }
        }
    }
    return jumps;
}

void LintGame(const GameData& game, std::vector<Finding>& findings, const LintNames& names) {
    Linter lint{game, findings, names};
    const Scenario& scenario = game.scenario;

    std::map<std::uint16_t, const Location*> blocks;
    for (const Location& location : scenario.locations) {
        if (!blocks.emplace(location.id, &location).second) {
            lint.Add(Severity::kWarning, FileKind::kScenario, location.where,
                     "location id " + std::to_string(location.id) +
                         " is used by an earlier block; this block is never used");
        }
    }
    // A table that could not be read at all has been reported already.
    if (!scenario.locations.empty()) {
        if (blocks.count(scenario.global) == 0) {
            lint.Add(Severity::kError, FileKind::kScenario, scenario.global_where,
                     "global " + lint.Loc(scenario.global) + " has no block");
        }
        if (blocks.count(scenario.start) == 0) {
            lint.Add(Severity::kError, FileKind::kScenario, scenario.start_where,
                     "start " + lint.Loc(scenario.start) + " has no block");
        }
    }

    // Synonyms: which verbs can be typed, and which synonyms are dead or shadowed.
    std::set<std::int16_t> typable;
    std::map<std::string, std::int16_t> owner;
    for (const VerbGroup& group : game.vocabulary.groups) {
        for (const Phrase& synonym : group.synonyms) {
            const std::string why = WhyNeverMatches(synonym.text, false);
            if (!why.empty()) {
                lint.Add(Severity::kWarning, FileKind::kCommands, synonym.where,
                         "synonym " + Quoted(synonym.text) + " " + why);
                continue;
            }
            typable.insert(group.id);
            const auto [it, fresh] = owner.emplace(synonym.text, group.id);
            if (!fresh) {
                lint.Add(Severity::kWarning, FileKind::kCommands, synonym.where,
                         "synonym " + Quoted(synonym.text) + " appears again; this later one (" +
                             lint.Verb(group.id) + ") decides");
                it->second = group.id;
            }
        }
    }

    std::set<std::int16_t> reacted;
    for (const Location& location : scenario.locations) {
        for (const Section& section : location.sections) {
            for (const Phrase& phrase : section.phrases) {
                const std::string why = WhyNeverMatches(phrase.text, true);
                if (!why.empty()) {
                    lint.Add(Severity::kWarning, FileKind::kScenario, phrase.where,
                             "phrase " + Quoted(phrase.text) + " " + why);
                }
            }
            for (const Reaction& reaction : section.reactions) {
                for (const VerbUse& verb : reaction.verbs) {
                    reacted.insert(verb.id);
                    if (verb.id != scenario.arrival && typable.count(verb.id) == 0) {
                        lint.Add(Severity::kWarning, FileKind::kScenario, verb.where,
                                 "reaction to " + lint.Verb(verb.id) + ", which no synonym names");
                    }
                }
            }
        }
    }
    for (const VerbGroup& group : game.vocabulary.groups) {
        if (!group.synonyms.empty() && reacted.count(group.id) == 0) {
            lint.Add(Severity::kWarning, FileKind::kCommands, group.where,
                     "no reaction lists " + lint.Verb(group.id) + " (synonym " +
                         Quoted(group.synonyms.front().text) + ")");
        }
    }

    ForEachStatement(scenario, [&](const Statement& s, int) {
        if (s.kind == Kind::kJump && blocks.count(s.location) == 0) {
            lint.Add(Severity::kError, FileKind::kScenario, s.where,
                     "jump to " + lint.Loc(s.location) + ", which has no block");
        }
    });
    CheckFlags(lint);
    CheckTypedTexts(lint, blocks);
    // A table that could not be read has no locations to enter.
    if (!scenario.locations.empty()) {
        CheckJumps(lint, blocks);
    }
    CheckArrivalCycles(lint, blocks);
}

}  // namespace narravox::ply
