// SPDX-License-Identifier: MIT
#include "lint.h"

#include <algorithm>
#include <map>
#include <set>

#include "cp1251.h"
#include "interp/normalize.h"

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
};

// Jumps an arrival reaction makes. Only the first jump at its top level is certain; later
// statements never run after it, and jumps inside branches depend on flags.
std::vector<Edge> ArrivalJumps(const Reaction& reaction) {
    std::vector<Edge> edges;
    for (const Statement& s : reaction.statements) {
        if (s.kind == Kind::kJump) {
            edges.push_back(Edge{s.location, true, s.where});
            break;
        }
        ForEachStatement(s.then_body, 1, [&](const Statement& inner, int) {
            if (inner.kind == Kind::kJump) {
                edges.push_back(Edge{inner.location, false, inner.where});
            }
        });
        ForEachStatement(s.else_body, 1, [&](const Statement& inner, int) {
            if (inner.kind == Kind::kJump) {
                edges.push_back(Edge{inner.location, false, inner.where});
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

    std::set<std::int16_t> set_flags;
    ForEachStatement(scenario, [&](const Statement& s, int) {
        if (s.kind == Kind::kSetFlag) {
            set_flags.insert(s.flag);
        }
    });
    ForEachStatement(scenario, [&](const Statement& s, int) {
        if (s.kind == Kind::kJump && blocks.count(s.location) == 0) {
            lint.Add(Severity::kError, FileKind::kScenario, s.where,
                     "jump to " + lint.Loc(s.location) + ", which has no block");
        }
        if ((s.kind == Kind::kIf || s.kind == Kind::kIfElse) && set_flags.count(s.flag) == 0) {
            lint.Add(Severity::kWarning, FileKind::kScenario, s.where,
                     lint.Flag(s.flag) + " is tested but never set");
        }
    });

    CheckArrivalCycles(lint, blocks);
}

}  // namespace narravox::ply
