// narravox: plays the game in the working directory in a full-screen console window.
#include <QApplication>
#include <iostream>
#include <string_view>

#include "accessibility.h"
#include "cp1251.h"
#include "form1.h"
#include "io_error.h"
#include "narravox_version.h"
#include "window_icon.h"

int main(int argc, char** argv) {
    // Answered before Qt starts, so that it works without a display.
    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        std::cout << "narravox " << narravox::kVersion << "\n";
        return 0;
    }
    QApplication application(argc, argv);
    QApplication::setWindowIcon(narravox::app::WindowIcon());
    narravox::app::InstallAccessibility();

    // The program's title captions error boxes; the engine takes its texts in code page 1251.
    const std::string title =
        narravox::Utf8ToCp1251Lossy(narravox::ProgramTitle(argc > 0 ? argv[0] : "narravox"));
    narravox::app::TForm1 form(title);
    if (form.startResult() == narravox::StartResult::kDataFilesRefused) {
        return 1;
    }
    form.showStarted();
    return QApplication::exec();
}
