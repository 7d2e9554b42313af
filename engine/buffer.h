#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>

struct FreeBytes {
    void operator()(unsigned char* bytes) const noexcept { std::free(bytes); }
};

// Heap bytes, released on every way out of the operation that holds them.
using Buffer = std::unique_ptr<unsigned char[], FreeBytes>;

// Uninitialised bytes: the buffer is filled by a read straight away.
inline Buffer allocate_bytes(std::size_t count) {
    Buffer bytes(static_cast<unsigned char*>(std::malloc(count ? count : 1)));
    if (!bytes) throw std::bad_alloc();
    return bytes;
}

// Zero bytes, or null when a block this large cannot be had.
inline Buffer try_allocate_zeros(std::size_t count) {
    return Buffer(static_cast<unsigned char*>(std::calloc(count ? count : 1, 1)));
}

// Room for count bytes that start at the same place within a 64-byte line as `offset` in
// the file they are read from. On the machine the benchmarks ran on, a copy between the
// page cache and memory that lands 1 to 63 bytes past its source (modulo 4 KiB) ran at a
// third of its speed: the processor mistakes its loads for ones of the bytes it has just
// stored (4K aliasing).
struct AlignedBytes {
    Buffer block;
    unsigned char* bytes = nullptr;
};

constexpr std::size_t LINE_SIZE = 64;

inline AlignedBytes allocate_aligned(std::size_t count, std::uint64_t offset) {
    AlignedBytes room{allocate_bytes(count + LINE_SIZE)};
    const auto start = reinterpret_cast<std::uintptr_t>(room.block.get());
    room.bytes = room.block.get() + (offset - start) % LINE_SIZE;
    return room;
}
