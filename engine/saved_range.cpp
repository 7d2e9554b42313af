#include "engine/saved_range.h"

#include "engine/file_io.h"

namespace {

bool read_at(std::streambuf& file, std::uint32_t at, unsigned char* bytes, std::uint32_t count) {
    return std::streamoff(file.pubseekpos(at)) == at &&
           file.sgetn(reinterpret_cast<char*>(bytes), count) == std::streamsize(count);
}

// False when the range cannot be read or the temporary file cannot take it.
bool copy_to_file(std::streambuf& file, unsigned char* piece, SavedRange& saved) {
    for (std::uint64_t offset = 0; offset < saved.length; offset += PIECE_SIZE) {
        const std::uint32_t count = piece_at(saved.length, offset);
        if (!read_at(file, static_cast<std::uint32_t>(saved.at + offset), piece, count) ||
            std::fwrite(piece, 1, count, saved.copy.get()) != count)
            return false;
    }
    return true;
}

} // namespace

bool save_range(std::streambuf& file, std::uint32_t at, std::uint32_t length, unsigned char* piece,
                SavedRange& saved) {
    saved.at = at;
    saved.length = length;
    saved.copy.reset(std::tmpfile());
    if (saved.copy && copy_to_file(file, piece, saved)) return true;
    saved.copy.reset();
    saved.bytes = allocate_bytes(length);
    return read_at(file, at, saved.bytes.get(), length);
}

bool put_back(const SavedRange& saved, std::ofstream& stream, const std::string& path,
              unsigned char* piece) {
    close_output(stream); // whatever it reports, the bytes go back through a fresh open
    if (!open_file(stream, path, UPDATE)) return false;
    stream.seekp(saved.at);
    if (saved.bytes) {
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
