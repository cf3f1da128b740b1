// SPDX-License-Identifier: MIT
// narravox-ply test: a walkthrough played through the batch mode and its transcript compared,
// written or printed; and what it tells when the transcripts differ.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ply_runs.h"
#include "reader.h"
#include "support/game_builder.h"
#include "tool.h"

namespace narravox::ply {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

constexpr const char* kGame = R"(info "Проба."
     ""
start Двор
arrival осмотреться
global Небо

verb осмотреться: осмотреться, осм
verb идти: идти, иди
verb взять: взять

flag ключ_у_вас = 5

location Небо = 0
    object небо:
        on осмотреться:
            text "Небо серое."

location Двор = 1
    object:
        on осмотреться:
            if ключ_у_вас:
                text "Вы во дворе."
            else:
                text "Вы во дворе. На земле ключ."
    object ключ:
        on взять:
            set ключ_у_вас
            text "Взяли ключ."
    object дом:
        on идти:
            jump Дом

location Дом = 2
    object:
        on осмотреться:
            text "Вы дома."
)";

constexpr const char* kWalkthrough = "взять ключ\nидти дом\nосм небо\n";

// What the game prints from its start to the first command, after the banner.
constexpr const char* kStartEnd = "Проба.\n\n  Вы во дворе. На земле ключ.  \n";
constexpr const char* kAnswers =
    ">взять ключ\n  Взяли ключ.  \n>идти дом\n  Вы дома.  \n>осм небо\n  Небо серое.  \n";

class PlyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteFile(folder_ / "game.nvx", kGame);
        WriteFile(folder_ / "walk.txt", kWalkthrough);
    }
    // narravox-ply test on the files of the folder, in a 60×4 window.
    Answer Test(std::vector<std::string> args) const {
        for (std::string& arg : args) {
            if (arg.find('.') != std::string::npos && !arg.starts_with("-")) {
                arg = folder_ / arg;
            }
        }
        args.insert(args.begin(), "test");
        for (const char* size : {"--columns", "60", "--lines", "4"}) {
            args.push_back(size);
        }
        return RunPly(args);
    }
    // The transcript of the walkthrough, as test prints it without an expected one.
    std::string Transcript() const {
        const Answer printed = Test({"game.nvx", "walk.txt"});
        EXPECT_EQ(printed.status, 0) << printed.err;
        return printed.out;
    }
    std::set<std::string> Files() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_.path())) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

    TempFolder folder_;
};

TEST_F(PlyTest, PrintsThePlayedTranscriptAndPassesWhenItIsTheExpectedOne) {
    const std::string transcript = Transcript();
    // Batch mode's own transcript: the banner, then the game; the box goes to standard error.
    EXPECT_EQ(transcript.rfind("Narravox Engine III (3.03)\n", 0), 0u) << transcript;
    EXPECT_TRUE(transcript.ends_with(std::string(kStartEnd) + kAnswers)) << transcript;
    EXPECT_EQ(transcript.find("Внимание"), std::string::npos);

    WriteFile(folder_ / "walk.out", transcript);
    const Answer same = Test({"game.nvx", "walk.txt", "walk.out"});
    EXPECT_EQ(same.status, 0) << same.err;
    EXPECT_NE(same.out.find("ok: "), std::string::npos) << same.out;
    EXPECT_NE(same.out.find("3 command(s), 22 line(s)"), std::string::npos) << same.out;
    EXPECT_NE(same.err.find("[!!!Внимание!!!]"), std::string::npos) << same.err;

    // A source saved in code page 1251 is compiled as build compiles it.
    WriteFile(folder_ / "game1251.nvx", testing::Cp(kGame));
    const Answer encoded = Test({"game1251.nvx", "walk.txt", "walk.out", "--encoding", "cp1251"});
    EXPECT_EQ(encoded.status, 0) << encoded.err;
}

