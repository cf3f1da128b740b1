// SPDX-License-Identifier: MIT
#include "app_test_support.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include "cp1251.h"
#include "form1.h"

namespace narravox::testing {

void PressKey(QWidget* widget, int key, Qt::KeyboardModifiers modifiers, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(widget, &release);
}

void TypeText(QWidget* widget, const QString& text) {
    for (const QChar character : text) {
        const int key = character.isLetterOrNumber() && character.unicode() < 0x80
                            ? character.toUpper().unicode()
                            : (character == u' ' ? int(Qt::Key_Space) : int(Qt::Key_unknown));
        PressKey(widget, key, Qt::NoModifier, QString(character));
    }
}

namespace {

// The game window's text window as the player sees it now.
std::string ScreenText() {
    if (narravox::app::Form1 == nullptr) {
        return {};
    }
    return Cp1251ToUtf8(narravox::app::Form1->TextWindow->text().toStdString());
}

}  // namespace

Player::Player() {
    connect(&timer_, &QTimer::timeout, this, &Player::Answer);
    timer_.start(5);
}

std::vector<std::string> Player::Boxes() const {
    std::vector<std::string> result;
    for (const auto& box : boxes) {
        result.push_back(("[" + box.caption + "] " + box.text).toStdString());
    }
    return result;
}

void Player::Answer() {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* box = qobject_cast<QMessageBox*>(modal); box && box->isVisible()) {
        const bool yes_no = box->button(QMessageBox::Yes) != nullptr;
        QStringList buttons;
        for (const QAbstractButton* button : box->buttons()) {
            buttons.push_back(button->text());
        }
        boxes.push_back({box->windowTitle(), box->text(), box->icon(), yes_no,
                         box->windowModality() == Qt::ApplicationModal,
                         box->parentWidget() != nullptr, box->windowFlags(), buttons,
                         ScreenText()});
        QMessageBox::StandardButton answer = QMessageBox::Ok;
        if (yes_no) {
            answer = QMessageBox::No;
            if (!answers.empty()) {
                answer = answers.front();
                answers.pop_front();
            }
        }
        box->button(answer)->click();
        return;
    }
    if (auto* dialog = qobject_cast<QFileDialog*>(modal); dialog && dialog->isVisible()) {
        QStringList captions{dialog->windowTitle()};
        for (const char* name : {"fileNameLabel", "fileTypeLabel"}) {
            const auto* label = dialog->findChild<QLabel*>(QString::fromLatin1(name));
            captions.push_back(label != nullptr ? label->text() : QString());
        }
        dialogs.push_back({dialog->acceptMode() == QFileDialog::AcceptSave, dialog->nameFilters(),
                           dialog->defaultSuffix(), dialog->directory().absolutePath(),
                           !dialog->testOption(QFileDialog::DontConfirmOverwrite),
                           dialog->windowFlags(), captions, ScreenText()});
        QString file;
        if (!files.empty()) {
            file = files.front();
            files.pop_front();
        }
        if (file.isEmpty()) {
            dialog->reject();
        } else {
            // Typed into the name field, as a player would; the dialog resolves it itself.
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            name->setText(file);
            // accept() is protected; a player's Enter in the name field reaches it as a slot.
            QMetaObject::invokeMethod(dialog, "accept");
        }
    }
}

}  // namespace narravox::testing
