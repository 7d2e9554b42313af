#pragma once

#include "engine/buffer.h"
#include "engine/file.h"

#include <cstdint>
#include <filesystem>
#include <functional>

// A copy of bytes as they are overwritten, to put back should the overwrite fail. It is
// kept in a temporary file, whose pages cost the system far less than as many fresh
// pages of memory, and which the system removes however the program ends; or in memory
// where no such file can be had, or where the bytes are an encrypted file's, which no
// file in the clear may hold.
struct SavedRange {
    std::uint32_t at = 0;      // where the bytes were, from the start of the file
    std::uint32_t length = 0;  // how many have been kept so far
    std::uint32_t written = 0; // how many of them have been written over
    std::uint32_t capacity = 0;
    bool secret = false; // the bytes of an encrypted file
    File copy;           // open while the copy is in the temporary file
    Buffer bytes;        // used when copy is closed
};

// Where the old bytes of a file that could not be mended are kept, for the message.
struct KeptBytes {
    std::filesystem::path file; // empty where no file could hold them
    std::uint32_t at = 0;       // where they belong in the damaged file
};

// Starts a copy of up to capacity bytes that were at `at`; secret: of an encrypted file.
void start_saving(SavedRange& saved, std::uint32_t at, std::uint32_t capacity, bool secret);

// Adds the next count bytes of the range to the copy; false when they cannot be kept.
bool keep(SavedRange& saved, const unsigned char* bytes, std::uint32_t count);

// Writes the kept bytes that were written over back where they were in file, through
// piece (at least PIECE_SIZE bytes, or the length) when they are in the temporary file;
// false when any of it fails. told: the bytes put back so far, after each write.
bool put_back(SavedRange& saved, File& file, unsigned char* piece,
              const std::function<void(std::uint32_t put)>& told = {});

// The copy, made a file of its own that outlives the program: a put-back failed, and the
// user is told where the old bytes are. An encrypted file's old bytes are kept only in a
// file the system encrypts, or nowhere.
KeptBytes keep_for_good(SavedRange& saved);
std::filesystem::path keep_in_file(const unsigned char* bytes, std::uint32_t count, bool secret);
