// SPDX-License-Identifier: MIT
#pragma once

#include <QClipboard>
#include <QWidget>
#include <algorithm>
#include <string>
#include <vector>

class QMenu;

namespace narravox::app {

// The single-line command line: code page 1251 text in the console font with a caret, typed in
// any keyboard layout or pasted. A character the code page lacks is refused, and the text never
// grows past the maximum length. Enter and the function keys are left to the window, which sees
// every key first. Otherwise it edits like the platform's own line edit: a selection by keys
// and mouse, the clipboard, undo and redo, and a context menu.
class CommandLine : public QWidget {
    Q_OBJECT

  public:
    explicit CommandLine(QWidget* parent = nullptr);

    const std::string& text() const { return text_; }
    // Replaces the text (cut to the maximum length), puts the caret after it and forgets what
    // could be undone: a new text is a new line, not an edit of the old one.
    void setText(const std::string& cp1251);
    void clear() { setText({}); }

    // 0 means no limit.
    void setMaxLength(int length);
    int maxLength() const { return max_length_; }

    // The caret stands before the character at this index; text().size() puts it at the end.
    int cursorPosition() const { return cursor_; }
    // Moves the caret and drops the selection.
    void setCursorPosition(int position);

    // The selection runs between the anchor and the caret, whichever comes first.
    bool hasSelectedText() const { return anchor_ != cursor_; }
    int selectionStart() const { return std::min(anchor_, cursor_); }
    int selectionEnd() const { return std::max(anchor_, cursor_); }
    std::string selectedText() const;
    // Selects `length` characters from `start`; the caret ends at start + length, so a negative
    // length selects backwards.
    void setSelection(int start, int length);
    void selectAll();
    void deselect();

    // Inserts Unicode text at the caret in place of the selection, as typing or pasting it
    // would. Stops at a line break, drops characters the code page lacks and what does not
    // fit. Returns whether all of it went in.
    bool insert(const QString& text);

    void cut();
    void copy(QClipboard::Mode mode = QClipboard::Clipboard) const;
    void paste(QClipboard::Mode mode = QClipboard::Clipboard);
    // Removes the selected text, as the Delete key does.
    void del();

    bool isUndoAvailable() const { return !undo_.empty(); }
    bool isRedoAvailable() const { return !redo_.empty(); }
    void undo();
    void redo();

    // The menu that a right click or the Menu key opens, its actions enabled as they apply
    // now. The caller owns it.
    QMenu* createContextMenu();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;

  private:
    // What an undo step brings back.
    struct Snapshot {
        std::string text;
        int cursor = 0;
        int anchor = 0;
    };
    // Edits of the same kind in a row, with nothing else in between, undo as one step.
    enum class EditKind { Typing, Erasing, Other };

    Snapshot snapshot() const { return {text_, cursor_, anchor_}; }
    // Every change of the caret or the selection goes through here; positions are clamped.
    void setAnchorAndCursor(int anchor, int cursor);
    // Every change of the text goes through here: replaces [from, to) with code page 1251 text
    // already checked and cut to fit, leaves the caret after it and records the undo step.
    void replace(int from, int to, const std::string& bytes, EditKind kind);
    bool insertText(const QString& text, EditKind kind);
    void restore(std::vector<Snapshot>& from, std::vector<Snapshot>& to);
    // Repaints and tells the clipboard and assistive technologies what changed since `before`.
    void changed(const Snapshot& before);
    void notifyAccessibility(const Snapshot& before);
    int cellAt(const QPoint& point) const;
    int wordStartBefore(int position) const;
    int wordEndAfter(int position) const;

    std::string text_;
    int max_length_ = 0;
    int cursor_ = 0;
    int anchor_ = 0;
    std::vector<Snapshot> undo_;
    std::vector<Snapshot> redo_;
    EditKind last_edit_ = EditKind::Other;
    bool selecting_ = false;
};

}  // namespace narravox::app
