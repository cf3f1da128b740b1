// SPDX-License-Identifier: MIT
#include "console_label.h"

#include <QPainter>
#include <string_view>
#include <utility>

#include "accessibility.h"
#include "cp1251.h"
#include "layout.h"

namespace narravox::app {

QString FromCp1251(const QByteArray& cp1251) {
    QString text;
    text.reserve(cp1251.size());
    for (const char byte : cp1251) {
        const char32_t code_point = Cp1251ToUnicode(static_cast<unsigned char>(byte));
        // Every code page 1251 character lies in the Basic Multilingual Plane, so one byte is
        // one UTF-16 unit and offsets into the text agree with cell columns.
        text.append(QChar(static_cast<char16_t>(code_point)));
    }
    return text;
}

ConsoleLabel::ConsoleLabel(QRgb foreground, QRgb background, QWidget* parent)
    : QWidget(parent), foreground_(foreground), background_(background) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
}

void ConsoleLabel::setText(const QByteArray& cp1251) {
    if (cp1251 == text_) {
        return;
    }
    const QByteArray before = std::exchange(text_, cp1251);
    update();
    AnnounceLabelChange(this, before);
}

QString ConsoleLabel::unicodeText() const {
    return FromCp1251(text_);
}

void ConsoleLabel::paintEvent(QPaintEvent*) {
    QImage image(size(), QImage::Format_RGB32);
    image.fill(background_);
    const std::string_view text(text_.constData(), static_cast<std::size_t>(text_.size()));
    int y = 0;
    std::size_t start = 0;
    while (start <= text.size() && y < height()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        DrawCells(image, 0, y, text.substr(start, end - start), foreground_, background_);
        y += kCellHeight;
        start = end + 1;
    }
    QPainter painter(this);
    // No smoothing: each pixel of the picture becomes a block of device pixels.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(rect(), image);
}

}  // namespace narravox::app
