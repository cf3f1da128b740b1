// SPDX-License-Identifier: MIT
#include "data/data_file.h"

#include <fcntl.h>
#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "cp1251.h"
#include "host.h"
#include "io_error.h"

namespace narravox {
namespace {

// Data files are read through a memory mapping: a walk over the location table touches a few
// bytes at the head of each record, and a mapping serves those without a system call each.
// Another process may cut the file short while it is mapped; touching the lost pages then
// raises SIGBUS. Copies out of a mapping therefore run under a guard that turns that signal
// into a failed copy. The guard is per thread and exists only for the length of one copy.
// Volatile, so that the compiler keeps the stores around the copy that the handler reads.
thread_local sigjmp_buf* volatile t_copy_guard = nullptr;
struct sigaction g_previous_bus_action {};

void OnBusError(int signal_number, siginfo_t* info, void* context) {
    if (t_copy_guard != nullptr) {
        siglongjmp(*t_copy_guard, 1);
    }
    // Not a copy of ours: whoever handled the signal before us does, or it ends the program.
    if ((g_previous_bus_action.sa_flags & SA_SIGINFO) != 0 &&
        g_previous_bus_action.sa_sigaction != nullptr) {
        g_previous_bus_action.sa_sigaction(signal_number, info, context);
        return;
    }
    if (g_previous_bus_action.sa_handler != SIG_DFL &&
        g_previous_bus_action.sa_handler != SIG_IGN) {
        g_previous_bus_action.sa_handler(signal_number);
        return;
    }
    ::signal(signal_number, SIG_DFL);
    ::raise(signal_number);
}

void InstallBusErrorGuard() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        struct sigaction action {};
        action.sa_sigaction = OnBusError;
        // Not deferred: the jump out of the handler then leaves nothing blocked.
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &g_previous_bus_action);
    });
}

// Copies bytes out of a mapping; false when the file no longer holds them.
bool CopyFromMapping(char* out, const char* from, std::size_t count) {
    sigjmp_buf jump;
    sigjmp_buf* const outer = t_copy_guard;
    if (sigsetjmp(jump, 0) != 0) {
        t_copy_guard = outer;
        return false;
    }
    t_copy_guard = &jump;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    std::memcpy(out, from, count);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    t_copy_guard = outer;
    return true;
}

// In the browser a "mapping" is a copy of the whole window into memory on every call, far
// slower than reading what is needed, so there the files are only ever read.
#ifdef __EMSCRIPTEN__
constexpr bool kMapsFiles = false;
#else
constexpr bool kMapsFiles = true;
#endif

bool IsPlainFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool HasMagic(const std::string& path, std::string_view magic) {
    DataFile file(path);
    char head[kMagicSize];
    file.ReadPlain(head, kMagicSize);
    return std::string_view(head, kMagicSize) == magic;
}

