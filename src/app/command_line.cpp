// SPDX-License-Identifier: MIT
#include "command_line.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QPainter>
#include <algorithm>
#include <functional>
#include <initializer_list>
#include <string_view>
#include <utility>

#include "accessibility.h"
#include "console_font.h"
#include "console_label.h"
#include "cp1251.h"
#include "layout.h"

namespace narravox::app {
namespace {

bool IsSpace(char byte) {
    return byte == ' ';
}

QString Unicode(std::string_view cp1251) {
    return FromCp1251(QByteArray(cp1251.data(), static_cast<qsizetype>(cp1251.size())));
}

// The platform's own binding for an editing action, or one of the bindings common elsewhere,
// so that a player used to another system finds Ctrl+Y or Shift+Delete where they expect it.
bool Matches(const QKeyEvent* event, QKeySequence::StandardKey action,
             std::initializer_list<QKeyCombination> also = {}) {
    if (event->matches(action)) {
        return true;
    }
    const QKeyCombination pressed(event->modifiers() & ~Qt::KeypadModifier,
                                  static_cast<Qt::Key>(event->key()));
    return std::find(also.begin(), also.end(), pressed) != also.end();
}

}  // namespace

CommandLine::CommandLine(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_InputMethodEnabled);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::IBeamCursor);
}

void CommandLine::setText(const std::string& cp1251) {
    const Snapshot before = snapshot();
    text_ = cp1251;
    if (max_length_ > 0 && text_.size() > static_cast<std::size_t>(max_length_)) {
        text_.resize(static_cast<std::size_t>(max_length_));
    }
    cursor_ = anchor_ = static_cast<int>(text_.size());
    undo_.clear();
    redo_.clear();
    last_edit_ = EditKind::Other;
    changed(before);
}

void CommandLine::setMaxLength(int length) {
    max_length_ = std::max(length, 0);
    // The undo steps survive a new limit that the text already keeps to, as when the window
    // is resized; restoring one cuts it again.
    if (max_length_ > 0 && text_.size() > static_cast<std::size_t>(max_length_)) {
        setText(text_);
    }
}

void CommandLine::setCursorPosition(int position) {
    setAnchorAndCursor(position, position);
}

std::string CommandLine::selectedText() const {
    return text_.substr(static_cast<std::size_t>(selectionStart()),
                        static_cast<std::size_t>(selectionEnd() - selectionStart()));
}

void CommandLine::setSelection(int start, int length) {
    setAnchorAndCursor(start, start + length);
}

void CommandLine::selectAll() {
    setAnchorAndCursor(0, static_cast<int>(text_.size()));
}

void CommandLine::deselect() {
    setAnchorAndCursor(cursor_, cursor_);
}

void CommandLine::setAnchorAndCursor(int anchor, int cursor) {
    const Snapshot before = snapshot();
    const int size = static_cast<int>(text_.size());
    anchor_ = std::clamp(anchor, 0, size);
    cursor_ = std::clamp(cursor, 0, size);
    last_edit_ = EditKind::Other;
    changed(before);
}

void CommandLine::replace(int from, int to, const std::string& bytes, EditKind kind) {
    const Snapshot before = snapshot();
    // A run of typed characters, or of characters erased one at a time, undoes as one step.
    if (kind == EditKind::Other || kind != last_edit_) {
        undo_.push_back(before);
    }
    redo_.clear();
    text_.replace(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from), bytes);
    cursor_ = anchor_ = from + static_cast<int>(bytes.size());
    last_edit_ = kind;
    changed(before);
}

bool CommandLine::insert(const QString& text) {
    return insertText(text, EditKind::Other);
}

