// SPDX-License-Identifier: MIT
#include "interp/statements.h"

#include <cstdlib>

#include "host.h"
#include "interp/flags.h"
#include "interp/trace.h"

namespace narravox {
namespace {

// Bytes before a branching statement's body: code, end offset and flag number.
constexpr std::int64_t kBranchHeadSize = StatementHeadSize(StatementCode::kIf);
static_assert(kBranchHeadSize == StatementHeadSize(StatementCode::kIfElse));

StatementResult RunBody(Game& game, DataFile& file, std::int64_t end, int depth) {
    if (depth > kMaxNesting) {
        return StatementResult::kStopPass;
    }
    while (file.Position() < end && !game.JumpPending) {
        if (ExecuteStatement(game, file, depth) == StatementResult::kStopPass) {
            return StatementResult::kStopPass;
        }
    }
    return StatementResult::kContinue;
}

StatementResult ExecuteIf(Game& game, DataFile& file, std::int64_t start, int depth) {
    const std::int32_t end = ReadI32(file);
    const std::int16_t flag = ReadI16(file);
    if (end < start + kBranchHeadSize) {
        return StatementResult::kStopPass;
    }
    if (!TestFlag(game.Flags, flag)) {
        file.Seek(end);
        return StatementResult::kContinue;
    }
    return RunBody(game, file, end, depth + 1);
}

StatementResult ExecuteIfElse(Game& game, DataFile& file, std::int64_t start, int depth) {
    const std::int32_t then_end = ReadI32(file);
    const std::int16_t flag = ReadI16(file);
    if (then_end < start + kBranchHeadSize) {
        return StatementResult::kStopPass;
    }
    if (TestFlag(game.Flags, flag)) {
        if (RunBody(game, file, then_end, depth + 1) == StatementResult::kStopPass) {
            return StatementResult::kStopPass;
        }
        if (game.JumpPending) {
            return StatementResult::kContinue;
        }
        const std::int32_t else_end = ReadI32(file);
        if (else_end < file.Position()) {
            return StatementResult::kStopPass;
        }
        file.Seek(else_end);
        return StatementResult::kContinue;
    }
    file.Seek(then_end);
    const std::int32_t else_end = ReadI32(file);
    if (else_end < file.Position()) {
        return StatementResult::kStopPass;
    }
    return RunBody(game, file, else_end, depth + 1);
}

}  // namespace

StatementResult ExecuteStatement(Game& game, DataFile& file, int depth) {
    if (game.JumpPending) {
        return StatementResult::kContinue;
    }
    const std::int64_t start = file.Position();
    char code[kStatementCodeSize];
    ReadScrambled(file, code, kStatementCodeSize);
    switch (StatementCodeOf(code[0], code[1])) {
        case StatementCode::kClearAllFlags:
            game.Flags.fill(0);
            if (game.Trace != nullptr) {
                game.Trace->FlagsCleared();
            }
            break;
        case StatementCode::kClearScreen:
            for (std::int32_t i = 0; i < game.TextWindow.VisibleLines; ++i) {
                game.TextWindow.PrintText("\n");
            }
            break;
        case StatementCode::kCenterOn:
            game.CenterMode = true;
            break;
        case StatementCode::kCenterOff:
            game.CenterMode = false;
            break;
        case StatementCode::kJump: {
            const LocationId from = game.CurrentLocation;
            game.CurrentLocation = ReadU16(file);
            game.JumpPending = true;
            if (game.Trace != nullptr) {
                game.Trace->Jumped(from, game.CurrentLocation);
            }
            break;
        }
        case StatementCode::kSetFlag: {
            const std::int16_t flag = ReadI16(file);
            SetFlag(game.Flags, flag);
            if (game.Trace != nullptr) {
                game.Trace->FlagChanged(flag, true);
            }
            break;
        }
        case StatementCode::kClearFlag: {
            const std::int16_t flag = ReadI16(file);
            ClearFlag(game.Flags, flag);
            if (game.Trace != nullptr) {
                game.Trace->FlagChanged(flag, false);
            }
            break;
        }
        case StatementCode::kText:
            PrintMessage(game, file);
            break;
        case StatementCode::kIf:
            return ExecuteIf(game, file, start, depth);
        case StatementCode::kIfElse:
            return ExecuteIfElse(game, file, start, depth);
        case StatementCode::kUnknown:
            // Games may hold codes we do not know: each is a two-byte statement that does
            // nothing. There is no default, so that a statement added to the list is a compile
            // error here until it is executed.
            break;
    }
    return StatementResult::kContinue;
}

void PrintMessage(Game& game, DataFile& file) {
    auto& window = game.TextWindow;
    if (!game.CenterMode) {
        window.PrintText("  ");
    }
    std::string line;
    for (;;) {
        unsigned char byte = 0;
        ReadScrambled(file, &byte, 1);
        if (byte != 0) {
            line += static_cast<char>(byte);
        }
        if (byte == '\n' || byte == 0) {
            if (game.CenterMode) {
                if (byte == 0) {
                    line += '\n';
                }
                line.erase(0, line.find_first_not_of(' '));
                const std::int64_t length = static_cast<std::int64_t>(line.size());
                const std::int64_t indent = std::llabs(window.LineWidth - length) / 2;
                line.insert(0, static_cast<std::size_t>(indent), ' ');
            }
            window.PrintText(line);
            if (!game.CenterMode) {
                window.PrintText("  ");
            }
            line.clear();
            if (game.CenterMode) {
                game.host().RepaintTextWindow();
                game.host().WaitForNextSecond();
            }
        }
        if (byte == 0 || file.AtEnd()) {
            break;
        }
    }
    window.PrintText("\n");
}

}  // namespace narravox
