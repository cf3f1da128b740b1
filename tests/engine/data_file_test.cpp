// SPDX-License-Identifier: MIT
#include "data/data_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <ostream>

#include "io_error.h"
#include "support/fake_host.h"
#include "support/harness.h"
#include "support/game_builder.h"

namespace narravox::testing {
namespace {

class DataFileTest : public ::testing::Test {
  protected:
    std::string Write(std::string_view plain_body, std::string_view magic = kCommandsMagic) {
        const std::string path = folder_ / "data";
        WriteFile(path, Scramble(std::string(magic) + std::string(plain_body)));
        return path;
    }

    TempFolder folder_;
};

TEST_F(DataFileTest, ReadsIntegersAndStringsUnscrambled) {
    DataFile file(Write(std::string("\x01\x00", 2) + "ab" + '\0' + '\0' +
                        std::string("\xFE\xFF\xFF\x7F", 4)));
    file.Seek(4);
    EXPECT_EQ(ReadU16(file), 1);
    EXPECT_EQ(ReadScrambledString(file), "ab");
    EXPECT_EQ(ReadScrambledString(file), "");
    EXPECT_EQ(ReadI32(file), 0x7FFFFFFE);
    EXPECT_TRUE(file.AtEnd());
}

TEST_F(DataFileTest, ReadsAtAnyOffsetAcrossTheKeyWrap) {
    std::string body(700, '\0');
    body[256 - 4] = 'x';
    body[511 - 4] = 'y';
    DataFile file(Write(body));
    file.Seek(511);
    char byte = 0;
    ReadScrambled(file, &byte, 1);
    EXPECT_EQ(byte, 'y');
    file.Seek(256);
    ReadScrambled(file, &byte, 1);
    EXPECT_EQ(byte, 'x');
}

TEST_F(DataFileTest, UnterminatedLastStringLosesItsLastByte) {
    DataFile file(Write("abc"));
    file.Seek(4);
    EXPECT_EQ(ReadScrambledString(file), "ab");
    EXPECT_EQ(IoErrorCodeOf([&] { ReadScrambledString(file); }), kErrorReadBeyondEnd);
}

TEST_F(DataFileTest, ReadPastTheEndFailsAndKeepsTheDestination) {
    DataFile file(Write("ab"));
    file.Seek(4);
    std::uint32_t value = 0xDEADBEEF;
    EXPECT_EQ(IoErrorCodeOf([&] { ReadScrambled(file, &value, 4); }), kErrorReadBeyondEnd);
    EXPECT_EQ(value, 0xDEADBEEF);
    file.Seek(-5);
    EXPECT_EQ(IoErrorCodeOf([&] { ReadU16(file); }), kErrorReadBeyondEnd);
}

// Another process may cut a data file short while a turn reads it: the lost bytes are a read
// past the end, not a crash.
TEST_F(DataFileTest, AFileCutShortWhileOpenIsAReadError) {
    const std::string path = Write(std::string(100000, 'x'));
    DataFile file(path);
    file.Seek(4);
    EXPECT_EQ(ReadU16(file), 'x' | 'x' << 8);
    std::filesystem::resize_file(path, 10);
    file.Seek(90000);
    EXPECT_EQ(IoErrorCodeOf([&] { ReadU16(file); }), kErrorReadBeyondEnd);
    file.Seek(5000);
    EXPECT_EQ(IoErrorCodeOf([&] { ReadScrambledString(file); }), kErrorReadBeyondEnd);
    // What is still there reads as before.
    file.Seek(6);
    EXPECT_EQ(ReadU16(file), 'x' | 'x' << 8);
}

TEST_F(DataFileTest, OpenFailuresCarryTheirCodes) {
    EXPECT_EQ(IoErrorCodeOf([&] { DataFile file(folder_ / "missing"); }), kErrorFileNotFound);
    std::filesystem::create_directory(folder_.path() / "folder");
    EXPECT_EQ(IoErrorCodeOf([&] { DataFile file(folder_ / "folder"); }), kErrorAccessDenied);
    const std::string fifo = folder_ / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(IoErrorCodeOf([&] { DataFile file(fifo); }), kErrorAccessDenied);
}

// A game installed read-only must still be playable: data files are only ever read. Under
// root permissions do not bind, so the check runs as an ordinary user in a child process.
TEST_F(DataFileTest, ReadOnlyFilesCanBeRead) {
    const std::string path = Write("ab");
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    ASSERT_EQ(::chmod(folder_.path().c_str(), 0755), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            ::_exit(3);
        }
        try {
            DataFile file(path);
            file.Seek(4);
            ::_exit(ReadU16(file) == ('a' | 'b' << 8) ? 0 : 1);
        } catch (const IoError&) {
            ::_exit(2);
        }
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

struct CheckCase {
    const char* name;
    const char* commands;  // nullptr: missing; "dir": a folder of that name
    const char* scenario;
    const char* box;  // UTF-8 text of the only box, or nullptr for none
    int io_error;
};

void PrintTo(const CheckCase& c, std::ostream* out) {
    *out << c.name;
}

class CheckDataFilesTest : public ::testing::TestWithParam<CheckCase> {};

void Place(const TempFolder& folder, std::string_view name, const char* content) {
    if (content == nullptr) {
        return;
    }
    if (std::string_view(content) == "dir") {
        std::filesystem::create_directory(folder.path() / name);
    } else {
        WriteFile(folder.path() / name, content);
    }
}

TEST_P(CheckDataFilesTest, ShowsTheFirstFailureOnly) {
    const CheckCase& c = GetParam();
    TempFolder folder;
    Place(folder, kCommandsFileName, c.commands);
    Place(folder, kScenarioFileName, c.scenario);
    FakeHost host;
    bool passed = false;
    const int code = IoErrorCodeOf([&] { passed = CheckDataFiles(host, folder.path().string()); });
    EXPECT_EQ(code, c.io_error);
    if (c.box == nullptr) {
        EXPECT_TRUE(host.boxes.empty());
        EXPECT_EQ(passed, c.io_error == 0);
    } else {
        EXPECT_FALSE(passed);
        ASSERT_EQ(host.boxes.size(), 1u);
        EXPECT_EQ(Describe(host.boxes[0]), std::string("[Ошибка] ") + c.box);
        EXPECT_EQ(host.boxes[0].icon, BoxIcon::kError);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CheckDataFilesTest,
    ::testing::Values(
        CheckCase{"BothGood", "CMD3", "SCR3", nullptr, 0},
        CheckCase{"BothMissing", nullptr, nullptr, "Файл команд \"Commands.ply\" не найден!!", 0},
        CheckCase{"CommandsFolder", "dir", "SCR3", "Файл команд \"Commands.ply\" не найден!!", 0},
        CheckCase{"ScenarioMissing", "CMD3", nullptr, "Файл сценария \"Scenario.ply\" не найден!",
                  0},
        CheckCase{"MissingBeatsMagic", "XXXX", nullptr, "Файл сценария \"Scenario.ply\" не найден!",
                  0},
        CheckCase{"BothMagicsWrong", "SCR3", "CMD3", "Неверный файл команд - \"Commands.ply\"!", 0},
        CheckCase{"MagicCaseMatters", "cmd3", "SCR3", "Неверный файл команд - \"Commands.ply\"!",
                  0},
        CheckCase{"ScenarioMagicWrong", "CMD3xx", "SCR4",
                  "Неверный файл сценария - \"Scenario.ply\"!", 0},
        CheckCase{"ShortFileIsAReadError", "CM", "SCR3", nullptr, kErrorReadBeyondEnd}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(IoErrorTest, MessagesAndTheFullStopRule) {
    EXPECT_EQ(ErrorBoxText(IoErrorMessage(kErrorFileNotFound)), "File not found.");
    EXPECT_EQ(ErrorBoxText(IoErrorMessage(kErrorReadBeyondEnd)), "Read beyond end of file.");
    EXPECT_EQ(ErrorBoxText(IoErrorMessage(kErrorDiskFull)), "Disk full.");
    EXPECT_EQ(ErrorBoxText(IoErrorMessage(kErrorInvalidNumericInput)), "Invalid numeric input.");
    EXPECT_EQ(ErrorBoxText(IoErrorMessage(13)), "I/O error 13.");
    EXPECT_EQ(ErrorBoxText("Already done."), "Already done.");
    EXPECT_EQ(ErrorBoxText("Ends with a comma,"), "Ends with a comma,");
    EXPECT_EQ(IoErrorCodeFromErrno(ENOENT), kErrorFileNotFound);
    EXPECT_EQ(IoErrorCodeFromErrno(EACCES), kErrorAccessDenied);
    EXPECT_EQ(IoErrorCodeFromErrno(ENOSPC), kErrorDiskFull);
    EXPECT_EQ(IoErrorCodeFromErrno(EMFILE), kErrorTooManyOpenFiles);
}

TEST(IoErrorTest, ProgramTitleComesFromTheExecutableName) {
    EXPECT_EQ(ProgramTitle("/usr/bin/narravox-term"), "narravox-term");
    EXPECT_EQ(ProgramTitle("./NarraVox.Engine.exe"), "Narravox");
    EXPECT_EQ(ProgramTitle("GAME"), "Game");
    EXPECT_EQ(ProgramTitle(""), "");
    EXPECT_EQ(ProgramTitle("/opt/.hidden"), "");
}

TEST(IoErrorTest, ProgramTitleOfACyrillicNameIsInTheCodePage) {
    // The system gives the path in UTF-8; the title is code page 1251, lower-cased after its
    // first character like any other, the folder's own name playing no part.
    EXPECT_EQ(ProgramTitle("./игра-term"), Cp("игра-term"));
    EXPECT_EQ(ProgramTitle("/home/Пётр/ИГРА.exe"), Cp("Игра"));
    EXPECT_EQ(ProgramTitle("ЁЛКА"), Cp("Ёлка"));
    EXPECT_EQ(ProgramTitle("Ігра.УКР"), Cp("Ігра"));
    // Characters the code page lacks are left out.
    EXPECT_EQ(ProgramTitle("游戏GAME"), Cp("Game"));
    // A name that is no UTF-8 is taken to be in the code page already.
    EXPECT_EQ(ProgramTitle(Cp("/usr/games/ИГРА")), Cp("Игра"));
}

}  // namespace
}  // namespace narravox::testing
