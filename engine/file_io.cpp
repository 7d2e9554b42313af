#include "engine/file_io.h"

#include "engine/buffer.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

bool is_folder(const fs::path& path) {
    std::error_code ignored;
    return fs::is_directory(path, ignored);
}

std::uint32_t piece_at(std::uint32_t size, std::uint64_t offset) {
    return offset < size
               ? static_cast<std::uint32_t>(std::min<std::uint64_t>(PIECE_SIZE, size - offset))
               : 0;
}

bool read_exactly(std::istream& stream, unsigned char* bytes, std::uint32_t count) {
    stream.read(reinterpret_cast<char*>(bytes), static_cast<std::streamsize>(count));
    return stream.gcount() == static_cast<std::streamsize>(count);
}

bool read_whole(std::ifstream& stream, unsigned char* bytes, std::uint32_t count) {
    const bool whole = read_exactly(stream, bytes, count);
    stream.close();
    stream.clear();
    return whole;
}

bool close_output(std::ofstream& stream) {
    stream.close();
    const bool written = !stream.fail();
    stream.clear();
    return written;
}

void write_zeros(std::ostream& stream, std::uint32_t count) {
    if (count == 0) return;
    // One piece written over and over: the same file as a single block, without the time
    // it takes to map up to 100 MiB of fresh memory, nor the risk of not getting it.
    const std::uint32_t piece = std::min(count, PIECE_SIZE);
    const Buffer block = try_allocate_zeros(piece);
    if (!block) throw std::bad_alloc();
    write_repeated(stream, block.get(), piece, count);
}

void write_repeated(std::ostream& stream, const unsigned char* block, std::uint32_t piece,
                    std::uint32_t count) {
    for (std::uint32_t left = count; left > 0 && stream;) {
        const std::uint32_t length = std::min(piece, left);
        stream.write(reinterpret_cast<const char*>(block), static_cast<std::streamsize>(length));
        left -= length;
    }
}

bool empty_file(const fs::path& path) {
    std::ofstream file;
    return open_file(file, path, WRITE) && close_output(file);
}

bool resize_file(const fs::path& path, std::uint32_t length) {
    std::error_code failed;
    fs::resize_file(path, length, failed);
    return !failed;
}
