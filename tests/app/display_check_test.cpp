// SPDX-License-Identifier: MIT
// Whether the window has a display: asked before Qt starts, because Qt's X11 plugin aborts the
// program on a display it cannot open.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include "display_check.h"

namespace narravox::app {
namespace {

// Sets the variables that choose the display for one test and puts back what was there.
class DisplayEnvironment {
public:
    DisplayEnvironment(std::optional<std::string> platform, std::optional<std::string> display,
                       std::optional<std::string> wayland) {
        Set("QT_QPA_PLATFORM", platform);
        Set("DISPLAY", display);
        Set("WAYLAND_DISPLAY", wayland);
    }
    ~DisplayEnvironment() {
        for (const auto& [name, value] : Saved) {
            if (value) {
                setenv(name.c_str(), value->c_str(), 1);
            } else {
                unsetenv(name.c_str());
            }
        }
    }
    DisplayEnvironment(const DisplayEnvironment&) = delete;
    DisplayEnvironment& operator=(const DisplayEnvironment&) = delete;

private:
    void Set(const std::string& name, const std::optional<std::string>& value) {
        const char* old = std::getenv(name.c_str());
        Saved[name] = old != nullptr ? std::optional<std::string>(old) : std::nullopt;
        if (value) {
            setenv(name.c_str(), value->c_str(), 1);
        } else {
            unsetenv(name.c_str());
        }
    }
    std::map<std::string, std::optional<std::string>> Saved;
};

// A display number with no X server behind it: no socket and no lock file.
std::string UnusedDisplay() {
    for (int number = 150; number < 250; ++number) {
        const std::string n = std::to_string(number);
        if (access(("/tmp/.X11-unix/X" + n).c_str(), F_OK) != 0 &&
            access(("/tmp/.X" + n + "-lock").c_str(), F_OK) != 0) {
            return ":" + n;
        }
    }
    return ":249";
}

TEST(DisplayCheckTest, ADisplayThatCannotBeOpenedIsNamed) {
    const std::string display = UnusedDisplay();
    const DisplayEnvironment environment(std::nullopt, display, std::nullopt);
    const std::optional<std::string> problem = DisplayProblem();
    ASSERT_TRUE(problem.has_value());
    EXPECT_EQ(*problem, "cannot open the display \"" + display + "\"");
}

TEST(DisplayCheckTest, AnX11PlatformChosenByNameIsTriedToo) {
    const std::string display = UnusedDisplay();
    const DisplayEnvironment environment("xcb", display, std::nullopt);
    EXPECT_TRUE(DisplayProblem().has_value());
}

TEST(DisplayCheckTest, NoDisplayAtAllIsSaid) {
    const DisplayEnvironment environment(std::nullopt, std::nullopt, std::nullopt);
    const std::optional<std::string> problem = DisplayProblem();
    ASSERT_TRUE(problem.has_value());
    EXPECT_NE(problem->find("DISPLAY is not set"), std::string::npos) << *problem;
}

TEST(DisplayCheckTest, AnotherPlatformChosenInTheEnvironmentIsLeftToQt) {
    const DisplayEnvironment environment("offscreen", UnusedDisplay(), std::nullopt);
    EXPECT_EQ(DisplayProblem(), std::nullopt);
}

TEST(DisplayCheckTest, ThePlatformOptionWinsOverTheEnvironment) {
    const DisplayEnvironment environment("xcb", UnusedDisplay(), std::nullopt);
    EXPECT_EQ(DisplayProblem("offscreen"), std::nullopt);
    const DisplayEnvironment offscreen("offscreen", UnusedDisplay(), std::nullopt);
    EXPECT_TRUE(DisplayProblem("xcb").has_value());
}

TEST(DisplayCheckTest, AWaylandSessionIsLeftToQt) {
    const DisplayEnvironment environment(std::nullopt, std::nullopt, "wayland-0");
    EXPECT_EQ(DisplayProblem(), std::nullopt);
}

}  // namespace
}  // namespace narravox::app
