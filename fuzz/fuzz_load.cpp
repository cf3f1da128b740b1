// A saved game of arbitrary bytes, loaded into a running game, followed by a turn.
#include "fuzz_host.h"
#include "session.h"

using namespace narravox;

namespace {

std::string Scrambled(std::string plain) {
    for (std::size_t i = 4; i < plain.size(); ++i) {
        plain[i] = static_cast<char>(static_cast<unsigned char>(plain[i]) ^ (i & 0xFF));
    }
    return plain;
}

// A small well-formed game: location 1 answers the verb "look" (id 1), which is also the
// arrival verb, with a text.
void WriteGame(const std::filesystem::path& folder) {
    fuzzing::WriteBytes(folder / "Commands.ply", Scrambled(std::string("CMD3\1\0\1\0look\0", 13)));
    // Header: table at 15, global 0, start 1, arrival verb 1, empty information text.
    std::string scenario("SCR3\x0F\0\0\0\0\0\1\0\1\0\0", 15);
    // Location 1 named "y", one section with the empty phrase and one reaction to verb 1
    // printing "hi"; block, section and reaction all end at the end of the file.
    const char end = static_cast<char>(15 + 28);
    scenario += std::string{end, 0, 0, 0, 1, 0,   'y', 0, 1, 0,   0,   end, 0,   0,
                            0,   1, 0, 1, 0, end, 0,   0, 0, 'T', 'X', 'h', 'i', 0};
    fuzzing::WriteBytes(folder / "Scenario.ply", Scrambled(scenario));
}

// Answers every file choice with the saved game under test.
class LoadHost : public Host {
  public:
    explicit LoadHost(std::string path) : path_(std::move(path)) {}
    Button ShowBox(const Box&) override { return Button::kOk; }
    std::optional<std::string> ChooseFile(FileChoice) override { return path_; }
    void SetTitle(std::string_view) override {}
    void RepaintTextWindow() override {}
    void WaitForNextSecond() override {}

  private:
    std::string path_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto& folder = fuzzing::ScratchFolder();
    WriteGame(folder);
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    fuzzing::WriteBytes(folder / "save.nvs", bytes);
    LoadHost host((folder / "save.nvs").string());
    Session session(host, "Fuzz", folder.string());
    if (session.Start(24, 80) != StartResult::kStarted) {
        __builtin_trap();
    }
    session.game().Flags[100] = 0x5A;
    const auto flags_before = session.game().Flags;
    const auto location_before = session.game().CurrentLocation;
    session.PressEnter("\xE7\xE0\xE3\xF0\xF3\xE7\xE8\xF2\xFC");  // "загрузить"
    // Only a whole saved game with its magic changes the game.
    const bool whole = size >= 4102 && bytes.starts_with("NVES");
    if (!whole && (session.game().Flags != flags_before ||
                   session.game().CurrentLocation != location_before)) {
        __builtin_trap();
    }
    if (whole &&
        (session.game().CurrentLocation != static_cast<std::uint16_t>(data[4] | data[5] << 8) ||
         !std::equal(session.game().Flags.begin(), session.game().Flags.end(), data + 6))) {
        __builtin_trap();
    }
    session.PressEnter("look");
    return 0;
}
