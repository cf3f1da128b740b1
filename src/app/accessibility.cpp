// SPDX-License-Identifier: MIT
#include "accessibility.h"

#include <QAccessibleWidget>
#include <algorithm>
#include <climits>

#include "command_line.h"
#include "console_label.h"
#include "form1.h"
#include "layout.h"

namespace narravox::app {
namespace {

QString Unicode(const std::string& cp1251) {
    return FromCp1251(QByteArray(cp1251.data(), static_cast<qsizetype>(cp1251.size())));
}

// The window that a console widget belongs to, or nothing for a widget on its own.
TForm1* ConsoleOf(const QWidget* widget) {
    return widget ? qobject_cast<TForm1*>(widget->window()) : nullptr;
}

// What stands before the command in the console's text: the title line, the text window's
// lines and the prompt, each on its lines as the screen shows them. Empty for a command line on
// its own.
QString ConsolePrefix(const QWidget* command_line) {
    const TForm1* form = ConsoleOf(command_line);
    if (!form || form->Edit != command_line) {
        return {};
    }
    return form->Title->unicodeText() + QLatin1Char('\n') + form->TextWindow->unicodeText() +
           QLatin1Char('\n') + form->Label1->unicodeText();
}

// Where the text window's text begins in the console's text: after the title line.
int TextWindowOffset(const TForm1& form) {
    return static_cast<int>(form.Title->unicodeText().size()) + 1;
}

// Line and column of each offset in a text of line-feed separated lines.
struct LineColumn {
    int line = 0;
    int column = 0;
};

LineColumn LineColumnAt(const QString& text, int offset) {
    LineColumn result;
    for (int i = 0; i < offset && i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('\n')) {
            ++result.line;
            result.column = 0;
        } else {
            ++result.column;
        }
    }
    return result;
}

// The offset shown at a line and column of a text, or -1 past its lines; a column past the end
// of a line gives the line's end.
int OffsetAt(const QString& text, int wanted_line, int wanted_column) {
    if (wanted_line < 0 || wanted_column < 0) {
        return -1;
    }
    int line = 0;
    int column = 0;
    for (int i = 0; i <= text.size(); ++i) {
        const bool line_end = i == text.size() || text.at(i) == QLatin1Char('\n');
        if (line == wanted_line && (column == wanted_column || line_end)) {
            return i;
        }
        if (line_end) {
            ++line;
            column = 0;
        } else {
            ++column;
        }
    }
    return -1;
}

// The console's text is read-only apart from the command, and nothing in it can be selected;
// these parts are the same for the labels and the terminal.
class ConsoleTextBase : public QAccessibleTextInterface {
  public:
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* start, int* end) const override {
        *start = *end = offset;
        return {};
    }
};

// A label's text as a screen reader sees it: all of it, one line per line feed. The console's
// labels are part of its terminal, so they are hidden from screen readers, which would
// otherwise read their text twice.
class AccessibleConsoleLabel : public QAccessibleWidget, public ConsoleTextBase {
  public:
    explicit AccessibleConsoleLabel(ConsoleLabel* label)
        : QAccessibleWidget(label, QAccessible::StaticText) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) {
            return static_cast<QAccessibleTextInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text type) const override {
        switch (type) {
            case QAccessible::Name:
                // The title line names itself by its text; the text window's name is its role.
                return label()->accessibleName().isEmpty() ? label()->unicodeText().trimmed()
                                                           : label()->accessibleName();
            case QAccessible::Value:
                return label()->unicodeText();
            default:
                return QAccessibleWidget::text(type);
        }
    }

    QAccessible::State state() const override {
        QAccessible::State result = QAccessibleWidget::state();
        result.readOnly = true;
        result.multiLine = true;
        const TForm1* form = ConsoleOf(label());
        if (form &&
            (label() == form->Title || label() == form->TextWindow || label() == form->Label1)) {
            result.invisible = true;
        }
        return result;
    }

    int cursorPosition() const override { return characterCount(); }
    void setCursorPosition(int) override {}
    QString text(int start, int end) const override {
        return label()->unicodeText().mid(start, end - start);
    }
    int characterCount() const override { return static_cast<int>(label()->text().size()); }

    QRect characterRect(int offset) const override {
        const LineColumn at = LineColumnAt(label()->unicodeText(), offset);
        const QPoint origin = label()->mapToGlobal(QPoint(0, 0));
        return {origin.x() + at.column * kCellWidth, origin.y() + at.line * kCellHeight, kCellWidth,
                kCellHeight};
    }

    int offsetAtPoint(const QPoint& point) const override {
        const QPoint local = label()->mapFromGlobal(point);
        return OffsetAt(label()->unicodeText(), local.y() / kCellHeight, local.x() / kCellWidth);
    }

  private:
    ConsoleLabel* label() const { return static_cast<ConsoleLabel*>(widget()); }
};

