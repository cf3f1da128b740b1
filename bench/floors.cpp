// SPDX-License-Identifier: MIT
#include "floors.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>

#include "data/data_file.h"
#include "interp/normalize.h"

namespace narravox::bench {
namespace {

class FloorError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

int OpenForReading(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        throw FloorError("cannot open " + path);
    }
    return fd;
}

std::int64_t SizeOf(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        throw FloorError("cannot stat");
    }
    return info.st_size;
}

// A data file mapped for one use.
class MappedFile {
  public:
    explicit MappedFile(const std::string& path) : fd_(OpenForReading(path)), size_(SizeOf(fd_)) {
        if (size_ > 0) {
            void* map =
                ::mmap(nullptr, static_cast<std::size_t>(size_), PROT_READ, MAP_PRIVATE, fd_, 0);
            if (map == MAP_FAILED) {
                ::close(fd_);
                throw FloorError("cannot map " + path);
            }
            data_ = static_cast<const unsigned char*>(map);
        }
    }
    ~MappedFile() {
        if (data_ != nullptr) {
            ::munmap(const_cast<unsigned char*>(data_), static_cast<std::size_t>(size_));
        }
        ::close(fd_);
    }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    std::int64_t Position() const { return position_; }
    void Seek(std::int64_t position) { position_ = position; }
    bool AtEnd() const { return position_ >= size_; }
    unsigned char Byte() {
        if (position_ < 0 || position_ >= size_) {
            throw FloorError("read beyond end of file");
        }
        const unsigned char plain = data_[position_] ^ ScrambleKey(position_);
        ++position_;
        return plain;
    }

  private:
    int fd_;
    std::int64_t size_;
    const unsigned char* data_ = nullptr;
    std::int64_t position_ = 0;
};

// One read() per byte, one lseek() per seek.
class ByteCallFile {
  public:
    explicit ByteCallFile(const std::string& path)
        : fd_(OpenForReading(path)), size_(SizeOf(fd_)) {}
    ~ByteCallFile() { ::close(fd_); }
    ByteCallFile(const ByteCallFile&) = delete;
    ByteCallFile& operator=(const ByteCallFile&) = delete;

    std::int64_t Position() const { return position_; }
    void Seek(std::int64_t position) {
        if (::lseek(fd_, position, SEEK_SET) < 0) {
            throw FloorError("cannot seek");
        }
        position_ = position;
    }
    bool AtEnd() const { return position_ >= size_; }
    unsigned char Byte() {
        unsigned char byte = 0;
        if (::read(fd_, &byte, 1) != 1) {
            throw FloorError("read beyond end of file");
        }
        const unsigned char plain = byte ^ ScrambleKey(position_);
        ++position_;
        return plain;
    }

  private:
    int fd_;
    std::int64_t size_;
    std::int64_t position_ = 0;
};

template <class File>
std::uint16_t U16(File& file) {
    const unsigned low = file.Byte();
    return static_cast<std::uint16_t>(low | (unsigned{file.Byte()} << 8));
}

template <class File>
std::int32_t I32(File& file) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        value |= std::uint32_t{file.Byte()} << (8 * i);
    }
    return static_cast<std::int32_t>(value);
}

// A zero-terminated string; when the file ends right after a byte, that byte is dropped.
template <class File>
std::string String(File& file) {
    std::string text;
    for (;;) {
        const unsigned char byte = file.Byte();
        if (file.AtEnd() || byte == 0) {
            return text;
        }
        text += static_cast<char>(byte);
    }
}

unsigned char FoldYoByte(unsigned char byte) {
    return byte == 0xB8 ? 0xE5 : byte == 0xA8 ? 0xC5 : byte;
}

// Compares a stored phrase with the text as it is read, without keeping it. Returns whether they
// are equal and raises `best_mismatch` to the phrase's mismatch position otherwise.
template <class File>
bool PhraseEquals(File& file, const std::string& text, std::size_t& best_mismatch) {
    std::size_t length = 0;
    std::size_t agreeing = 0;  // leading bytes equal to the text's
    bool agrees = true;
    for (;;) {
        const unsigned char byte = FoldYoByte(file.Byte());
        if (file.AtEnd() || byte == 0) {
            break;
        }
        if (agrees && length < text.size() && static_cast<unsigned char>(text[length]) == byte) {
            ++agreeing;
        } else {
            agrees = false;
        }
        ++length;
    }
    if (agrees && length == text.size()) {
        return true;
    }
    const std::size_t shorter = std::min(length, text.size());
    const std::size_t mismatch = shorter == 0 ? 1 : std::min(agreeing + 1, shorter);
    best_mismatch = std::max(best_mismatch, mismatch);
    return false;
}

