// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "data/file_format.h"

namespace narravox {

class Host;

// The path of a data file in a game folder; an empty folder is the working directory.
std::string DataFilePath(std::string_view folder, std::string_view file_name);

// One use of a data file: opened read-only (other processes may read and write it meanwhile),
// closed when the object goes. Positions are absolute byte offsets from the file's first byte.
// Reads go through a buffer that lives only as long as this object, so every use sees the
// file as it is at that moment.
//
// The buffer follows the way readers move. A walk over the location table reads a few bytes at
// the head of each record and seeks over the rest: after a long seek only a small read is made,
// since copying what will be skipped costs more than a system call; while reads follow each
// other closely (a vocabulary, the records of one location, short records skipped in turn) each
// read is twice as long as the one before, up to kMaxRead.
class DataFile {
  public:
    // Opens an existing plain file; throws IoError when it cannot.
    explicit DataFile(const std::string& path);
    ~DataFile();
    DataFile(const DataFile&) = delete;
    DataFile& operator=(const DataFile&) = delete;

    std::int64_t Position() const { return position_; }
    std::int64_t Size() const { return size_; }
    // A seek may go anywhere, also beyond the end; only reading there fails.
    void Seek(std::int64_t position) { position_ = position; }
    // True when the position is at or beyond the file's size.
    bool AtEnd() const { return position_ >= size_; }

    // Reads `count` plain bytes into `out`, all or nothing; throws IoError (read beyond end of
    // file) when the file ends first.
    void ReadPlain(char* out, std::int32_t count);

    // The plain bytes from the position on that have been read already, reading more when there
    // are none; empty when the file has no data there. The position does not move.
    std::string_view Peek() {
        if (position_ < buffer_start_ ||
            position_ >= buffer_start_ + static_cast<std::int64_t>(buffer_length_)) {
            if (!Refill()) {
                return {};
            }
        }
        const auto offset = static_cast<std::size_t>(position_ - buffer_start_);
        return {buffer_.get() + offset, buffer_length_ - offset};
    }
    // Moves the position over `count` bytes that Peek has shown.
    void Advance(std::size_t count) { position_ += static_cast<std::int64_t>(count); }

    // Reads after a long seek; and the longest read.
    static constexpr std::size_t kSmallRead = 512;
    static constexpr std::size_t kSmallMappedRead = 16;
    static constexpr std::size_t kMaxRead = 64 * 1024;
    // A seek forward by less than this past the buffered bytes counts as reading on: reading
    // through the gap costs less than the system call that a new small read would need.
    static constexpr std::int64_t kNearGap = 8 * 1024;

  private:
    // Reads at the position; false when the file has no data there.
    bool Refill();

    int fd_ = -1;
    // Maps the window of the file that holds `position`; false at or beyond the end of the
    // file, or where the file cannot be mapped.
    bool MapAround(std::int64_t position);
    void Unmap();

    static constexpr std::int64_t kMapWindow = 8 << 20;

    // Whether the file is read through a mapping, and the window mapped now (null for none).
    bool mappable_ = false;
    const char* mapping_ = nullptr;
    std::int64_t mapping_start_ = 0;
    std::size_t mapping_length_ = 0;
    std::int64_t position_ = 0;
    std::int64_t size_ = 0;
    std::unique_ptr<char[]> buffer_;
    std::int64_t buffer_start_ = 0;  // file offset of buffer_[0]
    std::size_t buffer_length_ = 0;  // bytes of buffer_ holding file data
    std::size_t last_read_ = 0;      // length asked of the last read
};

// Reads `count` bytes from the current position, each unscrambled with its own offset. The
// destination changes only when all of them have been read.
void ReadScrambled(DataFile& file, void* destination, std::int32_t count);

// Reads a zero-terminated string; when the file ends right after a byte, that byte is dropped
// and the string ends there.
std::string ReadScrambledString(DataFile& file);

[[noreturn]] void ThrowReadBeyondEnd();

// Reads a zero-terminated string as ReadScrambledString does, handing each byte it keeps to
// `keep` instead of building a text.
template <typename Keep>
void ScanScrambledString(DataFile& file, Keep&& keep) {
    // A byte read at or after this position leaves the file at its end, and so ends the string
    // without being kept, whatever its value.
    const std::int64_t last = file.Size() - 1;
    for (;;) {
        const std::string_view bytes = file.Peek();
        if (bytes.empty()) {
            ThrowReadBeyondEnd();
        }
        const std::int64_t start = file.Position();
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const std::int64_t position = start + static_cast<std::int64_t>(i);
            const char plain =
                static_cast<char>(static_cast<unsigned char>(bytes[i]) ^ ScrambleKey(position));
            if (position >= last || plain == 0) {
                file.Advance(i + 1);
                return;
            }
            keep(plain);
        }
        file.Advance(bytes.size());
    }
}

std::uint16_t ReadU16(DataFile& file);
std::int16_t ReadI16(DataFile& file);
// 32-bit offsets are signed file positions.
std::int32_t ReadI32(DataFile& file);

// Start-up check: both data files exist and carry their magics. On failure shows the error
// box and returns false. Throws IoError when a file cannot be read.
bool CheckDataFiles(Host& host, std::string_view folder);

}  // namespace narravox
