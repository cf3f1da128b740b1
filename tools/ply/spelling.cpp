// SPDX-License-Identifier: MIT
#include "spelling.h"

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>

namespace narravox::ply {
namespace {

// Only the pairs a reader cannot tell apart count: the small Cyrillic в, к, м, н and т are
// small capitals and look like the capital Latin letters only. The Cyrillic letters of code
// page 1251 beyond Russian (і, ј, ѕ) are included, since a game may hold them.
constexpr std::pair<char32_t, char32_t> kLookAlikes[] = {
    {U'a', U'а'}, {U'c', U'с'}, {U'e', U'е'}, {U'i', U'і'}, {U'j', U'ј'},
    {U'o', U'о'}, {U'p', U'р'}, {U's', U'ѕ'}, {U'x', U'х'}, {U'y', U'у'},
    {U'A', U'А'}, {U'B', U'В'}, {U'C', U'С'}, {U'E', U'Е'}, {U'H', U'Н'},
    {U'I', U'І'}, {U'J', U'Ј'}, {U'K', U'К'}, {U'M', U'М'}, {U'O', U'О'},
    {U'P', U'Р'}, {U'S', U'Ѕ'}, {U'T', U'Т'}, {U'X', U'Х'}, {U'Y', U'У'},
};

}  // namespace

bool IsLatinLetter(char32_t c) {
    return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z');
}

bool IsCyrillicLetter(char32_t c) {
    return c >= 0x0400 && c <= 0x04FF;
}

char32_t FoldLookAlike(char32_t c) {
    for (const auto& [latin, cyrillic] : kLookAlikes) {
        if (c == latin) {
            return cyrillic;
        }
    }
    return c;
}

std::u32string FoldLookAlikes(std::u32string text) {
    std::transform(text.begin(), text.end(), text.begin(), FoldLookAlike);
    return text;
}

int EditDistance(const std::u32string& a, const std::u32string& b, int limit) {
    const int length_gap = static_cast<int>(a.size()) - static_cast<int>(b.size());
    if (std::abs(length_gap) > limit) {
        return limit + 1;
    }
    std::vector<int> before(b.size() + 1);
    std::vector<int> last(b.size() + 1);
    std::vector<int> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        last[j] = static_cast<int>(j);
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        row[0] = static_cast<int>(i);
        int best = row[0];
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const int change = last[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
            row[j] = std::min({last[j] + 1, row[j - 1] + 1, change});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                row[j] = std::min(row[j], before[j - 2] + 1);
            }
            best = std::min(best, row[j]);
        }
        if (best > limit) {
            return limit + 1;
        }
        std::swap(before, last);
        std::swap(last, row);
    }
    return last[b.size()];
}

}  // namespace narravox::ply
