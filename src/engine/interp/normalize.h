// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

namespace narravox {

// Lower-cases code page 1251 text: Latin and Cyrillic capitals, including the Serbian,
// Macedonian, Ukrainian and Belarusian letters; every other byte stays.
std::string LowerCase(std::string_view text);

// Runs of spaces made single, spaces at either end removed, then lower case.
std::string NormalizeCommand(std::string_view text);

// Every "ё" becomes "е" and every "Ё" becomes "Е"; nothing else changes.
std::string FoldYo(std::string_view text);

}  // namespace narravox
