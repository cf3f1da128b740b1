// SPDX-License-Identifier: MIT
#include "interp/normalize.h"

#include <array>

namespace narravox {
namespace {

constexpr std::array<unsigned char, 256> MakeLowerTable() {
    std::array<unsigned char, 256> table{};
    for (int i = 0; i < 256; ++i) {
        table[i] = static_cast<unsigned char>(i);
    }
    for (int i = 'A'; i <= 'Z'; ++i) {
        table[i] = static_cast<unsigned char>(i + 0x20);
    }
    for (int i = 0xC0; i <= 0xDF; ++i) {
        table[i] = static_cast<unsigned char>(i + 0x20);
    }
    constexpr unsigned char pairs[][2] = {
        {0xA8, 0xB8}, {0x80, 0x90}, {0x81, 0x83}, {0x8A, 0x9A}, {0x8C, 0x9C},
        {0x8D, 0x9D}, {0x8E, 0x9E}, {0x8F, 0x9F}, {0xA1, 0xA2}, {0xA3, 0xBC},
        {0xA5, 0xB4}, {0xAA, 0xBA}, {0xAF, 0xBF}, {0xB2, 0xB3}, {0xBD, 0xBE},
    };
    for (const auto& pair : pairs) {
        table[pair[0]] = pair[1];
    }
    return table;
}

constexpr std::array<unsigned char, 256> kLower = MakeLowerTable();

constexpr char kSmallYo = static_cast<char>(0xB8);
constexpr char kCapitalYo = static_cast<char>(0xA8);
constexpr char kSmallYe = static_cast<char>(0xE5);
constexpr char kCapitalYe = static_cast<char>(0xC5);

}  // namespace

std::string LowerCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(kLower[static_cast<unsigned char>(c)]);
    }
    return out;
}

std::string NormalizeCommand(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == ' ' && (out.empty() || out.back() == ' ')) {
            continue;
        }
        out += c;
    }
    if (!out.empty() && out.back() == ' ') {
        out.pop_back();
    }
    return LowerCase(out);
}

std::string FoldYo(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c == kSmallYo) {
            c = kSmallYe;
        } else if (c == kCapitalYo) {
            c = kCapitalYe;
        }
    }
    return out;
}

}  // namespace narravox
