// SPDX-License-Identifier: MIT
#include "decompiler.h"

#include <algorithm>
#include <map>
#include <set>

#include "cp1251.h"

namespace narravox::ply {
namespace {

using Kind = Statement::Kind;

constexpr int kIndent = 4;

// Code page 1251 text as a quoted source string. A byte that would not come back as itself
// through UTF-8 is written as an escape.
std::string Quote(std::string_view text, bool escape_line_feeds = true) {
    std::string out = "\"";
    for (const char ch : text) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte == '"' || byte == '\\') {
            out += '\\';
            out += static_cast<char>(byte);
        } else if (byte == '\n' && escape_line_feeds) {
            out += "\\n";
        } else if (byte == '\t') {
            out += "\\t";
        } else {
            const char32_t c = Cp1251ToUnicode(byte);
            const auto back = UnicodeToCp1251(c);
            if (byte < 0x20 || byte == 0x7F || !back || *back != byte) {
                char buffer[8];
                std::snprintf(buffer, sizeof buffer, "\\x%02X", byte);
                out += buffer;
            } else {
                AppendUtf8(out, c);
            }
        }
    }
    return out + "\"";
}

std::string Pad(int depth) {
    return std::string(static_cast<std::size_t>(depth * kIndent), ' ');
}

// Hands out source names that are valid, unique and not reserved.
class Names {
  public:
    std::string Make(std::string_view cp1251_hint, const std::string& fallback) {
        std::string name;
        bool underscore = false;
        for (const char ch : cp1251_hint) {
            const char32_t c = Cp1251ToUnicode(static_cast<unsigned char>(ch));
            const bool word = (c < 0x80 && (std::isalnum(static_cast<int>(c)) != 0 || c == '_')) ||
                              (c >= 0x400 && c <= 0x4FF);
            if (word) {
                if (underscore && !name.empty()) {
                    name += '_';
                }
                underscore = false;
                AppendUtf8(name, c);
            } else {
                underscore = true;
            }
        }
        if (name.empty()) {
            name = fallback;
        } else if (name[0] >= '0' && name[0] <= '9') {
            name = "_" + name;
        }
        static constexpr const char* kReserved[] = {
            "info",   "start", "global", "arrival", "verb",   "flag",  "location",
            "object", "on",    "text",   "center",  "clear",  "set",   "jump",
            "if",     "not",   "else",   "pass",    "screen", "flags", "off"};
        if (std::find(std::begin(kReserved), std::end(kReserved), name) != std::end(kReserved)) {
            name += '_';
        }
        std::string unique = name;
        for (int n = 2; !used_.insert(unique).second; ++n) {
            unique = name + "_" + std::to_string(n);
        }
        return unique;
    }

  private:
    std::set<std::string> used_;
};

std::string Number(long long id) {
    return id < 0 ? "м" + std::to_string(-id) : std::to_string(id);
}

class Writer {
  public:
    explicit Writer(const GameData& game) : game_(game) {}

    std::string Run() {
        PlanVerbs();
        PlanLocations();
        PlanFlags();
        out_ += "# Written by narravox-ply dump.\n\n";
        const Scenario& scenario = game_.scenario;
        out_ += "info ";
        Text(scenario.info, 0);
        out_ += "global " + location_names_[scenario.global] + "\n";
        out_ += "start " + location_names_[scenario.start] + "\n";
        out_ += "arrival " + verb_names_[scenario.arrival] + "\n\n";
        WriteVerbs();
        WriteFlags();
        WriteLocations();
        return out_;
    }

  private:
    struct Verb {
        std::int16_t id = 0;
        std::vector<std::string> synonyms;
    };

