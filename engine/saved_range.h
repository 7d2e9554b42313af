#pragma once

#include "engine/buffer.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <streambuf>
#include <string>

struct CloseFile {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};

// A copy of bytes about to be overwritten, to put back should the overwrite fail. It is
// kept in an anonymous temporary file, whose pages cost the system far less than as many
// fresh pages of memory, or in memory where no such file can be had.
struct SavedRange {
    std::uint32_t at = 0; // where the bytes were, from the start of the file
    std::uint32_t length = 0;
    std::unique_ptr<std::FILE, CloseFile> copy;
    Buffer bytes; // used when copy is null
};

// Keeps length bytes of file from at, read through piece (at least PIECE_SIZE bytes, or
// length); false when they cannot all be read.
bool save_range(std::streambuf& file, std::uint32_t at, std::uint32_t length, unsigned char* piece,
                SavedRange& saved);

// Closes stream, opens path for update and writes the saved bytes back where they were,
// through piece when they are in a file; false when any of it fails. The stream is
// closed and usable again either way.
bool put_back(const SavedRange& saved, std::ofstream& stream, const std::string& path,
              unsigned char* piece);
