// SPDX-License-Identifier: MIT
#include "escape_keys.h"

namespace narravox::term {
namespace {

bool IsFinalByte(char32_t c) {
    return c >= 0x40 && c <= 0x7E;
}

// Parameters of a sequence: digits and the semicolons between them, as in "1;5".
bool IsParameterText(std::u32string_view text) {
    for (const char32_t c : text) {
        if ((c < U'0' || c > U'9') && c != U';') {
            return false;
        }
    }
    return true;
}

// The first number of the parameters, or 0 when there is none.
int FirstNumber(std::u32string_view parameters) {
    int number = 0;
    for (const char32_t c : parameters) {
        if (c == U';' || number > 1000) {
            break;
        }
        number = number * 10 + static_cast<int>(c - U'0');
    }
    return number;
}

// The keys that xterm, the VT220 and rxvt send as ESC [ number ~ (rxvt ends the sequence in
// ^, $ or @ instead when Ctrl or Shift is held).
std::optional<EscapeKey> NumberedKey(int number) {
    switch (number) {
        case 1:
        case 7:
            return EscapeKey::kHome;
        case 4:
        case 8:
            return EscapeKey::kEnd;
        case 2:
            return EscapeKey::kInsert;
        case 3:
            return EscapeKey::kDelete;
        case 5:
            return EscapeKey::kPageUp;
        case 6:
            return EscapeKey::kPageDown;
        case 11:
        case 12:
        case 13:
        case 14:
        case 15:
            return static_cast<EscapeKey>(static_cast<int>(EscapeKey::kF1) + number - 11);
        case 17:
        case 18:
        case 19:
        case 20:
        case 21:
            return static_cast<EscapeKey>(static_cast<int>(EscapeKey::kF6) + number - 17);
        case 23:
        case 24:
            return static_cast<EscapeKey>(static_cast<int>(EscapeKey::kF11) + number - 23);
        default:
            return std::nullopt;
    }
}

// The keys whose sequence ends in a letter: the cursor keys, Home and End, and F1 to F4, as
// both ESC [ and ESC O sequences send them.
std::optional<EscapeKey> LetterKey(char32_t letter) {
    switch (letter) {
        case U'A':
            return EscapeKey::kUp;
        case U'B':
            return EscapeKey::kDown;
        case U'C':
            return EscapeKey::kRight;
        case U'D':
            return EscapeKey::kLeft;
        case U'H':
            return EscapeKey::kHome;
        case U'F':
            return EscapeKey::kEnd;
        case U'P':
            return EscapeKey::kF1;
        case U'Q':
            return EscapeKey::kF2;
        case U'R':
            return EscapeKey::kF3;
        case U'S':
            return EscapeKey::kF4;
        default:
            return std::nullopt;
    }
}

}  // namespace

bool IsCompleteEscapeSequence(std::u32string_view after_escape) {
    const std::size_t size = after_escape.size();
    if (size == 0) {
        return false;
    }
    if (size >= kMaxEscapeSequenceLength) {
        return true;
    }
    const char32_t introducer = after_escape[0];
    if (introducer != U'[' && introducer != U'O') {
        // Alt held with a key: ESC and that one character.
        return true;
    }
    if (size == 1) {
        return false;
    }
    // The Linux console sends F1 to F5 as ESC [ [ A to ESC [ [ E.
    if (introducer == U'[' && after_escape[1] == U'[') {
        return size >= 3;
    }
    const char32_t last = after_escape.back();
    // rxvt ends Shift with an editing key in $, which is no final byte elsewhere.
    if (introducer == U'[' && last == U'$' && size > 2 &&
        IsParameterText(after_escape.substr(1, size - 2))) {
        return true;
    }
    // A final byte ends the sequence; so does anything that cannot be part of one, which
    // leaves the whole broken sequence to be dropped.
    return IsFinalByte(last) || last < 0x20 || last > 0x7E;
}

std::optional<EscapeKey> DecodeEscapeSequence(std::u32string_view after_escape) {
    if (after_escape.size() < 2) {
        return std::nullopt;
    }
    const char32_t introducer = after_escape[0];
    if (introducer == U'[' && after_escape[1] == U'[') {
        if (after_escape.size() == 3 && after_escape[2] >= U'A' && after_escape[2] <= U'E') {
            return static_cast<EscapeKey>(static_cast<int>(EscapeKey::kF1) + after_escape[2] -
                                          U'A');
        }
        return std::nullopt;
    }
    if (introducer != U'[' && introducer != U'O') {
        return std::nullopt;
    }
    const char32_t last = after_escape.back();
    const std::u32string_view parameters = after_escape.substr(1, after_escape.size() - 2);
    if (!IsParameterText(parameters)) {
        return std::nullopt;
    }
    if (introducer == U'[' && (last == U'~' || last == U'^' || last == U'@' || last == U'$')) {
        return NumberedKey(FirstNumber(parameters));
    }
    return LetterKey(last);
}

}  // namespace narravox::term
