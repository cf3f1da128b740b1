// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>

#include "support/game_builder.h"

// The small game the window's tests play: a yard with a well, a verb with a Latin synonym that
// any keyboard types, and centred text that is paced by the clock.
namespace narravox::testing {

inline constexpr std::int16_t kLookVerb = 1;
inline constexpr std::int16_t kListenVerb = 2;

inline std::vector<VerbGroup> TestCommands() {
    return {{kLookVerb, {"осмотреться", "осм", "look"}}, {kListenVerb, {"слушать"}}};
}

inline Scenario TestScenario() {
    Scenario scenario;
    scenario.global = 0;
    scenario.start = 1;
    scenario.arrival = kLookVerb;
    scenario.info = "Проверочная игра.\n";
    scenario.locations = {
        {0, "", {}},
        {1,
         "Двор",
         {{{""},
           {{{kLookVerb}, {Text("Вы во дворе. Здесь старый колодец.")}},
            {{kListenVerb}, {CenterOn(), Text("Тишина."), CenterOff()}}}}}},
    };
    return scenario;
}

inline void WriteTestGame(const std::filesystem::path& folder) {
    WriteFile(folder / "Commands.ply", BuildCommands(TestCommands()));
    WriteFile(folder / "Scenario.ply", BuildScenario(TestScenario()));
}

}  // namespace narravox::testing
