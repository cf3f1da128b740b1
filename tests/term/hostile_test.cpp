// SPDX-License-Identifier: MIT
// Hostile files and failing disks met through the real narravox-term, as a player meets them:
// every failure is answered with its box, and the game goes on.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <ostream>

#include "compiler.h"
#include "support/game_builder.h"
#include "term_runner.h"
#include "test_game.h"

namespace narravox::testing {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// Every start-up shows it first.
const std::string kWarning =
    "[!!!Внимание!!!] Если Вы играете первый раз, то\nПРОЧИТАЙТЕ ПЕРЕД ИГРОЙ\n"
    "ДОКУМЕНТАЦИЮ!!! - Read1st!.txt\n";

// narravox-term in batch mode, fed one turn at a time, so that a test can change the game's
// files between turns.
class LiveTerm {
  public:
    explicit LiveTerm(const fs::path& folder) {
        int in[2], out[2], err[2];
        if (::pipe(in) != 0 || ::pipe(out) != 0 || ::pipe(err) != 0) {
            ADD_FAILURE() << "pipe";
            return;
        }
        child_ = ::fork();
        if (child_ == 0) {
            ::dup2(in[0], 0);
            ::dup2(out[1], 1);
            ::dup2(err[1], 2);
            for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) {
                ::close(fd);
            }
            if (::chdir(folder.c_str()) != 0) {
                ::_exit(126);
            }
            ::execl(NARRAVOX_TERM_BINARY, NARRAVOX_TERM_BINARY, "--batch", "--columns", "80",
                    "--lines", "10", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        ::close(err[1]);
        to_ = in[1];
        from_ = out[0];
        errors_ = err[0];
        ::fcntl(errors_, F_SETFL, O_NONBLOCK);
    }

    ~LiveTerm() {
        ::close(to_);
        int status = 0;
        ::waitpid(child_, &status, 0);
        ::close(from_);
        ::close(errors_);
    }

    // Types `line` and returns what the turn printed after its echo. An empty line typed after
    // it marks the end: its echo ">" is printed only once the turn is over.
    Lines Turn(const std::string& utf8_line) {
        const std::string typed = utf8_line + "\n\n";
        if (::write(to_, typed.data(), typed.size()) != static_cast<ssize_t>(typed.size())) {
            ADD_FAILURE() << "cannot type";
            return {};
        }
        Lines lines;
        for (;;) {
            const std::string line = ReadLine();
            if (line == ">" || line == "<eof>") {
                break;
            }
            lines.push_back(line);
        }
        if (!lines.empty() && lines.front() == ">" + utf8_line) {
            lines.erase(lines.begin());
        }
        return lines;
    }

    // The boxes written since the last call.
    std::string Boxes() {
        std::string text;
        char chunk[4096];
        ssize_t got;
        while ((got = ::read(errors_, chunk, sizeof chunk)) > 0) {
            text.append(chunk, static_cast<std::size_t>(got));
        }
        return text;
    }

    // Skips the start-up text and its warning box.
    void SkipStart() {
        if (::write(to_, "\n", 1) != 1) {
            ADD_FAILURE() << "cannot type";
        }
        for (std::string line = ReadLine(); line != ">" && line != "<eof>"; line = ReadLine()) {
        }
        Boxes();
    }

  private:
    bool Fill() {
        pollfd ready{from_, POLLIN, 0};
        if (::poll(&ready, 1, 10000) <= 0) {
            return false;
        }
        char chunk[4096];
        const ssize_t got = ::read(from_, chunk, sizeof chunk);
        if (got <= 0) {
            return false;
        }
        pending_.append(chunk, static_cast<std::size_t>(got));
        return true;
    }

    std::string ReadLine() {
        std::size_t end;
        while ((end = pending_.find('\n')) == std::string::npos) {
            if (!Fill()) {
                return "<eof>";
            }
        }
        std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        return line;
    }

    pid_t child_ = -1;
    int to_ = -1;
    int from_ = -1;
    int errors_ = -1;
    std::string pending_;
};

class HostileFiles : public ::testing::Test {
  protected:
    void SetUp() override { WriteTestGame(folder_); }

