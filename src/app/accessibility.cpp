// SPDX-License-Identifier: MIT
#include "accessibility.h"

#include <QAccessibleWidget>

#include "command_line.h"
#include "console_label.h"
#include "layout.h"

namespace narravox::app {
namespace {

// A label's text as a screen reader sees it: all of it, one line per line feed, with the
// character offsets the text-changed events refer to.
class AccessibleConsoleLabel : public QAccessibleWidget, public QAccessibleTextInterface {
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
        return result;
    }

    // Nothing in the console can be selected.
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return characterCount(); }
    void setCursorPosition(int) override {}

    QString text(int start, int end) const override {
        return label()->unicodeText().mid(start, end - start);
    }
    int characterCount() const override { return static_cast<int>(label()->text().size()); }

    QRect characterRect(int offset) const override {
        const QByteArray& bytes = label()->text();
        int line = 0;
        int column = 0;
        for (int i = 0; i < offset && i < bytes.size(); ++i) {
            if (bytes[i] == '\n') {
                ++line;
                column = 0;
            } else {
                ++column;
            }
        }
        const QPoint origin = label()->mapToGlobal(QPoint(0, 0));
        return {origin.x() + column * kCellWidth, origin.y() + line * kCellHeight, kCellWidth,
                kCellHeight};
    }

    int offsetAtPoint(const QPoint& point) const override {
        const QPoint local = label()->mapFromGlobal(point);
        const QByteArray& bytes = label()->text();
        const int wanted_line = local.y() / kCellHeight;
        const int wanted_column = local.x() / kCellWidth;
        int line = 0;
        int column = 0;
        for (int i = 0; i < bytes.size(); ++i) {
            if (line == wanted_line && (column == wanted_column || bytes[i] == '\n')) {
                return i;
            }
            if (bytes[i] == '\n') {
                ++line;
                column = 0;
            } else {
                ++column;
            }
        }
        return -1;
    }

    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* start, int* end) const override {
        *start = *end = offset;
        return {};
    }

  private:
    ConsoleLabel* label() const { return static_cast<ConsoleLabel*>(widget()); }
};

class AccessibleCommandLine : public QAccessibleWidget {
  public:
    explicit AccessibleCommandLine(CommandLine* edit)
        : QAccessibleWidget(edit, QAccessible::EditableText) {}

    QString text(QAccessible::Text type) const override {
        if (type == QAccessible::Value) {
            const std::string& bytes = static_cast<CommandLine*>(widget())->text();
            return FromCp1251(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
        }
        return QAccessibleWidget::text(type);
    }
};

}  // namespace

QAccessibleInterface* AccessibleConsoleFactory(const QString&, QObject* object) {
    if (auto* label = qobject_cast<ConsoleLabel*>(object)) {
        return new AccessibleConsoleLabel(label);
    }
    if (auto* edit = qobject_cast<CommandLine*>(object)) {
        return new AccessibleCommandLine(edit);
    }
    return nullptr;
}

void InstallAccessibility() {
    QAccessible::installFactory(AccessibleConsoleFactory);
}

}  // namespace narravox::app