bool CommandLine::insertText(const QString& text, EditKind kind) {
    std::string bytes;
    bool whole = true;
    for (const char32_t code_point : text.toUcs4()) {
        if (code_point == U'\n' || code_point == U'\r') {
            whole = false;
            break;
        }
        const auto byte = UnicodeToCp1251(code_point);
        // Control characters have no place in a command; code points the code page lacks are
        // refused rather than replaced, so the engine only ever sees what the player typed.
        if (!byte || *byte < 0x20 || *byte == 0x7F) {
            whole = false;
            continue;
        }
        bytes.push_back(static_cast<char>(*byte));
    }
    if (max_length_ > 0) {
        // The selection makes room for what replaces it.
        const std::size_t limit = static_cast<std::size_t>(max_length_);
        const std::size_t kept =
            text_.size() - static_cast<std::size_t>(selectionEnd() - selectionStart());
        const std::size_t room = limit - std::min(kept, limit);
        if (bytes.size() > room) {
            bytes.resize(room);
            whole = false;
        }
    }
    // When nothing is left to insert the selection stays: a refused key must not erase it.
    if (!bytes.empty()) {
        replace(selectionStart(), selectionEnd(), bytes, kind);
    }
    return whole;
}

void CommandLine::cut() {
    if (hasSelectedText()) {
        copy();
        del();
    }
}

void CommandLine::copy(QClipboard::Mode mode) const {
    if (hasSelectedText()) {
        QApplication::clipboard()->setText(Unicode(selectedText()), mode);
    }
}

void CommandLine::paste(QClipboard::Mode mode) {
    insertText(QApplication::clipboard()->text(mode), EditKind::Other);
}

void CommandLine::del() {
    if (hasSelectedText()) {
        replace(selectionStart(), selectionEnd(), {}, EditKind::Other);
    }
}

void CommandLine::undo() {
    restore(undo_, redo_);
}

void CommandLine::redo() {
    restore(redo_, undo_);
}

void CommandLine::restore(std::vector<Snapshot>& from, std::vector<Snapshot>& to) {
    if (from.empty()) {
        return;
    }
    const Snapshot before = snapshot();
    to.push_back(before);
    Snapshot& state = from.back();
    text_ = std::move(state.text);
    cursor_ = state.cursor;
    anchor_ = state.anchor;
    from.pop_back();
    // The limit may have shrunk since the step was recorded.
    if (max_length_ > 0 && text_.size() > static_cast<std::size_t>(max_length_)) {
        text_.resize(static_cast<std::size_t>(max_length_));
        cursor_ = std::min(cursor_, max_length_);
        anchor_ = std::min(anchor_, max_length_);
    }
    last_edit_ = EditKind::Other;
    changed(before);
}

void CommandLine::changed(const Snapshot& before) {
    update();
    notifyAccessibility(before);
    // Selected text becomes the primary selection where the platform has one, for a middle
    // click elsewhere to paste. A drag with the mouse sets it once, when the button is let go.
    const bool selection_moved = std::min(before.anchor, before.cursor) != selectionStart() ||
                                 std::max(before.anchor, before.cursor) != selectionEnd();
    if (hasSelectedText() && !selecting_ && (selection_moved || before.text != text_) &&
        QApplication::clipboard()->supportsSelection()) {
        copy(QClipboard::Selection);
    }
}

void CommandLine::notifyAccessibility(const Snapshot& before) {
    // Screen readers see the command line as the end of the console's text, so positions count
    // from the console's top.
    const int base = CommandLineTextOffset(this);
    if (before.text != text_) {
        // Only the part that differs is reported, so that a screen reader speaks what was typed
        // or erased rather than the whole line again.
        const std::string_view old_text(before.text);
        const std::string_view new_text(text_);
        const std::size_t prefix = static_cast<std::size_t>(
            std::mismatch(old_text.begin(), old_text.end(), new_text.begin(), new_text.end())
                .first -
            old_text.begin());
        std::size_t suffix = 0;
        while (suffix < old_text.size() - prefix && suffix < new_text.size() - prefix &&
               old_text[old_text.size() - 1 - suffix] == new_text[new_text.size() - 1 - suffix]) {
            ++suffix;
        }
        const auto removed = old_text.substr(prefix, old_text.size() - prefix - suffix);
        const auto inserted = new_text.substr(prefix, new_text.size() - prefix - suffix);
        if (!removed.empty()) {
            QAccessibleTextRemoveEvent event(this, base + static_cast<int>(prefix),
                                             Unicode(removed));
            QAccessible::updateAccessibility(&event);
        }
        if (!inserted.empty()) {
            QAccessibleTextInsertEvent event(this, base + static_cast<int>(prefix),
                                             Unicode(inserted));
            QAccessible::updateAccessibility(&event);
        }
    }
    const int old_start = std::min(before.anchor, before.cursor);
    const int old_end = std::max(before.anchor, before.cursor);
    if ((old_start != old_end || hasSelectedText()) &&
        (old_start != selectionStart() || old_end != selectionEnd())) {
        QAccessibleTextSelectionEvent event(this, base + selectionStart(), base + selectionEnd());
        event.setCursorPosition(base + cursor_);
        QAccessible::updateAccessibility(&event);
    } else if (before.cursor != cursor_) {
        QAccessibleTextCursorEvent event(this, base + cursor_);
        QAccessible::updateAccessibility(&event);
    }
}

