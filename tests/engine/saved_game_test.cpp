// SPDX-License-Identifier: MIT
#include "save/saved_game.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <ostream>
#include <random>

#include "io_error.h"
#include "save/temporary_file.h"
#include "support/harness.h"

namespace narravox {

// Found by argument-dependent lookup, so that test names show the kind rather than its bytes.
static void PrintTo(TemporaryFileKind kind, std::ostream* out) {
    *out << (kind == TemporaryFileKind::kNamed ? "Named" : "Unnamed");
}

}  // namespace narravox

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

// The code of the IoError that `action` throws in a child whose files may not grow past 1000
// bytes, as on a full disk; 255 when the limit cannot be set.
int IoErrorCodeOnAFullDisk(const std::function<void()>& action) {
    return InChild([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1000, 1000};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            return 255;
        }
        return IoErrorCodeOf(action);
    });
}

std::vector<std::string> FolderEntries(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

namespace fs = std::filesystem;

// Everything under `folder`, each entry with its kind, permission bits and contents, so that
// one comparison shows that nothing in it changed: no file written, moved or left behind.
std::map<std::string, std::string> Snapshot(const fs::path& folder) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const auto status = entry.symlink_status();
        std::string& seen = entries[entry.path().lexically_relative(folder).string()];
        seen = std::to_string(static_cast<int>(status.type())) + " " +
               std::to_string(static_cast<unsigned>(status.permissions())) + " ";
        if (fs::is_symlink(status)) {
            seen += fs::read_symlink(entry.path()).string();
        } else if (fs::is_regular_file(status)) {
            seen += ReadFile(entry.path());
        }
    }
    return entries;
}

unsigned ModeOf(const fs::path& path) {
    return static_cast<unsigned>(fs::status(path).permissions());
}

