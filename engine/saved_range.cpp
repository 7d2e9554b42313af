#include "engine/saved_range.h"

#include "engine/file_io.h"

#include <algorithm>
#include <cstring>

namespace {

// Reads count kept bytes from offset at of the temporary file; false when fewer come.
bool read_kept(File& copy, std::uint64_t at, unsigned char* bytes, std::uint32_t count) {
    return copy.seek(at) && copy.read(bytes, count) == count;
}

// The bytes kept so far, moved from a temporary file that can take no more into memory;
// false, leaving them in the file, when there is no memory or they cannot be read back.
bool move_to_memory(SavedRange& saved) {
    Buffer bytes = try_allocate_zeros(saved.capacity);
    if (!bytes || !read_kept(saved.copy, 0, bytes.get(), saved.length)) return false;
    saved.bytes = std::move(bytes);
    saved.copy.close();
    return true;
}

} // namespace

void start_saving(SavedRange& saved, std::uint32_t at, std::uint32_t capacity, bool secret) {
    saved.at = at;
    saved.length = 0;
    saved.written = 0;
    saved.capacity = capacity;
    saved.secret = secret;
    // At most one file's 30 MiB in memory.
    if (secret || !saved.copy.open_temporary()) saved.bytes = allocate_bytes(capacity);
}

bool keep(SavedRange& saved, const unsigned char* bytes, std::uint32_t count) {
    // Written through at once, so that a temporary folder without room shows now, not
    // when the bytes are needed.
    if (saved.copy.is_open() && saved.copy.write(bytes, count) != count && !move_to_memory(saved))
        return false;
    if (!saved.copy.is_open()) std::memcpy(saved.bytes.get() + saved.length, bytes, count);
    saved.length += count;
    return true;
}

bool put_back(SavedRange& saved, File& file, unsigned char* piece,
              const std::function<void(std::uint32_t put)>& told) {
    // Bytes past what was written over are as they were: on a full drive, writing them
    // again could only fail.
    const std::uint32_t length = std::min(saved.length, saved.written);
    if (!file.seek(saved.at)) return false;
    // From memory in one write; from the temporary file a piece at a time.
    const bool kept_in_file = saved.copy.is_open();
    const std::uint32_t step = kept_in_file ? PIECE_SIZE : length;
    bool whole = true;
    for (std::uint32_t offset = 0; whole && offset < length; offset += step) {
        const std::uint32_t count = std::min(step, length - offset);
        const unsigned char* bytes = kept_in_file ? piece : saved.bytes.get() + offset;
        whole = (!kept_in_file || read_kept(saved.copy, offset, piece, count)) &&
                file.write(bytes, count) == count;
        if (whole && told) told(offset + count);
    }
    return whole;
}

KeptBytes keep_for_good(SavedRange& saved) {
    if (!saved.copy.is_open())
        return {keep_in_file(saved.bytes.get(), saved.length, saved.secret), saved.at};
    return {saved.copy.keep().value_or(std::filesystem::path()), saved.at};
}

std::filesystem::path keep_in_file(const unsigned char* bytes, std::uint32_t count, bool secret) {
    File copy;
    if (!copy.open_temporary(secret) || copy.write(bytes, count) != count) return {};
    return copy.keep().value_or(std::filesystem::path());
}
