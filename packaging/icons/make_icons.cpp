// SPDX-License-Identifier: MIT
// Draws the window's 32x32 icon for the desktop's icon theme: a PNG for each size asked for and
// an SVG, all from the very image the window shows, so the menu and the window never disagree.
// Usage: make_icons OUTPUT_DIR SIZE...
// Writes OUTPUT_DIR/hicolor/SIZExSIZE/apps/narravox.png and
// OUTPUT_DIR/hicolor/scalable/apps/narravox.svg.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>
#include <QTextStream>
#include <cstdio>
#include <string>

#include "window_icon.h"

namespace {

constexpr int kDesignSize = 32;

// The design's pixel that covers the centre of the target pixel: plain nearest-neighbour
// scaling, which keeps the two colours and the hard edges of the original.
int DesignIndex(const QImage& design, int x, int y, int size) {
    const int design_x = (2 * x + 1) * kDesignSize / (2 * size);
    const int design_y = (2 * y + 1) * kDesignSize / (2 * size);
    return design.pixelIndex(design_x, design_y);
}

bool WritePng(const QImage& design, int size, const QString& path) {
    QImage image(size, size, QImage::Format_Indexed8);
    image.setColorTable(design.colorTable());
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            image.setPixel(x, y, static_cast<uint>(DesignIndex(design, x, y, size)));
        }
    }
    // Maximum compression and no metadata: the same image always gives the same bytes.
    return image.save(path, "PNG", 0);
}

QString Hex(QRgb colour) {
    return QStringLiteral("#%1").arg(colour & 0xFFFFFFu, 6, 16, QLatin1Char('0'));
}

// One rectangle per horizontal run of the foreground colour over a background square; the
// viewBox keeps the design's pixel grid, and crispEdges keeps renderers from blurring it.
bool WriteSvg(const QImage& design, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    QTextStream out(&file);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" "
        << "viewBox=\"0 0 32 32\" shape-rendering=\"crispEdges\">\n"
        << "<rect x=\"0\" y=\"0\" width=\"32\" height=\"32\" fill=\"" << Hex(design.color(0))
        << "\"/>\n"
        << "<g fill=\"" << Hex(design.color(1)) << "\">\n";
    for (int y = 0; y < kDesignSize; ++y) {
        int x = 0;
        while (x < kDesignSize) {
            if (design.pixelIndex(x, y) != 1) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < kDesignSize && design.pixelIndex(x, y) == 1) {
                ++x;
            }
            out << "<rect x=\"" << start << "\" y=\"" << y << "\" width=\"" << x - start
                << "\" height=\"1\"/>\n";
        }
    }
    out << "</g>\n</svg>\n";
    out.flush();
    return file.error() == QFile::NoError;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_icons OUTPUT_DIR SIZE...\n");
        return 2;
    }
    const QImage design = narravox::app::WindowIconImage();
    const QString root = QString::fromLocal8Bit(argv[1]) + QStringLiteral("/hicolor");
    for (int i = 2; i < argc; ++i) {
        const int size = std::stoi(argv[i]);
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(root).arg(size);
        if (size < 16 || !QDir().mkpath(folder) ||
            !WritePng(design, size, folder + QStringLiteral("/narravox.png"))) {
            std::fprintf(stderr, "make_icons: cannot write the %s pixel icon\n", argv[i]);
            return 1;
        }
    }
    const QString scalable = root + QStringLiteral("/scalable/apps");
    if (!QDir().mkpath(scalable) || !WriteSvg(design, scalable + QStringLiteral("/narravox.svg"))) {
        std::fprintf(stderr, "make_icons: cannot write the SVG icon\n");
        return 1;
    }
    return 0;
}
