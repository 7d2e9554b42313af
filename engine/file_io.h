#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <ios>
#include <string>

// The three ways a path is opened, as binary streams.
constexpr std::ios::openmode READ = std::ios::in;                     // "rb"
constexpr std::ios::openmode WRITE = std::ios::out | std::ios::trunc; // "wb": created or emptied
constexpr std::ios::openmode UPDATE = std::ios::in | std::ios::out; // "r+b": must exist, unchanged

// Files too large to hold in a few pages are worked through pieces of this size: fresh
// memory costs more to map than the reads and writes themselves. 256 KiB copies a file
// faster than 1 MiB (fewer pages to map) or 64 KiB (more calls).
constexpr std::uint32_t PIECE_SIZE = 1 << 18;

// The length of the piece at offset in a file of size bytes: 0 past its end.
std::uint32_t piece_at(std::uint32_t size, std::uint64_t offset);

bool is_folder(const std::filesystem::path& path);

// Opens a stream on a path. It fails, leaving the stream closed and usable again,
// when the stream already has a file open, the path names a folder (which some
// systems would open as a stream that fails only later), or the open itself fails.
template <class Stream>
bool open_file(Stream& stream, const std::filesystem::path& path, std::ios::openmode mode) {
    if (stream.is_open() || is_folder(path)) return false;
    stream.open(path, mode | std::ios::binary);
    if (stream.is_open()) return true;
    stream.clear();
    return false;
}

// Reads exactly count bytes; false when fewer could be read.
bool read_exactly(std::istream& stream, unsigned char* bytes, std::uint32_t count);

// Reads exactly count bytes and closes the stream; false when fewer could be read.
bool read_whole(std::ifstream& stream, unsigned char* bytes, std::uint32_t count);

// Closes a stream that was written; false when any write before, or the flush and
// close themselves, failed. The stream is usable again either way.
bool close_output(std::ofstream& stream);

// Writes count zero bytes, a piece at a time.
void write_zeros(std::ostream& stream, std::uint32_t count);

// Writes count bytes taken from block over and over, at most piece bytes a write.
void write_repeated(std::ostream& stream, const unsigned char* block, std::uint32_t piece,
                    std::uint32_t count);

// Creates the file, or empties it; false when it cannot be opened for writing.
bool empty_file(const std::filesystem::path& path);

bool resize_file(const std::filesystem::path& path, std::uint32_t length);
