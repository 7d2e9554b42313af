#include "engine/file_io.h"

#include "engine/buffer.h"

#include <algorithm>

std::uint32_t piece_at(std::uint64_t size, std::uint64_t offset) {
    return offset < size
               ? static_cast<std::uint32_t>(std::min<std::uint64_t>(PIECE_SIZE, size - offset))
               : 0;
}

bool write_zeros(File& file, std::uint32_t count, const PieceWent& went) {
    if (count == 0) return true;
    // One piece written over and over: the same file as a single block, without the time
    // it takes to map up to 100 MiB of fresh memory, nor the risk of not getting it.
    const std::uint32_t piece = std::min(count, PIECE_SIZE);
    const Buffer block = try_allocate_zeros(piece);
    if (!block) throw std::bad_alloc();
    return write_repeated(file, block.get(), piece, count, went);
}

bool write_repeated(File& file, const unsigned char* block, std::uint32_t piece,
                    std::uint32_t count, const PieceWent& went) {
    for (std::uint32_t left = count; left > 0;) {
        const std::uint32_t length = std::min(piece, left);
        if (file.write(block, length) != length) return true;
        if (went && !went(length)) return false;
        left -= length;
    }
    return true;
}
