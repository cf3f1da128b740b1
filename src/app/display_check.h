// SPDX-License-Identifier: MIT
// Whether the window has a display to open, asked before Qt starts.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace narravox::app {

// Nothing when Qt can be left to open the window; otherwise why no window can be opened, as
// the end of a sentence ("cannot open the display \":1\""). Qt's X11 plugin aborts the
// program when its display cannot be opened, so the X11 case is tried here first with libxcb,
// which that plugin loads anyway. A platform other than X11 chosen with Qt's -platform option
// (given here as chosen_platform) or in QT_QPA_PLATFORM, or a Wayland session, is left to Qt.
std::optional<std::string> DisplayProblem(std::string_view chosen_platform = {});

}  // namespace narravox::app
