// SPDX-License-Identifier: MIT
#pragma once

#include <QMessageBox>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <string>
#include <vector>

// Helpers for driving the window in tests: typing, and a stand-in player who answers the
// modal boxes and file dialogs as they open.
namespace narravox::testing {

// Sends a key press and its release to a widget, with the text the keyboard layout produced.
void PressKey(QWidget* widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
              const QString& text = {});
// Types Unicode text one character at a time, as a keyboard in any layout would.
void TypeText(QWidget* widget, const QString& text);

// Answers every message box and file dialog that opens while it exists.
class Player : public QObject {
    Q_OBJECT

  public:
    struct SeenBox {
        QString caption;
        QString text;
        QMessageBox::Icon icon;
        bool yes_no;
        bool application_modal;
        bool owned;
        Qt::WindowFlags flags;
        QStringList buttons;
        // What the game window's text window showed while the box was open, in UTF-8.
        std::string screen;
    };
    struct SeenDialog {
        bool save;
        QStringList filters;
        QString default_suffix;
        QString directory;
        bool confirms_overwrite;
        Qt::WindowFlags flags;
        // The dialog's title and the labels of its name and type fields.
        QStringList captions;
        std::string screen;
    };

    Player();

    // Answers for Yes/No boxes, in order; No when none is left.
    std::deque<QMessageBox::StandardButton> answers;
    // File names for the dialogs, in order; an empty name cancels, as does an empty queue.
    std::deque<QString> files;

    std::vector<SeenBox> boxes;
    std::vector<SeenDialog> dialogs;

    // Boxes as "[caption] text".
    std::vector<std::string> Boxes() const;

  private:
    void Answer();

    QTimer timer_;
};

}  // namespace narravox::testing
