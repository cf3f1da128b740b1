// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Conversion between the engine's code page 1251 text and Unicode. The engine itself never
// converts; front-ends and tools do it at their edges.
namespace narravox {

// The Unicode character a code page 1251 byte stands for. The one byte the code page leaves
// unassigned (0x98) comes back as U+FFFD.
char32_t Cp1251ToUnicode(unsigned char byte);

// The code page 1251 byte of a character, or nothing when the code page lacks it.
std::optional<unsigned char> UnicodeToCp1251(char32_t code_point);

std::string Cp1251ToUtf8(std::string_view text);

// Decodes the UTF-8 sequence at `pos` and moves `pos` past it. Returns false (and moves `pos`
// one byte on) for a malformed sequence, so a caller can report it and go on.
bool NextUtf8(std::string_view text, std::size_t& pos, char32_t& code_point);

void AppendUtf8(std::string& out, char32_t code_point);

// Whole-text conversion; nothing when a character is malformed or missing from the code page.
std::optional<std::string> Utf8ToCp1251(std::string_view text);

// Conversion that drops what it cannot convert and counts it in `dropped`.
std::string Utf8ToCp1251Lossy(std::string_view text, std::size_t* dropped = nullptr);

}  // namespace narravox
