// SPDX-License-Identifier: MIT
#include "files.h"

#include <fstream>
#include <system_error>

namespace narravox::ply {

namespace fs = std::filesystem;

std::optional<std::string> ReadWhole(const fs::path& path, std::ostream& err,
                                     std::uintmax_t max_size) {
    std::error_code code;
    if (!fs::is_regular_file(path, code)) {
        err << path.string()
            << ": cannot read: " << (fs::exists(path, code) ? "not a file" : "no such file")
            << "\n";
        return std::nullopt;
    }
    const auto size = fs::file_size(path, code);
    if (code || size > max_size) {
        err << path.string() << ": cannot read: larger than " << (max_size >> 20) << " MiB\n";
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    std::string data(static_cast<std::size_t>(size), '\0');
    if (!in.read(data.data(), static_cast<std::streamsize>(size))) {
        err << path.string() << ": cannot read\n";
        return std::nullopt;
    }
    return data;
}

bool WriteWhole(const fs::path& path, const std::string& data, std::ostream& err) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    out.close();
    if (!out) {
        err << path.string() << ": cannot write\n";
        return false;
    }
    return true;
}

bool ReplaceWhole(const fs::path& path, const std::string& data, std::ostream& err) {
    fs::path temporary = path;
    temporary += ".part";
    if (!WriteWhole(temporary, data, err)) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return false;
    }
    std::error_code code;
    fs::rename(temporary, path, code);
    if (code) {
        err << path.string() << ": cannot write: " << code.message() << "\n";
        fs::remove(temporary, code);
        return false;
    }
    return true;
}

}  // namespace narravox::ply