// The command line. In the console it is the terminal: the text window's lines, then the
// prompt line with the command, whose caret is the terminal's caret. On its own it is a plain
// editable line.
class AccessibleCommandLine : public QAccessibleWidget,
                              public ConsoleTextBase,
                              public QAccessibleEditableTextInterface {
  public:
    explicit AccessibleCommandLine(CommandLine* edit)
        : QAccessibleWidget(edit, QAccessible::EditableText) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface) {
            return static_cast<QAccessibleTextInterface*>(this);
        }
        if (type == QAccessible::EditableTextInterface) {
            return static_cast<QAccessibleEditableTextInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }

    QAccessible::Role role() const override {
        return ConsolePrefix(edit()).isEmpty() ? QAccessible::EditableText : QAccessible::Terminal;
    }

    QString text(QAccessible::Text type) const override {
        if (type == QAccessible::Value) {
            return wholeText();
        }
        return QAccessibleWidget::text(type);
    }

    QAccessible::State state() const override {
        QAccessible::State result = QAccessibleWidget::state();
        result.editable = true;
        result.readOnly = false;
        result.multiLine = role() == QAccessible::Terminal;
        return result;
    }

    QString text(int start, int end) const override { return wholeText().mid(start, end - start); }
    int characterCount() const override { return static_cast<int>(wholeText().size()); }
    int cursorPosition() const override { return offset() + edit()->cursorPosition(); }
    void setCursorPosition(int position) override {
        // Only the command takes the caret; the lines above it are output.
        edit()->setCursorPosition(std::max(position - offset(), 0));
    }

    QRect characterRect(int position) const override {
        const LineColumn at = LineColumnAt(wholeText(), position);
        const QPoint origin = lineOrigin(at.line);
        return {origin.x() + at.column * kCellWidth, origin.y(), kCellWidth, kCellHeight};
    }

    int offsetAtPoint(const QPoint& point) const override {
        const QString text = wholeText();
        const int lines = static_cast<int>(text.count(QLatin1Char('\n'))) + 1;
        for (int line = 0; line < lines; ++line) {
            const QPoint origin = lineOrigin(line);
            if (point.y() >= origin.y() && point.y() < origin.y() + kCellHeight) {
                return OffsetAt(text, line, (point.x() - origin.x()) / kCellWidth);
            }
        }
        return -1;
    }

    void deleteText(int start, int end) override { replaceText(start, end, {}); }
    void insertText(int position, const QString& text) override {
        replaceText(position, position, text);
    }
    void replaceText(int start, int end, const QString& text) override {
        const int size = static_cast<int>(edit()->text().size());
        const int from = std::clamp(start - offset(), 0, size);
        const int to = std::clamp(end - offset(), from, size);
        std::string kept = edit()->text();
        kept.erase(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from));
        edit()->setText(kept);
        edit()->setCursorPosition(from);
        edit()->insert(text);
    }

  private:
    CommandLine* edit() const { return static_cast<CommandLine*>(widget()); }
    int offset() const { return CommandLineTextOffset(edit()); }
    QString wholeText() const { return ConsolePrefix(edit()) + Unicode(edit()->text()); }

    // The screen position of a line of the text: the title line, the text window's lines, then
    // the prompt line, which starts at the prompt.
    QPoint lineOrigin(int line) const {
        const TForm1* form = ConsoleOf(edit());
        if (!form || form->Edit != edit()) {
            return edit()->mapToGlobal(QPoint(0, 0));
        }
        if (line == 0) {
            return form->Title->mapToGlobal(QPoint(0, 0));
        }
        const int window_lines = static_cast<int>(form->TextWindow->text().count('\n')) + 1;
        if (line <= window_lines) {
            return form->TextWindow->mapToGlobal(QPoint(0, (line - 1) * kCellHeight));
        }
        return form->Label1->mapToGlobal(QPoint(0, 0));
    }
};

// The window is named after the location in its title line, so that a screen reader names it
// so when the player comes back to it.
class AccessibleConsoleWindow : public QAccessibleWidget {
  public:
    explicit AccessibleConsoleWindow(TForm1* form) : QAccessibleWidget(form, QAccessible::Window) {}

    QString text(QAccessible::Text type) const override {
        if (type == QAccessible::Name) {
            const QString title = static_cast<TForm1*>(widget())->Title->unicodeText().trimmed();
            if (!title.isEmpty()) {
                return title;
            }
        }
        return QAccessibleWidget::text(type);
    }
};

