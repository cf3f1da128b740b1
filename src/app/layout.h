// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

namespace narravox::app {

// A control's place in the window's client area, in pixels.
struct Bounds {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    friend bool operator==(const Bounds&, const Bounds&) = default;
};

// Where the window and its four controls stand, and the text window's size in cells.
struct WindowLayout {
    Bounds Window;  // the client area on the screen
    Bounds Title;
    Bounds TextWindow;
    Bounds Label1;
    Bounds Edit;
    std::int32_t VisibleLines = 0;
    std::int32_t LineWidth = 0;
    // Most characters the command line holds; 0 means no limit of its own.
    int EditMaxLength = 0;
};

inline constexpr int kCellWidth = 8;
inline constexpr int kCellHeight = 16;

// The size the window shrinks to as it closes.
inline constexpr int kClosedWidth = 322;
inline constexpr int kClosedHeight = 110;

// The window as designed: 314 by 83 pixels centred on the screen, before start-up lays it out.
// It stays like this when reading the data files failed during their check.
WindowLayout DesignLayout(int screen_width, int screen_height);

// The full-screen console: the title line on top, the text window, and the prompt with the
// command line in the bottom 24 pixels.
WindowLayout FullScreenLayout(int screen_width, int screen_height);

}  // namespace narravox::app
