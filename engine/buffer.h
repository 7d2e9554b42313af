#pragma once

#include <cstddef>
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