// The message is in UTF-8 up to the file name and after it.
void ShowCheckError(Host& host, const char* utf8_before, std::string_view file_name,
                    const char* utf8_after) {
    const std::string message =
        Utf8ToCp1251Lossy(utf8_before) + std::string(file_name) + Utf8ToCp1251Lossy(utf8_after);
    host.ShowBox(Box{Utf8ToCp1251Lossy("Ошибка"), message, BoxButtons::kOk, BoxIcon::kError});
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

#ifdef __EMSCRIPTEN__
namespace {

// The kernel refuses a name longer than a file name may be before it looks for the file;
// Emscripten's file systems report such a file as missing instead. The same walk here gives
// the player the same box as on the desktop: a component too long is an invalid file name,
// unless a folder before it is missing.
void RefuseOverlongName(const std::string& path) {
    constexpr std::size_t kMaxNameBytes = 255;
    std::size_t start = 0;
    while (start < path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        if (end - start > kMaxNameBytes) {
            throw IoError(kErrorInvalidFilename);
        }
        struct stat info {};
        if (end > 0 && end < path.size() && ::stat(path.substr(0, end).c_str(), &info) != 0) {
            return;
        }
        start = end + 1;
    }
}

}  // namespace
#endif

DataFile::DataFile(const std::string& path) {
#ifdef __EMSCRIPTEN__
    RefuseOverlongName(path);
#endif
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
    if (kMapsFiles && size_ > 0) {
        InstallBusErrorGuard();
        mappable_ = true;
    }
}

DataFile::~DataFile() {
    Unmap();
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void DataFile::Unmap() {
    if (mapping_ != nullptr) {
        ::munmap(const_cast<char*>(mapping_), mapping_length_);
        mapping_ = nullptr;
    }
}

bool DataFile::MapAround(std::int64_t position) {
    if (mapping_ != nullptr && position >= mapping_start_ &&
        position < mapping_start_ + static_cast<std::int64_t>(mapping_length_)) {
        return true;
    }
    Unmap();
    if (!mappable_ || position >= size_) {
        return false;
    }
    // One window of the file at a time: a walk through a large scenario then never has more
    // of it mapped than the window, however large the file.
    const std::int64_t start = position - position % kMapWindow;
    const auto length = static_cast<std::size_t>(std::min<std::int64_t>(kMapWindow, size_ - start));
    void* mapping = ::mmap(nullptr, length, PROT_READ, MAP_SHARED, fd_, start);
    if (mapping == MAP_FAILED) {
        // Where a file cannot be mapped it is read with system calls instead.
        mappable_ = false;
        return false;
    }
    mapping_ = static_cast<const char*>(mapping);
    mapping_start_ = start;
    mapping_length_ = length;
    return true;
}

bool DataFile::Refill() {
    if (position_ < 0) {
        return false;
    }
    const std::int64_t buffer_end = buffer_start_ + static_cast<std::int64_t>(buffer_length_);
    // From a mapping a copy costs only what it copies, so bytes that a seek skips are never
    // copied; a system call costs more than copying a short gap, so there reading goes on
    // through it.
    const std::int64_t gap = mappable_ ? 1 : kNearGap;
    const bool reading_on =
        last_read_ > 0 && position_ >= buffer_end && position_ - buffer_end < gap;
    // After a seek a mapping is asked for little more than a record's head: the bytes after it
    // would only be fetched from memory to be skipped.
    const std::size_t first_read = mappable_ ? kSmallMappedRead : kSmallRead;
    const std::size_t length = reading_on ? std::min(2 * last_read_, kMaxRead) : first_read;
    if (!buffer_) {
        // Left uninitialised: every byte is written before it is read.
        buffer_.reset(new char[kMaxRead]);
    }
    ssize_t got;
    if (MapAround(position_)) {
        const std::int64_t offset = position_ - mapping_start_;
        got = static_cast<ssize_t>(
            std::min<std::int64_t>(static_cast<std::int64_t>(length),
                                   static_cast<std::int64_t>(mapping_length_) - offset));
        if (!CopyFromMapping(buffer_.get(), mapping_ + offset, static_cast<std::size_t>(got))) {
            got = 0;
        }
    } else if (mappable_) {
        got = 0;  // at or beyond the end of the file
    } else {
        do {
            got = ::pread(fd_, buffer_.get(), length, position_);
        } while (got < 0 && errno == EINTR);
        if (got < 0) {
            ThrowIoErrorFromErrno();
        }
    }
    last_read_ = length;
    buffer_start_ = position_;
    buffer_length_ = static_cast<std::size_t>(got);
    return got > 0;
}

void DataFile::ReadPlain(char* out, std::int32_t count) {
    const std::int64_t start = position_;
    std::int32_t done = 0;
    while (done < count) {
        const std::string_view bytes = Peek();
        if (bytes.empty()) {
            position_ = start;
            throw IoError(kErrorReadBeyondEnd);
        }
        const std::size_t take =
            std::min<std::size_t>(bytes.size(), static_cast<std::size_t>(count - done));
        std::memcpy(out + done, bytes.data(), take);
        done += static_cast<std::int32_t>(take);
        Advance(take);
    }
}

void ReadScrambled(DataFile& file, void* destination, std::int32_t count) {
    if (count <= 0) {
        return;
    }
    const std::int64_t start = file.Position();
    auto* out = static_cast<unsigned char*>(destination);
    const std::string_view buffered = file.Peek();
    if (buffered.size() >= static_cast<std::size_t>(count)) {
        for (std::int32_t i = 0; i < count; ++i) {
            out[i] = static_cast<unsigned char>(buffered[static_cast<std::size_t>(i)]) ^
                     ScrambleKey(start + i);
        }
        file.Advance(static_cast<std::size_t>(count));
        return;
    }
    // Across the buffer's end: read everything first, so that a read that fails part-way
    // leaves the destination as it was.
    char bytes[8];
    std::string large;
    char* plain = bytes;
    if (count > static_cast<std::int32_t>(sizeof bytes)) {
        large.resize(static_cast<std::size_t>(count));
        plain = large.data();
    }
    file.ReadPlain(plain, count);
    for (std::int32_t i = 0; i < count; ++i) {
        out[i] = static_cast<unsigned char>(plain[i]) ^ ScrambleKey(start + i);
    }
}

void ThrowReadBeyondEnd() {
    throw IoError(kErrorReadBeyondEnd);
}

std::string ReadScrambledString(DataFile& file) {
    std::string text;
    ScanScrambledString(file, [&text](char byte) { text += byte; });
    return text;
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
        ShowCheckError(host, "Файл команд \"", kCommandsFileName, "\" не найден!!");
        return false;
    }
    if (!IsPlainFile(scenario)) {
        ShowCheckError(host, "Файл сценария \"", kScenarioFileName, "\" не найден!");
        return false;
    }
    if (!HasMagic(commands, kCommandsMagic)) {
        ShowCheckError(host, "Неверный файл команд - \"", kCommandsFileName, "\"!");
        return false;
    }
    if (!HasMagic(scenario, kScenarioMagic)) {
        ShowCheckError(host, "Неверный файл сценария - \"", kScenarioFileName, "\"!");
        return false;
    }
    return true;
}

}  // namespace narravox
