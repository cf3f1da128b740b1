#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// Writes scrambled game files from C++ values, computing every offset, so that tests describe
// games as data. Texts are given in UTF-8 and stored in code page 1251.
namespace narravox::testing {

// UTF-8 to code page 1251; fails the test on a character the code page lacks.
std::string Cp(std::string_view utf8);
// Code page 1251 to UTF-8, for readable comparisons.
std::string Utf8(std::string_view cp1251);

struct Statement {
    enum class Kind {
        kText,
        kCenterOn,
        kCenterOff,
        kClearScreen,
        kSetFlag,
        kClearFlag,
        kClearAllFlags,
        kJump,
        kIf,
        kIfElse,
        kRaw
    };
    Kind kind = Kind::kRaw;
    std::string bytes;  // text of kText (code page 1251), plain bytes of kRaw
    std::int16_t flag = 0;
    std::uint16_t location = 0;
    std::vector<Statement> then_body;
    std::vector<Statement> else_body;
};
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
// Plain statement bytes stored as they are (scrambled with the rest).
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

// Plain statement bytes as they stand at absolute offset `start`.
std::string EncodeStatements(const Statements& statements, std::int32_t start);

// Whole files, magic included, body scrambled.
std::string BuildScenario(const Scenario& scenario);
std::string BuildCommands(const std::vector<VerbGroup>& groups);

// Scrambles (or unscrambles) every byte from offset 4 with its own offset.
std::string Scramble(std::string file);

void WriteFile(const std::filesystem::path& path, std::string_view bytes);
std::string ReadFile(const std::filesystem::path& path);

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

  private:
    std::filesystem::path path_;
};

}  // namespace narravox::testing
