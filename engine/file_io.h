#pragma once

#include "engine/file.h"

#include <cstdint>
#include <functional>

// Files too large to hold in a few pages are worked through pieces of this size: fresh
// memory costs more to map than the reads and writes themselves. 256 KiB copies a file
// faster than 1 MiB (fewer pages to map) or 64 KiB (more calls).
constexpr std::uint32_t PIECE_SIZE = 1 << 18;

// The length of the piece at offset in a file of size bytes: 0 past its end.
std::uint32_t piece_at(std::uint64_t size, std::uint64_t offset);

// Told the length of each piece that went; false stops the writing there.
using PieceWent = std::function<bool(std::uint32_t length)>;

// Writes count zero bytes, a piece at a time; false when told to stop.
bool write_zeros(File& file, std::uint32_t count, const PieceWent& went = {});

// Writes count bytes taken from block over and over, at most piece bytes a write; stops
// at the first write that fails (true: the file remembers it), or when told to (false).
bool write_repeated(File& file, const unsigned char* block, std::uint32_t piece,
                    std::uint32_t count, const PieceWent& went = {});
