// SPDX-License-Identifier: MIT
#pragma once

#include <istream>
#include <string>

// Where the line-based modes take what the player types: standard input as it comes, or a line
// editor at a terminal (edited_input.h).
namespace narravox::term {

// What a line is read for. A person at a terminal gets earlier commands back only at the
// command prompt and file-name completion only where a file name is asked for.
enum class LinePurpose { kCommand, kFileName, kAnswer };

// Where the line-based modes take what the player types, in UTF-8 without the line feed.
class LineSource {
  public:
    virtual ~LineSource() = default;

    // False at the end of input.
    virtual bool Read(std::string& line, LinePurpose purpose) = 0;

    // The number of the line read last, counted from 1.
    virtual int line_number() const = 0;
};

// Standard input read line by line; a trailing CR (a file written on Windows) is dropped.
class LineInput : public LineSource {
  public:
    explicit LineInput(std::istream& in) : in_(in) {}

    // False at the end of input.
    bool ReadLine(std::string& line);

    bool Read(std::string& line, LinePurpose) override { return ReadLine(line); }
    int line_number() const override { return line_number_; }

  private:
    std::istream& in_;
    int line_number_ = 0;
};

}  // namespace narravox::term