    void PlanVerbs() {
        const auto& groups = game_.vocabulary.groups;
        std::set<std::int16_t> ids;
        bool unique = true;
        for (const VerbGroup& group : groups) {
            unique = ids.insert(group.id).second && unique;
        }
        if (unique) {
            for (const VerbGroup& group : groups) {
                Verb verb{group.id, {}};
                for (const Phrase& synonym : group.synonyms) {
                    verb.synonyms.push_back(synonym.text);
                }
                verbs_.push_back(std::move(verb));
            }
        } else {
            // Groups sharing an id become one verb. A synonym that stands in several groups
            // belongs to the last of them, as in lookup, and is kept only there.
            std::map<std::string, std::int16_t> owner;
            for (const VerbGroup& group : groups) {
                for (const Phrase& synonym : group.synonyms) {
                    owner[synonym.text] = group.id;
                }
            }
            std::map<std::int16_t, std::size_t> index;
            std::set<std::string> placed;
            for (const VerbGroup& group : groups) {
                auto [it, fresh] = index.emplace(group.id, verbs_.size());
                if (fresh) {
                    verbs_.push_back(Verb{group.id, {}});
                }
                for (const Phrase& synonym : group.synonyms) {
                    if (owner[synonym.text] == group.id && placed.insert(synonym.text).second) {
                        verbs_[it->second].synonyms.push_back(synonym.text);
                    }
                }
            }
        }
        std::set<std::int16_t> known;
        for (const Verb& verb : verbs_) {
            known.insert(verb.id);
        }
        // Verbs that reactions name but no group declares still need a declaration.
        auto need = [&](std::int16_t id) {
            if (known.insert(id).second) {
                verbs_.push_back(Verb{id, {}});
            }
        };
        need(game_.scenario.arrival);
        for (const Location& location : game_.scenario.locations) {
            for (const Section& section : location.sections) {
                for (const Reaction& reaction : section.reactions) {
                    for (const VerbUse& verb : reaction.verbs) {
                        need(verb.id);
                    }
                }
            }
        }
        for (const Verb& verb : verbs_) {
            verb_names_[verb.id] = names_.Make(verb.synonyms.empty() ? "" : verb.synonyms.front(),
                                               "глагол_" + Number(verb.id));
        }
    }

    void PlanLocations() {
        const Scenario& scenario = game_.scenario;
        std::set<std::uint16_t> seen;
        for (const Location& location : scenario.locations) {
            if (seen.insert(location.id).second) {
                locations_.push_back(&location);
            } else {
                hidden_.push_back(location.id);
            }
        }
        // Ids the game refers to without a block get an empty one, so that the source names them.
        std::vector<std::uint16_t> wanted{scenario.global, scenario.start};
        ForEach(scenario, [&](const Statement& s) {
            if (s.kind == Kind::kJump) {
                wanted.push_back(s.location);
            }
        });
        for (const std::uint16_t id : wanted) {
            if (seen.insert(id).second) {
                Location stub;
                stub.id = id;
                stubs_.push_back(std::move(stub));
            }
        }
        for (const Location& stub : stubs_) {
            locations_.push_back(&stub);
        }
        for (const Location* location : locations_) {
            const bool global = location->id == scenario.global;
            location_names_[location->id] =
                names_.Make(location->name, global ? "везде" : "место_" + Number(location->id));
        }
    }

    template <typename Visit>
    static void ForEach(const std::vector<Statement>& statements, Visit& visit) {
        for (const Statement& s : statements) {
            visit(s);
            ForEach(s.then_body, visit);
            ForEach(s.else_body, visit);
        }
    }
    template <typename Visit>
    static void ForEach(const Scenario& scenario, Visit&& visit) {
        for (const Location& location : scenario.locations) {
            for (const Section& section : location.sections) {
                for (const Reaction& reaction : section.reactions) {
                    ForEach(reaction.statements, visit);
                }
            }
        }
    }

    void PlanFlags() {
        ForEach(game_.scenario, [&](const Statement& s) {
            if (s.kind == Kind::kSetFlag || s.kind == Kind::kClearFlag || s.kind == Kind::kIf ||
                s.kind == Kind::kIfElse) {
                flags_.insert(s.flag);
            }
        });
        for (const std::int16_t flag : flags_) {
            flag_names_[flag] = names_.Make(
                "", flag < 0 ? "флаг_вне_набора_" + Number(flag) : "флаг_" + Number(flag));
        }
    }

    void WriteVerbs() {
        // Numbers count up from 1 as the compiler gives them; any other is written out.
        long long next = 1;
        for (const Verb& verb : verbs_) {
            out_ += "verb " + verb_names_[verb.id];
            if (verb.id == next) {
                ++next;
            } else {
                out_ += " = " + std::to_string(verb.id);
            }
            for (std::size_t i = 0; i < verb.synonyms.size(); ++i) {
                out_ += i == 0 ? ": " : ", ";
                out_ += Quote(verb.synonyms[i]);
            }
            out_ += "\n";
        }
        out_ += "\n";
    }

    void WriteFlags() {
        long long next = 0;
        for (const std::int16_t flag : flags_) {
            out_ += "flag " + flag_names_[flag];
            // Numbers outside the set cannot be written; such a flag gets the next free one.
            if (flag == next) {
                ++next;
            } else if (flag >= 0) {
                out_ += " = " + std::to_string(flag);
            }
            out_ += "\n";
        }
        if (!flags_.empty()) {
            out_ += "\n";
        }
    }