    TempFolder folder_;
};

TEST_F(HostileFiles, ADataFileThatDisappearsOrShrinksBetweenTurns) {
    LiveTerm term(folder_.path());
    term.SkipStart();
    const std::string scenario = ReadFile(folder_ / "Scenario.ply");
    EXPECT_EQ(term.Turn("взять ключ"), Lines{"  Взяли ключ.  "});

    fs::remove(folder_ / "Scenario.ply");
    EXPECT_EQ(term.Turn("осм"), Lines{});
    EXPECT_EQ(term.Boxes(), "[narravox-term] File not found.\n");

    WriteFile(folder_ / "Scenario.ply", scenario.substr(0, 40));
    EXPECT_EQ(term.Turn("осм"), Lines{});
    EXPECT_EQ(term.Boxes(), "[narravox-term] Read beyond end of file.\n");

    // The flag set before the failures is still set once the file is back.
    WriteFile(folder_ / "Scenario.ply", scenario);
    EXPECT_EQ(term.Turn("осм"), Lines{"  Вы во дворе. Ключ у вас.  "});

    fs::remove(folder_ / "Commands.ply");
    EXPECT_EQ(term.Turn("осм"), Lines{});
    EXPECT_EQ(term.Boxes(), "[narravox-term] File not found.\n");
    fs::create_directory(folder_ / "Commands.ply");
    EXPECT_EQ(term.Turn("осм"), Lines{});
    EXPECT_EQ(term.Boxes(), "[narravox-term] File access denied.\n");
}

TEST_F(HostileFiles, AReplacedDataFileIsPlayedAtOnce) {
    LiveTerm term(folder_.path());
    term.SkipStart();
    // The header is read once, at start-up; a new version of the game keeps its layout: the
    // same information text, locations and arrival verb.
    const ply::CompileResult other = ply::Compile(R"(info "Проверочная игра."
     ""
start Поле
arrival осмотреться
global Небо

verb осмотреться: осмотреться, осм

location Небо = 0
location Поле = 1
    object:
        on осмотреться:
            text "Поле."
)");
    ASSERT_TRUE(other.ok);
    WriteFile(folder_ / "Scenario.ply", other.scenario);
    EXPECT_EQ(term.Turn("осм"), Lines{"  Поле.  "});
}

// A disk that fills while saving: simulated with a file size limit far below a saved game.
TEST_F(HostileFiles, SavingOntoAFullDiskKeepsThePreviousSave) {
    const RunResult first = RunTerm(folder_.path(), {"--batch"}, "сохранить\ngame\n");
    ASSERT_EQ(first.status, 0) << first.err;
    const std::string previous = ReadFile(folder_ / "game.nvs");
    ASSERT_EQ(previous.size(), 4102u);

    const RunResult full = RunTerm(
        folder_.path(), {"--batch", "--columns", "80"}, "взять ключ\nсохранить\ngame\nосм\n",
        {"/bin/sh", "-c", "ulimit -f 2; trap '' XFSZ; exec \"$@\"", "sh"});
    EXPECT_EQ(full.status, 0);
    EXPECT_EQ(full.err, kWarning + "[narravox-term] Disk full.\n");
    EXPECT_NE(full.out.find(">осм\n  Вы во дворе. Ключ у вас.  \n"), std::string::npos)
        << "the game goes on after the failed save";
    EXPECT_EQ(ReadFile(folder_ / "game.nvs"), previous);
    for (const auto& entry : fs::directory_iterator(folder_.path())) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "Commands.ply" || name == "Scenario.ply" || name == "game.nvs")
            << "left behind: " << name;
    }
}

struct BadSave {
    const char* name;
    std::string content;  // "<dir>" for a folder
    const char* box;
};

void PrintTo(const BadSave& save, std::ostream* out) {
    *out << save.name;
}

