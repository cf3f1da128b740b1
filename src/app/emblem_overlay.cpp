// SPDX-License-Identifier: MIT
#include "emblem_overlay.h"

#include <QPainter>
#include <QRegion>

#include "console_font.h"

namespace narravox::app {

EmblemOverlay::EmblemOverlay(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    hide();
}

void EmblemOverlay::showEmblem(EmblemLayout layout, QRect uncovered) {
    layout_ = layout;
    uncovered_ = uncovered;
    setGeometry(parentWidget()->rect());
    raise();
    show();
    update();
}

void EmblemOverlay::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setClipRegion(QRegion(rect()).subtracted(uncovered_));
    // Outlines only: whatever text lies beneath shows through.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(kSilver), 1));
    const auto point = [this](EmblemPoint p) { return QPoint(layout_.X(p), layout_.Y(p)); };
    const QPoint top_left = point(kEmblemCircle[0]);
    const QPoint bottom_right = point(kEmblemCircle[1]);
    // The bounding box's right and bottom edges lie just outside the circle, as on the platform
    // the emblem was designed for.
    painter.drawEllipse(QRect(top_left, bottom_right - QPoint(1, 1)));
    for (const auto& run : kEmblemLines) {
        for (std::size_t i = 1; i < run.size(); ++i) {
            painter.drawLine(point(run[i - 1]), point(run[i]));
        }
    }
}

}  // namespace narravox::app
