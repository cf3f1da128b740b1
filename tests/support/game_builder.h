// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "data/file_format.h"
#include "model.h"

// Describes games as C++ values and writes them through narravox-ply's own writer, so that the
// tests' games are laid out exactly as the compiler lays out a player's. Texts are given in
// UTF-8 and stored in code page 1251. What the compiler never writes (unknown statement codes,
// stray bytes, free bytes before the location table) comes from the few raw helpers below;
// broken offsets and headers are patched into the plain bytes by the tests that need them.
namespace narravox::testing {

// UTF-8 to code page 1251; fails the test on a character the code page lacks.
std::string Cp(std::string_view utf8);
// Code page 1251 to UTF-8, for readable comparisons.
std::string Utf8(std::string_view cp1251);

using Statement = ply::Statement;
using Statements = std::vector<Statement>;

Statement Text(std::string_view utf8);
Statement CenterOn();
Statement CenterOff();
Statement ClearScreen();
Statement Set(std::int16_t flag);
Statement Clear(std::int16_t flag);
Statement ClearAll();
Statement Jump(std::uint16_t location);
Statement If(std::int16_t flag, Statements body);
Statement IfElse(std::int16_t flag, Statements then_body, Statements else_body);
// Plain bytes stored as they are among the statements (scrambled with the rest): an unknown
// code, or a statement cut short.
Statement Raw(std::string bytes);

struct Reaction {
    std::vector<std::int16_t> verbs;
    Statements statements;
};

struct Section {
    std::vector<std::string> phrases;  // UTF-8
    std::vector<Reaction> reactions;
};

struct Location {
    std::uint16_t id = 0;
    std::string name;  // UTF-8
    std::vector<Section> sections;
};

struct Scenario {
    std::uint16_t global = 0;
    std::uint16_t start = 0;
    std::int16_t arrival = 0;
    std::string info;  // UTF-8
    std::string gap;   // plain bytes between the information text and the location table
    std::vector<Location> locations;
};

struct VerbGroup {
    std::int16_t verb = 0;
    std::vector<std::string> synonyms;  // UTF-8
};

// The same games in narravox-ply's model.
ply::Scenario ToModel(const Scenario& scenario);
ply::Vocabulary ToModel(const std::vector<VerbGroup>& groups);

// Whole files, magic included, body scrambled, as narravox-ply writes them.
std::string BuildScenario(const Scenario& scenario);
std::string BuildCommands(const std::vector<VerbGroup>& groups);

// Scrambles (or unscrambles) every byte of a whole file after its magic.
using narravox::Scramble;

void WriteFile(const std::filesystem::path& path, std::string_view bytes);
std::string ReadFile(const std::filesystem::path& path);

// The tests' own folder in the source tree, where the games written as source live.
std::filesystem::path TestsFolder();

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string operator/(std::string_view name) const { return (path_ / name).string(); }

    void WriteGame(const std::vector<VerbGroup>& commands, const Scenario& scenario) const;
    // Compiles a game written in the scenario language and writes its two data files here; a
    // source that does not compile fails the test with the compiler's messages.
    void WriteGameFromSource(const std::filesystem::path& source) const;

  private:
    std::filesystem::path path_;
};

}  // namespace narravox::testing
