#pragma once

#include "engine/buffer.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

// A file of its own in the system's temporary folder, in a folder made for it: making a
// folder is the one portable way to claim a name that no other file has. It is closed,
// then removed with its folder, when it goes (Windows removes no file that is open).
struct TempFile {
    std::filesystem::path folder;
    std::filesystem::path name;
    std::filebuf file;

    TempFile() = default;
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
};

// A new empty temporary file, open for reading and writing and unbuffered; null where
// none can be had.
std::unique_ptr<TempFile> make_temp_file();

// A copy of bytes as they are overwritten, to put back should the overwrite fail. It is
// kept in a temporary file, whose pages cost the system far less than as many fresh
// pages of memory, or in memory where no such file can be had.
struct SavedRange {
    std::uint32_t at = 0;     // where the bytes were, from the start of the file
    std::uint32_t length = 0; // how many have been kept so far
    std::uint32_t capacity = 0;
    std::unique_ptr<TempFile> copy;
    Buffer bytes; // used when copy is null
};

// Starts a copy of up to capacity bytes that were at `at`.
void start_saving(SavedRange& saved, std::uint32_t at, std::uint32_t capacity);

// Adds the next count bytes of the range to the copy; false when they cannot be kept.
bool keep(SavedRange& saved, const unsigned char* bytes, std::uint32_t count);

// Closes stream, opens path for update and writes the kept bytes back where they were,
// through piece (at least PIECE_SIZE bytes, or the length) when they are in a file;
// false when any of it fails. The stream is closed and usable again either way.
bool put_back(const SavedRange& saved, std::ofstream& stream, const std::filesystem::path& path,
              unsigned char* piece);
