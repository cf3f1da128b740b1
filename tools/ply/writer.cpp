// SPDX-License-Identifier: MIT
#include "writer.h"

#include <cstdint>

namespace narravox::ply {
namespace {

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

void PutStatements(std::string& out, const std::vector<Statement>& statements);

// Writes a statement's code and then its operands as the format's list gives them. End offsets
// are patched in once the body after them is complete, so every offset is simply the size of
// the output at that moment.
void PutStatement(std::string& out, const Statement& s) {
    if (s.kind == Statement::Kind::kUnknown) {
        out += s.text;
        return;
    }
    out += StatementCodeBytes(s.kind);
    std::size_t end_at = 0;
    // A statement has at most two bodies: the first is the then-body, the second the else-body.
    bool first_body = true;
    for (const Operand operand : StatementOperands(s.kind)) {
        switch (operand) {
            case Operand::kText:
                PutString(out, s.text);
                break;
            case Operand::kFlag:
                PutU16(out, static_cast<std::uint16_t>(s.flag));
                break;
            case Operand::kLocation:
                PutU16(out, s.location);
                break;
            case Operand::kEnd:
                end_at = out.size();
                PutU32(out, 0);
                break;
            case Operand::kBody:
                PutStatements(out, first_body ? s.then_body : s.else_body);
                first_body = false;
                PatchU32(out, end_at, out.size());
                break;
        }
    }
}

void PutStatements(std::string& out, const std::vector<Statement>& statements) {
    for (const Statement& s : statements) {
        PutStatement(out, s);
    }
}

std::optional<std::string> Finish(std::string file) {
    if (file.size() > static_cast<std::size_t>(kMaxFileSize)) {
        return std::nullopt;
    }
    return Scramble(std::move(file));
}

}  // namespace

std::optional<std::string> WriteCommands(const Vocabulary& vocabulary) {
    std::string file(kCommandsMagic);
    for (const VerbGroup& group : vocabulary.groups) {
        if (group.synonyms.size() > kMaxSynonyms) {
            return std::nullopt;
        }
        PutU16(file, static_cast<std::uint16_t>(group.synonyms.size()));
        PutU16(file, static_cast<std::uint16_t>(group.id));
        for (const Phrase& synonym : group.synonyms) {
            PutString(file, synonym.text);
        }
        if (file.size() > static_cast<std::size_t>(kMaxFileSize)) {
            return std::nullopt;
        }
    }
    return Finish(std::move(file));
}

std::optional<std::string> WriteScenario(const Scenario& scenario) {
    std::string file(kScenarioMagic);
    PutU32(file, 0);
    PutU16(file, scenario.global);
    PutU16(file, scenario.start);
    PutU16(file, static_cast<std::uint16_t>(scenario.arrival));
    PutString(file, scenario.info);
    file += scenario.free_bytes;
    PatchU32(file, kLocationTableOffsetAt, file.size());
    for (const Location& location : scenario.locations) {
        const std::size_t block_end_at = file.size();
        PutU32(file, 0);
        PutU16(file, location.id);
        PutString(file, location.name);
        for (const Section& section : location.sections) {
            if (section.phrases.size() > kMaxPhrases) {
                return std::nullopt;
            }
            PutU16(file, static_cast<std::uint16_t>(section.phrases.size()));
            for (const Phrase& phrase : section.phrases) {
                PutString(file, phrase.text);
            }
            const std::size_t section_end_at = file.size();
            PutU32(file, 0);
            for (const Reaction& reaction : section.reactions) {
                if (reaction.verbs.size() > kMaxReactionVerbs) {
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
                if (file.size() > static_cast<std::size_t>(kMaxFileSize)) {
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
