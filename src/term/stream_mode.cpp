// SPDX-License-Identifier: MIT
#include "stream_mode.h"

#include <filesystem>
#include <istream>
#include <ostream>

#include "cp1251.h"
#include "frontend_rules.h"
#include "io_error.h"
#include "session.h"
#include "trace_writer.h"
#include "transcript.h"

namespace narravox::term {

bool StreamHost::AskYesNo() {
    if (mode_ == Mode::kPlain) {
        out_ << "Да или нет?\n" << std::flush;
    }
    std::string answer;
    if (!input_.Read(answer, LinePurpose::kAnswer)) {
        return false;
    }
    // An answer holding a character the game's code page lacks is no yes.
    const auto converted = Utf8ToCp1251(answer);
    return converted && IsYesAnswer(*converted);
}

Button StreamHost::ShowBox(const Box& box) {
    std::ostream& target = mode_ == Mode::kBatch ? err_ : out_;
    target << '[' << Cp1251ToUtf8(box.caption) << "] " << Cp1251ToUtf8(box.text) << '\n'
           << std::flush;
    if (box.buttons == BoxButtons::kOk) {
        return Button::kOk;
    }
    return AskYesNo() ? Button::kYes : Button::kNo;
}

std::optional<std::string> StreamHost::ChooseFile(FileChoice choice) {
    const auto ask_name = [&]() -> std::optional<std::string> {
        if (mode_ == Mode::kPlain) {
            out_ << (choice == FileChoice::kSave ? "Сохранить игру в файл"
                                                 : "Загрузить игру из файла")
                 << " (пустая строка — отмена):\n"
                 << std::flush;
        }
        std::string name;
        if (!input_.Read(name, LinePurpose::kFileName)) {
            return std::nullopt;
        }
        if (!name.empty() && !saves_folder_.empty() && !name.starts_with('/')) {
            name = saves_folder_ + "/" + name;
        }
        return name;
    };
    const auto confirm_overwrite = [&](const std::string& name) {
        // Scripts overwrite without asking, so that a replayed game gives the same output
        // whatever files an earlier run left behind.
        if (mode_ == Mode::kBatch) {
            return true;
        }
        out_ << OverwriteQuestion(name, " ") << '\n';
        return AskYesNo();
    };
    return ChooseSavedGameFile(choice, ask_name, confirm_overwrite);
}

void StreamHost::SetTitle(std::string_view) {
    // The title repeats the location's name, which its text already gives; writing it would
    // put lines into the transcript that the text window never held.
}

void StreamHost::RepaintTextWindow() {
    out_.flush();
}

void StreamHost::WaitForNextSecond() {
    if (pace_) {
        out_.flush();
        SleepUntilNextSecond();
    }
}

int RunStreamMode(Mode mode, const Options& options, const std::string& program_path,
                  LineSource& input, std::ostream& out, std::ostream& err,
                  std::ostream* transcript_file, const GamePlace& place) {
    const std::string program_name = std::filesystem::path(program_path).filename().string();
    // A reader in plain mode gets centred text at the pace the game sets; scripts only ask.
    StreamHost host(mode, options.pace || mode == Mode::kPlain, input, out, err,
                    place.saves_folder);
    Session session(host, ProgramTitle(program_path), place.game_folder);
    TraceWriter trace(err);
    if (options.trace) {
        session.game().Trace = &trace;
    }
    Transcript transcript;
    transcript.Attach(out);
    if (transcript_file != nullptr) {
        transcript.Attach(*transcript_file);
    }
    auto& window = session.game().TextWindow;
    window.SetLineSink([&transcript](std::string_view line) { transcript.WriteLine(line); });

    if (session.Start(options.lines, options.columns) != StartResult::kStarted) {
        return 1;
    }
    std::string typed;
    for (;;) {
        if (mode == Mode::kPlain) {
            out << ">\n" << std::flush;
        }
        if (!input.Read(typed, LinePurpose::kCommand)) {
            break;
        }
        const TypedLine line = ConvertTypedLine(typed, window.LineWidth);
        if (line.dropped > 0) {
            err << program_name << ": input line " << input.line_number() << ": " << line.dropped
                << " character(s) dropped, the game cannot show them\n"
                << std::flush;
        }
        if (session.PressEnter(line.text).CloseRequested) {
            break;
        }
    }
    transcript.Finish(window.BottomLine());
    out.flush();
    return 0;
}

}  // namespace narravox::term
