// SPDX-License-Identifier: MIT
#include "interp/game.h"

#include "host.h"

namespace narravox {

void Game::SetTitle(std::string text) {
    Title = std::move(text);
    host_->SetTitle(Title);
}

}  // namespace narravox