TEST_F(PlyTest, ADifferenceNamesItsLineBothTextsAndTheCommand) {
    const std::string transcript = Transcript();
    const std::string answer = "  Вы дома.  \n";
    const std::size_t at = transcript.find(answer);
    ASSERT_NE(at, std::string::npos);
    const auto line = std::count(transcript.begin(), transcript.begin() + at, '\n') + 1;
    std::string changed = transcript;
    changed.replace(at, answer.size(), "  Вы в саду.  \n");
    WriteFile(folder_ / "walk.out", changed);
    const Answer differs = Test({"game.nvx", "walk.txt", "walk.out"});
    EXPECT_EQ(differs.status, 1);
    EXPECT_EQ(differs.out, "");
    const std::string expected = folder_ / "walk.out";
    EXPECT_NE(differs.err.find(expected + ":" + std::to_string(line) +
                               ": the transcript differs\n"
                               "  expected: «  Вы в саду.  »\n"
                               "  actual:   «  Вы дома.  »\n"
                               "  after " +
                               (folder_ / "walk.txt") + ":2: «идти дом»\n"),
              std::string::npos)
        << differs.err;

    // A transcript that stops short, and one that differs before the first command.
    WriteFile(folder_ / "walk.out", transcript.substr(0, transcript.rfind("  Небо серое.")));
    const Answer short_one = Test({"game.nvx", "walk.txt", "walk.out"});
    EXPECT_EQ(short_one.status, 1);
    EXPECT_NE(short_one.err.find("  expected: (the expected transcript ends here)\n"
                                 "  actual:   «  Небо серое.  »\n"
                                 "  after " +
                                 (folder_ / "walk.txt") + ":3: «осм небо»\n"),
              std::string::npos)
        << short_one.err;
    changed = transcript;
    changed.replace(changed.find("Проба."), 6, "Проба!");
    WriteFile(folder_ / "walk.out", changed);
    const Answer start = Test({"game.nvx", "walk.txt", "walk.out"});
    EXPECT_EQ(start.status, 1);
    EXPECT_NE(start.err.find("  before the first command of"), std::string::npos) << start.err;
    // Only the last line feed missing.
    WriteFile(folder_ / "walk.out", transcript.substr(0, transcript.size() - 1));
    const Answer feed = Test({"game.nvx", "walk.txt", "walk.out"});
    EXPECT_EQ(feed.status, 1);
    EXPECT_NE(feed.err.find("line feed"), std::string::npos) << feed.err;
}

TEST_F(PlyTest, BlessWritesTheExpectedTranscriptThatThenPasses) {
    const Answer blessed = Test({"game.nvx", "walk.txt", "walk.out", "--bless"});
    EXPECT_EQ(blessed.status, 0) << blessed.err;
    EXPECT_NE(blessed.out.find("wrote "), std::string::npos) << blessed.out;
    EXPECT_EQ(ReadFile(folder_ / "walk.out"), Transcript());
    EXPECT_FALSE(fs::exists(folder_ / "walk.out.part"));
    EXPECT_EQ(Test({"game.nvx", "walk.txt", "walk.out"}).status, 0);

    // Blessing replaces a stale transcript whole.
    WriteFile(folder_ / "walk.out", "stale\n");
    EXPECT_EQ(Test({"game.nvx", "walk.txt", "walk.out", "--bless"}).status, 0);
    EXPECT_EQ(ReadFile(folder_ / "walk.out"), Transcript());
}

TEST_F(PlyTest, AFolderGamePlaysLikeItsSourceAndSavesStayOutOfTheFolders) {
    ASSERT_EQ(RunPly({"build", folder_ / "game.nvx", "-o", folder_ / "data"}).status, 0);
    WriteFile(folder_ / "walk.out", Transcript());
    const Answer folder = Test({folder_ / "data", "walk.txt", "walk.out"});
    EXPECT_EQ(folder.status, 0) << folder.err;

    // A save named without a folder is kept in the test's own folder, where a later load of the
    // walkthrough finds it; neither the game's folder nor the working folder gets it.
    WriteFile(folder_ / "walk.txt",
              "взять ключ\nсохранить\nигра\nидти дом\nзагрузить\nигра\nосм\n");
    const auto files_before = Files();
    const auto data_before = std::distance(fs::directory_iterator(folder_ / "data"), {});
    const Answer saved = Test({folder_ / "data", "walk.txt"});
    EXPECT_EQ(saved.status, 0) << saved.err;
    EXPECT_TRUE(saved.out.ends_with(">загрузить\n  Вы во дворе.  \n>осм\n  Вы во дворе.  \n"))
        << saved.out;
    EXPECT_EQ(Files(), files_before);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_ / "data"), {}), data_before);
    EXPECT_FALSE(fs::exists("игра.nvs"));
}

