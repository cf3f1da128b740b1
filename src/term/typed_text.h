// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>
#include <string_view>

// What the player types arrives in UTF-8 and the game works in code page 1251; these helpers
// sit between the two for every mode.
namespace narravox::term {

// A command line as the game receives it.
struct TypedLine {
    std::string text;         // code page 1251
    std::size_t dropped = 0;  // characters the code page lacks, or malformed bytes
};

// Converts a typed UTF-8 line and cuts it to `line_width` - 1 characters, the most the command
// line holds, so that its echo (">" and the line) fits on one line of the text window.
TypedLine ConvertTypedLine(std::string_view utf8, std::int32_t line_width);

// "да", "д", "yes" and "y" in any case mean Yes; everything else means No.
bool IsYesAnswer(std::string_view utf8);

// Adds ".nvs" to a file name whose last component has no extension, as the save and load
// dialogs do.
std::string WithDefaultExtension(std::string name);

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
