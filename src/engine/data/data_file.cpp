#include "data/data_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "cp1251.h"
#include "host.h"
#include "io_error.h"

namespace narravox {
namespace {

constexpr std::size_t kBufferSize = 16 * 1024;

bool IsPlainFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool HasMagic(const std::string& path, std::string_view magic) {
    DataFile file(path);
    char head[4];
    file.ReadPlain(head, 4);
    return std::string_view(head, 4) == magic;
}

void ShowCheckError(Host& host, const char* utf8_message) {
    host.ShowBox(Box{Utf8ToCp1251Lossy("Ошибка"), Utf8ToCp1251Lossy(utf8_message), BoxButtons::kOk,
                     BoxIcon::kError});
}

}  // namespace

std::string DataFilePath(std::string_view folder, std::string_view file_name) {
    if (folder.empty()) {
        return std::string(file_name);
    }
    std::string path(folder);
    if (path.back() != '/') {
        path += '/';
    }
    path += file_name;
    return path;
}

DataFile::DataFile(const std::string& path) {
    // Non-blocking, so that a named pipe put in a game's place cannot stall the open; it is
    // refused below like any other file that is not a plain file.
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) {
        ThrowIoErrorFromErrno();
    }
    struct stat info {};
    if (::fstat(fd_, &info) != 0) {
        const int saved = errno;
        ::close(fd_);
        throw IoError(IoErrorCodeFromErrno(saved));
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd_);
        throw IoError(kErrorAccessDenied);
    }
    size_ = info.st_size;
}

DataFile::~DataFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool DataFile::Refill() {
    if (position_ < 0) {
        return false;
    }
    if (buffer_.empty()) {
        buffer_.resize(kBufferSize);
    }
    ssize_t got;
    do {
        got = ::pread(fd_, buffer_.data(), buffer_.size(), position_);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        ThrowIoErrorFromErrno();
    }
    buffer_start_ = position_;
    buffer_length_ = static_cast<std::size_t>(got);
    return got > 0;
}

void DataFile::ReadPlain(char* out, std::int32_t count) {
    std::int64_t position = position_;
    std::int32_t done = 0;
    while (done < count) {
        const bool in_buffer = position >= buffer_start_ &&
                               position < buffer_start_ + static_cast<std::int64_t>(buffer_length_);
        if (!in_buffer) {
            const std::int64_t saved = position_;
            position_ = position;
            const bool got = Refill();
            position_ = saved;
            if (!got) {
                throw IoError(kErrorReadBeyondEnd);
            }
        }
        const std::size_t offset = static_cast<std::size_t>(position - buffer_start_);
        const std::size_t take =
            std::min<std::size_t>(buffer_length_ - offset, static_cast<std::size_t>(count - done));
        std::memcpy(out + done, buffer_.data() + offset, take);
        done += static_cast<std::int32_t>(take);
        position += static_cast<std::int64_t>(take);
    }
    position_ = position;
}

void ReadScrambled(DataFile& file, void* destination, std::int32_t count) {
    if (count <= 0) {
        return;
    }
    const std::int64_t start = file.Position();
    char bytes[8];
    std::string large;
    char* plain = bytes;
    if (count > static_cast<std::int32_t>(sizeof bytes)) {
        large.resize(static_cast<std::size_t>(count));
        plain = large.data();
    }
    file.ReadPlain(plain, count);
    auto* out = static_cast<unsigned char*>(destination);
    for (std::int32_t i = 0; i < count; ++i) {
        out[i] =
            static_cast<unsigned char>(plain[i]) ^ static_cast<unsigned char>((start + i) & 0xFF);
    }
}

std::string ReadScrambledString(DataFile& file) {
    std::string text;
    for (;;) {
        unsigned char byte = 0;
        ReadScrambled(file, &byte, 1);
        if (file.AtEnd()) {
            return text;
        }
        if (byte == 0) {
            return text;
        }
        text += static_cast<char>(byte);
    }
}

std::uint16_t ReadU16(DataFile& file) {
    unsigned char bytes[2];
    ReadScrambled(file, bytes, 2);
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

std::int16_t ReadI16(DataFile& file) {
    return static_cast<std::int16_t>(ReadU16(file));
}

std::int32_t ReadI32(DataFile& file) {
    unsigned char bytes[4];
    ReadScrambled(file, bytes, 4);
    const std::uint32_t value =
        static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
        (static_cast<std::uint32_t>(bytes[2]) << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
    return static_cast<std::int32_t>(value);
}

bool CheckDataFiles(Host& host, std::string_view folder) {
    const std::string commands = DataFilePath(folder, kCommandsFileName);
    const std::string scenario = DataFilePath(folder, kScenarioFileName);
    if (!IsPlainFile(commands)) {
        ShowCheckError(host, "Файл команд \"Commands.ply\" не найден!!");
        return false;
    }
    if (!IsPlainFile(scenario)) {
        ShowCheckError(host, "Файл сценария \"Scenario.ply\" не найден!");
        return false;
    }
    if (!HasMagic(commands, kCommandsMagic)) {
        ShowCheckError(host, "Неверный файл команд - \"Commands.ply\"!");
        return false;
    }
    if (!HasMagic(scenario, kScenarioMagic)) {
        ShowCheckError(host, "Неверный файл сценария - \"Scenario.ply\"!");
        return false;
    }
    return true;
}

}  // namespace narravox