class SavedGameTest : public ::testing::Test {
  protected:
    SavedGameTest() : harness_({{kLook, {"осмотреться"}}}, Scenario{0, 1, kLook, "", "", {}}) {
        harness_.scenario.locations = {
            {0, "", {}},
            {1, "Двор", {{{""}, {{{kLook}, {Text("Двор.")}}}}}},
            {5, "Сад", {{{""}, {{{kLook}, {Text("Сад.")}}}}}},
            {256, "Погреб", {{{""}, {{{kLook}, {Text("Погреб.")}}}}}},
            {300, "Чердак", {{{""}, {{{kLook}, {Text("Чердак.")}}}}}},
            {65535, "Край", {{{""}, {{{kLook}, {Text("Край.")}}}}}},
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

// The location is the one field of a save wider than a byte: two bytes, low one first. Saves
// of locations past 255 must keep the high byte, or the player comes back somewhere else.
struct FarLocation {
    const char* name;
    std::uint16_t location;
    std::string bytes;  // offsets 4 and 5 of the file
    const char* arrival;
};

void PrintTo(const FarLocation& location, std::ostream* out) { *out << location.name; }

class FarLocations : public SavedGameTest, public ::testing::WithParamInterface<FarLocation> {};

TEST_P(FarLocations, AreSavedWithBothBytesAndLoadedBack) {
    game().CurrentLocation = GetParam().location;
    SaveGame(game(), path_);
    const std::string image = ReadFile(path_);
    ASSERT_EQ(image.size(), 4102u);
    EXPECT_EQ(image.substr(4, 2), GetParam().bytes);

    game().CurrentLocation = 1;
    LoadGame(game(), path_);
    EXPECT_EQ(game().CurrentLocation, GetParam().location);
    EXPECT_EQ(harness_.TakeLines(), std::vector<std::string>{GetParam().arrival});
}

// Loading is checked on its own too, from bytes written by hand, so that a fault made twice,
// once in saving and once in loading, cannot cancel out.
TEST_P(FarLocations, AreLoadedFromAFileWrittenByHand) {
    WriteFile(path_, "NVES" + GetParam().bytes + std::string(4096, '\0'));
    game().CurrentLocation = 5;
    LoadGame(game(), path_);
    EXPECT_EQ(game().CurrentLocation, GetParam().location);
    EXPECT_EQ(harness_.TakeLines(), std::vector<std::string>{GetParam().arrival});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FarLocations,
    ::testing::Values(FarLocation{"Location256", 256, std::string("\x00\x01", 2), "  Погреб.  "},
                      FarLocation{"Location300", 300, std::string("\x2C\x01", 2), "  Чердак.  "},
                      FarLocation{"Location65535", 65535, std::string("\xFF\xFF", 2),
                                  "  Край.  "}),
    [](const auto& test) { return std::string(test.param.name); });

struct BadSave {
    const char* name;
    std::string content;  // "<dir>" makes a folder of that name
    int io_error;         // 0: the wrong-format box instead
};

void PrintTo(const BadSave& save, std::ostream* out) {
    *out << save.name;
}

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
    fs::permissions(path_, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const std::string previous = ReadFile(path_);
    game().CurrentLocation = 5;
    EXPECT_EQ(IoErrorCodeOnAFullDisk([&] { SaveGame(game(), path_); }), kErrorDiskFull);
    EXPECT_EQ(ReadFile(path_), previous);
    EXPECT_EQ(ModeOf(path_), 0640u);
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

struct SaveUnder {
    const char* name;
    // Prepares the game folder and returns the name the player saves under.
    std::function<std::string(const fs::path& game)> prepare;
};

void PrintTo(const SaveUnder& under, std::ostream* out) {
    *out << under.name;
}

// Saving is refused, and the game folder stays exactly as it was, under any name of one of the
// game's data files, and over a save that must not be replaced even by root, who may write
// anything: one whose owner has no write permission, or one that is not a plain file.
class SavingIsRefused : public SavedGameTest, public ::testing::WithParamInterface<SaveUnder> {};

TEST_P(SavingIsRefused, AndChangesNothing) {
    const std::string path = GetParam().prepare(harness_.folder.path());
    const auto before = Snapshot(harness_.folder.path());
    EXPECT_EQ(IoErrorCodeOf([&] { SaveGame(game(), path); }), kErrorAccessDenied);
    EXPECT_EQ(Snapshot(harness_.folder.path()), before);
}

// A save of location 1 at `path` with the given mode.
void OldSave(const fs::path& path, fs::perms mode) {
    WriteFile(path, "NVES" + std::string("\x01\x00", 2) + std::string(4096, '\0'));
    fs::permissions(path, mode);
}

INSTANTIATE_TEST_SUITE_P(
    DataFiles, SavingIsRefused,
    ::testing::Values(
        SaveUnder{"Absolute", [](const fs::path& game) { return game / "Scenario.ply"; }},
        SaveUnder{"Relative",
                  [](const fs::path& game) { return fs::relative(game / "Commands.ply"); }},
        SaveUnder{"DotSlash",
                  [](const fs::path& game) {
                      return "./" + fs::relative(game / "Scenario.ply").string();
                  }},
        SaveUnder{"ThroughAnotherFolder",
                  [](const fs::path& game) { return game / "saves/../Scenario.ply"; }},
        SaveUnder{"LinkedFolder",
                  [](const fs::path& game) {
                      fs::create_directory_symlink("..", game / "saves/up");
                      return game / "saves/up/Commands.ply";
                  }},
        SaveUnder{"SymbolicLink",
                  [](const fs::path& game) {
                      fs::create_symlink("../Scenario.ply", game / "saves/game.nvs");
                      return game / "saves/game.nvs";
                  }},
        SaveUnder{"ChainOfLinks",
                  [](const fs::path& game) {
                      fs::create_symlink("next.nvs", game / "saves/game.nvs");
                      fs::create_symlink(game / "Commands.ply", game / "saves/next.nvs");
                      return game / "saves/game.nvs";
                  }},
        SaveUnder{"HardLink",
                  [](const fs::path& game) {
                      fs::create_hard_link(game / "Scenario.ply", game / "saves/game.nvs");
                      return game / "saves/game.nvs";
                  }},
        SaveUnder{"MissingFileByName",
                  [](const fs::path& game) {
                      fs::remove(game / "Scenario.ply");
                      return game / "Scenario.ply";
                  }},
        SaveUnder{"MissingFileThroughAnotherFolder",
                  [](const fs::path& game) {
                      fs::remove(game / "Commands.ply");
                      return game / "saves/../Commands.ply";
                  }},
        SaveUnder{"MissingFileThroughALink",
                  [](const fs::path& game) {
                      fs::remove(game / "Scenario.ply");
                      fs::create_symlink("../Scenario.ply", game / "saves/game.nvs");
                      return game / "saves/game.nvs";
                  }}),
    [](const auto& test) { return std::string(test.param.name); });

INSTANTIATE_TEST_SUITE_P(
    ProtectedSaves, SavingIsRefused,
    ::testing::Values(SaveUnder{"ReadOnly0444",
                                [](const fs::path& game) {
                                    OldSave(game / "saves/game.nvs", fs::perms(0444));
                                    return game / "saves/game.nvs";
                                }},
                      SaveUnder{"OthersMayWrite0466",
                                [](const fs::path& game) {
                                    OldSave(game / "saves/game.nvs", fs::perms(0466));
                                    return game / "saves/game.nvs";
                                }},
                      SaveUnder{"ReadOnlyThroughALink",
                                [](const fs::path& game) {
                                    OldSave(game / "old.nvs", fs::perms(0400));
                                    fs::create_symlink("../old.nvs", game / "saves/game.nvs");
                                    return game / "saves/game.nvs";
                                }},
                      SaveUnder{"NamedPipe",
                                [](const fs::path& game) {
                                    ::mkfifo((game / "saves/game.nvs").c_str(), 0666);
                                    return game / "saves/game.nvs";
                                }},
                      SaveUnder{"Folder",
                                [](const fs::path& game) {
                                    fs::create_directory(game / "saves/game.nvs");
                                    return game / "saves/game.nvs";
                                }}),
    [](const auto& test) { return std::string(test.param.name); });

struct ModeKept {
    const char* name;
    int previous_mode;  // -1: no save yet
    mode_t umask;
    unsigned expected_mode;
};

void PrintTo(const ModeKept& kept, std::ostream* out) {
    *out << kept.name;
}

// A replaced save keeps its permission bits; a new one gets the usual 0666 less the umask.
class SavingKeepsTheMode : public SavedGameTest, public ::testing::WithParamInterface<ModeKept> {};

TEST_P(SavingKeepsTheMode, OfTheFileItReplaces) {
    if (GetParam().previous_mode >= 0) {
        OldSave(path_, fs::perms(GetParam().previous_mode));
    }
    game().CurrentLocation = 5;
    const mode_t umask_before = ::umask(GetParam().umask);
    SaveGame(game(), path_);
    ::umask(umask_before);
    EXPECT_EQ(ReadFile(path_).substr(4, 2), std::string("\x05\x00", 2));
    EXPECT_EQ(ModeOf(path_), GetParam().expected_mode);
    EXPECT_EQ(FolderEntries(save_folder_), std::vector<std::string>{"game.nvs"});
}

INSTANTIATE_TEST_SUITE_P(Cases, SavingKeepsTheMode,
                         ::testing::Values(ModeKept{"Private0600", 0600, 022, 0600},
                                           ModeKept{"Group0640", 0640, 077, 0640},
                                           ModeKept{"Shared0666", 0666, 022, 0666},
                                           ModeKept{"NewUnderUmask022", -1, 022, 0644},
                                           ModeKept{"NewUnderUmask077", -1, 077, 0600}),
                         [](const auto& test) { return std::string(test.param.name); });

struct LinkedSave {
    const char* name;
    // Links as name → text, both in the game folder's terms; a text starting with '/' is made
    // absolute under the game folder.
    std::vector<std::pair<std::string, std::string>> links;
    std::string target;  // the file the links end at
    bool target_exists;
};

void PrintTo(const LinkedSave& linked, std::ostream* out) {
    *out << linked.name;
}

// A save reached through symbolic links is written to the file they end at; every link stays
// a link, and the temporary file goes beside the target, so none is left in either folder.
class SavingThroughLinks : public SavedGameTest,
                           public ::testing::WithParamInterface<LinkedSave> {};

TEST_P(SavingThroughLinks, WritesTheTargetAndKeepsTheLinks) {
    const fs::path game_folder = harness_.folder.path();
    fs::create_directory(game_folder / "slots");
    if (GetParam().target_exists) {
        OldSave(game_folder / GetParam().target, fs::perms(0600));
    }
    for (const auto& [name, text] : GetParam().links) {
        fs::create_symlink(text.starts_with('/') ? (game_folder / text.substr(1)).string() : text,
                           game_folder / name);
    }
    const auto links_before = Snapshot(save_folder_);
    const mode_t umask = ::umask(0);
    ::umask(umask);
    game().CurrentLocation = 5;
    SaveGame(game(), path_);
    EXPECT_EQ(Snapshot(save_folder_), links_before);
    const fs::path target = game_folder / GetParam().target;
    EXPECT_EQ(ReadFile(target).substr(0, 6), std::string("NVES\x05\x00", 6));
    EXPECT_EQ(ModeOf(target), GetParam().target_exists ? 0600u : 0666u & ~umask);
    EXPECT_EQ(FolderEntries(game_folder / "slots"),
              std::vector<std::string>{target.filename().string()});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SavingThroughLinks,
    ::testing::Values(
        LinkedSave{"Relative", {{"saves/game.nvs", "../slots/one.nvs"}}, "slots/one.nvs", true},
        LinkedSave{"Absolute", {{"saves/game.nvs", "/slots/one.nvs"}}, "slots/one.nvs", true},
        LinkedSave{"Chain",
                   {{"saves/game.nvs", "next.nvs"}, {"saves/next.nvs", "../slots/one.nvs"}},
                   "slots/one.nvs",
                   true},
        LinkedSave{"Dangling", {{"saves/game.nvs", "../slots/new.nvs"}}, "slots/new.nvs", false}),
    [](const auto& test) { return std::string(test.param.name); });

// Both ways of making the new file: unnamed (the usual way on Linux) and named, as on a file
// system without unnamed files. Either way a save replaces the old one and leaves nothing else.
class EitherTemporaryFile : public SavedGameTest,
                            public ::testing::WithParamInterface<TemporaryFileKind> {};

TEST_P(EitherTemporaryFile, SavesAndReplacesLeavingNothingElse) {
    const mode_t umask = ::umask(022);
    game().CurrentLocation = 300;
    SaveGame(game(), path_, GetParam());
    ::umask(umask);
    EXPECT_EQ(ReadFile(path_), "NVES" + std::string("\x2C\x01", 2) + std::string(4096, '\0'));
    EXPECT_EQ(ModeOf(path_), 0644u);
    EXPECT_EQ(FolderEntries(save_folder_), std::vector<std::string>{"game.nvs"});

    fs::permissions(path_, fs::perms(0640));
    game().CurrentLocation = 5;
    game().Flags[4095] = 0x80;
    SaveGame(game(), path_, GetParam());
    const std::string image = ReadFile(path_);
    EXPECT_EQ(image.substr(0, 6), std::string("NVES\x05\x00", 6));
    EXPECT_EQ(image.back(), '\x80');
    EXPECT_EQ(ModeOf(path_), 0640u);
    EXPECT_EQ(FolderEntries(save_folder_), std::vector<std::string>{"game.nvs"});
}

TEST_P(EitherTemporaryFile, AFullDiskKeepsThePreviousSaveAndLeavesNothing) {
    SaveGame(game(), path_, GetParam());
    const std::string previous = ReadFile(path_);
    game().CurrentLocation = 5;
    EXPECT_EQ(IoErrorCodeOnAFullDisk([&] { SaveGame(game(), path_, GetParam()); }),
              kErrorDiskFull);
    EXPECT_EQ(ReadFile(path_), previous);
    EXPECT_EQ(FolderEntries(save_folder_), std::vector<std::string>{"game.nvs"});
}

// Sets the times of `path` itself, not of what a symbolic link points at.
void SetAge(const fs::path& path, std::chrono::seconds age) {
    const timespec when{::time(nullptr) - static_cast<time_t>(age.count()), 0};
    const timespec times[2] = {when, when};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

// A save removes what saves killed before the end left in its folder: plain files named as
// temporary files, once older than a minute. A younger one may belong to a save in progress,
// and nothing of another name or kind, nor anything in another folder, is touched.
TEST_P(EitherTemporaryFile, RemovesStaleTemporaryFilesAndNothingElse) {
    using std::chrono::seconds;
    const std::vector<std::pair<std::string, seconds>> files = {
        {".nvs-save-0123456789ab", seconds(120)},  {".nvs-save-fedcba987654", seconds(3600)},
        {".nvs-save-aaaaaaaaaaaa", seconds(0)},    {".nvs-save-bbbbbbbbbbbb", seconds(30)},
        {".nvs-save-0123456789abc", seconds(120)}, {".nvs-save-0123456789a", seconds(120)},
        {".nvs-save-0123456789ag", seconds(120)},  {"nvs-save-0123456789ab", seconds(120)},
        {".nvs-save-0123456789ab.nvs", seconds(120)}};
    for (const auto& [name, age] : files) {
        WriteFile(save_folder_ / name, "x");
        SetAge(save_folder_ / name, age);
    }
    fs::create_directory(save_folder_ / ".nvs-save-cccccccccccc");
    SetAge(save_folder_ / ".nvs-save-cccccccccccc", seconds(120));
    fs::create_symlink("old.nvs", save_folder_ / ".nvs-save-dddddddddddd");
    WriteFile(save_folder_ / "old.nvs", "x");
    SetAge(save_folder_ / "old.nvs", seconds(120));
    SetAge(save_folder_ / ".nvs-save-dddddddddddd", seconds(120));
    WriteFile(harness_.folder / ".nvs-save-eeeeeeeeeeee", "x");
    SetAge(harness_.folder / ".nvs-save-eeeeeeeeeeee", seconds(120));

    SaveGame(game(), path_, GetParam());
    EXPECT_EQ(FolderEntries(save_folder_),
              (std::vector<std::string>{
                  ".nvs-save-0123456789a", ".nvs-save-0123456789ab.nvs", ".nvs-save-0123456789abc",
                  ".nvs-save-0123456789ag", ".nvs-save-aaaaaaaaaaaa", ".nvs-save-bbbbbbbbbbbb",
                  ".nvs-save-cccccccccccc", ".nvs-save-dddddddddddd", "game.nvs",
                  "nvs-save-0123456789ab", "old.nvs"}));
    EXPECT_TRUE(fs::exists(harness_.folder / ".nvs-save-eeeeeeeeeeee"));
}

// Removing stale files is no part of a refused save: the folder stays as it was.
TEST_P(EitherTemporaryFile, ARefusedSaveRemovesNothing) {
    WriteFile(save_folder_ / ".nvs-save-0123456789ab", "x");
    SetAge(save_folder_ / ".nvs-save-0123456789ab", std::chrono::seconds(120));
    OldSave(path_, fs::perms(0444));
    EXPECT_EQ(IoErrorCodeOf([&] { SaveGame(game(), path_, GetParam()); }), kErrorAccessDenied);
    EXPECT_EQ(FolderEntries(save_folder_),
              (std::vector<std::string>{".nvs-save-0123456789ab", "game.nvs"}));
}

// Without /proc an unnamed file is linked by its descriptor, which root may always do, and
// others on recent kernels; where they may not, a named file is written instead. Either way the
// save is made, by root and by an ordinary user. The child hides /proc in a mount namespace of
// its own.
TEST_F(SavedGameTest, WithoutProcTheSaveIsMadeAllTheSame) {
    ASSERT_EQ(::chmod(save_folder_.c_str(), 0777), 0);
    ASSERT_EQ(::chmod(harness_.folder.path().c_str(), 0755), 0);
    const int status = InChild([&] {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("none", "/proc", "tmpfs", 0, nullptr) != 0) {
            return 77;
        }
        if (::access("/proc/self/fd", F_OK) == 0) {
            return 10;
        }
        game().CurrentLocation = 256;
        if (IoErrorCodeOf([&] { SaveGame(game(), path_); }) != 0 ||
            ReadFile(path_).substr(4, 2) != std::string("\x00\x01", 2) ||
            ::chmod(path_.c_str(), 0666) != 0) {
            return 11;
        }
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) {
            return 12;
        }
        game().CurrentLocation = 300;
        return IoErrorCodeOf([&] { SaveGame(game(), path_); });
    });
    if (status == 77) {
        GTEST_SKIP() << "no mount namespace to hide /proc in";
    }
    ASSERT_EQ(status, 0);
    EXPECT_EQ(ReadFile(path_).substr(4, 2), std::string("\x2C\x01", 2));
    EXPECT_EQ(ModeOf(path_), 0666u);
    EXPECT_EQ(FolderEntries(save_folder_), std::vector<std::string>{"game.nvs"});
}

INSTANTIATE_TEST_SUITE_P(Kinds, EitherTemporaryFile,
                         ::testing::Values(TemporaryFileKind::kUnnamedWherePossible,
                                           TemporaryFileKind::kNamed),
                         [](const auto& test) {
                             return test.param == TemporaryFileKind::kNamed ? "Named" : "Unnamed";
                         });

// Root saving over a player's save gives the new file back to the player, who could otherwise
// no longer read a private save of their own.
TEST_F(SavedGameTest, RootKeepsTheOwnerOfASave) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root may give a file away";
    }
    OldSave(path_, fs::perms(0600));
    ASSERT_EQ(::chown(path_.c_str(), 65534, 65534), 0);
    SaveGame(game(), path_);
    struct stat status {};
    ASSERT_EQ(::stat(path_.c_str(), &status), 0);
    EXPECT_EQ(status.st_uid, 65534u);
    EXPECT_EQ(status.st_gid, 65534u);
    EXPECT_EQ(status.st_mode & 07777, 0600u);
}

}  // namespace
}  // namespace narravox::testing
