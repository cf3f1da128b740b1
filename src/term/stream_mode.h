// SPDX-License-Identifier: MIT
#pragma once

#include <iosfwd>
#include <string>
#include <utility>

#include "host.h"
#include "line_source.h"
#include "options.h"

namespace narravox::term {

// The host of the two line-based modes. In batch mode boxes go to standard error as
// "[caption] text" and every answer the game asks for is the next input line; in plain mode the
// same happens on standard output with a question after it, so a screen reader reads it in turn.
class StreamHost : public Host {
  public:
    StreamHost(Mode mode, bool pace, LineSource& input, std::ostream& out, std::ostream& err,
               std::string saves_folder = {})
        : mode_(mode),
          pace_(pace),
          input_(input),
          out_(out),
          err_(err),
          saves_folder_(std::move(saves_folder)) {}

    Button ShowBox(const Box& box) override;
    std::optional<std::string> ChooseFile(FileChoice choice) override;
    void SetTitle(std::string_view text) override;
    void RepaintTextWindow() override;
    void WaitForNextSecond() override;

  private:
    bool AskYesNo();

    Mode mode_;
    bool pace_;
    LineSource& input_;
    std::ostream& out_;
    std::ostream& err_;
    // Where a saved game named without a folder goes; empty for the working folder.
    std::string saves_folder_;
};

// Where the game of a stream mode lies, for a program whose working folder is not the game's.
struct GamePlace {
    // The folder of the two data files; empty for the working folder.
    std::string game_folder;
    // Where saved games named without a folder are written and read; empty for the working
    // folder.
    std::string saves_folder;
};

// Plays a game in batch or plain mode until the input ends or the player quits; returns the
// exit status. `input` is standard input, read line by line or through a line editor;
// `transcript_file` is the --transcript file, or null. With --trace, what the game does is
// written to `err` as well.
int RunStreamMode(Mode mode, const Options& options, const std::string& program_path,
                  LineSource& input, std::ostream& out, std::ostream& err,
                  std::ostream* transcript_file, const GamePlace& place = {});

}  // namespace narravox::term