    void WriteLocations() {
        long long next = 0;
        for (const std::uint16_t id : hidden_) {
            out_ += "# A later block with location id " + std::to_string(id) +
                    " is left out: the first block with an id hides the others.\n";
        }
        for (const Location* location : locations_) {
            const std::string& name = location_names_[location->id];
            out_ += "location " + name;
            if (location->id == next) {
                ++next;
            } else {
                out_ += " = " + std::to_string(location->id);
            }
            if (Utf8ToCp1251(name) != location->name) {
                out_ += ' ';
                out_ += Quote(location->name);
            }
            out_ += "\n";
            for (const Section& section : location->sections) {
                WriteSection(section);
            }
            out_ += "\n";
        }
    }

    void WriteSection(const Section& section) {
        if (section.phrases.empty()) {
            out_ += Pad(1) + "# An object without phrases is left out: nothing can name it.\n";
            return;
        }
        out_ += Pad(1) + "object";
        if (!(section.phrases.size() == 1 && section.phrases[0].text.empty())) {
            for (std::size_t i = 0; i < section.phrases.size(); ++i) {
                out_ += i == 0 ? " " : ", ";
                out_ += Quote(section.phrases[i].text);
            }
        }
        out_ += ":\n";
        for (const Reaction& reaction : section.reactions) {
            if (reaction.verbs.empty()) {
                out_ += Pad(2) + "# A reaction without verbs is left out: it never runs.\n";
                continue;
            }
            out_ += Pad(2) + "on";
            for (std::size_t i = 0; i < reaction.verbs.size(); ++i) {
                out_ += (i == 0 ? " " : ", ") + verb_names_[reaction.verbs[i].id];
            }
            out_ += ":\n";
            Body(reaction.statements, 3);
        }
    }

    void Body(const std::vector<Statement>& body, int depth) {
        std::size_t written = 0;
        for (const Statement& s : body) {
            written += StatementLine(s, depth) ? 1 : 0;
        }
        if (written == 0) {
            out_ += Pad(depth) + "pass\n";
        }
    }

    bool StatementLine(const Statement& s, int depth) {
        const std::string pad = Pad(depth);
        switch (s.kind) {
            case Kind::kText:
                out_ += pad + "text ";
                Text(s.text, depth);
                return true;
            case Kind::kCenterOn:
                out_ += pad + "center on\n";
                return true;
            case Kind::kCenterOff:
                out_ += pad + "center off\n";
                return true;
            case Kind::kClearScreen:
                out_ += pad + "clear screen\n";
                return true;
            case Kind::kClearAllFlags:
                out_ += pad + "clear flags\n";
                return true;
            case Kind::kSetFlag:
                out_ += pad + "set " + flag_names_[s.flag] + "\n";
                return true;
            case Kind::kClearFlag:
                out_ += pad + "clear " + flag_names_[s.flag] + "\n";
                return true;
            case Kind::kJump:
                out_ += pad + "jump " + location_names_[s.location] + "\n";
                return true;
            case Kind::kIf:
                out_ += pad + "if " + flag_names_[s.flag] + ":\n";
                Body(s.then_body, depth + 1);
                return true;
            case Kind::kIfElse:
                // An empty then-branch reads best as "if not"; it compiles to the same bytes.
                if (s.then_body.empty() && !s.else_body.empty()) {
                    out_ += pad + "if not " + flag_names_[s.flag] + ":\n";
                    Body(s.else_body, depth + 1);
                } else {
                    out_ += pad + "if " + flag_names_[s.flag] + ":\n";
                    Body(s.then_body, depth + 1);
                    out_ += pad + "else:\n";
                    Body(s.else_body, depth + 1);
                }
                return true;
            case Kind::kUnknown:
                out_ += pad + "# An unknown statement code " + Quote(s.text) +
                        " is left out: it does nothing.\n";
                return false;
        }
        return false;
    }

    // A text with one source line per line of text, continuations aligned under the first.
    void Text(std::string_view text, int depth) {
        const std::string pad = Pad(depth) + std::string(5, ' ');
        std::size_t start = 0;
        for (bool first = true;; first = false) {
            const std::size_t end = text.find('\n', start);
            if (!first) {
                out_ += pad;
            }
            out_ +=
                Quote(text.substr(start, end == std::string_view::npos ? text.npos : end - start),
                      false) +
                "\n";
            if (end == std::string_view::npos) {
                break;
            }
            start = end + 1;
        }
    }

    const GameData& game_;
    std::string out_;
    Names names_;
    std::vector<Verb> verbs_;
    std::map<std::int16_t, std::string> verb_names_;
    std::vector<const Location*> locations_;
    std::vector<Location> stubs_;
    std::vector<std::uint16_t> hidden_;
    std::map<std::uint16_t, std::string> location_names_;
    std::set<std::int16_t> flags_;
    std::map<std::int16_t, std::string> flag_names_;
};

}  // namespace

std::string Decompile(const GameData& game) {
    return Writer(game).Run();
}

}  // namespace narravox::ply
