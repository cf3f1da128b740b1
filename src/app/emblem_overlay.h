// SPDX-License-Identifier: MIT
#pragma once

#include <QRect>
#include <QWidget>

#include "console/emblem.h"

namespace narravox::app {

// The hidden-mode emblem, laid over the whole window in silver outlines. The edit box is a
// window of its own on the platform the game was made for, so drawing on the main window never
// covered it; the overlay leaves it out the same way.
class EmblemOverlay : public QWidget {
    Q_OBJECT

  public:
    explicit EmblemOverlay(QWidget* parent);

    // Shows the emblem for a screen of the given size, leaving `uncovered` alone.
    void showEmblem(EmblemLayout layout, QRect uncovered);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    EmblemLayout layout_{};
    QRect uncovered_;
};

}  // namespace narravox::app
