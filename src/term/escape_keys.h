// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string_view>

// Escape sequences that the terminal description does not know. Terminals and multiplexers
// disagree about what Home, End and their neighbours send (tmux and PuTTY send ESC [1~ for
// Home while terminfo's xterm says ESC O H), so the sequences in common use are recognised
// whatever terminfo says, and any other sequence is dropped whole rather than typed into the
// line.
namespace narravox::term {

enum class EscapeKey {
    kUp,
    kDown,
    kLeft,
    kRight,
    kHome,
    kEnd,
    kInsert,
    kDelete,
    kPageUp,
    kPageDown,
    kF1,
    kF2,
    kF3,
    kF4,
    kF5,
    kF6,
    kF7,
    kF8,
    kF9,
    kF10,
    kF11,
    kF12,
};

// Whether `after_escape`, the characters read after ESC, is a whole sequence: the key reader
// stops there, and also when no further character arrives in time.
bool IsCompleteEscapeSequence(std::u32string_view after_escape);

// The key a sequence stands for (modifiers such as Ctrl in ESC [1;5H are ignored, as the
// keys act the same with them held down), or nothing for a sequence to drop. An empty
// sequence is Esc itself and is the caller's to handle.
std::optional<EscapeKey> DecodeEscapeSequence(std::u32string_view after_escape);

// The longest sequence worth reading; anything longer is dropped.
inline constexpr std::size_t kMaxEscapeSequenceLength = 16;

}  // namespace narravox::term
