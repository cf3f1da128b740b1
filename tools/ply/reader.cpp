// SPDX-License-Identifier: MIT
#include "reader.h"

#include <cstdint>
#include <string>

#include "data/file_format.h"

namespace narravox::ply {
namespace {

// The plain bytes of a data file with bounds-checked reads. Every read names the limit it may
// not pass: the end of the record it belongs to.
class Cursor {
  public:
    Cursor(std::string plain, FileKind file, std::vector<Finding>& findings)
        : plain_(std::move(plain)), file_(file), findings_(findings) {}

    std::int32_t size() const { return static_cast<std::int32_t>(plain_.size()); }

    bool Fits(std::int32_t at, std::int32_t count, std::int32_t limit) const {
        return at >= 0 && count >= 0 && at <= limit - count && limit <= size();
    }
    std::uint16_t U16(std::int32_t at) const {
        return static_cast<std::uint16_t>(Byte(at) | (Byte(at + 1) << 8));
    }
    std::int32_t I32(std::int32_t at) const {
        const std::uint32_t value = static_cast<std::uint32_t>(Byte(at)) |
                                    (static_cast<std::uint32_t>(Byte(at + 1)) << 8) |
                                    (static_cast<std::uint32_t>(Byte(at + 2)) << 16) |
                                    (static_cast<std::uint32_t>(Byte(at + 3)) << 24);
        return static_cast<std::int32_t>(value);
    }
    // The string at `at` ending before `limit`; false when its zero byte is missing.
    bool String(std::int32_t at, std::int32_t limit, std::string& text, std::int32_t& next) const {
        for (std::int32_t i = at; i < limit && i < size(); ++i) {
            if (plain_[static_cast<std::size_t>(i)] == '\0') {
                text =
                    plain_.substr(static_cast<std::size_t>(at), static_cast<std::size_t>(i - at));
                next = i + 1;
                return true;
            }
        }
        return false;
    }
    std::string Bytes(std::int32_t at, std::int32_t count) const {
        return plain_.substr(static_cast<std::size_t>(at), static_cast<std::size_t>(count));
    }

    void Report(Severity severity, std::int32_t at, std::string message) const {
        Finding finding;
        finding.severity = severity;
        finding.file = file_;
        finding.where.offset = at;
        finding.message = std::move(message);
        findings_.push_back(std::move(finding));
    }
    void Error(std::int32_t at, std::string message) const {
        Report(Severity::kError, at, std::move(message));
    }

  private:
    unsigned Byte(std::int32_t at) const {
        return static_cast<unsigned char>(plain_[static_cast<std::size_t>(at)]);
    }

