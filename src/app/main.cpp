// SPDX-License-Identifier: MIT
// narravox: plays the game in the working directory in a full-screen console window.
#include <QApplication>
#include <algorithm>
#include <cmath>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>

#include "accessibility.h"
#include "display_check.h"
#include "form1.h"
#include "io_error.h"
#include "narravox_version.h"
#include "russian.h"
#include "window_icon.h"

namespace {

constexpr const char* kUsage =
    "Usage: narravox [--check-display | --help | --version]\n"
    "Plays the text adventure in the working folder (Commands.ply and Scenario.ply) in a\n"
    "full-screen window.\n"
    "\n"
    "  --check-display  exit with status 0 if the window can be opened; otherwise say why\n"
    "                   not and exit with status 1\n"
    "  --help           print this text and exit\n"
    "  --version        print the program's name and version and exit\n"
    "\n"
    "Qt's own options, such as -platform NAME, are accepted too. Without a display,\n"
    "narravox-term plays the same game in a terminal.\n";

// The console's 8x16 glyphs are crisp only when each of their pixels is a whole number of
// device pixels. A fractional scale, of the screen (1.25 or 1.5 on a high-density display) or
// asked for with QT_SCALE_FACTOR, is rounded down, and the layout is then computed in the
// pixels that result: the console gets more lines and columns rather than blurred text.
void UseWholeDevicePixels() {
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::Floor);
    bool ok = false;
    const double asked = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble(&ok);
    if (ok && asked > 0) {
        const int whole = std::max(1, static_cast<int>(std::floor(asked)));
        if (whole != asked) {
            qputenv("QT_SCALE_FACTOR", QByteArray::number(whole));
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Answered before Qt starts, so that they work without a display.
    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        std::cout << "narravox " << narravox::kVersion << "\n";
        return 0;
    }
    if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
        std::cout << kUsage;
        return 0;
    }
    // Qt's X11 plugin aborts when its display cannot be opened (over SSH, in a stale tmux), so
    // the display is tried first: --check-display lets a launcher ask before choosing between
    // the window and the terminal, and a start without a display ends with a message.
    // Qt's -platform option wins over QT_QPA_PLATFORM, and so it does here.
    std::string_view platform_option;
    for (int i = 1; i + 1 < argc; ++i) {
        const std::string_view argument(argv[i]);
        if (argument == "-platform" || argument == "--platform") {
            platform_option = argv[i + 1];
        }
    }
    const std::optional<std::string> display_problem =
        narravox::app::DisplayProblem(platform_option);
    if (argc == 2 && std::string_view(argv[1]) == "--check-display") {
        if (display_problem) {
            std::cout << *display_problem << "\n";
            return 1;
        }
        return 0;
    }
    if (display_problem) {
        std::cerr << "narravox: " << *display_problem
                  << "; narravox-term plays the game in a terminal\n";
        return 1;
    }
    UseWholeDevicePixels();
    QApplication application(argc, argv);
    QApplication::setWindowIcon(narravox::app::WindowIcon());
    narravox::app::InstallRussianTranslation(application);
    narravox::app::InstallAccessibility();

    // The program's title captions error boxes; the engine derives it from the path as the
    // system gave it.
    narravox::app::TForm1 form(narravox::ProgramTitle(argc > 0 ? argv[0] : "narravox"));
    if (form.startResult() == narravox::StartResult::kDataFilesRefused) {
        return 1;
    }
    form.showStarted();
    return QApplication::exec();
}
