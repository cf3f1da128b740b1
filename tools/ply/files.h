// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

// Reading and writing the files narravox-ply's commands take and make, whole, with a message
// on the error stream for each failure.
namespace narravox::ply {

// The file's bytes; nothing (after a message) when it is missing, no regular file, larger than
// `max_size` or unreadable.
std::optional<std::string> ReadWhole(const std::filesystem::path& path, std::ostream& err,
                                     std::uintmax_t max_size);

bool WriteWhole(const std::filesystem::path& path, const std::string& data, std::ostream& err);

// Writes a file whole under NAME.part first, so that a failure leaves whatever the path held.
bool ReplaceWhole(const std::filesystem::path& path, const std::string& data, std::ostream& err);

}  // namespace narravox::ply
