#include "game_builder.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "cp1251.h"

namespace narravox::testing {
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

void SetU32(std::string& out, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

Statement Simple(Statement::Kind kind) {
    Statement statement;
    statement.kind = kind;
    return statement;
}

// Appends statements to `out`, whose first byte stands at absolute offset `base`.
void Encode(const Statements& statements, std::int32_t base, std::string& out) {
    using Kind = Statement::Kind;
    for (const Statement& s : statements) {
        switch (s.kind) {
            case Kind::kText:
                out += "TX" + s.bytes + '\0';
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
            case Kind::kSetFlag:
                out += "CF";
                PutU16(out, static_cast<std::uint16_t>(s.flag));
                break;
            case Kind::kClearFlag:
                out += "DF";
                PutU16(out, static_cast<std::uint16_t>(s.flag));
                break;
            case Kind::kClearAllFlags:
                out += "DA";
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
                Encode(s.then_body, base, out);
                SetU32(out, end_at, static_cast<std::uint32_t>(base + out.size()));
                break;
            }
            case Kind::kIfElse: {
                out += "IE";
                const std::size_t then_end_at = out.size();
                PutU32(out, 0);
                PutU16(out, static_cast<std::uint16_t>(s.flag));
                Encode(s.then_body, base, out);
                SetU32(out, then_end_at, static_cast<std::uint32_t>(base + out.size()));
                const std::size_t else_end_at = out.size();
                PutU32(out, 0);
                Encode(s.else_body, base, out);
                SetU32(out, else_end_at, static_cast<std::uint32_t>(base + out.size()));
                break;
            }
            case Kind::kRaw:
                out += s.bytes;
                break;
        }
    }
}

}  // namespace

std::string Cp(std::string_view utf8) {
    auto converted = Utf8ToCp1251(utf8);
    if (!converted) {
        ADD_FAILURE() << "not representable in code page 1251: " << utf8;
        return {};
    }
    return *converted;
}

std::string Utf8(std::string_view cp1251) {
    return Cp1251ToUtf8(cp1251);
}

Statement Text(std::string_view utf8) {
    Statement s = Simple(Statement::Kind::kText);
    s.bytes = Cp(utf8);
    return s;
}
Statement CenterOn() {
    return Simple(Statement::Kind::kCenterOn);
}
Statement CenterOff() {
    return Simple(Statement::Kind::kCenterOff);
}
Statement ClearScreen() {
    return Simple(Statement::Kind::kClearScreen);
}
Statement ClearAll() {
    return Simple(Statement::Kind::kClearAllFlags);
}

Statement Set(std::int16_t flag) {
    Statement s = Simple(Statement::Kind::kSetFlag);
    s.flag = flag;
    return s;
}

Statement Clear(std::int16_t flag) {
    Statement s = Simple(Statement::Kind::kClearFlag);
    s.flag = flag;
    return s;
}

Statement Jump(std::uint16_t location) {
    Statement s = Simple(Statement::Kind::kJump);
    s.location = location;
    return s;
}

Statement If(std::int16_t flag, Statements body) {
    Statement s = Simple(Statement::Kind::kIf);
    s.flag = flag;
    s.then_body = std::move(body);
    return s;
}

Statement IfElse(std::int16_t flag, Statements then_body, Statements else_body) {
    Statement s = Simple(Statement::Kind::kIfElse);
    s.flag = flag;
    s.then_body = std::move(then_body);
    s.else_body = std::move(else_body);
    return s;
}

Statement Raw(std::string bytes) {
    Statement s = Simple(Statement::Kind::kRaw);
    s.bytes = std::move(bytes);
    return s;
}

std::string EncodeStatements(const Statements& statements, std::int32_t start) {
    std::string out;
    Encode(statements, start, out);
    return out;
}

std::string BuildScenario(const Scenario& scenario) {
    std::string file = "SCR3";
    PutU32(file, 0);  // location table offset, set below
    PutU16(file, scenario.global);
    PutU16(file, scenario.start);
    PutU16(file, static_cast<std::uint16_t>(scenario.arrival));
    file += Cp(scenario.info) + '\0';
    file += scenario.gap;
    SetU32(file, 4, static_cast<std::uint32_t>(file.size()));
    for (const Location& location : scenario.locations) {
        const std::size_t block_end_at = file.size();
        PutU32(file, 0);
        PutU16(file, location.id);
        file += Cp(location.name) + '\0';
        for (const Section& section : location.sections) {
            PutU16(file, static_cast<std::uint16_t>(section.phrases.size()));
            for (const std::string& phrase : section.phrases) {
                file += Cp(phrase) + '\0';
            }
            const std::size_t section_end_at = file.size();
            PutU32(file, 0);
            for (const Reaction& reaction : section.reactions) {
                PutU16(file, static_cast<std::uint16_t>(reaction.verbs.size()));
                for (std::int16_t verb : reaction.verbs) {
                    PutU16(file, static_cast<std::uint16_t>(verb));
                }
                const std::size_t reaction_end_at = file.size();
                PutU32(file, 0);
                // The file itself is the buffer, so offsets within it are already absolute.
                Encode(reaction.statements, 0, file);
                SetU32(file, reaction_end_at, static_cast<std::uint32_t>(file.size()));
            }
            SetU32(file, section_end_at, static_cast<std::uint32_t>(file.size()));
        }
        SetU32(file, block_end_at, static_cast<std::uint32_t>(file.size()));
    }
    return Scramble(std::move(file));
}

std::string BuildCommands(const std::vector<VerbGroup>& groups) {
    std::string file = "CMD3";
    for (const VerbGroup& group : groups) {
        PutU16(file, static_cast<std::uint16_t>(group.synonyms.size()));
        PutU16(file, static_cast<std::uint16_t>(group.verb));
        for (const std::string& synonym : group.synonyms) {
            file += Cp(synonym) + '\0';
        }
    }
    return Scramble(std::move(file));
}

std::string Scramble(std::string file) {
    for (std::size_t i = 4; i < file.size(); ++i) {
        file[i] = static_cast<char>(static_cast<unsigned char>(file[i]) ^ (i & 0xFF));
    }
    return file;
}

void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

TempFolder::TempFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "narravox-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    // Tests may have made files read-only; the folder goes all the same.
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

void TempFolder::WriteGame(const std::vector<VerbGroup>& commands, const Scenario& scenario) const {
    WriteFile(path_ / "Commands.ply", BuildCommands(commands));
    WriteFile(path_ / "Scenario.ply", BuildScenario(scenario));
}

}  // namespace narravox::testing
