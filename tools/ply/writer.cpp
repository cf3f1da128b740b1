#include "writer.h"

#include <cstdint>
#include <limits>

namespace narravox::ply {
namespace {

// Offsets are stored as 32-bit values that readers treat as signed.
constexpr std::size_t kMaxFileSize =
    static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());

void PutU16(std::string& out, std::uint16_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}

void PutU32(std::string& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

void PatchU32(std::string& out, std::size_t at, std::size_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        out[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

void PutString(std::string& out, const std::string& text) {
    out += text;
    out += '\0';
}

// End offsets are patched in once the record is complete, so every offset is simply the size of
// the output at that moment.
void PutStatements(std::string& out, const std::vector<Statement>& statements) {
    using Kind = Statement::Kind;
    for (const Statement& s : statements) {
        switch (s.kind) {
            case Kind::kText:
                out += "TX";
                PutString(out, s.text);
                break;
            case Kind::kCenterOn:
                out += "SC";
                break;
            case Kind::kCenterOff:
                out += "EC";
                break;
            case Kind::kClearScreen:
                out += "CS";
                break;
            case Kind::kClearAllFlags:
                out += "DA";
                break;
            case Kind::kSetFlag:
                out += "CF";
                PutU16(out, static_cast<std::uint16_t>(s.flag));
                break;
            case Kind::kClearFlag:
                out += "DF";
                PutU16(out, static_cast<std::uint16_t>(s.flag));
                break;
            case Kind::kJump:
                out += "JS";
                PutU16(out, s.location);
                break;
            case Kind::kIf: {
                out += "IF";
                const std::size_t end_at = out.size();
                PutU32(out, 0);
                PutU16(out, static_cast<std::uint16_t>(s.flag));
                PutStatements(out, s.then_body);
                PatchU32(out, end_at, out.size());
                break;
            }
            case Kind::kIfElse: {
                out += "IE";
                const std::size_t then_end_at = out.size();
                PutU32(out, 0);
                PutU16(out, static_cast<std::uint16_t>(s.flag));
                PutStatements(out, s.then_body);
                PatchU32(out, then_end_at, out.size());
                const std::size_t else_end_at = out.size();
                PutU32(out, 0);
                PutStatements(out, s.else_body);
                PatchU32(out, else_end_at, out.size());
                break;
            }
            case Kind::kUnknown:
                out += s.text.substr(0, 2);
                break;
        }
    }
}

std::optional<std::string> Finish(std::string file) {
    if (file.size() > kMaxFileSize) {
        return std::nullopt;
    }
    return Scramble(std::move(file));
}

}  // namespace

std::string Scramble(std::string file) {
    for (std::size_t i = 4; i < file.size(); ++i) {
        file[i] = static_cast<char>(static_cast<unsigned char>(file[i]) ^ (i & 0xFF));
    }
    return file;
}

std::optional<std::string> WriteCommands(const Vocabulary& vocabulary) {
    std::string file = "CMD3";
    for (const VerbGroup& group : vocabulary.groups) {
        if (group.synonyms.size() > 0xFFFF) {
            return std::nullopt;
        }
        PutU16(file, static_cast<std::uint16_t>(group.synonyms.size()));
        PutU16(file, static_cast<std::uint16_t>(group.id));
        for (const Phrase& synonym : group.synonyms) {
            PutString(file, synonym.text);
        }
        if (file.size() > kMaxFileSize) {
            return std::nullopt;
        }
    }
    return Finish(std::move(file));
}

std::optional<std::string> WriteScenario(const Scenario& scenario) {
    std::string file = "SCR3";
    PutU32(file, 0);
    PutU16(file, scenario.global);
    PutU16(file, scenario.start);
    PutU16(file, static_cast<std::uint16_t>(scenario.arrival));
    PutString(file, scenario.info);
    PatchU32(file, 4, file.size());
    for (const Location& location : scenario.locations) {
        const std::size_t block_end_at = file.size();
        PutU32(file, 0);
        PutU16(file, location.id);
        PutString(file, location.name);
        for (const Section& section : location.sections) {
            if (section.phrases.size() > 0x7FFF) {
                return std::nullopt;
            }
            PutU16(file, static_cast<std::uint16_t>(section.phrases.size()));
            for (const Phrase& phrase : section.phrases) {
                PutString(file, phrase.text);
            }
            const std::size_t section_end_at = file.size();
            PutU32(file, 0);
            for (const Reaction& reaction : section.reactions) {
                if (reaction.verbs.size() > 0x7FFF) {
                    return std::nullopt;
                }
                PutU16(file, static_cast<std::uint16_t>(reaction.verbs.size()));
                for (const VerbUse& verb : reaction.verbs) {
                    PutU16(file, static_cast<std::uint16_t>(verb.id));
                }
                const std::size_t reaction_end_at = file.size();
                PutU32(file, 0);
                PutStatements(file, reaction.statements);
                PatchU32(file, reaction_end_at, file.size());
                // Checked as we go so that a huge game never patches a truncated offset.
                if (file.size() > kMaxFileSize) {
                    return std::nullopt;
                }
            }
            PatchU32(file, section_end_at, file.size());
        }
        PatchU32(file, block_end_at, file.size());
    }
    return Finish(std::move(file));
}

}  // namespace narravox::ply
