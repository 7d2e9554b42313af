#pragma once

#include "engine/buffer.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

struct CloseFile {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};

// A copy of bytes as they are overwritten, to put back should the overwrite fail. It is
// kept in an anonymous temporary file, whose pages cost the system far less than as many
// fresh pages of memory, or in memory where no such file can be had. Its destructor
// closes and so removes the file: nothing rides on the outcome.
struct SavedRange {
    std::uint32_t at = 0;     // where the bytes were, from the start of the file
    std::uint32_t length = 0; // how many have been kept so far
    std::uint32_t capacity = 0;
    std::unique_ptr<std::FILE, CloseFile> copy;
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
