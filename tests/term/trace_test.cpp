// SPDX-License-Identifier: MIT
// narravox-term --trace: what the game does, told on standard error, in the line-based modes
// and, with standard error redirected, in the full-screen one; the transcript stays the same.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "support/game_builder.h"
#include "term_runner.h"
#include "test_game.h"
#include "tmux_session.h"

namespace narravox::testing {
namespace {

const std::vector<std::string> kWindow = {"--columns", "60", "--lines", "4"};

// Offsets depend on the layout of the compiled game; narravox-ply's tests match them with its
// reader.
std::string WithoutOffsets(const std::string& text) {
    return std::regex_replace(text, std::regex("offset [0-9]+"), "offset N");
}

// The test game's verbs, in the order of its source: осмотреться 1, идти 2, взять 3, читать 4.
TEST(TermTrace, BatchModeTellsEachStepAndTheTranscriptStaysTheSame) {
    TempFolder folder;
    WriteTestGame(folder);
    const std::string input = "взять ключ\nидти в дом\nфыва\nвзять стол\nидти во двор\n";
    std::vector<std::string> traced_arguments = kWindow;
    traced_arguments.push_back("--trace");
    const RunResult plain = RunTerm(folder.path(), kWindow, input);
    const RunResult traced = RunTerm(folder.path(), traced_arguments, input);
    EXPECT_EQ(traced.status, 0);
    EXPECT_EQ(traced.out, plain.out);
    ASSERT_EQ(traced.err.rfind(plain.err, 0), 0u) << traced.err;
    EXPECT_EQ(WithoutOffsets(traced.err.substr(plain.err.size())),
              "trace: arrival in location 1\n"
              "trace: reaction: location 1 «Двор», no object, verb 1, Scenario.ply offset N\n"
              "trace: command: verb 3, object «ключ»\n"
              "trace: reaction: location 1 «Двор», object «ключ», verb 3, Scenario.ply offset N\n"
              "trace: set flag 5\n"
              "trace: command: verb 2, object «в дом»\n"
              "trace: reaction: location 1 «Двор», object «в дом», verb 2, Scenario.ply offset N\n"
              "trace: jump from location 1 to location 2\n"
              "trace: arrival in location 2\n"
              "trace: reaction: location 2 «Дом», no object, verb 1, Scenario.ply offset N\n"
              "trace: nothing answered (no verb begins the command): the player sees "
              "«Неизвестное слово: \"фыва\"»\n"
              "trace: command: verb 3, object «стол»\n"
              "trace: nothing answered in location 2 «Дом» (no phrase there has this word): the "
              "player sees «Неизвестное слово: \"стол\"»\n"
              "trace: command: verb 2, object «во двор»\n"
              "trace: reaction: location 2 «Дом», object «во двор», verb 2, Scenario.ply offset N\n"
              "trace: jump from location 2 to location 1\n"
              "trace: arrival in location 1\n"
              "trace: reaction: location 1 «Двор», no object, verb 1, Scenario.ply offset N\n");
}

TEST(TermTrace, AGameNotAnsweringAndAStartAndALoadAreTold) {
    TempFolder folder;
    WriteTestGame(folder);
    const RunResult run = RunTerm(folder.path(), {"--batch", "--trace"},
                                  "осм\nидти\nпрыгать\nсохранить\nигра\nзагрузить\nигра\n");
    EXPECT_EQ(run.status, 0);
    // A verb that the section for no object lacks; a word that is no verb; a load arrives in
    // the saved location again.
    EXPECT_NE(run.err.find("trace: command: verb 2, no object\n"
                           "trace: nothing answered in location 1 «Двор» (the section for no "
                           "object has no reaction to the verb): the player sees «Сделать что?»\n"),
              std::string::npos)
        << run.err;
    const std::size_t load = run.err.rfind("trace: arrival in location 1\n");
    ASSERT_NE(load, std::string::npos) << run.err;
    EXPECT_GT(load, run.err.find("«Неизвестное слово: \"прыгать\"»")) << run.err;

    // Plain mode traces the same way; its boxes and questions are on standard output there.
    const RunResult plain = RunTerm(folder.path(), {"--plain", "--trace"}, "взять ключ\n");
    EXPECT_EQ(plain.status, 0);
    EXPECT_NE(plain.err.find("trace: arrival in location 1\n"), std::string::npos) << plain.err;
    EXPECT_NE(plain.err.find("trace: set flag 5\n"), std::string::npos) << plain.err;
    EXPECT_EQ(plain.out.find("trace:"), std::string::npos) << plain.out;
}

class TermTraceAtATerminal : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!TmuxRuns()) {
            GTEST_SKIP() << "tmux cannot run here";
        }
        WriteTestGame(folder_);
    }
    // Starts narravox-term full screen with `arguments`; `errors` is where its standard error
    // goes: a file in the game's folder, or the terminal when empty.
    void Play(const std::string& arguments, const std::string& errors) {
        const std::string command =
            "trap : INT; cd " + Quote(folder_.path().string()) +
            " && LANG=C.UTF-8 LC_ALL=C.UTF-8 " + Quote(NARRAVOX_TERM_BINARY) + " " + arguments +
            (errors.empty() ? "" : " 2>" + errors) + "; echo $? > status; sleep 30";
        if (!tmux_.Start(command)) {
            GTEST_SKIP() << "tmux cannot start a session here";
        }
    }

    TempFolder folder_;
    Tmux tmux_{folder_};
};

TEST_F(TermTraceAtATerminal, FullScreenRefusesTraceOntoTheScreen) {
    Play("--trace", "");
    if (IsSkipped()) {
        return;
    }
    EXPECT_EQ(WaitForFile(folder_ / "status"), "2\n");
    const auto screen = tmux_.WaitFor("--trace writes to standard error");
    EXPECT_TRUE(Contains(screen, "2>trace.txt")) << Tmux::Join(screen);
}

TEST_F(TermTraceAtATerminal, FullScreenTracesIntoRedirectedStandardError) {
    Play("--trace", "trace.txt");
    if (IsSkipped()) {
        return;
    }
    tmux_.WaitFor("!!!Внимание!!!");
    tmux_.Keys("Enter");
    tmux_.WaitFor("Вы во дворе. На земле ключ.");
    tmux_.Keys("'взять ключ' Enter");
    tmux_.WaitFor("Взяли ключ.");
    tmux_.Keys("C-c");
    EXPECT_EQ(WaitForFile(folder_ / "status"), "130\n");
    const std::string trace = ReadFile(folder_ / "trace.txt");
    EXPECT_NE(trace.find("trace: command: verb 3, object «ключ»\n"), std::string::npos) << trace;
    EXPECT_NE(trace.find("trace: set flag 5\n"), std::string::npos) << trace;
}

}  // namespace
}  // namespace narravox::testing
