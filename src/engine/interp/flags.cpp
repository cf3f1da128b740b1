// SPDX-License-Identifier: MIT
#include "interp/flags.h"

namespace narravox {

void SetFlag(FlagSet& flags, std::int16_t flag) {
    if (flag >= 0) {
        flags[static_cast<std::size_t>(flag) / 8] |= static_cast<std::uint8_t>(1u << (flag % 8));
    }
}

void ClearFlag(FlagSet& flags, std::int16_t flag) {
    if (flag >= 0) {
        flags[static_cast<std::size_t>(flag) / 8] &= static_cast<std::uint8_t>(~(1u << (flag % 8)));
    }
}

bool TestFlag(const FlagSet& flags, std::int16_t flag) {
    if (flag < 0) {
        return false;
    }
    return (flags[static_cast<std::size_t>(flag) / 8] & (1u << (flag % 8))) != 0;
}

}  // namespace narravox
