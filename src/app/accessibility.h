// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <vector>

class QAccessibleInterface;
class QByteArray;
class QObject;
class QWidget;

namespace narravox::app {

// Makes the console readable by screen readers. The title line, the text window, the prompt
// and the command line make one terminal, as terminal emulators expose theirs: its text is the
// screen's lines from the top, and the command line, which holds the keyboard focus, is its
// editable end. A screen reader speaks new text in the terminal that has the focus, so a new
// location's title and each reply are heard as they appear. The window is named after the
// location too. Call once, before the window is created.
void InstallAccessibility();

// The factory InstallAccessibility installs.
QAccessibleInterface* AccessibleConsoleFactory(const QString& class_name, QObject* object);

// Where the command line's own text begins in its accessible text: after the title line, the
// text window's lines and the prompt when it is the console's command line, 0 on its own. Text
// events of the command line add it to their positions.
int CommandLineTextOffset(const QWidget* command_line);

// Tells screen readers that a console label's text changed from `before` (code page 1251) to
// what it shows now, at their offsets in the console's terminal. For the text window that is the
// lines that left the top, then what replaced the rest; the title line is replaced whole.
void AnnounceLabelChange(QWidget* label, const QByteArray& before);

// Tells screen readers the text window's whole text anew, as replaced by itself: what start-up
// printed while the window was hidden reached no screen reader.
void AnnounceTextWindowAgain(QWidget* text_window);

// A change to a text as screen readers are told of it: `text` was inserted at `position`, or
// removed from there.
struct TextChange {
    bool inserted = false;
    int position = 0;
    QString text;
};

// The changes, in order, that turn the text window's text `before` into `after`: the lines
// that left the top, the stretch that differs in the rest, and what took its place. Where the
// top could end at several lines, the choice keeping the most of the old text wins, so that a
// scrolled window announces only its new lines.
std::vector<TextChange> TextWindowChanges(const QString& before, const QString& after);

}  // namespace narravox::app
