// SPDX-License-Identifier: MIT
#include "display_check.h"

#include <dlfcn.h>

#include <cstdlib>
#include <string_view>

namespace narravox::app {
namespace {

std::string_view Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// The three functions of libxcb needed to try a connection, looked up at run time so that the
// program gains no build dependency for them.
using XcbConnect = void* (*)(const char* display_name, int* screen);
using XcbConnectionHasError = int (*)(void* connection);
using XcbDisconnect = void (*)(void* connection);

// Whether an X server answers at the display named by DISPLAY; nothing when libxcb is not there
// to ask, in which case Qt's plugin cannot load either and Qt reports that itself.
std::optional<bool> XDisplayOpens() {
    void* library = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        return std::nullopt;
    }
    const auto connect = reinterpret_cast<XcbConnect>(dlsym(library, "xcb_connect"));
    const auto has_error =
        reinterpret_cast<XcbConnectionHasError>(dlsym(library, "xcb_connection_has_error"));
    const auto disconnect = reinterpret_cast<XcbDisconnect>(dlsym(library, "xcb_disconnect"));
    std::optional<bool> opens;
    if (connect != nullptr && has_error != nullptr && disconnect != nullptr) {
        // xcb_connect always returns a connection object, an erroneous one when it failed,
        // and that object must be freed either way.
        void* connection = connect(nullptr, nullptr);
        opens = has_error(connection) == 0;
        disconnect(connection);
    }
    dlclose(library);
    return opens;
}

}  // namespace

std::optional<std::string> DisplayProblem(std::string_view chosen_platform) {
    const std::string_view platform =
        !chosen_platform.empty() ? chosen_platform : Environment("QT_QPA_PLATFORM");
    if (!platform.empty()) {
        // The player or a test chose the platform (offscreen, wayland, "xcb:option", or a list
        // tried in order); only a choice that starts with X11 is tried here.
        if (!platform.starts_with("xcb")) {
            return std::nullopt;
        }
    } else if (!Environment("WAYLAND_DISPLAY").empty()) {
        // In a Wayland session Qt tries Wayland before X11, and that is not ours to check.
        return std::nullopt;
    }
    const std::string display(Environment("DISPLAY"));
    if (display.empty()) {
        return "there is no display to open a window on (DISPLAY is not set)";
    }
    if (XDisplayOpens() == false) {
        return "cannot open the display \"" + display + "\"";
    }
    return std::nullopt;
}

}  // namespace narravox::app
