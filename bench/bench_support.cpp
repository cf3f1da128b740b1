// SPDX-License-Identifier: MIT
#include "bench_support.h"

#include <random>

namespace narravox::bench {
namespace {

using testing::Cp;
using testing::Location;
using testing::Reaction;
using testing::Scenario;
using testing::Section;
using testing::Statement;
using testing::VerbGroup;

constexpr std::int16_t kArrivalVerb = 1;
constexpr std::int16_t kLookVerb = 2;
constexpr std::int16_t kTakeVerb = 3;
constexpr std::int16_t kWaitVerb = 99;

// Bytes an object section adds besides its statement text: the phrase count, two phrases of up
// to 24 bytes, the section end, and a reaction head with two verbs, the opcode and the text's
// zero byte.
constexpr std::size_t kSectionOverhead = 2 + 50 + 4 + 2 + 4 + 4 + 2 + 1;
constexpr std::size_t kSectionBytes = 512;

Statement CpText(std::string cp1251) {
    Statement statement;
    statement.kind = Statement::Kind::kText;
    statement.text = std::move(cp1251);
    return statement;
}

// Filler prose of exactly `length` bytes, without line feeds.
std::string Filler(std::size_t length) {
    static constexpr const char* kSentence =
        "Пыльная комната, в которой давно никто не бывал; на полках стоят старые книги. ";
    const std::string sentence = Cp(kSentence);
    std::string text;
    while (text.size() < length) {
        text += sentence;
    }
    text.resize(length);
    return text;
}

Location FillerLocation(std::uint16_t id, std::size_t block_bytes) {
    Location location;
    location.id = id;
    location.name = "Комната " + std::to_string(id);
    const std::size_t sections = std::max<std::size_t>(1, block_bytes / kSectionBytes);
    const std::size_t per_section = block_bytes / sections;
    const std::size_t text_length =
        per_section > kSectionOverhead + 16 ? per_section - kSectionOverhead : 16;
    const std::string text = Filler(text_length);
    for (std::size_t i = 0; i < sections; ++i) {
        Section section;
        section.phrases = {"камень " + std::to_string(i), "серый камень " + std::to_string(i)};
        section.reactions.push_back(Reaction{{kTakeVerb, kWaitVerb}, {CpText(text)}});
        location.sections.push_back(std::move(section));
    }
    return location;
}

std::vector<VerbGroup> SmallVocabulary() {
    return {
        {kLookVerb, {"осмотреть", "осм"}},
        {kTakeVerb, {"взять", "поднять"}},
        {kWaitVerb, {"ждать"}},
    };
}

}  // namespace

Button NullHost::ShowBox(const Box& box) {
    return box.buttons == BoxButtons::kYesNo ? Button::kYes : Button::kOk;
}

std::optional<std::string> NullHost::ChooseFile(FileChoice) {
    return std::nullopt;
}

void NullHost::SetTitle(std::string_view) {}

std::unique_ptr<GameOnDisk> WriteLargeGame(std::size_t target_bytes, int locations) {
    Scenario scenario;
    scenario.global = 0;
    scenario.start = static_cast<std::uint16_t>(locations);
    scenario.arrival = kArrivalVerb;
    scenario.info = "Большой сценарий для замеров.\n";
    // The global location stands first and knows nothing of the command's verb, so every turn
    // makes both passes and the second walks the whole table.
    Location global;
    global.id = 0;
    global.sections.push_back(
        Section{{"", "небо"}, {Reaction{{kWaitVerb}, {testing::Text("Время идёт.\n")}}}});
    scenario.locations.push_back(std::move(global));
    const std::size_t block_bytes = target_bytes / static_cast<std::size_t>(locations);
    for (int id = 1; id <= locations; ++id) {
        scenario.locations.push_back(FillerLocation(static_cast<std::uint16_t>(id), block_bytes));
    }
    scenario.locations.back().sections.push_back(
        Section{{"лампа", "старая лампа"},
                {Reaction{{kLookVerb},
                          {testing::Text("Старая медная лампа.\nСтекло закопчено, фитиль сух.\n"
                                         "Кажется, её давно не зажигали.")}}}});
    auto game = std::make_unique<GameOnDisk>();
    const std::string scenario_file = testing::BuildScenario(scenario);
    const std::string commands_file = testing::BuildCommands(SmallVocabulary());
    testing::WriteFile(game->folder / kScenarioFileName, scenario_file);
    testing::WriteFile(game->folder / kCommandsFileName, commands_file);
    game->command = Cp("осмотреть старая лампа");
    game->scenario_bytes = scenario_file.size();
    game->commands_bytes = commands_file.size();
    return game;
}

std::unique_ptr<GameOnDisk> WriteLargeVocabulary(int synonyms) {
    // Synonyms are made of syllables, as made-up verbs of one to three words.
    static constexpr const char* kSyllables[] = {"ка", "ро", "ми", "ту", "ле", "за", "по", "ны",
                                                 "вя", "ше", "гу", "бо", "дэ", "жи", "сю", "ф"};
    const auto word = [](int number) {
        std::string text;
        do {
            text += kSyllables[number % 16];
            number /= 16;
        } while (number > 0);
        return text;
    };
    std::vector<VerbGroup> groups;
    std::string command_verb;
    for (int i = 0; i < synonyms; ++i) {
        if (i % 4 == 0) {
            groups.push_back(VerbGroup{static_cast<std::int16_t>(10 + i / 4), {}});
        }
        std::string synonym = "при" + word(i);
        if (i % 3 == 1) {
            synonym += " в";
        } else if (i % 7 == 2) {
            synonym += " на " + word(i / 7);
        }
        if (i == synonyms / 2) {
            command_verb = synonym;
        }
        groups.back().synonyms.push_back(std::move(synonym));
    }
    Scenario scenario;
    scenario.locations.push_back(Location{0, "", {}});
    auto game = std::make_unique<GameOnDisk>();
    const std::string commands_file = testing::BuildCommands(groups);
    const std::string scenario_file = testing::BuildScenario(scenario);
    testing::WriteFile(game->folder / kCommandsFileName, commands_file);
    testing::WriteFile(game->folder / kScenarioFileName, scenario_file);
    game->command = Cp(command_verb + " старый ключ");
    game->scenario_bytes = scenario_file.size();
    game->commands_bytes = commands_file.size();
    return game;
}

std::string MakeProse(std::size_t bytes, unsigned seed) {
    std::mt19937 random(seed);
    std::string text;
    text.reserve(bytes + 64);
    std::size_t line_length = 0;
    std::size_t next_break = 40 + random() % 400;
    while (text.size() < bytes) {
        // Cyrillic letters occupy 0xE0..0xFF in code page 1251.
        const std::size_t word_length = random() % 200 == 0 ? 600 : 1 + random() % 11;
        for (std::size_t i = 0; i < word_length; ++i) {
            text += static_cast<char>(0xE0 + random() % 32);
        }
        line_length += word_length;
        if (line_length >= next_break) {
            text += '\n';
            line_length = 0;
            next_break = 40 + random() % 400;
        } else {
            text += ' ';
            ++line_length;
        }
    }
    text.resize(bytes);
    return text;
}

std::string SizeName(std::size_t bytes) {
    if (bytes >= (1u << 20) && bytes % (1u << 20) == 0) {
        return std::to_string(bytes >> 20) + "MB";
    }
    if (bytes >= 1024 && bytes % 1024 == 0) {
        return std::to_string(bytes >> 10) + "KB";
    }
    return std::to_string(bytes) + "B";
}

}  // namespace narravox::bench
