// SPDX-License-Identifier: MIT
#pragma once

#include <QIcon>
#include <QImage>

namespace narravox::app {

// The window's 32x32 two-colour icon: a console prompt, a ">" and a cursor bar, in a frame.
QImage WindowIconImage();
QIcon WindowIcon();

}  // namespace narravox::app