    std::string plain_;
    FileKind file_;
    std::vector<Finding>& findings_;
};

Where At(std::int32_t offset) {
    Where where;
    where.offset = offset;
    return where;
}

std::string Num(std::int64_t value) {
    return std::to_string(value);
}

// An end offset must lie after the field that holds it and within the enclosing record.
bool EndOffsetOk(const Cursor& in, std::int32_t field_at, std::int32_t end, std::int32_t limit,
                 const char* what) {
    if (end < field_at + 4 || end > limit) {
        in.Error(field_at, std::string(what) + " end offset " + Num(end) +
                               " lies outside its record (" + Num(field_at + 4) + " to " +
                               Num(limit) + ")");
        return false;
    }
    return true;
}

// Reads the statements from `at` to exactly `end`. Returns false when they do not tile that
// range; what was read stays in `out`.
bool ReadStatements(const Cursor& in, std::int32_t at, std::int32_t end, int depth,
                    std::vector<Statement>& out) {
    if (depth > kMaxNesting) {
        in.Error(at, "branches nested deeper than " + Num(kMaxNesting) +
                         " levels; the interpreter stops there");
        return false;
    }
    while (at < end) {
        Statement s;
        s.where = At(at);
        if (!in.Fits(at, kStatementCodeSize, end)) {
            in.Error(at, "a statement is cut off by the end of its record at " + Num(end));
            return false;
        }
        const std::string code = in.Bytes(at, kStatementCodeSize);
        s.kind = StatementCodeOf(code[0], code[1]);
        const std::int32_t operands = at + kStatementCodeSize;
        // Whether the operands of fixed size fit in the record.
        auto head_fits = [&] {
            if (in.Fits(at, StatementHeadSize(s.kind), end)) {
                return true;
            }
            in.Error(at,
                     "statement " + code + " is cut off by the end of its record at " + Num(end));
            return false;
        };
        auto flag_operand = [&](std::int32_t field) {
            s.flag = static_cast<std::int16_t>(in.U16(field));
            if (s.flag < 0) {
                in.Error(field, "flag number " + Num(s.flag) + " is negative");
            }
        };
        switch (s.kind) {
            case Statement::Kind::kText: {
                std::int32_t next = 0;
                if (!in.String(operands, end, s.text, next)) {
                    in.Error(at, "text runs past the end of its record at " + Num(end));
                    return false;
                }
                at = next;
                break;
            }
            case Statement::Kind::kCenterOn:
            case Statement::Kind::kCenterOff:
            case Statement::Kind::kClearScreen:
            case Statement::Kind::kClearAllFlags:
                at = operands;
                break;
            case Statement::Kind::kSetFlag:
            case Statement::Kind::kClearFlag:
                if (!head_fits()) {
                    return false;
                }
                flag_operand(operands);
                at = operands + 2;
                break;
            case Statement::Kind::kJump:
                if (!head_fits()) {
                    return false;
                }
                s.location = in.U16(operands);
                at = operands + 2;
                break;
            case Statement::Kind::kIf: {
                if (!head_fits()) {
                    return false;
                }
                const std::int32_t body_end = in.I32(operands);
                flag_operand(operands + 4);
                const std::int32_t body = operands + 6;
                if (body_end < body || body_end > end) {
                    in.Error(operands, code + " end offset " + Num(body_end) +
                                           " lies outside its record (" + Num(body) + " to " +
                                           Num(end) + ")");
                    return false;
                }
                const bool ok = ReadStatements(in, body, body_end, depth + 1, s.then_body);
                out.push_back(std::move(s));
                if (!ok) {
                    return false;
                }
                at = body_end;
                continue;
            }
            case Statement::Kind::kIfElse: {
                if (!head_fits()) {
                    return false;
                }
                const std::int32_t then_end = in.I32(operands);
                flag_operand(operands + 4);
                const std::int32_t body = operands + 6;
                if (then_end < body || !in.Fits(then_end, 4, end)) {
                    in.Error(operands, code + " then-end offset " + Num(then_end) +
                                           " lies outside its record (" + Num(body) + " to " +
                                           Num(end - 4) + ")");
                    return false;
                }
                const std::int32_t else_end = in.I32(then_end);
                if (else_end < then_end + 4 || else_end > end) {
                    in.Error(then_end, code + " else-end offset " + Num(else_end) +
                                           " lies outside its record (" + Num(then_end + 4) +
                                           " to " + Num(end) + ")");
                    return false;
                }
                bool ok = ReadStatements(in, body, then_end, depth + 1, s.then_body);
                ok = ok && ReadStatements(in, then_end + 4, else_end, depth + 1, s.else_body);
                out.push_back(std::move(s));
                if (!ok) {
                    return false;
                }
                at = else_end;
                continue;
            }
            case Statement::Kind::kUnknown:
                s.text = code;
                in.Report(Severity::kWarning, at,
                          "unknown statement code; the interpreter skips these two bytes");
                at = operands;
                break;
        }
        out.push_back(std::move(s));
    }
    return true;
}

// A count of zero or below means no entries, but a negative one usually hides entries the
// interpreter will then misread as the following field.
void NoteNegativeCount(const Cursor& in, std::int32_t at, std::int16_t count, bool rest_ok,
                       const char* what) {
    if (count >= 0) {
        return;
    }
    if (rest_ok) {
        in.Report(Severity::kWarning, at,
                  std::string("negative ") + what + " count " + Num(count) + " is read as none");
    } else {
        in.Error(at, std::string("negative ") + what + " count " + Num(count) +
                         " is followed by entries the interpreter does not read as such");
    }
}

bool ReadReaction(const Cursor& in, std::int32_t at, std::int32_t section_end, Reaction& reaction,
                  std::int32_t& next) {
    reaction.where = At(at);
    if (!in.Fits(at, 2, section_end)) {
        in.Error(at, "reaction head is cut off by the end of its section at " + Num(section_end));
        return false;
    }
    const auto count = static_cast<std::int16_t>(in.U16(at));
    std::int32_t p = at + 2;
    const std::int32_t verbs = count > 0 ? count : 0;
    if (!in.Fits(p, 2 * verbs + 4, section_end)) {
        if (count < 0) {
            NoteNegativeCount(in, at, count, false, "verb");
        } else {
            in.Error(at, "reaction head with " + Num(verbs) +
                             " verb ids is cut off by the end of its section at " +
                             Num(section_end));
        }
        return false;
    }
    for (std::int32_t i = 0; i < verbs; ++i) {
        reaction.verbs.push_back(
            VerbUse{static_cast<std::int16_t>(in.U16(p + 2 * i)), At(p + 2 * i)});
    }
    p += 2 * verbs;
    const std::int32_t end = in.I32(p);
    const bool ok = end >= p + 4 && end <= section_end;
    NoteNegativeCount(in, at, count, ok, "verb");
    if (!ok) {
        if (count >= 0) {
            EndOffsetOk(in, p, end, section_end, "reaction");
        }
        return false;
    }
    next = end;
    ReadStatements(in, p + 4, end, 0, reaction.statements);
    return true;
}

bool ReadSection(const Cursor& in, std::int32_t at, std::int32_t block_end, Section& section,
                 std::int32_t& next) {
    section.where = At(at);
    if (!in.Fits(at, 2, block_end)) {
        in.Error(at, "object section head is cut off by the end of its block at " + Num(block_end));
        return false;
    }
    const auto count = static_cast<std::int16_t>(in.U16(at));
    std::int32_t p = at + 2;
    bool ok = true;
    for (std::int32_t i = 0; i < count && ok; ++i) {
        Phrase phrase;
        phrase.where = At(p);
        ok = in.String(p, block_end, phrase.text, p);
        if (ok) {
            section.phrases.push_back(std::move(phrase));
        } else {
            in.Error(phrase.where.offset,
                     "phrase runs past the end of its block at " + Num(block_end));
            return false;
        }
    }
    std::int32_t end = 0;
    ok = in.Fits(p, 4, block_end);
    if (ok) {
        end = in.I32(p);
        ok = end >= p + 4 && end <= block_end;
    }
    NoteNegativeCount(in, at, count, ok, "phrase");
    if (!ok) {
        if (count >= 0) {
            if (in.Fits(p, 4, block_end)) {
                EndOffsetOk(in, p, end, block_end, "section");
            } else {
                in.Error(p, "section end offset is cut off by the end of its block at " +
                                Num(block_end));
            }
        }
        return false;
    }
    next = end;
    for (std::int32_t q = p + 4; q < end;) {
        Reaction reaction;
        std::int32_t after = 0;
        if (!ReadReaction(in, q, end, reaction, after)) {
            break;
        }
        section.reactions.push_back(std::move(reaction));
        q = after;
    }
    return true;
}

}  // namespace

Vocabulary ReadCommands(std::string_view file, std::vector<Finding>& findings) {
    Vocabulary vocabulary;
    if (file.size() > static_cast<std::size_t>(kMaxFileSize)) {
        Finding finding{Severity::kError, FileKind::kCommands, At(0), "file is larger than 2 GiB"};
        findings.push_back(std::move(finding));
        return vocabulary;
    }
    const Cursor in(Scramble(std::string(file)), FileKind::kCommands, findings);
    if (!file.starts_with(kCommandsMagic)) {
        in.Error(0, "magic is not \"" + std::string(kCommandsMagic) + "\"");
        return vocabulary;
    }
    for (std::int32_t at = kBodyStart; at < in.size();) {
        VerbGroup group;
        group.where = At(at);
        if (!in.Fits(at, 4, in.size())) {
            in.Error(at, "synonym group head is cut off by the end of the file");
            break;
        }
        const std::uint16_t count = in.U16(at);
        group.id = static_cast<std::int16_t>(in.U16(at + 2));
        if (group.id == -1) {
            in.Report(Severity::kWarning, at + 2,
                      "verb id -1 cannot be told apart from an unknown verb");
        }
        at += 4;
        bool ok = true;
        for (std::uint32_t i = 0; i < count; ++i) {
            Phrase synonym;
            synonym.where = At(at);
            if (!in.String(at, in.size(), synonym.text, at)) {
                in.Error(synonym.where.offset, "synonym runs past the end of the file");
                ok = false;
                break;
            }
            group.synonyms.push_back(std::move(synonym));
        }
        vocabulary.groups.push_back(std::move(group));
        if (!ok) {
            break;
        }
    }
    return vocabulary;
}

Scenario ReadScenario(std::string_view file, std::vector<Finding>& findings) {
    Scenario scenario;
    if (file.size() > static_cast<std::size_t>(kMaxFileSize)) {
        Finding finding{Severity::kError, FileKind::kScenario, At(0), "file is larger than 2 GiB"};
        findings.push_back(std::move(finding));
        return scenario;
    }
    const Cursor in(Scramble(std::string(file)), FileKind::kScenario, findings);
    if (!file.starts_with(kScenarioMagic)) {
        in.Error(0, "magic is not \"" + std::string(kScenarioMagic) + "\"");
        return scenario;
    }
    if (!in.Fits(kBodyStart, kInformationTextAt - kBodyStart, in.size())) {
        in.Error(kBodyStart, "header is cut off by the end of the file");
        return scenario;
    }
    const std::int32_t table = in.I32(kLocationTableOffsetAt);
    scenario.global = in.U16(kGlobalLocationAt);
    scenario.start = in.U16(kStartLocationAt);
    scenario.arrival = static_cast<std::int16_t>(in.U16(kArrivalVerbAt));
    scenario.global_where = At(kGlobalLocationAt);
    scenario.start_where = At(kStartLocationAt);
    scenario.arrival_where = At(kArrivalVerbAt);
    std::int32_t info_end = 0;
    if (!in.String(kInformationTextAt, in.size(), scenario.info, info_end)) {
        in.Error(kInformationTextAt, "information text runs to the end of the file");
        return scenario;
    }
    if (table < info_end || table > in.size()) {
        in.Error(kLocationTableOffsetAt, "location table offset " + Num(table) + " lies outside " +
                                             Num(info_end) + " to " + Num(in.size()));
        return scenario;
    }
    if (table == in.size()) {
        in.Error(kLocationTableOffsetAt, "location table holds no location");
        return scenario;
    }
    scenario.free_bytes = in.Bytes(info_end, table - info_end);
    for (std::int32_t at = table; at < in.size();) {
        Location location;
        location.where = At(at);
        if (!in.Fits(at, 6, in.size())) {
            in.Error(at, "location block head is cut off by the end of the file");
            break;
        }
        const std::int32_t end = in.I32(at);
        if (!EndOffsetOk(in, at, end, in.size(), "block")) {
            break;
        }
        location.id = in.U16(at + 4);
        std::int32_t p = 0;
        if (end < at + 6 || !in.String(at + 6, end, location.name, p)) {
            in.Error(at + 6, "location name runs past the end of its block at " + Num(end));
            scenario.locations.push_back(std::move(location));
            at = end;
            continue;
        }
        while (p < end) {
            Section section;
            std::int32_t after = 0;
            if (!ReadSection(in, p, end, section, after)) {
                break;
            }
            location.sections.push_back(std::move(section));
            p = after;
        }
        scenario.locations.push_back(std::move(location));
        at = end;
    }
    return scenario;
}

}  // namespace narravox::ply
