#include "engine/saved_range.h"

#include "engine/file_io.h"

#include <cstring>
#include <exception>
#include <random>

namespace fs = std::filesystem;

namespace {

// Reads count kept bytes from offset at of the temporary file; false when fewer come.
bool read_kept(TempFile& kept, std::uint64_t at, unsigned char* bytes, std::uint32_t count) {
    return std::streamoff(kept.file.pubseekpos(static_cast<std::streamoff>(at))) ==
               static_cast<std::streamoff>(at) &&
           kept.file.sgetn(reinterpret_cast<char*>(bytes), count) == std::streamsize(count);
}

// The bytes kept so far, moved from a temporary file that can take no more into memory;
// false, leaving them in the file, when there is no memory or they cannot be read back.
bool move_to_memory(SavedRange& saved) {
    Buffer bytes = try_allocate_zeros(saved.capacity);
    if (!bytes || !read_kept(*saved.copy, 0, bytes.get(), saved.length)) return false;
    saved.bytes = std::move(bytes);
    saved.copy.reset();
    return true;
}

} // namespace

TempFile::~TempFile() {
    file.close(); // first: Windows removes no file that is open
    std::error_code ignored;
    if (!name.empty()) fs::remove(name, ignored);
    if (!folder.empty()) fs::remove(folder, ignored);
}

std::unique_ptr<TempFile> make_temp_file() {
    try {
        std::error_code failed;
        const fs::path temporary = fs::temp_directory_path(failed);
        if (failed) return nullptr;
        auto made = std::make_unique<TempFile>();
        std::random_device entropy;
        // A name that is taken already is tried again under another; any other failure
        // ends the search.
        for (int attempt = 0; attempt < 16 && !failed && made->folder.empty(); ++attempt) {
            const fs::path folder = temporary / ("korvel-" + std::to_string(entropy()));
            if (fs::create_directory(folder, failed)) made->folder = folder;
        }
        if (made->folder.empty()) return nullptr;
        made->name = made->folder / "kept.bin";
        // Whole pieces go to the file at once: a buffer would only copy them once more.
        made->file.pubsetbuf(nullptr, 0);
        if (!made->file.open(made->name,
                             std::ios::in | std::ios::out | std::ios::trunc | std::ios::binary))
            return nullptr;
        return made;
    } catch (const std::exception&) {
        return nullptr; // no entropy or no memory for a name: the copy goes to memory
    }
}

void start_saving(SavedRange& saved, std::uint32_t at, std::uint32_t capacity) {
    saved.at = at;
    saved.length = 0;
    saved.capacity = capacity;
    saved.copy = make_temp_file();
    if (!saved.copy) saved.bytes = allocate_bytes(capacity);
}

bool keep(SavedRange& saved, const unsigned char* bytes, std::uint32_t count) {
    // Flushed at once, so that a temporary folder without room shows now, not when the
    // bytes are needed.
    if (saved.copy &&
        (saved.copy->file.sputn(reinterpret_cast<const char*>(bytes), count) !=
             std::streamsize(count) ||
         saved.copy->file.pubsync() != 0) &&
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
    bool whole = true;
    for (std::uint64_t offset = 0; whole && offset < saved.length; offset += PIECE_SIZE) {
        const std::uint32_t count = piece_at(saved.length, offset);
        whole = read_kept(*saved.copy, offset, piece, count);
        if (whole) stream.write(reinterpret_cast<const char*>(piece), count);
    }
    return close_output(stream) && whole;
}
