// SPDX-License-Identifier: MIT
// The window played as a player plays it: start-up, Enter, F1, F3, boxes and dialogs, the
// emblem, paced text and what a screen reader is told.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>

#include "app_test_support.h"
#include "form1.h"
#include "support/game_builder.h"
#include "test_game.h"

namespace narravox::app {
namespace {

using narravox::testing::Cp;
using narravox::testing::Player;
using narravox::testing::PressKey;
using narravox::testing::TempFolder;
using narravox::testing::TypeText;
using narravox::testing::Utf8;

constexpr QSize kScreen(1024, 768);

std::string Text(const ConsoleLabel* label) {
    return Utf8(label->text().toStdString());
}

// The last complete line of the text window, in UTF-8.
std::string LastLine(TForm1& form) {
    const auto& lines = form.session().game().TextWindow.CompleteLines();
    return lines.empty() ? std::string() : Utf8(lines.back());
}

class FormTest : public ::testing::Test {
  protected:
    FormTest() { narravox::testing::WriteTestGame(folder_); }

    std::unique_ptr<TForm1> Start(QSize screen = kScreen) {
        auto form = std::make_unique<TForm1>("Narravox", folder_.path().string(), screen);
        return form;
    }

    void Enter(TForm1& form, const QString& line) {
        TypeText(form.Edit, line);
        PressKey(form.Edit, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    }

    TempFolder folder_;
    Player player_;
};

TEST_F(FormTest, StartUpLaysOutTheScreenAndWarnsBeforeTheFirstLocation) {
    auto form = Start();
    ASSERT_EQ(form->startResult(), StartResult::kStarted);
    EXPECT_EQ(Form1, form.get());
    EXPECT_EQ(form->geometry(), QRect(0, 0, 1024, 768));
    EXPECT_EQ(form->TextWindow->geometry(), QRect(0, 16, 1024, 728));
    EXPECT_EQ(form->Edit->geometry(), QRect(8, 744, 1016, 24));
    EXPECT_EQ(form->Label1->geometry(), QRect(0, 744, 8, 16));
    EXPECT_EQ(form->Edit->maxLength(), 127);
    EXPECT_EQ(form->windowTitle(), "Narravox Engine III");
    EXPECT_TRUE(form->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_FALSE(form->isVisible());

    ASSERT_EQ(player_.boxes.size(), 1u);
    const auto& warning = player_.boxes[0];
    EXPECT_EQ(warning.caption, "!!!Внимание!!!");
    EXPECT_TRUE(warning.text.endsWith("Read1st!.txt"));
    EXPECT_EQ(warning.icon, QMessageBox::Warning);
    EXPECT_TRUE(warning.application_modal);
    EXPECT_FALSE(warning.owned);

    EXPECT_EQ(Text(form->Title), " Двор");
    EXPECT_EQ(Text(form->Label1), ">");
    // The text window shows exactly the engine's text, the arrival text in its last lines.
    EXPECT_EQ(form->TextWindow->text().toStdString(), form->session().game().TextWindow.Text());
    EXPECT_NE(Text(form->TextWindow).find("Вы во дворе. Здесь старый колодец."), std::string::npos);
}

TEST_F(FormTest, EnterEchoesAndPlaysAndF3RecallsWithAnyModifier) {
    auto form = Start();
    Enter(*form, QStringLiteral("  Осмотреться "));
    EXPECT_EQ(form->Edit->text(), "");
    EXPECT_EQ(form->session().game().LastCommand, Cp("  Осмотреться "));
    const auto& lines = form->session().game().TextWindow.CompleteLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(Utf8(lines[lines.size() - 2]), ">  Осмотреться ");
    EXPECT_NE(Text(form->TextWindow).find(">  Осмотреться \n"), std::string::npos);

    for (const auto modifiers :
         {Qt::KeyboardModifiers(Qt::NoModifier), Qt::KeyboardModifiers(Qt::ShiftModifier),
          Qt::KeyboardModifiers(Qt::ControlModifier)}) {
        form->Edit->setText(Cp("полови"));
        PressKey(form->Edit, Qt::Key_F3, modifiers);
        EXPECT_EQ(form->Edit->text(), Cp("  Осмотреться "));
        EXPECT_EQ(form->Edit->cursorPosition(), 14);
    }
}

TEST_F(FormTest, UpAndDownWalkTheCommandsEnteredAndKeepTheDraft) {
    auto form = Start();
    Enter(*form, QStringLiteral("осм"));
    Enter(*form, QStringLiteral("взять ключ"));
    Enter(*form, QStringLiteral("взять ключ"));
    TypeText(form->Edit, QStringLiteral("черн"));
    PressKey(form->Edit, Qt::Key_Up);
    EXPECT_EQ(form->Edit->text(), Cp("взять ключ"));
    PressKey(form->Edit, Qt::Key_Up);
    EXPECT_EQ(form->Edit->text(), Cp("осм"));
    // At the oldest entry Up shows that entry again: a change to it goes, the caret to the end.
    TypeText(form->Edit, QStringLiteral("!"));
    form->Edit->setCursorPosition(1);
    PressKey(form->Edit, Qt::Key_Up);
    EXPECT_EQ(form->Edit->text(), Cp("осм"));
    EXPECT_EQ(form->Edit->cursorPosition(), 3);
    PressKey(form->Edit, Qt::Key_Down);
    EXPECT_EQ(form->Edit->text(), Cp("взять ключ"));
    PressKey(form->Edit, Qt::Key_Down);
    EXPECT_EQ(form->Edit->text(), Cp("черн"));
    // With no entry shown Down keeps the line and puts the caret at its end.
    form->Edit->setCursorPosition(0);
    PressKey(form->Edit, Qt::Key_Down);
    EXPECT_EQ(form->Edit->text(), Cp("черн"));
    EXPECT_EQ(form->Edit->cursorPosition(), 4);
}

TEST_F(FormTest, F1ShowsTheAboutBoxWithAnyModifier) {
    auto form = Start();
    player_.boxes.clear();
    PressKey(form->Edit, Qt::Key_F1);
    PressKey(form->Edit, Qt::Key_F1, Qt::ShiftModifier);
    PressKey(form->Edit, Qt::Key_F1, Qt::ControlModifier | Qt::AltModifier);
    ASSERT_EQ(player_.boxes.size(), 3u);
    for (const auto& box : player_.boxes) {
        EXPECT_EQ(box.caption, "О программе");
        EXPECT_TRUE(box.text.startsWith("Narravox Engine III (3.03)\n"));
        EXPECT_EQ(box.icon, QMessageBox::Information);
    }
    // The key went to the box, not into the line.
    EXPECT_EQ(form->Edit->text(), "");
}

TEST_F(FormTest, CommandLineHoldsOneCharacterLessThanALine) {
    auto form = Start();
    TypeText(form->Edit, QString(130, QChar(u'ж')));
    EXPECT_EQ(form->Edit->text(), std::string(127, Cp("ж")[0]));
    PressKey(form->Edit, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    // The echo, ">" and 127 characters, fills one text line of 128 columns exactly.
    const auto& lines = form->session().game().TextWindow.CompleteLines();
    const auto echo = std::find_if(lines.begin(), lines.end(),
                                   [](const std::string& line) { return line.starts_with(">"); });
    ASSERT_NE(echo, lines.end());
    EXPECT_EQ(*echo, ">" + std::string(127, Cp("ж")[0]));
}

TEST_F(FormTest, QuitAnsweredNoKeepsPlayingAndYesShrinksAndCloses) {
    auto form = Start();
    form->showStarted();
    player_.boxes.clear();
    player_.answers = {QMessageBox::No};
    Enter(*form, QStringLiteral("ВЫХОД"));
    ASSERT_EQ(player_.boxes.size(), 1u);
    EXPECT_EQ(player_.boxes[0].caption, "Выход");
    EXPECT_EQ(player_.boxes[0].text, "Вы действительно хотите выйти?");
    EXPECT_EQ(player_.boxes[0].icon, QMessageBox::Question);
    EXPECT_TRUE(player_.boxes[0].yes_no);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(LastLine(*form), ">ВЫХОД");

    player_.answers = {QMessageBox::Yes};
    Enter(*form, QStringLiteral("quit"));
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->size(), QSize(322, 110));
}

TEST_F(FormTest, SaveAndLoadGoThroughTheFileDialogs) {
    auto form = Start();
    const QString save = QString::fromStdString(folder_ / "first");
    player_.files = {save, save + ".nvs", QString()};
    Enter(*form, QStringLiteral("сохранить"));
    ASSERT_EQ(player_.dialogs.size(), 1u);
    const auto& dialog = player_.dialogs[0];
    EXPECT_TRUE(dialog.save);
    EXPECT_TRUE(dialog.confirms_overwrite);
    EXPECT_EQ(dialog.default_suffix, "nvs");
    ASSERT_EQ(dialog.filters.size(), 2);
    // Both spellings of the extension, so lower-case saves show on a case-sensitive system.
    EXPECT_TRUE(dialog.filters[0].contains("*.nvs") && dialog.filters[0].contains("*.NVS"));
    EXPECT_EQ(dialog.directory,
              QFileInfo(QString::fromStdString(folder_.path().string())).absoluteFilePath());
    // The default extension was added to the name typed without one.
    EXPECT_TRUE(QFileInfo::exists(save + ".nvs"));

    Enter(*form, QStringLiteral("загрузить"));
    ASSERT_EQ(player_.dialogs.size(), 2u);
    EXPECT_FALSE(player_.dialogs[1].save);
    EXPECT_NE(LastLine(*form).find("Вы во дворе"), std::string::npos);

    // Cancelling plays nothing: the echo is the last line.
    Enter(*form, QStringLiteral("загрузить"));
    EXPECT_EQ(LastLine(*form), ">загрузить");
}

// A box or a dialog may wait long for its answer: what the game printed before it, the echo
// first, is on the screen behind it meanwhile. Neither can be minimised away from the
// full-screen game, and each stays above it.
TEST_F(FormTest, BoxesAndDialogsShowWhatWasPrintedAndStayInFront) {
    auto form = Start();
    form->showStarted();
    player_.boxes.clear();
    Enter(*form, QStringLiteral("выход"));
    Enter(*form, QStringLiteral("сохранить"));
    ASSERT_EQ(player_.boxes.size(), 1u);
    ASSERT_EQ(player_.dialogs.size(), 1u);
    EXPECT_TRUE(player_.boxes[0].screen.ends_with(">выход\n")) << player_.boxes[0].screen;
    EXPECT_TRUE(player_.dialogs[0].screen.ends_with(">сохранить\n")) << player_.dialogs[0].screen;
    for (const Qt::WindowFlags flags : {player_.boxes[0].flags, player_.dialogs[0].flags}) {
        EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
        EXPECT_TRUE(flags.testFlag(Qt::CustomizeWindowHint));
        EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
        EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    }
}

TEST_F(FormTest, EveryFileDialogStartsInTheGameFolder) {
    auto form = Start();
    form->SaveDialog1->setDirectory(QDir::rootPath());
    form->OpenDialog1->setDirectory(QDir::rootPath());
    Enter(*form, QStringLiteral("сохранить"));
    Enter(*form, QStringLiteral("загрузить"));
    form->SaveDialog1->setDirectory(QDir::rootPath());
    Enter(*form, QStringLiteral("сохранить"));
    ASSERT_EQ(player_.dialogs.size(), 3u);
    const QString game_folder =
        QFileInfo(QString::fromStdString(folder_.path().string())).absoluteFilePath();
    for (const auto& dialog : player_.dialogs) {
        EXPECT_EQ(dialog.directory, game_folder);
    }
}

// Qt's own texts around the game are Russian whatever the locale.
TEST_F(FormTest, QtsButtonsAndDialogsSpeakRussian) {
    auto form = Start();
    player_.boxes.clear();
    Enter(*form, QStringLiteral("выход"));
    Enter(*form, QStringLiteral("сохранить"));
    ASSERT_EQ(player_.boxes.size(), 1u);
    EXPECT_EQ(player_.boxes[0].buttons, (QStringList{"&Да", "&Нет"}));
    ASSERT_EQ(player_.dialogs.size(), 1u);
    const QStringList& captions = player_.dialogs[0].captions;
    ASSERT_EQ(captions.size(), 3);
    EXPECT_EQ(captions[1], "&Имя файла:");
    EXPECT_EQ(captions[2], "Типы файлов:");
}

TEST_F(FormTest, LoadingAMissingFileShowsTheErrorBoxAndGoesOn) {
    auto form = Start();
    player_.boxes.clear();
    player_.files = {QString::fromStdString(folder_ / "nothing.nvs")};
    Enter(*form, QStringLiteral("загрузить"));
    ASSERT_EQ(player_.boxes.size(), 1u);
    EXPECT_EQ(player_.boxes[0].caption, "Narravox");
    EXPECT_EQ(player_.boxes[0].text, "File not found.");
    EXPECT_EQ(player_.boxes[0].icon, QMessageBox::Critical);
    Enter(*form, QStringLiteral("look"));
    EXPECT_NE(LastLine(*form).find("Вы во дворе"), std::string::npos);
}

TEST_F(FormTest, EmblemFollowsEveryLineInHiddenModeAndGoesWithTheNextText) {
    auto form = Start();
    form->showStarted();
    auto* overlay = form->findChild<EmblemOverlay*>();
    ASSERT_NE(overlay, nullptr);
    EXPECT_FALSE(overlay->isVisible());
    Enter(*form, QStringLiteral("Vorn  Telik"));
    EXPECT_TRUE(overlay->isVisible());
    // A silver pixel of the triangle's corner over the text window.
    EXPECT_EQ(form->grab().toImage().pixel(397, 203), kSilver);
    Enter(*form, QString());
    EXPECT_TRUE(overlay->isVisible());
    player_.boxes.clear();
    PressKey(form->Edit, Qt::Key_F1);
    ASSERT_EQ(player_.boxes.size(), 1u);
    EXPECT_EQ(player_.boxes[0].caption, "Vorn telik");
    Enter(*form, QStringLiteral("vorn telik"));
    EXPECT_FALSE(overlay->isVisible());
}

TEST_F(FormTest, MissingVocabularyEndsTheProgramWithOnlyItsBox) {
    std::filesystem::remove(folder_.path() / "Commands.ply");
    auto form = Start();
    EXPECT_EQ(form->startResult(), StartResult::kDataFilesRefused);
    ASSERT_EQ(player_.boxes.size(), 1u);
    EXPECT_EQ(player_.boxes[0].caption, "Ошибка");
    EXPECT_EQ(player_.boxes[0].icon, QMessageBox::Critical);
    EXPECT_EQ(Text(form->TextWindow), "");
}

TEST_F(FormTest, ReadFailureInTheCheckKeepsTheDesignSize) {
    narravox::testing::WriteFile(folder_.path() / "Scenario.ply", "SC");
    auto form = Start();
    EXPECT_EQ(form->startResult(), StartResult::kCheckFailed);
    EXPECT_EQ(player_.Boxes(), std::vector<std::string>{"[Narravox] Read beyond end of file."});
    EXPECT_EQ(form->geometry(), QRect(355, 342, 314, 83));
    EXPECT_EQ(Text(form->Title), "");
    EXPECT_EQ(Text(form->TextWindow), "");
    // Typing stays safe without a line width.
    Enter(*form, QStringLiteral("look"));
    EXPECT_EQ(form->Edit->text(), "");
}

TEST_F(FormTest, ScreenReadersGetTheTextAndEachNewLine) {
    auto form = Start();
    std::vector<std::pair<int, QString>> inserted;
    QObject::connect(form.get(), &TForm1::lineAnnounced, [&](int position, const QString& line) {
        inserted.emplace_back(position, line);
    });
    Enter(*form, QStringLiteral("look"));

    QAccessibleInterface* text_window = QAccessible::queryAccessibleInterface(form->TextWindow);
    ASSERT_NE(text_window, nullptr);
    const QString shown = text_window->text(QAccessible::Value);
    EXPECT_TRUE(shown.endsWith(QStringLiteral(">look\n  Вы во дворе. Здесь старый колодец.  \n")))
        << shown.right(80).toStdString();
    ASSERT_NE(text_window->textInterface(), nullptr);
    EXPECT_EQ(text_window->textInterface()->characterCount(), shown.size());

    QAccessibleInterface* title = QAccessible::queryAccessibleInterface(form->Title);
    EXPECT_EQ(title->text(QAccessible::Name), QStringLiteral("Двор"));

    // The echo and the answer, each announced once at its place in the text.
    ASSERT_GE(inserted.size(), 2u);
    const auto& echo = inserted[inserted.size() - 2];
    const auto& answer = inserted.back();
    EXPECT_EQ(echo.second, QStringLiteral(">look"));
    EXPECT_EQ(answer.second.trimmed(), QStringLiteral("Вы во дворе. Здесь старый колодец."));
    EXPECT_EQ(shown.mid(echo.first, 5), QStringLiteral(">look"));
    EXPECT_EQ(answer.first, echo.first + 6);
}

// Looks at the command line each time the paced text has waited for the clock.
class PacedForm : public TForm1 {
  public:
    using TForm1::TForm1;
    void WaitForNextSecond() override {
        // A key arrives while the centred text waits for the clock.
        QCoreApplication::postEvent(
            Edit, new QKeyEvent(QEvent::KeyPress, Qt::Key_Z, Qt::NoModifier, "z"));
        const auto before = std::chrono::system_clock::now();
        TForm1::WaitForNextSecond();
        const auto after = std::chrono::system_clock::now();
        seconds_changed = std::chrono::floor<std::chrono::seconds>(before) !=
                          std::chrono::floor<std::chrono::seconds>(after);
        line_after_wait = Edit->text();
        ++waits;
    }
    bool seconds_changed = false;
    std::string line_after_wait = "unset";
    int waits = 0;
};

TEST_F(FormTest, PacedTextHoldsKeysUntilTheCommandIsDone) {
    PacedForm form("Narravox", folder_.path().string(), kScreen);
    form.showStarted();
    Enter(form, QStringLiteral("слушать"));
    EXPECT_EQ(form.waits, 1);
    EXPECT_TRUE(form.seconds_changed);
    EXPECT_EQ(form.line_after_wait, "");
    EXPECT_NE(Text(form.TextWindow).find("Тишина."), std::string::npos);
    // The key is not lost: it reaches the command line once the command has run.
    QCoreApplication::processEvents();
    EXPECT_EQ(form.Edit->text(), "z");
}

}  // namespace
}  // namespace narravox::app