// Tells screen readers of changes to the console's text made `offset` characters into it.
void AnnounceConsoleChanges(CommandLine* edit, int offset, const std::vector<TextChange>& changes) {
    // The caret stays in the command, below the changed text.
    const int caret = CommandLineTextOffset(edit) + edit->cursorPosition();
    for (const TextChange& change : changes) {
        if (change.text.isEmpty()) {
            continue;
        }
        if (change.inserted) {
            QAccessibleTextInsertEvent event(edit, offset + change.position, change.text);
            event.setCursorPosition(caret);
            QAccessible::updateAccessibility(&event);
        } else {
            QAccessibleTextRemoveEvent event(edit, offset + change.position, change.text);
            event.setCursorPosition(caret);
            QAccessible::updateAccessibility(&event);
        }
    }
}

}  // namespace

QAccessibleInterface* AccessibleConsoleFactory(const QString&, QObject* object) {
    if (auto* label = qobject_cast<ConsoleLabel*>(object)) {
        return new AccessibleConsoleLabel(label);
    }
    if (auto* edit = qobject_cast<CommandLine*>(object)) {
        return new AccessibleCommandLine(edit);
    }
    if (auto* form = qobject_cast<TForm1*>(object)) {
        return new AccessibleConsoleWindow(form);
    }
    return nullptr;
}

void InstallAccessibility() {
    QAccessible::installFactory(AccessibleConsoleFactory);
}

std::vector<TextChange> TextWindowChanges(const QString& before, const QString& after) {
    struct Choice {
        int top = 0;
        int prefix = 0;
        int removed = 0;
        int inserted = 0;
    };
    Choice best;
    int best_kept = -1;
    int best_events = INT_MAX;
    for (int top = 0; top <= before.size(); ++top) {
        if (top > 0 && top < before.size() && before.at(top - 1) != QLatin1Char('\n')) {
            continue;
        }
        const QStringView rest = QStringView(before).mid(top);
        const int limit = static_cast<int>(std::min(rest.size(), after.size()));
        int prefix = 0;
        while (prefix < limit && rest.at(prefix) == after.at(prefix)) {
            ++prefix;
        }
        int suffix = 0;
        while (suffix < limit - prefix &&
               rest.at(rest.size() - 1 - suffix) == after.at(after.size() - 1 - suffix)) {
            ++suffix;
        }
        const int removed = static_cast<int>(rest.size()) - prefix - suffix;
        const int inserted = static_cast<int>(after.size()) - prefix - suffix;
        const int kept = prefix + suffix;
        const int events = (top > 0) + (removed > 0) + (inserted > 0);
        if (kept > best_kept || (kept == best_kept && events < best_events)) {
            best = {top, prefix, removed, inserted};
            best_kept = kept;
            best_events = events;
        }
    }
    std::vector<TextChange> changes;
    if (best.top > 0) {
        changes.push_back({false, 0, before.left(best.top)});
    }
    if (best.removed > 0) {
        changes.push_back({false, best.prefix, before.mid(best.top + best.prefix, best.removed)});
    }
    if (best.inserted > 0) {
        changes.push_back({true, best.prefix, after.mid(best.prefix, best.inserted)});
    }
    return changes;
}

int CommandLineTextOffset(const QWidget* command_line) {
    return static_cast<int>(ConsolePrefix(command_line).size());
}

void AnnounceLabelChange(QWidget* label, const QByteArray& before) {
    // Working out the change costs a comparison of the whole screen; nobody listens without a
    // screen reader.
    if (!QAccessible::isActive()) {
        return;
    }
    TForm1* form = ConsoleOf(label);
    if (!form || !form->Edit) {
        return;
    }
    if (label == form->TextWindow) {
        AnnounceConsoleChanges(
            form->Edit, TextWindowOffset(*form),
            TextWindowChanges(FromCp1251(before), form->TextWindow->unicodeText()));
    } else if (label == form->Title) {
        // A new title is a new location: its whole line is replaced, so that a screen reader
        // speaks the new name rather than the letters in which it differs from the old one. The
        // window's new name is not announced as well: Qt sends a name change with the object in
        // place of the name, which stops Orca 43's event handling.
        AnnounceConsoleChanges(
            form->Edit, 0, {{false, 0, FromCp1251(before)}, {true, 0, form->Title->unicodeText()}});
    }
}

void AnnounceTextWindowAgain(QWidget* text_window) {
    if (!QAccessible::isActive()) {
        return;
    }
    TForm1* form = ConsoleOf(text_window);
    if (!form || !form->Edit || text_window != form->TextWindow) {
        return;
    }
    const QString text = form->TextWindow->unicodeText();
    AnnounceConsoleChanges(form->Edit, TextWindowOffset(*form),
                           {{false, 0, text}, {true, 0, text}});
}

}  // namespace narravox::app
