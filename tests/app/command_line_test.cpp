// SPDX-License-Identifier: MIT
// The command line's editing.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMouseEvent>
#include <algorithm>
#include <memory>

#include "app_test_support.h"
#include "command_line.h"
#include "support/game_builder.h"

namespace narravox::app {
namespace {

using narravox::testing::Cp;
using narravox::testing::PressKey;
using narravox::testing::TypeText;

// Sends a mouse event at `x` pixels from the line's left edge.
void Mouse(CommandLine* edit, QEvent::Type type, int x, Qt::MouseButton button,
           Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
    QMouseEvent event(type, QPointF(x, 8), edit->mapToGlobal(QPointF(x, 8)),
                      type == QEvent::MouseMove ? Qt::NoButton : button, held, modifiers);
    QApplication::sendEvent(edit, &event);
}

// A menu item's label without its mnemonic and the shortcut after the tab.
QString Label(const QAction* action) {
    return action->text().section(u'\t', 0, 0).remove(u'&');
}

// The menu's items as "label", or "label (off)" when disabled.
std::vector<std::string> Items(QMenu* menu) {
    std::vector<std::string> items;
    for (QAction* action : menu->actions()) {
        if (!action->isSeparator()) {
            items.push_back((Label(action) + (action->isEnabled() ? "" : " (off)")).toStdString());
        }
    }
    return items;
}

QAction* Item(QMenu* menu, const QString& label) {
    const auto actions = menu->actions();
    const auto found = std::find_if(actions.begin(), actions.end(),
                                    [&](const QAction* action) { return Label(action) == label; });
    return found == actions.end() ? nullptr : *found;
}

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

TEST(CommandLineTest, ShiftWithTheMovingKeysSelects) {
    CommandLine edit;
    TypeText(&edit, QStringLiteral("взять ключ"));
    PressKey(&edit, Qt::Key_Left, Qt::ShiftModifier);
    PressKey(&edit, Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(edit.selectedText(), Cp("юч"));
    PressKey(&edit, Qt::Key_Home, Qt::ShiftModifier);
    EXPECT_EQ(edit.selectedText(), Cp("взять ключ"));
    EXPECT_EQ(edit.cursorPosition(), 0);
    // By word from the caret; the anchor stays where the selection began.
    PressKey(&edit, Qt::Key_Right, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(edit.selectedText(), Cp("ключ"));
    // Left alone goes to the selection's start and drops it.
    PressKey(&edit, Qt::Key_Left);
    EXPECT_EQ(edit.cursorPosition(), 6);
    EXPECT_FALSE(edit.hasSelectedText());
    PressKey(&edit, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(edit.selectedText(), edit.text());
    // Typing replaces the selection, Backspace removes it.
    TypeText(&edit, QStringLiteral("осмотреться"));
    PressKey(&edit, Qt::Key_Left, Qt::ShiftModifier | Qt::ControlModifier);
    PressKey(&edit, Qt::Key_Right, Qt::ShiftModifier);
    PressKey(&edit, Qt::Key_Backspace);
    EXPECT_EQ(edit.text(), Cp("о"));
}

TEST(CommandLineTest, TheMouseSelectsByDraggingAndWordsByDoubleClicking) {
    CommandLine edit;
    edit.resize(200, 16);
    edit.setText(Cp("взять  ключ"));
    Mouse(&edit, QEvent::MouseButtonPress, 17, Qt::LeftButton);
    Mouse(&edit, QEvent::MouseMove, 45, Qt::LeftButton);
    Mouse(&edit, QEvent::MouseButtonRelease, 45, Qt::LeftButton);
    EXPECT_EQ(edit.selectedText(), Cp("ять "));
    Mouse(&edit, QEvent::MouseButtonPress, 7, Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(edit.selectedText(), Cp("з"));
    Mouse(&edit, QEvent::MouseButtonDblClick, 8 * 8 + 3, Qt::LeftButton);
    EXPECT_EQ(edit.selectedText(), Cp("ключ"));
    Mouse(&edit, QEvent::MouseButtonDblClick, 5 * 8 + 3, Qt::LeftButton);
    EXPECT_EQ(edit.selectedText(), "  ");
    // Selected cells are black on silver, the others silver on black; spaces show it plainly.
    const QImage image = edit.grab().toImage();
    EXPECT_EQ(image.pixel(4 * 8 + 4, 0), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(5 * 8 + 4, 0), qRgb(192, 192, 192));
    EXPECT_EQ(image.pixel(6 * 8 + 4, 0), qRgb(192, 192, 192));
}

TEST(CommandLineTest, CopyCutAndPasteGoThroughTheClipboard) {
    QClipboard* clipboard = QApplication::clipboard();
    CommandLine edit;
    edit.setText(Cp("взять ключ"));
    edit.setSelection(6, 4);
    PressKey(&edit, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(), QStringLiteral("ключ"));
    edit.setSelection(0, 5);
    PressKey(&edit, Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(), QStringLiteral("взять"));
    PressKey(&edit, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(edit.text(), Cp(" ключ"));
    PressKey(&edit, Qt::Key_End);
    PressKey(&edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit.text(), Cp(" ключвзять"));
    edit.setSelection(0, 5);
    PressKey(&edit, Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(clipboard->text(), QStringLiteral(" ключ"));
    EXPECT_EQ(edit.text(), Cp("взять"));
}

TEST(CommandLineTest, PastingKeepsToTheCodePageAndTheMaximumLength) {
    QClipboard* clipboard = QApplication::clipboard();
    CommandLine edit;
    edit.setMaxLength(5);
    clipboard->setText(QStringLiteral("ā中аб"));
    edit.paste();
    EXPECT_EQ(edit.text(), Cp("аб"));
    // A full line takes nothing more; a selection makes room for as much as it held.
    clipboard->setText(QStringLiteral("12345"));
    edit.paste();
    edit.paste();
    EXPECT_EQ(edit.text(), Cp("аб123"));
    edit.setSelection(1, 2);
    edit.paste();
    EXPECT_EQ(edit.text(), Cp("а1223"));
    edit.setSelection(4, 1);
    TypeText(&edit, QStringLiteral("юя"));
    EXPECT_EQ(edit.text(), Cp("а122ю"));
    // What the code page lacks entirely leaves the selection in place.
    edit.setSelection(0, 1);
    clipboard->setText(QStringLiteral("中"));
    edit.paste();
    EXPECT_EQ(edit.selectedText(), Cp("а"));
}

TEST(CommandLineTest, UndoAndRedoWalkThroughTheLinesStates) {
    CommandLine edit;
    TypeText(&edit, QStringLiteral("взять"));
    PressKey(&edit, Qt::Key_Home);
    PressKey(&edit, Qt::Key_End);
    TypeText(&edit, QStringLiteral(" ключ"));
    PressKey(&edit, Qt::Key_Backspace);
    PressKey(&edit, Qt::Key_Backspace);
    edit.setSelection(0, 5);
    edit.cut();
    EXPECT_EQ(edit.text(), Cp(" кл"));
    PressKey(&edit, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(edit.text(), Cp("взять кл"));
    EXPECT_EQ(edit.selectedText(), Cp("взять"));
    PressKey(&edit, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(edit.text(), Cp("взять ключ"));
    PressKey(&edit, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(edit.text(), Cp("взять"));
    PressKey(&edit, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(edit.text(), "");
    EXPECT_FALSE(edit.isUndoAvailable());
    PressKey(&edit, Qt::Key_Y, Qt::ControlModifier);
    PressKey(&edit, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(edit.text(), Cp("взять ключ"));
    EXPECT_EQ(edit.cursorPosition(), 10);
    // A new edit forgets what could be redone; a new text forgets everything.
    TypeText(&edit, QStringLiteral("!"));
    EXPECT_FALSE(edit.isRedoAvailable());
    edit.setText(Cp("осмотреться"));
    EXPECT_FALSE(edit.isUndoAvailable());
}

TEST(CommandLineTest, TheContextMenuOffersWhatApplies) {
    QApplication::clipboard()->setText(QStringLiteral("ключ"));
    CommandLine edit;
    edit.setMaxLength(5);
    std::unique_ptr<QMenu> menu(edit.createContextMenu());
    EXPECT_EQ(Items(menu.get()),
              (std::vector<std::string>{"Отменить (off)", "Повторить (off)", "Вырезать (off)",
                                        "Копировать (off)", "Вставить", "Удалить (off)",
                                        "Выделить всё (off)"}));
    EXPECT_TRUE(Item(menu.get(), QStringLiteral("Копировать"))->text().contains(u'\t'));
    Item(menu.get(), QStringLiteral("Вставить"))->trigger();
    edit.setSelection(0, 2);
    menu.reset(edit.createContextMenu());
    EXPECT_EQ(Items(menu.get()),
              (std::vector<std::string>{"Отменить", "Повторить (off)", "Вырезать", "Копировать",
                                        "Вставить", "Удалить", "Выделить всё"}));
    Item(menu.get(), QStringLiteral("Удалить"))->trigger();
    EXPECT_EQ(edit.text(), Cp("юч"));
    Item(menu.get(), QStringLiteral("Выделить всё"))->trigger();
    EXPECT_EQ(edit.selectedText(), Cp("юч"));
    Item(menu.get(), QStringLiteral("Отменить"))->trigger();
    EXPECT_EQ(edit.text(), Cp("ключ"));
    // With the line full and nothing selected there is nowhere to paste.
    PressKey(&edit, Qt::Key_End);
    TypeText(&edit, QStringLiteral("!"));
    menu.reset(edit.createContextMenu());
    EXPECT_FALSE(Item(menu.get(), QStringLiteral("Вставить"))->isEnabled());

    // The Menu key opens it at the caret.
    menu.reset();
    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(0, 0), QPoint(0, 0));
    QApplication::sendEvent(&edit, &key);
    auto* shown = edit.findChild<QMenu*>();
    ASSERT_NE(shown, nullptr);
    EXPECT_TRUE(shown->isVisible());
    EXPECT_EQ(shown->pos(), edit.mapToGlobal(QPoint(5 * 8, 16)));
    shown->close();
}

}  // namespace
}  // namespace narravox::app
