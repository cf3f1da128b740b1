#include "save/saved_game.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "io_error.h"
#include "support/harness.h"

namespace narravox::testing {
namespace {

constexpr std::int16_t kLook = 1;

// Runs `action` in a child process and returns its exit status; used where the test changes
// what the whole process may do (its user, its file size limit).
int InChild(const std::function<int()>& action) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(action());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

std::vector<std::string> FolderEntries(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class SavedGameTest : public ::testing::Test {
  protected:
    SavedGameTest() : harness_({{kLook, {"осмотреться"}}}, Scenario{0, 1, kLook, "", "", {}}) {
        harness_.scenario.locations = {
            {0, "", {}},
            {1, "Двор", {{{""}, {{{kLook}, {Text("Двор.")}}}}}},
            {5, "Сад", {{{""}, {{{kLook}, {Text("Сад.")}}}}}},
        };
        EXPECT_EQ(harness_.Start(), StartResult::kStarted);
        harness_.TakeLines();
        save_folder_ = harness_.folder.path() / "saves";
        std::filesystem::create_directory(save_folder_);
        path_ = (save_folder_ / "game.nvs").string();
    }

    Game& game() { return harness_.game(); }

    Harness harness_;
    std::filesystem::path save_folder_;
    std::string path_;
};

TEST_F(SavedGameTest, RoundTripRestoresEveryFlagAndTheLocation) {
    std::mt19937 random(7);
    for (auto& byte : game().Flags) {
        byte = static_cast<std::uint8_t>(random());
    }
    const FlagSet saved_flags = game().Flags;
    game().CurrentLocation = 5;
    SaveGame(game(), path_);
    const std::string image = ReadFile(path_);
    ASSERT_EQ(image.size(), 4102u);
    EXPECT_EQ(image.substr(0, 6), std::string("NVES\x05\x00", 6));
    EXPECT_EQ(image.substr(6), std::string(saved_flags.begin(), saved_flags.end()));

    game().Flags.fill(0);
    game().CurrentLocation = 1;
    LoadGame(game(), path_);
    EXPECT_EQ(game().Flags, saved_flags);
    EXPECT_EQ(game().CurrentLocation, 5);
    EXPECT_EQ(harness_.TakeLines(), std::vector<std::string>{"  Сад.  "});
}

TEST_F(SavedGameTest, SavingAgainReplacesTheFileAndLeavesNothingElse) {
    game().CurrentLocation = 1;
    SaveGame(game(), path_);
    game().CurrentLocation = 5;
    SaveGame(game(), path_);
    EXPECT_EQ(ReadFile(path_).substr(4, 2), std::string("\x05\x00", 2));
    EXPECT_EQ(FolderEntries(save_folder_), std::vector<std::string>{"game.nvs"});
}

struct BadSave {
    const char* name;
    std::string content;  // "<dir>" makes a folder of that name
    int io_error;         // 0: the wrong-format box instead
};

class LoadRefuses : public SavedGameTest, public ::testing::WithParamInterface<BadSave> {};

TEST_P(LoadRefuses, AndChangesNothing) {
    if (GetParam().content == "<dir>") {
        std::filesystem::create_directory(path_);
    } else {
        WriteFile(path_, GetParam().content);
    }
    game().Flags[3] = 0x5A;
    game().CurrentLocation = 1;
    const FlagSet before = game().Flags;
    EXPECT_EQ(IoErrorCodeOf([&] { LoadGame(game(), path_); }), GetParam().io_error);
    EXPECT_EQ(game().Flags, before);
    EXPECT_EQ(game().CurrentLocation, 1);
    EXPECT_TRUE(harness_.TakeLines().empty());  // the location is not entered again
    if (GetParam().io_error == 0) {
        EXPECT_EQ(harness_.Boxes().back(), "[Ошибка] Неверный формат файла!");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadRefuses,
    ::testing::Values(BadSave{"Empty", "", kErrorReadBeyondEnd},
                      BadSave{"ThreeBytes", "NVE", kErrorReadBeyondEnd},
                      BadSave{"ShortWithWrongMagic", "SCR3", 0},
                      BadSave{"LowerCaseMagic", "nves" + std::string(4098, '\1'), 0},
                      BadSave{"RightMagicOneByteShort", "NVES" + std::string(4097, '\1'),
                              kErrorReadBeyondEnd},
                      BadSave{"Folder", "<dir>", kErrorAccessDenied}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(SavedGameTest, LoadingAHugeFileReadsOnlyTheGame) {
    std::string image = "NVES" + std::string("\x05\x00", 2) + std::string(4096, '\0');
    WriteFile(path_, image);
    std::filesystem::resize_file(path_, 100u << 20);
    LoadGame(game(), path_);
    EXPECT_EQ(game().CurrentLocation, 5);
}

TEST_F(SavedGameTest, LoadingTheScenarioFileIsRefused) {
    LoadGame(game(), harness_.folder / "Scenario.ply");
    EXPECT_EQ(harness_.Boxes().back(), "[Ошибка] Неверный формат файла!");
}

TEST_F(SavedGameTest, SavingIntoAMissingFolderFails) {
    EXPECT_EQ(IoErrorCodeOf([&] { SaveGame(game(), harness_.folder / "нет/game.nvs"); }),
              kErrorFileNotFound);
}

// A full disk while saving: the error is reported, the previous save is untouched and no
// temporary file stays behind.
TEST_F(SavedGameTest, AFailedSaveKeepsThePreviousOne) {
    game().CurrentLocation = 1;
    SaveGame(game(), path_);
    const std::string previous = ReadFile(path_);
    game().CurrentLocation = 5;
    const int status = InChild([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1000, 1000};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            return 10;
        }
        return IoErrorCodeOf([&] { SaveGame(game(), path_); }) == kErrorDiskFull ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadFile(path_), previous);
    EXPECT_EQ(FolderEntries(save_folder_), std::vector<std::string>{"game.nvs"});
}

// A save the player has made read-only is not replaced. Permissions do not bind root, so the
// save runs as an ordinary user.
TEST_F(SavedGameTest, AReadOnlySaveIsKept) {
    SaveGame(game(), path_);
    const std::string previous = ReadFile(path_);
    ASSERT_EQ(::chmod(path_.c_str(), 0444), 0);
    ASSERT_EQ(::chmod(save_folder_.c_str(), 0777), 0);
    ASSERT_EQ(::chmod(harness_.folder.path().c_str(), 0755), 0);
    game().CurrentLocation = 5;
    const int status = InChild([&] {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            return 10;
        }
        return IoErrorCodeOf([&] { SaveGame(game(), path_); }) == kErrorAccessDenied ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadFile(path_), previous);
    EXPECT_EQ(FolderEntries(save_folder_), std::vector<std::string>{"game.nvs"});
}

}  // namespace
}  // namespace narravox::testing
