// SPDX-License-Identifier: MIT
// Saving through the real narravox-term as a player does: whatever name the player types, a
// save never takes the place of the game's own data files, and a save that is replaced keeps
// its permissions and its symbolic link.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <ostream>

#include "support/game_builder.h"
#include "term_runner.h"
#include "test_game.h"

namespace narravox::testing {
namespace {

namespace fs = std::filesystem;

// Every start-up shows it first.
const std::string kWarning =
    "[!!!Внимание!!!] Если Вы играете первый раз, то\nПРОЧИТАЙТЕ ПЕРЕД ИГРОЙ\n"
    "ДОКУМЕНТАЦИЮ!!! - Read1st!.txt\n";
// The key is taken before the save; looking round afterwards shows that the game went on.
const std::string kLookAfterwards = ">осм\n  Вы во дворе. Ключ у вас.  \n";

unsigned ModeOf(const fs::path& path) {
    return static_cast<unsigned>(fs::status(path).permissions());
}

class Saving : public ::testing::Test {
  protected:
    void SetUp() override { WriteTestGame(folder_); }

    // Plays: take the key, save under `typed`, look round. Started in the game folder, or
    // elsewhere with --game.
    RunResult SaveAs(const std::string& typed, bool with_game_option = false) {
        std::vector<std::string> arguments = {"--batch", "--columns", "80"};
        if (with_game_option) {
            arguments.insert(arguments.end(), {"--game", game_.string()});
        }
        return RunTerm(with_game_option ? elsewhere_.path() : game_, arguments,
                       "взять ключ\nсохранить\n" + typed + "\nосм\n");
    }

    TempFolder folder_;
    TempFolder elsewhere_;
    const fs::path& game_ = folder_.path();
};

struct DataFileName {
    const char* name;
    // Prepares the game folder and returns the name the player types.
    std::function<std::string(const fs::path& game)> prepare;
    bool with_game_option = false;
};

void PrintTo(const DataFileName& file, std::ostream* out) {
    *out << file.name;
}

class SavingOverADataFile : public Saving, public ::testing::WithParamInterface<DataFileName> {};

TEST_P(SavingOverADataFile, IsRefusedAndTheGameGoesOn) {
    const std::string typed = GetParam().prepare(game_);
    const std::string commands = ReadFile(game_ / "Commands.ply");
    const std::string scenario = ReadFile(game_ / "Scenario.ply");
    const RunResult run = SaveAs(typed, GetParam().with_game_option);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, kWarning + "[narravox-term] File access denied.\n");
    EXPECT_NE(run.out.find(">сохранить\n" + kLookAfterwards), std::string::npos) << run.out;
    EXPECT_EQ(ReadFile(game_ / "Commands.ply"), commands);
    EXPECT_EQ(ReadFile(game_ / "Scenario.ply"), scenario);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SavingOverADataFile,
    ::testing::Values(DataFileName{"Scenario", [](const fs::path&) { return "Scenario.ply"; }},
                      DataFileName{"Commands", [](const fs::path&) { return "Commands.ply"; }},
                      DataFileName{"DotSlash", [](const fs::path&) { return "./Scenario.ply"; }},
                      DataFileName{
                          "Absolute",
                          [](const fs::path& game) { return (game / "Commands.ply").string(); }},
                      DataFileName{"ThroughAnotherFolder",
                                   [](const fs::path& game) {
                                       fs::create_directory(game / "saves");
                                       return "saves/../Scenario.ply";
                                   }},
                      DataFileName{"FromElsewhereWithGameOption",
                                   [](const fs::path&) { return "Scenario.ply"; }, true},
                      DataFileName{"SymbolicLink",
                                   [](const fs::path& game) {
                                       fs::create_symlink("Scenario.ply", game / "link.nvs");
                                       return "link.nvs";
                                   }},
                      DataFileName{"HardLink",
                                   [](const fs::path& game) {
                                       fs::create_hard_link(game / "Commands.ply",
                                                            game / "hard.nvs");
                                       return "hard.nvs";
                                   }}),
    [](const auto& test) { return std::string(test.param.name); });

struct ReplacedSave {
    const char* name;
    unsigned mode;
    bool through_link;  // game.nvs links to slots/one.nvs, which holds the save
};

void PrintTo(const ReplacedSave& save, std::ostream* out) {
    *out << save.name;
}

class ReplacingASave : public Saving, public ::testing::WithParamInterface<ReplacedSave> {};

TEST_P(ReplacingASave, KeepsItsModeAndItsLink) {
    fs::create_directory(game_ / "slots");
    const fs::path target = game_ / (GetParam().through_link ? "slots/one.nvs" : "game.nvs");
    WriteFile(target, "NVES" + std::string(4098, '\0'));
    fs::permissions(target, fs::perms(GetParam().mode));
    if (GetParam().through_link) {
        fs::create_symlink("slots/one.nvs", game_ / "game.nvs");
    }
    const RunResult run = SaveAs("game");
    EXPECT_EQ(run.err, kWarning);
    EXPECT_NE(run.out.find(kLookAfterwards), std::string::npos) << run.out;
    // Location 1, and flag 5 (the key) set.
    EXPECT_EQ(ReadFile(target).substr(0, 7), std::string("NVES\x01\x00\x20", 7));
    EXPECT_EQ(ModeOf(target), GetParam().mode);
    EXPECT_EQ(fs::is_symlink(game_ / "game.nvs"), GetParam().through_link);
}

INSTANTIATE_TEST_SUITE_P(Cases, ReplacingASave,
                         ::testing::Values(ReplacedSave{"Private0600", 0600, false},
                                           ReplacedSave{"Group0640", 0640, false},
                                           ReplacedSave{"Linked0600", 0600, true}),
                         [](const auto& test) { return std::string(test.param.name); });

// The tests run as root, who may write any file; a save marked read-only is kept all the same.
TEST_F(Saving, AReadOnlySaveIsKeptEvenForRoot) {
    const std::string previous = "NVES" + std::string(4098, '\0');
    WriteFile(game_ / "game.nvs", previous);
    fs::permissions(game_ / "game.nvs", fs::perms(0444));
    const RunResult run = SaveAs("game");
    EXPECT_EQ(run.err, kWarning + "[narravox-term] File access denied.\n");
    EXPECT_NE(run.out.find(">сохранить\n" + kLookAfterwards), std::string::npos) << run.out;
    EXPECT_EQ(ReadFile(game_ / "game.nvs"), previous);
    EXPECT_EQ(ModeOf(game_ / "game.nvs"), 0444u);
}

}  // namespace
}  // namespace narravox::testing