int CommandLine::wordStartBefore(int position) const {
    while (position > 0 && IsSpace(text_[static_cast<std::size_t>(position - 1)])) {
        --position;
    }
    while (position > 0 && !IsSpace(text_[static_cast<std::size_t>(position - 1)])) {
        --position;
    }
    return position;
}

int CommandLine::wordEndAfter(int position) const {
    const int size = static_cast<int>(text_.size());
    while (position < size && !IsSpace(text_[static_cast<std::size_t>(position)])) {
        ++position;
    }
    while (position < size && IsSpace(text_[static_cast<std::size_t>(position)])) {
        ++position;
    }
    return position;
}

void CommandLine::keyPressEvent(QKeyEvent* event) {
    if (Matches(event, QKeySequence::Undo, {Qt::CTRL | Qt::Key_Z})) {
        undo();
        return;
    }
    if (Matches(event, QKeySequence::Redo,
                {Qt::CTRL | Qt::SHIFT | Qt::Key_Z, Qt::CTRL | Qt::Key_Y})) {
        redo();
        return;
    }
    if (Matches(event, QKeySequence::Cut, {Qt::CTRL | Qt::Key_X, Qt::SHIFT | Qt::Key_Delete})) {
        cut();
        return;
    }
    if (Matches(event, QKeySequence::Copy, {Qt::CTRL | Qt::Key_C, Qt::CTRL | Qt::Key_Insert})) {
        copy();
        return;
    }
    if (Matches(event, QKeySequence::Paste, {Qt::CTRL | Qt::Key_V, Qt::SHIFT | Qt::Key_Insert})) {
        paste();
        return;
    }
    if (Matches(event, QKeySequence::SelectAll, {Qt::CTRL | Qt::Key_A})) {
        selectAll();
        return;
    }
    const bool word = event->modifiers() & Qt::ControlModifier;
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    const int size = static_cast<int>(text_.size());
    switch (event->key()) {
        // Left or Right alone on a selection puts the caret at that end of it, as edit boxes do.
        case Qt::Key_Left:
            if (hasSelectedText() && !extend && !word) {
                setCursorPosition(selectionStart());
            } else {
                const int to = word ? wordStartBefore(cursor_) : cursor_ - 1;
                setAnchorAndCursor(extend ? anchor_ : to, to);
            }
            return;
        case Qt::Key_Right:
            if (hasSelectedText() && !extend && !word) {
                setCursorPosition(selectionEnd());
            } else {
                const int to = word ? wordEndAfter(cursor_) : cursor_ + 1;
                setAnchorAndCursor(extend ? anchor_ : to, to);
            }
            return;
        case Qt::Key_Home:
            setAnchorAndCursor(extend ? anchor_ : 0, 0);
            return;
        case Qt::Key_End:
            setAnchorAndCursor(extend ? anchor_ : size, size);
            return;
        case Qt::Key_Backspace:
            if (hasSelectedText()) {
                del();
            } else if (cursor_ > 0) {
                replace(word ? wordStartBefore(cursor_) : cursor_ - 1, cursor_, {},
                        word ? EditKind::Other : EditKind::Erasing);
            }
            return;
        case Qt::Key_Delete:
            if (hasSelectedText()) {
                del();
            } else if (cursor_ < size) {
                replace(cursor_, word ? wordEndAfter(cursor_) : cursor_ + 1, {},
                        word ? EditKind::Other : EditKind::Erasing);
            }
            return;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return;
        default:
            break;
    }
    const QString typed = event->text();
    // With Ctrl or Alt held a key is a shortcut, not a character, even where the platform
    // reports a control character for it.
    if (!typed.isEmpty() && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) &&
        typed.at(0).isPrint()) {
        if (!insertText(typed, EditKind::Typing)) {
            QApplication::beep();
        }
        return;
    }
    // The Menu key is left unhandled: the platform then asks for the context menu.
    QWidget::keyPressEvent(event);
}

