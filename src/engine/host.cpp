// SPDX-License-Identifier: MIT
#include "host.h"

#include <chrono>
#include <thread>

namespace narravox {

void SleepUntilNextSecond() {
    // Time zones differ from the system clock by whole minutes, so the local seconds field
    // changes exactly when the system clock passes a whole second.
    using namespace std::chrono;
    const auto now = system_clock::now();
    const auto next = floor<seconds>(now) + seconds(1);
    std::this_thread::sleep_until(next);
}

}  // namespace narravox
