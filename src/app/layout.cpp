// SPDX-License-Identifier: MIT
#include "layout.h"

#include "frontend_rules.h"

namespace narravox::app {
namespace {

constexpr int kDesignWidth = 314;
constexpr int kDesignHeight = 83;
constexpr int kTitleHeight = 16;
constexpr int kEditHeight = 24;
// The prompt label sizes itself to its one character.
constexpr int kPromptWidth = kCellWidth;

}  // namespace

WindowLayout DesignLayout(int screen_width, int screen_height) {
    WindowLayout layout;
    layout.Window = {(screen_width - kDesignWidth) / 2, (screen_height - kDesignHeight) / 2,
                     kDesignWidth, kDesignHeight};
    layout.Title = {0, 0, 48, kTitleHeight};
    layout.TextWindow = {0, 16, 40, 16};
    layout.Label1 = {0, 56, kPromptWidth, kCellHeight};
    layout.Edit = {kPromptWidth, 56, 297, kEditHeight};
    return layout;
}

WindowLayout FullScreenLayout(int screen_width, int screen_height) {
    const int w = screen_width;
    const int h = screen_height;
    WindowLayout layout;
    layout.Window = {0, 0, w, h};
    layout.Title = {0, 0, w, kTitleHeight};
    layout.TextWindow = {0, kTitleHeight, w, h - kTitleHeight - kEditHeight};
    layout.Label1 = {0, h - kEditHeight, kPromptWidth, kCellHeight};
    layout.Edit = {kPromptWidth, h - kEditHeight, w - kPromptWidth, kEditHeight};
    layout.VisibleLines = layout.TextWindow.height / kCellHeight;
    layout.LineWidth = w / kCellWidth;
    // An echoed line, ">" and the command, then fits one line of the text window exactly.
    layout.EditMaxLength = static_cast<int>(CommandLineLength(layout.LineWidth));
    return layout;
}

}  // namespace narravox::app
