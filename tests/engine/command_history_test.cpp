// SPDX-License-Identifier: MIT
// The history of command lines that both front-ends walk with Up and Down.
#include <gtest/gtest.h>

#include "command_history.h"
#include "support/game_builder.h"

namespace narravox {
namespace {

using testing::Cp;

TEST(CommandHistoryTest, UpAndDownWalkTheLinesTypedAndKeepTheDraft) {
    CommandHistory history;
    history.Add("one");
    history.Add("");
    history.Add("two");
    history.Add("two");
    EXPECT_EQ(history.size(), 2u);
    EXPECT_EQ(history.Older("dra"), "two");
    EXPECT_EQ(history.Older("two"), "one");
    // At the oldest entry the walk stays there.
    EXPECT_EQ(history.Older("one"), std::nullopt);
    EXPECT_EQ(history.Shown(), "one");
    EXPECT_EQ(history.Newer(), "two");
    EXPECT_EQ(history.Newer(), "dra");
    // Past the newest entry the draft is shown, and Down has nowhere further to go.
    EXPECT_EQ(history.Newer(), std::nullopt);
    EXPECT_EQ(history.Shown(), "dra");
    // A new line ends the walk: Up starts again from the newest.
    history.Older("dra");
    history.Add("three");
    EXPECT_EQ(history.Older(""), "three");
}

TEST(CommandHistoryTest, EmptyHistoryKeepsTheLine) {
    CommandHistory history;
    EXPECT_EQ(history.Older("typed"), std::nullopt);
    EXPECT_EQ(history.Shown(), "typed");
    EXPECT_EQ(history.Newer(), std::nullopt);
    EXPECT_EQ(history.Shown(), "typed");
}

TEST(CommandHistoryTest, WalksBackAndReturnsToTheDraftInTheCodePage) {
    CommandHistory history;
    history.Add(Cp("осм"));
    history.Add("");
    history.Add(Cp("взять ключ"));
    history.Add(Cp("взять ключ"));
    EXPECT_EQ(history.size(), 2u);

    EXPECT_EQ(history.Older("half"), Cp("взять ключ"));
    EXPECT_EQ(history.Older(Cp("взять ключ")), Cp("осм"));
    EXPECT_EQ(history.Older(Cp("осм")), std::nullopt);
    EXPECT_EQ(history.Newer(), Cp("взять ключ"));
    EXPECT_EQ(history.Newer(), "half");
    EXPECT_EQ(history.Newer(), std::nullopt);

    // The draft is what the line held when the walk began, not what it holds later.
    EXPECT_EQ(history.Older("first"), Cp("взять ключ"));
    EXPECT_EQ(history.Newer(), "first");
    EXPECT_EQ(history.Older("second"), Cp("взять ключ"));
    EXPECT_EQ(history.Newer(), "second");

    // Entering a line ends the walk and forgets the draft.
    history.Older("");
    history.Add(Cp("идти"));
    EXPECT_EQ(history.Shown(), "");
    EXPECT_EQ(history.Older(""), Cp("идти"));
}

}  // namespace
}  // namespace narravox
