// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#include "interp/game.h"

namespace narravox {

// Flag n is bit n mod 8 of byte n div 8. Negative flag numbers lie outside the set: setting or
// clearing one changes nothing, and testing one is false.
void SetFlag(FlagSet& flags, std::int16_t flag);
void ClearFlag(FlagSet& flags, std::int16_t flag);
bool TestFlag(const FlagSet& flags, std::int16_t flag);

}  // namespace narravox