// The one statement the benchmark games use, printed as the text statement prints outside the
// centred mode.
template <class File>
void RunStatement(Game& game, File& file) {
    const auto first = static_cast<char>(file.Byte());
    const auto second = static_cast<char>(file.Byte());
    if (StatementCodeOf(first, second) != StatementCode::kText) {
        throw FloorError("the floor runs text statements only");
    }
    auto& window = game.TextWindow;
    window.PrintText("  ");
    std::string line;
    for (;;) {
        const unsigned char byte = file.Byte();
        if (byte != 0) {
            line += static_cast<char>(byte);
        }
        if (byte == '\n' || byte == 0) {
            window.PrintText(line);
            window.PrintText("  ");
            line.clear();
        }
        if (byte == 0 || file.AtEnd()) {
            break;
        }
    }
    window.PrintText("\n");
}

template <class File>
VerbId FindVerbIn(std::string_view game_folder, std::string& text) {
    File file(DataFilePath(game_folder, kCommandsFileName));
    file.Seek(kBodyStart);
    std::size_t best_length = 0;
    VerbId result = kNoVerb;
    while (!file.AtEnd()) {
        const std::uint16_t count = U16(file);
        const VerbId verb = static_cast<VerbId>(U16(file));
        for (std::uint32_t i = 0; i < count; ++i) {
            std::size_t length = 0;
            bool prefix = true;
            for (;;) {
                const unsigned char byte = file.Byte();
                if (file.AtEnd() || byte == 0) {
                    break;
                }
                prefix = prefix && length < text.size() &&
                         static_cast<unsigned char>(text[length]) == byte;
                ++length;
            }
            if (prefix && length > 0 && length >= best_length &&
                (length == text.size() || text[length] == ' ')) {
                best_length = length;
                result = verb;
            }
        }
    }
    text.erase(0, best_length);
    return result;
}

template <class File>
void Pass(Game& game, VerbId verb, const std::string& text) {
    File file(DataFilePath(game.GameFolder, kScenarioFileName));
    file.Seek(game.LocationTableOffset);
    bool found = false;
    std::size_t best_mismatch = 0;
    for (;;) {
        const std::int64_t block_start = file.Position();
        const std::int32_t block_end = I32(file);
        const LocationId id = U16(file);
        if (id == game.CurrentLocation) {
            const std::string name = String(file);
            if (game.CurrentLocation != game.GlobalLocation) {
                game.SetTitle(" " + name);
            }
            std::int64_t reaction_end = 0;
            while (!found && file.Position() < block_end) {
                const auto phrases = static_cast<std::int16_t>(U16(file));
                bool holds_text = false;
                for (std::int32_t i = 0; i < phrases; ++i) {
                    holds_text = PhraseEquals(file, text, best_mismatch) || holds_text;
                }
                const std::int32_t section_end = I32(file);
                if (!holds_text) {
                    file.Seek(section_end);
                    continue;
                }
                while (!found && file.Position() < section_end) {
                    const auto verbs = static_cast<std::int16_t>(U16(file));
                    for (std::int32_t i = 0; i < verbs; ++i) {
                        found = static_cast<VerbId>(U16(file)) == verb || found;
                    }
                    reaction_end = I32(file);
                    if (!found) {
                        file.Seek(reaction_end);
                    }
                }
            }
            if (found) {
                game.Handled = true;
                while (file.Position() < reaction_end && !game.JumpPending) {
                    RunStatement(game, file);
                }
            }
            break;
        }
        if (block_end <= block_start) {
            break;
        }
        file.Seek(block_end);
        if (game.JumpPending || file.AtEnd()) {
            break;
        }
    }
    game.CenterMode = false;
    if (!found && game.CurrentLocation != game.GlobalLocation) {
        throw FloorError("the floor prints no failure messages");
    }
}

template <class File>
void DoCommandIn(Game& game, std::string line) {
    const VerbId verb = FindVerbIn<File>(game.GameFolder, line);
    if (verb == kNoVerb) {
        throw FloorError("the floor plays known verbs only");
    }
    game.Handled = false;
    const std::string object_text = NormalizeCommand(line);
    const LocationId saved = game.CurrentLocation;
    game.CurrentLocation = game.GlobalLocation;
    Pass<File>(game, verb, object_text);
    game.CurrentLocation = saved;
    if (game.Handled) {
        return;
    }
    game.JumpPending = false;
    Pass<File>(game, verb, object_text);
    if (game.JumpPending) {
        throw FloorError("the floor follows no jumps");
    }
}

}  // namespace

VerbId FloorFindVerb(std::string_view game_folder, std::string& text) {
    return FindVerbIn<MappedFile>(game_folder, text);
}

void FloorDoCommand(Game& game, std::string line) {
    DoCommandIn<MappedFile>(game, std::move(line));
}

void BaselineDoCommand(Game& game, std::string line) {
    DoCommandIn<ByteCallFile>(game, std::move(line));
}

}  // namespace narravox::bench
