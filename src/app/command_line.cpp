// SPDX-License-Identifier: MIT
#include "command_line.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPainter>
#include <algorithm>

#include "console_font.h"
#include "cp1251.h"
#include "layout.h"

namespace narravox::app {
namespace {

bool IsSpace(char byte) {
    return byte == ' ';
}

}  // namespace

CommandLine::CommandLine(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_InputMethodEnabled);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::IBeamCursor);
}

void CommandLine::setText(const std::string& cp1251) {
    text_ = cp1251;
    if (max_length_ > 0 && text_.size() > static_cast<std::size_t>(max_length_)) {
        text_.resize(static_cast<std::size_t>(max_length_));
    }
    cursor_ = static_cast<int>(text_.size());
    update();
}

void CommandLine::setMaxLength(int length) {
    max_length_ = std::max(length, 0);
    setText(text_);
}

void CommandLine::setCursorPosition(int position) {
    cursor_ = std::clamp(position, 0, static_cast<int>(text_.size()));
    update();
}

bool CommandLine::insert(const QString& text) {
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
        const std::size_t room = static_cast<std::size_t>(max_length_) -
                                 std::min(text_.size(), std::size_t(max_length_));
        if (bytes.size() > room) {
            bytes.resize(room);
            whole = false;
        }
    }
    text_.insert(static_cast<std::size_t>(cursor_), bytes);
    cursor_ += static_cast<int>(bytes.size());
    update();
    return whole;
}

void CommandLine::paste() {
    insert(QApplication::clipboard()->text());
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
    const bool word = event->modifiers() & Qt::ControlModifier;
    const auto at = static_cast<std::size_t>(cursor_);
    if (event->matches(QKeySequence::Paste) ||
        (event->key() == Qt::Key_Insert && event->modifiers() == Qt::ShiftModifier)) {
        paste();
        return;
    }
    switch (event->key()) {
        case Qt::Key_Left:
            setCursorPosition(word ? wordStartBefore(cursor_) : cursor_ - 1);
            return;
        case Qt::Key_Right:
            setCursorPosition(word ? wordEndAfter(cursor_) : cursor_ + 1);
            return;
        case Qt::Key_Home:
            setCursorPosition(0);
            return;
        case Qt::Key_End:
            setCursorPosition(static_cast<int>(text_.size()));
            return;
        case Qt::Key_Backspace:
            if (cursor_ > 0) {
                const int from = word ? wordStartBefore(cursor_) : cursor_ - 1;
                text_.erase(static_cast<std::size_t>(from), at - static_cast<std::size_t>(from));
                setCursorPosition(from);
            }
            return;
        case Qt::Key_Delete:
            if (at < text_.size()) {
                const int to = word ? wordEndAfter(cursor_) : cursor_ + 1;
                text_.erase(at, static_cast<std::size_t>(to) - at);
                update();
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
        if (!insert(typed)) {
            QApplication::beep();
        }
        return;
    }
    QWidget::keyPressEvent(event);
}

void CommandLine::inputMethodEvent(QInputMethodEvent* event) {
    if (!event->commitString().isEmpty() && !insert(event->commitString())) {
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
        case Qt::ImAnchorPosition:
            return cursor_;
        default:
            return QWidget::inputMethodQuery(query);
    }
}

void CommandLine::mousePressEvent(QMouseEvent* event) {
    const int cell = (event->position().toPoint().x() + kCellWidth / 2) / kCellWidth;
    setCursorPosition(cell);
    QWidget::mousePressEvent(event);
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
    DrawCells(image, 0, 0, text_, kSilver, kBlack);
    if (hasFocus()) {
        // A thin bar before the character at the caret, the height of a cell, as edit boxes
        // show it; at the very end of a full line it stays inside the box.
        const int x = std::min(cursor_ * kCellWidth, std::max(width() - 1, 0));
        for (int y = 0; y < kCellHeight && y < image.height(); ++y) {
            image.setPixel(x, y, kSilver);
        }
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(rect(), image);
}

}  // namespace narravox::app
