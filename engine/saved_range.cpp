#include "engine/saved_range.h"

#include "engine/file_io.h"

#include <cstring>

namespace {

// The bytes kept so far, moved from a temporary file that can take no more into memory;
// false, leaving them in the file, when there is no memory or they cannot be read back.
bool move_to_memory(SavedRange& saved) {
    Buffer bytes = try_allocate_zeros(saved.capacity);
    std::rewind(saved.copy.get());
    if (!bytes || std::fread(bytes.get(), 1, saved.length, saved.copy.get()) != saved.length)
        return false;
    saved.bytes = std::move(bytes);
    saved.copy.reset();
    return true;
}

} // namespace

void start_saving(SavedRange& saved, std::uint32_t at, std::uint32_t capacity) {
    saved.at = at;
    saved.length = 0;
    saved.capacity = capacity;
    saved.copy.reset(std::tmpfile());
    // Whole pieces go to the file at once: a buffer would only copy them once more.
    if (saved.copy) std::setvbuf(saved.copy.get(), nullptr, _IONBF, 0);
    if (!saved.copy) saved.bytes = allocate_bytes(capacity);
}

bool keep(SavedRange& saved, const unsigned char* bytes, std::uint32_t count) {
    // Flushed at once, so that a temporary folder without room shows now, not when the
    // bytes are needed.
    if (saved.copy &&
        (std::fwrite(bytes, 1, count, saved.copy.get()) != count ||
         std::fflush(saved.copy.get()) != 0) &&
        !move_to_memory(saved))
        return false;
    if (!saved.copy) std::memcpy(saved.bytes.get() + saved.length, bytes, count);
    saved.length += count;
    return true;
}

bool put_back(const SavedRange& saved, std::ofstream& stream, const std::filesystem::path& path,
              unsigned char* piece) {
    close_output(stream); // whatever it reports, the bytes go back through a fresh open
    if (!open_file(stream, path, UPDATE)) return false;
    stream.seekp(saved.at);
    if (!saved.copy) {
        stream.write(reinterpret_cast<const char*>(saved.bytes.get()), saved.length);
        return close_output(stream);
    }
    std::rewind(saved.copy.get());
    bool whole = true;
    for (std::uint64_t offset = 0; whole && offset < saved.length; offset += PIECE_SIZE) {
        const std::uint32_t count = piece_at(saved.length, offset);
        whole = std::fread(piece, 1, count, saved.copy.get()) == count;
        if (whole) stream.write(reinterpret_cast<const char*>(piece), count);
    }
    return close_output(stream) && whole;
}
