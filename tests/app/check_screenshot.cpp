// SPDX-License-Identifier: MIT
// Reads a screenshot of the window at 1024x768 back into text, cell by cell, and checks the
// layout a player should see. Usage: check_screenshot SHOT.png ECHO ANSWER EDIT TITLE, texts in
// UTF-8: ECHO and ANSWER are consecutive whole lines of the text window, EDIT the command line's
// text, TITLE the title line's. With --scale S SHOT.png TITLE it checks a window drawn at S
// screen pixels per font pixel: the title line and the prompt.
#include <QImage>
#include <cstdio>
#include <string>
#include <vector>

#include "console_font.h"
#include "cp1251.h"

namespace {

using narravox::app::ConsoleFont;
using narravox::app::kBlack;
using narravox::app::kSilver;

constexpr int kWidth = 1024;
constexpr int kHeight = 768;

int failures = 0;

void Check(bool ok, const std::string& what) {
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what.c_str());
    failures += ok ? 0 : 1;
}

// Whether the cell at (x, y) shows exactly the glyph of this code page 1251 byte, each of its
// pixels a block of scale by scale pixels of the screenshot.
bool CellShows(const QImage& image, int x, int y, unsigned char byte, QRgb foreground,
               QRgb background, int scale = 1) {
    const auto& glyph = ConsoleFont()[byte];
    for (int row = 0; row < 16 * scale; ++row) {
        for (int column = 0; column < 8 * scale; ++column) {
            const bool lit =
                glyph[static_cast<std::size_t>(row / scale)] & (0x80 >> (column / scale));
            if (image.pixel(x + column, y + row) != (lit ? foreground : background)) {
                return false;
            }
        }
    }
    return true;
}

// The console at a whole number of screenshot pixels per font pixel: the title line's cells
// from the top left and the prompt in the bottom 24 font pixels, each pixel an exact block.
int CheckScale(int scale, const QImage& image, const char* title_utf8) {
    const std::string title = narravox::Utf8ToCp1251Lossy(title_utf8);
    bool title_shown = true;
    for (std::size_t i = 0; i < title.size(); ++i) {
        title_shown =
            title_shown && CellShows(image, static_cast<int>(i) * 8 * scale, 0,
                                     static_cast<unsigned char>(title[i]), kBlack, kSilver, scale);
    }
    Check(title_shown, "title \"" + std::string(title_utf8) + "\" at " + std::to_string(scale) +
                           " pixels per font pixel");
    const int prompt_y = image.height() - 24 * scale;
    Check(CellShows(image, 0, prompt_y, '>', kSilver, kBlack, scale),
          "\">\" at (0, " + std::to_string(prompt_y) + ") at " + std::to_string(scale) +
              " pixels per font pixel");
    return failures == 0 ? 0 : 1;
}

// The first code page 1251 byte whose glyph fills the cell exactly, or '?' when none does.
// Look-alike letters (Latin and Cyrillic "o") read as the first of them.
char ReadCell(const QImage& image, int x, int y, QRgb foreground, QRgb background) {
    for (int byte = 0x20; byte < 256; ++byte) {
        if (CellShows(image, x, y, static_cast<unsigned char>(byte), foreground, background)) {
            return static_cast<char>(byte);
        }
    }
    return '?';
}

// Whether a row of 128 cells shows this text from its first cell, blank after it.
bool RowShows(const QImage& image, int y, const std::string& text, QRgb foreground,
              QRgb background) {
    for (std::size_t i = 0; i < 128; ++i) {
        const auto byte = static_cast<unsigned char>(i < text.size() ? text[i] : ' ');
        if (!CellShows(image, static_cast<int>(i) * 8, y, byte, foreground, background)) {
            return false;
        }
    }
    return true;
}

std::string ReadRow(const QImage& image, int x, int y, int cells, QRgb foreground,
                    QRgb background) {
    std::string text;
    for (int i = 0; i < cells; ++i) {
        text += ReadCell(image, x + i * 8, y, foreground, background);
    }
    return text;
}

std::string TrimRight(std::string text) {
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

bool RowIs(const QImage& image, int y, QRgb colour) {
    for (int x = 0; x < kWidth; ++x) {
        if (image.pixel(x, y) != colour) {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--scale") {
        const QImage image =
            QImage(QString::fromLocal8Bit(argv[3])).convertToFormat(QImage::Format_RGB32);
        return CheckScale(std::stoi(argv[2]), image, argv[4]);
    }
    if (argc != 6) {
        std::fprintf(stderr, "usage: check_screenshot SHOT.png ECHO ANSWER EDIT TITLE\n");
        return 2;
    }
    const QImage image =
        QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_RGB32);
    const std::string echo = narravox::Utf8ToCp1251Lossy(argv[2]);
    const std::string answer = narravox::Utf8ToCp1251Lossy(argv[3]);
    const std::string edit = narravox::Utf8ToCp1251Lossy(argv[4]);
    const std::string title = narravox::Utf8ToCp1251Lossy(argv[5]);
    if (image.width() != kWidth || image.height() != kHeight) {
        std::printf("FAILED: the screenshot is %dx%d\n", image.width(), image.height());
        return 1;
    }

    // The title line: black text on silver in every cell of rows 0-15, all the way across.
    Check(RowShows(image, 0, title, kBlack, kSilver),
          "title line \"" + std::string(argv[5]) + "\" in silver cells across rows 0-15");
    Check(RowIs(image, 0, kSilver) && RowIs(image, 15, kSilver), "title rows 0 and 15 are silver");

    // The text window: 45 lines of 128 cells from row 16.
    std::vector<std::string> lines;
    for (int line = 0; line < 45; ++line) {
        lines.push_back(TrimRight(ReadRow(image, 0, 16 + line * 16, 128, kSilver, kBlack)));
    }
    bool found = false;
    for (int line = 0; line + 1 < 45; ++line) {
        found = found || (RowShows(image, 16 + line * 16, echo, kSilver, kBlack) &&
                          RowShows(image, 32 + line * 16, answer, kSilver, kBlack));
    }
    Check(found,
          "text window shows \"" + std::string(argv[2]) + "\" followed by \"" + argv[3] + "\"");
    for (const auto& line : lines) {
        if (line.find('?') != std::string::npos) {
            Check(false, "text window cell that is no glyph: " + narravox::Cp1251ToUtf8(line));
        }
    }

    // Below the last full text line (row 736) the window stays black down to the prompt.
    bool black = true;
    for (int y = 736; y < 744; ++y) {
        black = black && RowIs(image, y, kBlack);
    }
    Check(black, "rows 736-743 below the last text line are black");

    // The prompt in the cell at (0, 744) and the command line right of it.
    Check(ReadCell(image, 0, 744, kSilver, kBlack) == '>', "\">\" in the cell at (0, 744)");
    bool typed = true;
    for (std::size_t i = 0; i < edit.size(); ++i) {
        typed = typed && CellShows(image, 8 + static_cast<int>(i) * 8, 744,
                                   static_cast<unsigned char>(edit[i]), kSilver, kBlack);
    }
    Check(typed, "command line holds \"" + std::string(argv[4]) + "\"");
    // The caret: a silver bar the height of a cell right after the text.
    const int caret_x = 8 + static_cast<int>(edit.size()) * 8;
    bool caret = true;
    for (int y = 744; y < 760; ++y) {
        caret = caret && image.pixel(caret_x, y) == kSilver;
    }
    Check(caret, "caret after the command line's text");
    Check(RowIs(image, 767, kBlack), "the bottom row is black");
    return failures == 0 ? 0 : 1;
}