void CommandLine::inputMethodEvent(QInputMethodEvent* event) {
    if (!event->commitString().isEmpty() && !insertText(event->commitString(), EditKind::Typing)) {
        QApplication::beep();
    }
    event->accept();
}

QVariant CommandLine::inputMethodQuery(Qt::InputMethodQuery query) const {
    switch (query) {
        case Qt::ImEnabled:
            return true;
        case Qt::ImCursorRectangle:
            return QRect(cursor_ * kCellWidth, 0, 1, kCellHeight);
        case Qt::ImCursorPosition:
            return cursor_;
        case Qt::ImAnchorPosition:
            return anchor_;
        case Qt::ImSurroundingText:
            return Unicode(text_);
        case Qt::ImCurrentSelection:
            return Unicode(selectedText());
        case Qt::ImMaximumTextLength:
            return max_length_ > 0 ? QVariant(max_length_) : QVariant();
        default:
            return QWidget::inputMethodQuery(query);
    }
}

int CommandLine::cellAt(const QPoint& point) const {
    // A click goes to the nearer edge of the cell it hits.
    return std::clamp((point.x() + kCellWidth / 2) / kCellWidth, 0, static_cast<int>(text_.size()));
}

void CommandLine::mousePressEvent(QMouseEvent* event) {
    const int position = cellAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton) {
        // Shift with a click extends the selection, as it does with the arrow keys.
        const bool extend = event->modifiers() & Qt::ShiftModifier;
        selecting_ = true;
        setAnchorAndCursor(extend ? anchor_ : position, position);
        event->accept();
        return;
    }
    if (event->button() == Qt::MiddleButton && QApplication::clipboard()->supportsSelection()) {
        setCursorPosition(position);
        paste(QClipboard::Selection);
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void CommandLine::mouseMoveEvent(QMouseEvent* event) {
    if (selecting_ && (event->buttons() & Qt::LeftButton)) {
        setAnchorAndCursor(anchor_, cellAt(event->position().toPoint()));
    }
}

void CommandLine::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && std::exchange(selecting_, false) &&
        hasSelectedText() && QApplication::clipboard()->supportsSelection()) {
        copy(QClipboard::Selection);
    }
}

void CommandLine::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || text_.empty()) {
        return;
    }
    selecting_ = false;
    // A double click on a word selects the word; on the spaces between words, the spaces.
    const int size = static_cast<int>(text_.size());
    const int cell = std::clamp(event->position().toPoint().x() / kCellWidth, 0, size - 1);
    const bool space = IsSpace(text_[static_cast<std::size_t>(cell)]);
    int start = cell;
    int end = cell + 1;
    while (start > 0 && IsSpace(text_[static_cast<std::size_t>(start - 1)]) == space) {
        --start;
    }
    while (end < size && IsSpace(text_[static_cast<std::size_t>(end)]) == space) {
        ++end;
    }
    setAnchorAndCursor(start, end);
    event->accept();
}

