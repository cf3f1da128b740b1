// Whole games played through the session, as a front-end plays them.
#include "session.h"

#include <gtest/gtest.h>

#include "support/fake_host.h"
#include "support/game_builder.h"

namespace narravox::testing {
namespace {

constexpr std::int16_t kLook = 1;
constexpr std::int16_t kTake = 3;

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        commands_ = {{kLook, {"осмотреться", "осм"}}, {kTake, {"взять"}}};
        scenario_.global = 0;
        scenario_.start = 1;
        scenario_.arrival = kLook;
        scenario_.info = "Пример.\n";
        scenario_.locations = {
            {0, "", {}},
            {1, "Двор", {{{""}, {{{kLook}, {Text("Вы во дворе.")}}}},
                         {{"ключ"}, {{{kTake}, {Text("Взяли."), Set(5)}}}}}},
        };
    }

    StartResult Start(int lines = 30, int columns = 60) {
        folder_.WriteGame(commands_, scenario_);
        session_ = std::make_unique<Session>(host_, "Narravox", folder_.path().string());
        session_->game().TextWindow.SetLineSink(
            [this](std::string_view line) { transcript_.push_back(Utf8(line)); });
        return session_->Start(lines, columns);
    }

    std::vector<VerbGroup> commands_;
    Scenario scenario_;
    TempFolder folder_;
    FakeHost host_;
    std::unique_ptr<Session> session_;
    std::vector<std::string> transcript_;
};

TEST_F(SessionTest, StartsAndPlaysATurn) {
    ASSERT_EQ(Start(), StartResult::kStarted);
    EXPECT_EQ(transcript_.front(), "Narravox Engine III (3.03)");
    ASSERT_GE(transcript_.size(), 3u);
    EXPECT_EQ(transcript_[transcript_.size() - 1], "  Вы во дворе.  ");
    ASSERT_EQ(host_.boxes.size(), 1u);
    EXPECT_EQ(Describe(host_.boxes[0]),
              "[!!!Внимание!!!] Если Вы играете первый раз, то\nПРОЧИТАЙТЕ ПЕРЕД ИГРОЙ\n"
              "ДОКУМЕНТАЦИЮ!!! - Read1st!.txt");
    transcript_.clear();
    session_->PressEnter(Cp("Взять  Ключ"));
    EXPECT_EQ(transcript_, (std::vector<std::string>{">Взять  Ключ", "  Взяли.  "}));
    EXPECT_EQ(Utf8(session_->game().Title), " Двор");
}

}  // namespace
}  // namespace narravox::testing
