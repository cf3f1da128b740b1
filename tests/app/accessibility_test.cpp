// SPDX-License-Identifier: MIT
// What a screen reader is shown and told: the window named after the location, the console as
// one terminal whose text is what the screen shows, and the changes to it, at their offsets.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <memory>
#include <string>
#include <vector>

#include "accessibility.h"
#include "app_test_support.h"
#include "form1.h"
#include "support/game_builder.h"

namespace narravox::app {
namespace {

using narravox::testing::Player;
using narravox::testing::PressKey;
using narravox::testing::TempFolder;
using narravox::testing::TypeText;

// Two places, a clear screen and a verb that prints more lines than the window holds.
constexpr const char* kGame = R"(info "Игра для чтения с экрана."
start Двор
arrival осмотреться

verb осмотреться: осмотреться, look
verb север: север, n
verb очистить: очистить, cls
verb много: много, many

location Двор
    object:
        on осмотреться:
            text "Вы во дворе."
        on север:
            jump Сад
        on очистить:
            clear screen
            text "Чисто."
        on много:
            text "раз"
                 "два"
                 "три"
                 "четыре"
                 "пять"
                 "шесть"
                 "семь"
                 "восемь"

location Сад
    object:
        on осмотреться:
            text "Вы в саду."
)";

// Applies changes to a reader's copy of a text, checking that each removal names the text that
// stood there, as a screen reader keeping a copy would.
QString Replay(QString copy, const std::vector<TextChange>& changes) {
    for (const TextChange& change : changes) {
        if (change.inserted) {
            copy.insert(change.position, change.text);
        } else {
            EXPECT_EQ(copy.mid(change.position, change.text.size()), change.text);
            copy.remove(change.position, change.text.size());
        }
    }
    return copy;
}

class AccessibilityTest : public ::testing::Test {
  protected:
    AccessibilityTest() {
        narravox::testing::WriteFile(folder_.path() / "game.nvx", kGame);
        folder_.WriteGameFromSource(folder_.path() / "game.nvx");
        form_ = std::make_unique<TForm1>("Narravox", folder_.path().string(), QSize(1024, 768));
        console_ = QAccessible::queryAccessibleInterface(form_->Edit);
    }
    void Enter(const QString& line) {
        TypeText(form_->Edit, line);
        PressKey(form_->Edit, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    }

    // The console as the screen shows it: the title line, the text window's lines, then the
    // prompt line.
    QString Screen() const {
        return form_->Title->unicodeText() + QLatin1Char('\n') + form_->TextWindow->unicodeText() +
               QStringLiteral("\n>") + FromCp1251(QByteArray::fromStdString(form_->Edit->text()));
    }

    // Plays a command through the session and shows the text window as the window does;
    // returns the changes a screen reader is told of.
    std::vector<TextChange> Play(const char* command) {
        const QString before = form_->TextWindow->unicodeText();
        form_->session().PressEnter(narravox::testing::Cp(command));
        form_->TextWindow->setText(
            QByteArray::fromStdString(form_->session().game().TextWindow.Text()));
        return TextWindowChanges(before, form_->TextWindow->unicodeText());
    }

    TempFolder folder_;
    Player player_;
    std::unique_ptr<TForm1> form_;
    QAccessibleInterface* console_ = nullptr;
};

TEST_F(AccessibilityTest, TheCommandLineIsAnEditableTerminalHoldingTheScreen) {
    ASSERT_NE(console_, nullptr);
    EXPECT_EQ(console_->role(), QAccessible::Terminal);
    EXPECT_TRUE(console_->state().editable);
    EXPECT_FALSE(console_->state().readOnly);
    EXPECT_TRUE(console_->state().focusable);
    EXPECT_EQ(console_->text(QAccessible::Name), QStringLiteral("Команда"));
    ASSERT_NE(console_->textInterface(), nullptr);
    ASSERT_NE(console_->editableTextInterface(), nullptr);

    TypeText(form_->Edit, QStringLiteral("look"));
    EXPECT_EQ(console_->text(QAccessible::Value), Screen());
    EXPECT_TRUE(Screen().endsWith(QStringLiteral("Вы во дворе.  \n\n>look")));
    const int offset = CommandLineTextOffset(form_->Edit);
    EXPECT_EQ(console_->textInterface()->text(offset, offset + 4), QStringLiteral("look"));
    EXPECT_EQ(console_->textInterface()->cursorPosition(), offset + 4);

    // A screen reader edits the command, never the text above it.
    console_->editableTextInterface()->replaceText(offset, offset + 4, QStringLiteral("север"));
    EXPECT_EQ(form_->Edit->text(), narravox::testing::Cp("север"));
    console_->editableTextInterface()->deleteText(0, offset + 2);
    EXPECT_EQ(form_->Edit->text(), narravox::testing::Cp("вер"));
}

TEST_F(AccessibilityTest, TheConsoleLabelsAreReadOnlyThroughTheTerminal) {
    // Read again on their own, their lines would be heard twice.
    form_->show();
    for (QWidget* label :
         {static_cast<QWidget*>(form_->Title), static_cast<QWidget*>(form_->TextWindow),
          static_cast<QWidget*>(form_->Label1)}) {
        EXPECT_TRUE(QAccessible::queryAccessibleInterface(label)->state().invisible)
            << label->objectName().toStdString();
    }
    EXPECT_FALSE(console_->state().invisible);
    EXPECT_TRUE(console_->text(QAccessible::Value).startsWith(form_->Title->unicodeText() + '\n'));
}

TEST_F(AccessibilityTest, TheWindowIsNamedAfterTheLocation) {
    QAccessibleInterface* window = QAccessible::queryAccessibleInterface(form_.get());
    EXPECT_EQ(window->role(), QAccessible::Window);
    EXPECT_EQ(window->text(QAccessible::Name), QStringLiteral("Двор"));
    Enter(QStringLiteral("n"));
    EXPECT_EQ(window->text(QAccessible::Name), QStringLiteral("Сад"));
}

TEST_F(AccessibilityTest, AReplyIsInsertedBelowTheLinesThatScrolledAway) {
    const QString before = form_->TextWindow->unicodeText();
    const std::vector<TextChange> changes = Play("look");
    const QString after = form_->TextWindow->unicodeText();
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_FALSE(changes[0].inserted);
    EXPECT_EQ(changes[0].position, 0);
    EXPECT_EQ(changes[0].text, before.left(before.indexOf(QLatin1Char('\n'), 1) + 1));
    EXPECT_TRUE(changes[1].inserted);
    EXPECT_EQ(changes[1].text, QStringLiteral(">look\n  Вы во дворе.  \n"));
    EXPECT_EQ(changes[1].position, after.size() - changes[1].text.size());
    EXPECT_EQ(Replay(before, changes), after);
    EXPECT_EQ(console_->text(QAccessible::Value), Screen());
}

TEST_F(AccessibilityTest, AReadersCopyFollowsScrollingAndClearScreen) {
    QString copy = form_->TextWindow->unicodeText();
    for (int i = 0; i < 8; ++i) {
        copy = Replay(copy, Play("many"));
        ASSERT_EQ(copy, form_->TextWindow->unicodeText()) << "after move " << i;
    }
    const std::vector<TextChange> cleared = Play("cls");
    EXPECT_EQ(Replay(copy, cleared), form_->TextWindow->unicodeText());
    ASSERT_FALSE(cleared.empty());
    EXPECT_TRUE(cleared.back().inserted);
    EXPECT_TRUE(cleared.back().text.contains(QStringLiteral("Чисто.")));
    EXPECT_FALSE(cleared.back().text.contains(QStringLiteral("восемь")));
    EXPECT_EQ(console_->text(QAccessible::Value), Screen());
}

// The unfinished bottom line is wrapped again when text continues it: the space that became a
// line feed is replaced, and nothing before it is announced again.
TEST(TextWindowChangesTest, AWrappedBottomLineReplacesOnlyWhatChanged) {
    const QString before = QStringLiteral("x\nabc def");
    const QString after = QStringLiteral("x\nabc\ndef ghi");
    const std::vector<TextChange> changes = TextWindowChanges(before, after);
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].position, 5);
    EXPECT_EQ(changes[0].text, QStringLiteral(" def"));
    EXPECT_EQ(changes[1].position, 5);
    EXPECT_EQ(changes[1].text, QStringLiteral("\ndef ghi"));
    EXPECT_EQ(Replay(before, changes), after);
    EXPECT_TRUE(TextWindowChanges(after, after).empty());
}

}  // namespace
}  // namespace narravox::app
