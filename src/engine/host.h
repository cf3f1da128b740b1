// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace narravox {

enum class BoxButtons { kOk, kYesNo };
enum class BoxIcon { kError, kWarning, kInformation, kQuestion };
enum class Button { kOk, kYes, kNo };

// A modal message box. Caption and text are code page 1251; a line feed breaks the text.
struct Box {
    std::string caption;
    std::string text;
    BoxButtons buttons = BoxButtons::kOk;
    BoxIcon icon = BoxIcon::kInformation;
};

// Which file the player is asked for: a saved game to load, or a name to save under.
enum class FileChoice { kOpen, kSave };

// What the engine needs from whoever shows the game to the player. Every call happens on the
// thread that called into the engine, while the engine waits for it to return.
class Host {
  public:
    virtual ~Host() = default;
    // Shows a modal box and waits for the player; returns the button pressed.
    virtual Button ShowBox(const Box& box) = 0;
    // Asks for a saved-game file name (default extension ".nvs" already applied); nothing when
    // the player cancels. A save choice has already asked before overwriting a file.
    virtual std::optional<std::string> ChooseFile(FileChoice choice) = 0;
    // Replaces the text of the title line (code page 1251).
    virtual void SetTitle(std::string_view text) = 0;
    // Shows the text window's current text on the screen at once.
    virtual void RepaintTextWindow() = 0;
    // Blocks until the local clock's seconds field changes; paces centred text. Keys typed
    // meanwhile are kept for later, not acted on.
    virtual void WaitForNextSecond() = 0;
};

// Sleeps until the seconds field of the clock next changes. Front-ends that have nothing else
// to do while centred text is paced call this from WaitForNextSecond.
void SleepUntilNextSecond();

}  // namespace narravox
