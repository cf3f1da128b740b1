#include "save/saved_game.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <random>

#include "cp1251.h"
#include "data/data_file.h"
#include "host.h"
#include "interp/reactions.h"
#include "io_error.h"

namespace narravox {
namespace {

constexpr std::string_view kSavedGameMagic = "NVES";

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A new, empty file beside the target, opened for writing.
int CreateTemporaryFile(const std::string& folder, std::string& temporary_path) {
    std::random_device entropy;
    std::mt19937_64 random(entropy());
    for (int attempt = 0; attempt < 100; ++attempt) {
        static constexpr char kDigits[] = "0123456789abcdef";
        std::string name = "/.nvs-save-";
        for (std::uint64_t bits = random(), i = 0; i < 12; ++i, bits >>= 4) {
            name += kDigits[bits & 0xF];
        }
        temporary_path = folder + name;
        const int fd =
            ::open(temporary_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    errno = EEXIST;
    return -1;
}

void WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            ThrowIoErrorFromErrno();
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

}  // namespace

void SaveGame(const Game& game, const std::string& path) {
    std::array<char, kSavedGameSize> image{};
    std::copy(kSavedGameMagic.begin(), kSavedGameMagic.end(), image.begin());
    image[4] = static_cast<char>(game.CurrentLocation & 0xFF);
    image[5] = static_cast<char>(game.CurrentLocation >> 8);
    std::copy(game.Flags.begin(), game.Flags.end(), image.begin() + 6);

    // A save the player has made read-only stays protected, as it would if it were overwritten
    // in place.
    if (::access(path.c_str(), W_OK) != 0 && errno != ENOENT) {
        ThrowIoErrorFromErrno();
    }
    std::string temporary_path;
    const int fd = CreateTemporaryFile(FolderOf(path), temporary_path);
    if (fd < 0) {
        ThrowIoErrorFromErrno();
    }
    bool open = true;
    try {
        WriteAll(fd, image.data(), image.size());
        if (::fsync(fd) != 0) {
            ThrowIoErrorFromErrno();
        }
        open = false;
        if (::close(fd) != 0) {
            ThrowIoErrorFromErrno();
        }
        if (::rename(temporary_path.c_str(), path.c_str()) != 0) {
            ThrowIoErrorFromErrno();
        }
    } catch (...) {
        if (open) {
            ::close(fd);
        }
        ::unlink(temporary_path.c_str());
        throw;
    }
}

void LoadGame(Game& game, const std::string& path) {
    std::array<char, kSavedGameSize> image{};
    {
        DataFile file(path);
        file.ReadPlain(image.data(), 4);
        if (std::string_view(image.data(), 4) != kSavedGameMagic) {
            game.host().ShowBox(Box{Utf8ToCp1251Lossy("Ошибка"),
                                    Utf8ToCp1251Lossy("Неверный формат файла!"), BoxButtons::kOk,
                                    BoxIcon::kError});
            return;
        }
        file.ReadPlain(image.data() + 4, static_cast<std::int32_t>(kSavedGameSize - 4));
    }
    game.CurrentLocation = static_cast<LocationId>(static_cast<unsigned char>(image[4]) |
                                                   static_cast<unsigned char>(image[5]) << 8);
    std::copy(image.begin() + 6, image.end(), game.Flags.begin());
    EnterLocation(game);
}

}  // namespace narravox