TEST_F(PlyTest, CompileErrorsAndGamesThatCannotStartAreGameErrors) {
    WriteFile(folder_ / "broken.nvx", std::string(kGame) + "    jump Нигде\n");
    const Answer broken = Test({"broken.nvx", "walk.txt"});
    EXPECT_EQ(broken.status, 1);
    EXPECT_NE(broken.err.find("broken.nvx:"), std::string::npos) << broken.err;
    EXPECT_NE(broken.err.find(": error: "), std::string::npos) << broken.err;
    EXPECT_EQ(broken.out, "");

    // Data files that the engine refuses: the box says why.
    fs::create_directories(folder_ / "bad");
    WriteFile(folder_ / "bad/Commands.ply", "not a game");
    WriteFile(folder_ / "bad/Scenario.ply", "not a game");
    const Answer refused = Test({folder_ / "bad", "walk.txt"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("Commands.ply"), std::string::npos) << refused.err;
}

TEST_F(PlyTest, FileAndUsageProblemsEndWithStatus2) {
    WriteFile(folder_ / "walk.out", "");
    const std::vector<std::vector<std::string>> cases = {
        {"game.nvx", "missing.txt", "walk.out"},       // no walkthrough
        {"missing.nvx", "walk.txt"},                   // no game
        {"game.nvx", "walk.txt", "missing.out"},       // no expected transcript
        {folder_ / "", "walk.txt"},                    // a folder without data files
        {"game.nvx"},                                  // no walkthrough named
        {"game.nvx", "walk.txt", "walk.out", "more"},  // too many files
        {"game.nvx", "walk.txt", "--bless"},           // nowhere to write
        {"game.nvx", "walk.txt", "--colour"},          // no such option
        {"game.nvx", "walk.txt", "--columns", "0"},    // a window of no width
    };
    for (const auto& args : cases) {
        const Answer answer = Test(args);
        EXPECT_EQ(answer.status, 2) << args[0] << " " << args.back() << ": " << answer.err;
        EXPECT_EQ(answer.out, "") << args.back();
        EXPECT_FALSE(answer.err.empty()) << args.back();
    }
    EXPECT_EQ(Test({"game.nvx", "walk.txt", "--columns"}).status, 2);
}

// The offset in the game's Scenario.ply of the reaction to `verb` under `phrase` (UTF-8) in a
// location, as narravox-ply's reader finds it; -1 when there is none.
std::int32_t ReactionOffset(const std::string& scenario_file, std::uint16_t location,
                            std::string_view phrase, std::int16_t verb) {
    std::vector<Finding> findings;
    const Scenario scenario = ReadScenario(scenario_file, findings);
    for (const Location& place : scenario.locations) {
        for (const Section& section : place.sections) {
            for (const Reaction& reaction : section.reactions) {
                const bool named =
                    std::any_of(section.phrases.begin(), section.phrases.end(),
                                [&](const Phrase& p) { return p.text == testing::Cp(phrase); });
                const bool answers =
                    std::any_of(reaction.verbs.begin(), reaction.verbs.end(),
                                [&](const VerbUse& use) { return use.id == verb; });
                if (place.id == location && named && answers) {
                    return reaction.where.offset;
                }
            }
        }
    }
    return -1;
}

TEST_F(PlyTest, TraceTellsTheReactionsFlagsAndJumpsAndChangesNoTranscript) {
    WriteFile(folder_ / "walk.out", Transcript());
    const Answer traced = Test({"game.nvx", "walk.txt", "walk.out", "--trace"});
    EXPECT_EQ(traced.status, 0) << traced.err;
    ASSERT_EQ(RunPly({"build", folder_ / "game.nvx", "-o", folder_ / "data"}).status, 0);
    const std::string scenario = ReadFile(folder_ / "data/Scenario.ply");
    const auto offset = [&](std::uint16_t location, std::string_view phrase, std::int16_t verb) {
        const std::int32_t at = ReactionOffset(scenario, location, phrase, verb);
        EXPECT_GT(at, 0) << phrase;
        return ", Scenario.ply offset " + std::to_string(at) + "\n";
    };
    // The verbs are numbered from 1 in the order of the source.
    const std::string expected =
        "trace: arrival in location 1\n"
        "trace: reaction: location 1 «Двор», no object, verb 1" +
        offset(1, "", 1) +
        "trace: command: verb 3, object «ключ»\n"
        "trace: reaction: location 1 «Двор», object «ключ», verb 3" +
        offset(1, "ключ", 3) +
        "trace: set flag 5\n"
        "trace: command: verb 2, object «дом»\n"
        "trace: reaction: location 1 «Двор», object «дом», verb 2" +
        offset(1, "дом", 2) +
        "trace: jump from location 1 to location 2\n"
        "trace: arrival in location 2\n"
        "trace: reaction: location 2 «Дом», no object, verb 1" +
        offset(2, "", 1) +
        "trace: command: verb 1, object «небо»\n"
        "trace: reaction: global location 0 «Небо», object «небо», verb 1" +
        offset(0, "небо", 1);
    std::string lines;
    std::istringstream err(traced.err);
    for (std::string line; std::getline(err, line);) {
        if (line.starts_with("trace: ")) {
            lines += line + "\n";
        }
    }
    EXPECT_EQ(lines, expected);
}

// The demo's walkthrough, its transcript with one line changed: test fails and names the
// command whose answer differs.
TEST(PlyTestDemo, AChangedLineOfTheDemoTranscriptIsFound) {
    const fs::path demo = fs::path(NARRAVOX_DEMO_SOURCE).parent_path();
    const std::string expected = ReadFile(demo / "walkthrough.out");
    const std::string walkthrough = ReadFile(demo / "walkthrough.txt");
    const std::string command = "открыть дверь";
    const std::size_t echo = expected.find("\n>" + command + "\n");
    const std::size_t in_walkthrough = ("\n" + walkthrough).find("\n" + command + "\n");
    ASSERT_NE(echo, std::string::npos);
    ASSERT_NE(in_walkthrough, std::string::npos);
    // The answer's first line is the line after the echo.
    const std::size_t answer = echo + command.size() + 3;
    const std::size_t answer_end = expected.find('\n', answer);
    const auto line = std::count(expected.begin(), expected.begin() + answer, '\n') + 1;
    const auto walkthrough_line =
        std::count(walkthrough.begin(), walkthrough.begin() + in_walkthrough, '\n') + 1;
    std::string changed = expected;
    changed.replace(answer, answer_end - answer, "  Дверь не открылась.  ");

    TempFolder folder;
    WriteFile(folder / "changed.out", changed);
    const Answer differs = RunPly({"test", NARRAVOX_DEMO_SOURCE,
                                   (demo / "walkthrough.txt").string(), folder / "changed.out"});
    EXPECT_EQ(differs.status, 1);
    EXPECT_NE(differs.err.find(folder / "changed.out" + ":" + std::to_string(line) +
                               ": the transcript differs\n  expected: «  Дверь не открылась.  »"),
              std::string::npos)
        << differs.err;
    EXPECT_NE(differs.err.find("walkthrough.txt:" + std::to_string(walkthrough_line) + ": «" +
                               command + "»\n"),
              std::string::npos)
        << differs.err;
}

}  // namespace
}  // namespace narravox::ply
