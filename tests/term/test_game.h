// SPDX-License-Identifier: MIT
#pragma once

#include "support/game_builder.h"

// The small game the terminal front-end's tests play: two places, a key, a door, centred text
// and a cleared screen, enough to reach every path of the front-end.
namespace narravox::testing {

inline constexpr std::int16_t kLookVerb = 1;
inline constexpr std::int16_t kGoVerb = 2;
inline constexpr std::int16_t kTakeVerb = 3;
inline constexpr std::int16_t kReadVerb = 4;

inline void WriteTestGame(const TempFolder& folder) {
    Scenario scenario;
    scenario.global = 0;
    scenario.start = 1;
    scenario.arrival = kLookVerb;
    scenario.info = "Проверочная игра.\n";
    scenario.locations = {
        {0, "", {{{"небо"}, {{{kLookVerb}, {Text("Небо серое.")}}}}}},
        {1,
         "Двор",
         {{{""},
           {{{kLookVerb},
             {IfElse(5, {Text("Вы во дворе. Ключ у вас.")},
                     {Text("Вы во дворе. На земле ключ.")})}}}},
          {{"ключ"},
           {{{kTakeVerb}, {If(5, {Text("Ключ уже у вас.")}), Set(5), Text("Взяли ключ.")}}}},
          {{"дом", "в дом"}, {{{kGoVerb}, {Jump(2)}}}},
          {{"записку"},
           {{{kReadVerb},
             {Text("Записка длинная: у старого колодца под третьим камнем слева лежит то, "
                   "что вы ищете.")}}}}}},
        {2,
         "Дом",
         {{{""}, {{{kLookVerb}, {CenterOn(), Text("Дом\nмилый дом"), CenterOff(), Text("Тихо.")}}}},
          {{"двор", "во двор"}, {{{kGoVerb}, {Jump(1)}}}},
          {{"стену"}, {{{kReadVerb}, {ClearScreen(), Text("Стена чиста.")}}}}}},
    };
    folder.WriteGame({{kLookVerb, {"осмотреться", "осм"}},
                      {kGoVerb, {"идти", "иди"}},
                      {kTakeVerb, {"взять"}},
                      {kReadVerb, {"читать", "прочитать"}}},
                     scenario);
}

}  // namespace narravox::testing
