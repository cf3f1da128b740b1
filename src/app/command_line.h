// SPDX-License-Identifier: MIT
#pragma once

#include <QWidget>
#include <string>

namespace narravox::app {

// The single-line command line: code page 1251 text in the console font with a caret, typed in
// any keyboard layout or pasted. A character the code page lacks is refused, and the text never
// grows past the maximum length. Enter and the function keys are left to the window, which sees
// every key first.
class CommandLine : public QWidget {
    Q_OBJECT

  public:
    explicit CommandLine(QWidget* parent = nullptr);

    const std::string& text() const { return text_; }
    // Replaces the text (cut to the maximum length) and puts the caret after it.
    void setText(const std::string& cp1251);
    void clear() { setText({}); }

    // 0 means no limit.
    void setMaxLength(int length);
    int maxLength() const { return max_length_; }

    // The caret stands before the character at this index; text().size() puts it at the end.
    int cursorPosition() const { return cursor_; }
    void setCursorPosition(int position);

    // Inserts Unicode text at the caret, as typing or pasting it would. Stops at a line break,
    // drops characters the code page lacks and what does not fit. Returns whether all of it
    // went in.
    bool insert(const QString& text);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;

  private:
    void paste();
    int wordStartBefore(int position) const;
    int wordEndAfter(int position) const;

    std::string text_;
    int max_length_ = 0;
    int cursor_ = 0;
};

}  // namespace narravox::app