class HostileSaves : public HostileFiles, public ::testing::WithParamInterface<BadSave> {};

TEST_P(HostileSaves, AreRefusedAndTheGameGoesOn) {
    const fs::path save = folder_.path() / "bad.nvs";
    if (GetParam().content == "<dir>") {
        fs::create_directory(save);
    } else {
        WriteFile(save, GetParam().content);
    }
    const RunResult run =
        RunTerm(folder_.path(), {"--batch"}, "взять ключ\nзагрузить\nbad.nvs\nосм\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, kWarning + GetParam().box);
    // Nothing was restored: the key taken before the load is still taken.
    EXPECT_NE(run.out.find(">загрузить\n>осм\n  Вы во дворе. Ключ у вас.  \n"), std::string::npos)
        << run.out;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostileSaves,
    ::testing::Values(BadSave{"Folder", "<dir>", "[narravox-term] File access denied.\n"},
                      BadSave{"Empty", "", "[narravox-term] Read beyond end of file.\n"},
                      BadSave{"ThreeBytes", "NVE", "[narravox-term] Read beyond end of file.\n"},
                      BadSave{"RightMagicTooShort", "NVES" + std::string(4097, '\0'),
                              "[narravox-term] Read beyond end of file.\n"},
                      BadSave{"TheScenarioFile", "SCR3" + std::string(5000, '\1'),
                              "[Ошибка] Неверный формат файла!\n"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(HostileFiles, AHugeSaveLoadsItsFirstBytes) {
    std::string save = "NVES" + std::string("\x02\x00", 2) + std::string(4096, '\0');
    save[6] = 1 << 5;  // flag 5: the key is taken
    WriteFile(folder_ / "huge.nvs", save);
    fs::resize_file(folder_.path() / "huge.nvs", 100u << 20);
    const RunResult run = RunTerm(folder_.path(), {"--batch"}, "загрузить\nhuge.nvs\nидти двор\n");
    EXPECT_EQ(run.err, kWarning);
    EXPECT_NE(run.out.find(">идти двор\n  Вы во дворе. Ключ у вас.  \n"), std::string::npos)
        << run.out;
}

struct BadStart {
    const char* name;
    std::function<void(const TempFolder&)> spoil;
    const char* box;
};

void PrintTo(const BadStart& start, std::ostream* out) {
    *out << start.name;
}

class HostileStart : public HostileFiles, public ::testing::WithParamInterface<BadStart> {};

// Data files that are folders, missing or unreadable at start-up: only the check's box, on
// standard error, nothing on standard output, and status 1. The player is an ordinary user,
// for whom permissions bind.
TEST_P(HostileStart, ShowsOnlyTheCheck) {
    GetParam().spoil(folder_);
    fs::permissions(folder_.path(), fs::perms::all);
    const RunResult run = RunTerm(folder_.path(), {"--batch"}, "осм\n",
                                  {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, GetParam().box);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostileStart,
    ::testing::Values(BadStart{"CommandsIsAFolder",
                               [](const TempFolder& f) {
                                   fs::remove(f.path() / "Commands.ply");
                                   fs::create_directory(f.path() / "Commands.ply");
                               },
                               "[Ошибка] Файл команд \"Commands.ply\" не найден!!\n"},
                      BadStart{"ScenarioMissing",
                               [](const TempFolder& f) { fs::remove(f.path() / "Scenario.ply"); },
                               "[Ошибка] Файл сценария \"Scenario.ply\" не найден!\n"},
                      BadStart{"ScenarioUnreadable",
                               [](const TempFolder& f) {
                                   fs::permissions(f.path() / "Scenario.ply", fs::perms::none);
                               },
                               "[narravox-term] File access denied.\n"},
                      BadStart{
                          "ScenarioShorterThanItsMagic",
                          [](const TempFolder& f) { WriteFile(f.path() / "Scenario.ply", "SC"); },
                          "[narravox-term] Read beyond end of file.\n"}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace narravox::testing
