// Destinations that are no regular file: a FIFO, a pipe (/dev/stdout when
// standard output is one), a character device. They cannot be replaced by a
// rename, nor read back or seeked in, so a save makes the whole file in
// memory and writes it to them once, front to back.
#pragma once

#include <filesystem>
#include <span>
#include <string>

namespace kttrv::saving {

// How long a save waits for a process to open a FIFO for reading.
inline constexpr int kReaderWaitMilliseconds = 5000;

// Whether path, links followed as the system follows them (/dev/stdout
// included), is something that exists and is neither a regular file nor a
// folder.
bool is_stream_destination(const std::filesystem::path& path);

// Opens path for writing without creating or truncating anything, a FIFO
// waiting at most wait_ms for its reader, and writes bytes whole. False and
// problem set (the reason, as a save reports it) on failure.
bool write_stream_destination(const std::filesystem::path& path, std::span<const unsigned char> bytes, int wait_ms,
                              std::string& problem);

}  // namespace kttrv::saving
