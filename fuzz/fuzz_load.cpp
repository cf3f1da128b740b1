// SPDX-License-Identifier: MIT
// A saved game of arbitrary bytes, loaded into a running game, followed by a turn.
#include "data/file_format.h"
#include "fuzz_host.h"
#include "save/saved_game.h"
#include "session.h"
#include "writer.h"

using namespace narravox;

namespace {

// A small well-formed game, written by narravox-ply's writer: location 1 answers the verb
// "look" (id 1), which is also the arrival verb, with a text.
void WriteGame(const std::filesystem::path& folder) {
    ply::Vocabulary vocabulary;
    ply::VerbGroup& look = vocabulary.groups.emplace_back();
    look.id = 1;
    look.synonyms.push_back(ply::Phrase{"look", {}});

    ply::Scenario scenario;
    scenario.global = 0;
    scenario.start = 1;
    scenario.arrival = 1;
    ply::Location& location = scenario.locations.emplace_back();
    location.id = 1;
    location.name = "y";
    ply::Section& section = location.sections.emplace_back();
    section.phrases.push_back(ply::Phrase{"", {}});
    ply::Reaction& reaction = section.reactions.emplace_back();
    reaction.verbs.push_back(ply::VerbUse{1, {}});
    ply::Statement& text = reaction.statements.emplace_back();
    text.kind = StatementCode::kText;
    text.text = "hi";

    fuzzing::WriteBytes(folder / kCommandsFileName, ply::WriteCommands(vocabulary).value());
    fuzzing::WriteBytes(folder / kScenarioFileName, ply::WriteScenario(scenario).value());
}

// Answers every file choice with the saved game under test.
class LoadHost : public Host {
  public:
    explicit LoadHost(std::string path) : path_(std::move(path)) {}
    Button ShowBox(const Box&) override { return Button::kOk; }
    std::optional<std::string> ChooseFile(FileChoice) override { return path_; }
    void SetTitle(std::string_view) override {}
    void RepaintTextWindow() override {}
    void WaitForNextSecond() override {}

  private:
    std::string path_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto& folder = fuzzing::ScratchFolder();
    WriteGame(folder);
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    fuzzing::WriteBytes(folder / "save.nvs", bytes);
    LoadHost host((folder / "save.nvs").string());
    Session session(host, "Fuzz", folder.string());
    if (session.Start(24, 80) != StartResult::kStarted) {
        __builtin_trap();
    }
    session.game().Flags[100] = 0x5A;
    const auto flags_before = session.game().Flags;
    const auto location_before = session.game().CurrentLocation;
    session.PressEnter("\xE7\xE0\xE3\xF0\xF3\xE7\xE8\xF2\xFC");  // "загрузить"
    // Only a whole saved game with its magic changes the game.
    const bool whole = size >= kSavedGameSize && bytes.starts_with(kSavedGameMagic);
    if (!whole && (session.game().Flags != flags_before ||
                   session.game().CurrentLocation != location_before)) {
        __builtin_trap();
    }
    if (whole &&
        (session.game().CurrentLocation != static_cast<std::uint16_t>(data[4] | data[5] << 8) ||
         !std::equal(session.game().Flags.begin(), session.game().Flags.end(), data + 6))) {
        __builtin_trap();
    }
    session.PressEnter("look");
    return 0;
}
