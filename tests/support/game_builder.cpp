// SPDX-License-Identifier: MIT
#include "game_builder.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "compiler.h"
#include "cp1251.h"
#include "writer.h"

namespace narravox::testing {
namespace {

Statement Simple(Statement::Kind kind) {
    Statement statement;
    statement.kind = kind;
    return statement;
}

ply::Phrase Phrase(std::string_view utf8) {
    ply::Phrase phrase;
    phrase.text = Cp(utf8);
    return phrase;
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
    s.text = Cp(utf8);
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
    // The writer stores the bytes of a statement it does not know as they are.
    Statement s = Simple(Statement::Kind::kUnknown);
    s.text = std::move(bytes);
    return s;
}

ply::Scenario ToModel(const Scenario& scenario) {
    ply::Scenario model;
    model.global = scenario.global;
    model.start = scenario.start;
    model.arrival = scenario.arrival;
    model.info = Cp(scenario.info);
    model.free_bytes = scenario.gap;
    for (const Location& location : scenario.locations) {
        ply::Location& block = model.locations.emplace_back();
        block.id = location.id;
        block.name = Cp(location.name);
        for (const Section& section : location.sections) {
            ply::Section& out = block.sections.emplace_back();
            for (const std::string& phrase : section.phrases) {
                out.phrases.push_back(Phrase(phrase));
            }
            for (const Reaction& reaction : section.reactions) {
                ply::Reaction& written = out.reactions.emplace_back();
                for (const std::int16_t verb : reaction.verbs) {
                    written.verbs.push_back(ply::VerbUse{verb, {}});
                }
                written.statements = reaction.statements;
            }
        }
    }
    return model;
}

ply::Vocabulary ToModel(const std::vector<VerbGroup>& groups) {
    ply::Vocabulary model;
    for (const VerbGroup& group : groups) {
        ply::VerbGroup& out = model.groups.emplace_back();
        out.id = group.verb;
        for (const std::string& synonym : group.synonyms) {
            out.synonyms.push_back(Phrase(synonym));
        }
    }
    return model;
}

std::string BuildScenario(const Scenario& scenario) {
    std::optional<std::string> file = ply::WriteScenario(ToModel(scenario));
    if (!file) {
        ADD_FAILURE() << "the scenario is too large for the file format";
        return {};
    }
    return std::move(*file);
}

std::string BuildCommands(const std::vector<VerbGroup>& groups) {
    std::optional<std::string> file = ply::WriteCommands(ToModel(groups));
    if (!file) {
        ADD_FAILURE() << "the vocabulary is too large for the file format";
        return {};
    }
    return std::move(*file);
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
    WriteFile(path_ / kCommandsFileName, BuildCommands(commands));
    WriteFile(path_ / kScenarioFileName, BuildScenario(scenario));
}

void TempFolder::WriteGameFromSource(const std::filesystem::path& source) const {
    if (!std::filesystem::is_regular_file(source)) {
        throw std::runtime_error("no test game at " + source.string());
    }
    const ply::CompileResult compiled = ply::Compile(ReadFile(source));
    if (!compiled.ok) {
        std::string messages;
        for (const ply::Finding& finding : compiled.findings) {
            messages += ply::FormatFinding(source.string(), finding) + "\n";
        }
        throw std::runtime_error("the test game does not compile:\n" + messages);
    }
    WriteFile(path_ / kCommandsFileName, compiled.commands);
    WriteFile(path_ / kScenarioFileName, compiled.scenario);
}

std::filesystem::path TestsFolder() {
    return NARRAVOX_TESTS_FOLDER;
}

}  // namespace narravox::testing
