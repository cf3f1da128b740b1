// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QRgb>
#include <QString>
#include <QWidget>

#include "console_font.h"

namespace narravox::app {

// A label that shows code page 1251 text in the console font, one line per line feed from the
// top, cut off at its edges. It draws at one pixel per cell pixel and lets the painter scale
// the picture to the display, without smoothing, so that glyphs stay crisp on dense screens.
class ConsoleLabel : public QWidget {
    Q_OBJECT

  public:
    explicit ConsoleLabel(QRgb foreground, QRgb background, QWidget* parent = nullptr);

    void setText(const QByteArray& cp1251);
    const QByteArray& text() const { return text_; }

    // The text in Unicode, for assistive technology.
    QString unicodeText() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QByteArray text_;
    QRgb foreground_;
    QRgb background_;
};

// Code page 1251 bytes to Unicode; a line feed stays a line feed.
QString FromCp1251(const QByteArray& cp1251);

}  // namespace narravox::app
