// SPDX-License-Identifier: MIT
// The command line's editing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>

#include "app_test_support.h"
#include "command_line.h"
#include "support/game_builder.h"

namespace narravox::app {
namespace {

using narravox::testing::Cp;
using narravox::testing::PressKey;
using narravox::testing::TypeText;

TEST(CommandLineTest, TypingInAnyLayoutKeepsCodePage1251) {
    CommandLine edit;
    TypeText(&edit, QStringLiteral("Взять ключ №1 «ё» €"));
    EXPECT_EQ(edit.text(), Cp("Взять ключ №1 «ё» €"));
    EXPECT_EQ(edit.cursorPosition(), static_cast<int>(edit.text().size()));
}

TEST(CommandLineTest, CharactersTheCodePageLacksAreRefused) {
    CommandLine edit;
    TypeText(&edit, QStringLiteral("ab"));
    // Latvian ā, a Chinese character and a tab have no place in the line.
    TypeText(&edit, QStringLiteral("ā中"));
    PressKey(&edit, Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"));
    EXPECT_FALSE(edit.insert(QStringLiteral("xāy")));
    EXPECT_EQ(edit.text(), "abxy");
}

TEST(CommandLineTest, EditingKeysMoveTheCaretAndDelete) {
    CommandLine edit;
    TypeText(&edit, QStringLiteral("открыть дверь"));
    PressKey(&edit, Qt::Key_Home);
    PressKey(&edit, Qt::Key_Delete);
    TypeText(&edit, QStringLiteral("О"));
    PressKey(&edit, Qt::Key_End);
    PressKey(&edit, Qt::Key_Backspace);
    PressKey(&edit, Qt::Key_Left);
    PressKey(&edit, Qt::Key_Left);
    TypeText(&edit, QStringLiteral("-"));
    EXPECT_EQ(edit.text(), Cp("Открыть дв-ер"));
    // Ctrl+Backspace removes the word before the caret, Ctrl+Left jumps a word back.
    PressKey(&edit, Qt::Key_End);
    PressKey(&edit, Qt::Key_Backspace, Qt::ControlModifier);
    EXPECT_EQ(edit.text(), Cp("Открыть "));
    PressKey(&edit, Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(edit.cursorPosition(), 0);
    PressKey(&edit, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(edit.cursorPosition(), 8);
}

TEST(CommandLineTest, MaximumLengthHoldsForTypingPastingAndSetting) {
    CommandLine edit;
    edit.setMaxLength(5);
    TypeText(&edit, QStringLiteral("абвгдеж"));
    EXPECT_EQ(edit.text(), Cp("абвгд"));
    edit.setText("1234567");
    EXPECT_EQ(edit.text(), "12345");
    edit.setMaxLength(0);
    edit.setText(std::string(300, 'x'));
    EXPECT_EQ(edit.text().size(), 300u);
}

TEST(CommandLineTest, PasteTakesTheFirstLineOnly) {
    CommandLine edit;
    TypeText(&edit, QStringLiteral("взять "));
    QApplication::clipboard()->setText(QStringLiteral("ключ\nи убежать"));
    PressKey(&edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit.text(), Cp("взять ключ"));
    PressKey(&edit, Qt::Key_Home);
    QApplication::clipboard()->setText(QStringLiteral("!"));
    PressKey(&edit, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(edit.text(), Cp("!взять ключ"));
    // Ctrl with a letter is a shortcut, never a typed character.
    PressKey(&edit, Qt::Key_B, Qt::ControlModifier, QStringLiteral("\x02"));
    EXPECT_EQ(edit.text(), Cp("!взять ключ"));
}

}  // namespace
}  // namespace narravox::app