QMenu* CommandLine::createContextMenu() {
    auto* menu = new QMenu(this);
    const auto add = [this, menu](const QString& label, QKeySequence::StandardKey shortcut,
                                  bool enabled, const std::function<void()>& action) {
        // The shortcut follows a tab, which a menu shows right-aligned without binding it.
        const QString keys = QKeySequence(shortcut).toString(QKeySequence::NativeText);
        QAction* item = menu->addAction(keys.isEmpty() ? label : label + u'\t' + keys);
        item->setEnabled(enabled);
        connect(item, &QAction::triggered, this, action);
    };
    // Pasting applies only while the clipboard holds text and the line has room for some.
    const std::size_t kept =
        text_.size() - static_cast<std::size_t>(selectionEnd() - selectionStart());
    const bool room = max_length_ == 0 || kept < static_cast<std::size_t>(max_length_);
    const bool can_paste = room && !QApplication::clipboard()->text().isEmpty();
    const bool all_selected =
        selectionStart() == 0 && selectionEnd() == static_cast<int>(text_.size());
    add(QStringLiteral("&Отменить"), QKeySequence::Undo, isUndoAvailable(), [this] { undo(); });
    add(QStringLiteral("&Повторить"), QKeySequence::Redo, isRedoAvailable(), [this] { redo(); });
    menu->addSeparator();
    add(QStringLiteral("&Вырезать"), QKeySequence::Cut, hasSelectedText(), [this] { cut(); });
    add(QStringLiteral("&Копировать"), QKeySequence::Copy, hasSelectedText(), [this] { copy(); });
    add(QStringLiteral("В&ставить"), QKeySequence::Paste, can_paste, [this] { paste(); });
    add(QStringLiteral("&Удалить"), QKeySequence::Delete, hasSelectedText(), [this] { del(); });
    menu->addSeparator();
    add(QStringLiteral("В&ыделить всё"), QKeySequence::SelectAll, !text_.empty() && !all_selected,
        [this] { selectAll(); });
    return menu;
}

void CommandLine::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // From the keyboard the menu opens below the caret, where the player is looking; a right
    // click opens it under the pointer.
    const QPoint at = event->reason() == QContextMenuEvent::Mouse
                          ? event->globalPos()
                          : mapToGlobal(QPoint(cursor_ * kCellWidth, kCellHeight));
    menu->popup(at);
    event->accept();
}

void CommandLine::focusInEvent(QFocusEvent* event) {
    update();
    QWidget::focusInEvent(event);
}

void CommandLine::focusOutEvent(QFocusEvent* event) {
    update();
    QWidget::focusOutEvent(event);
}

bool CommandLine::focusNextPrevChild(bool) {
    // The command line is the window's only control that takes the focus; Tab keeps it here.
    return false;
}

void CommandLine::paintEvent(QPaintEvent*) {
    QImage image(size(), QImage::Format_RGB32);
    image.fill(kBlack);
    const std::string_view text(text_);
    const auto start = static_cast<std::size_t>(selectionStart());
    const auto end = static_cast<std::size_t>(selectionEnd());
    DrawCells(image, 0, 0, text.substr(0, start), kSilver, kBlack);
    // Selected cells are inverted, black on silver, the way the console marks a block.
    DrawCells(image, static_cast<int>(start) * kCellWidth, 0, text.substr(start, end - start),
              kBlack, kSilver);
    DrawCells(image, static_cast<int>(end) * kCellWidth, 0, text.substr(end), kSilver, kBlack);
    if (hasFocus()) {
        // A thin bar before the character at the caret, the height of a cell, as edit boxes
        // show it; at the very end of a full line it stays inside the box. On a selected cell
        // it is drawn in black so that it still shows.
        const int x = std::min(cursor_ * kCellWidth, std::max(width() - 1, 0));
        const bool on_selection = cursor_ >= selectionStart() && cursor_ < selectionEnd();
        for (int y = 0; y < kCellHeight && y < image.height(); ++y) {
            image.setPixel(x, y, on_selection ? kBlack : kSilver);
        }
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(rect(), image);
}

}  // namespace narravox::app
