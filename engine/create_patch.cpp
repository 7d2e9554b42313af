#include "engine/error.h"
#include "engine/file_io.h"
#include "engine/file_pair.h"
#include "engine/saved_range.h"

void FilePair::create_file(std::uint64_t whole_size) {
    if (whole_size > CREATE_SIZE_LIMIT) fail_file(OUTPUT_TOO_LARGE);
    const auto size = static_cast<std::uint32_t>(whole_size);
    switch (rewrite) {
    case Rewrite::beside: {
        // Given its length, not written: the file system keeps the zeros past a file's data
        // (a valid data length, unwritten extents), or writes them itself where it has no
        // such record. Then flushed and swapped in, as any new file.
        start_work(size);
        std::int32_t code = went_on();
        if (code == 0 && !replacement.set_length(size)) code = OUTPUT_WRITE_FAILED;
        if (code == 0) code = went_on(size);
        return swap_in(code);
    }
    case Rewrite::straight: {
        // A pipe takes its bytes in order, and has nothing to seek.
        start_work(size);
        const PieceWent went = [this](std::uint32_t length) { return went_on(length) == 0; };
        const bool ended = went_on() == 0 && write_zeros(output_stream, size, went);
        const bool closed = output_stream.close();
        if (!ended) fail_file(JOB_STOPPED);
        if (!closed) fail_file(OUTPUT_WRITE_FAILED);
        return;
    }
    case Rewrite::in_place: return overwrite(nullptr, 0, 0, 0, size);
    }
}

std::uint32_t reverse_low_bytes(std::uint32_t value, std::uint32_t length) {
    std::uint32_t reversed = 0;
    for (std::uint32_t k = 0; k < length; ++k)
        reversed = (reversed << 8) | ((value >> (8 * k)) & 0xFF);
    return reversed;
}

void FilePair::set_patch(std::uint32_t begin, std::uint32_t value, std::uint32_t length) {
    // Taken in 64 bits: a begin address near the top must not wrap into the file.
    if (std::uint64_t{begin} + length > output_size) fail_range(BEGIN_OUT_OF_FILE);
    const std::uint32_t reordered = reverse_low_bytes(value, length);
    unsigned char bytes[4];
    for (std::uint32_t k = 0; k < length; ++k)
        bytes[k] = static_cast<unsigned char>(reordered >> (8 * k));
    write_whole(begin, bytes, length,
                {INPUT_READ_FAILED, INPUT_WRITE_FAILED, INPUT_RESTORE_FAILED});
}

void FilePair::write_whole(std::uint32_t at, const unsigned char* bytes, std::uint32_t length,
                           const FileCodes& codes) {
    // The old bytes, to put back should the write stop part-way.
    unsigned char old[WHOLE_WRITE_BLOCK];
    if (!output_stream.seek(at) || output_stream.read(old, length) != length)
        fail_file(codes.read_failed);
    const std::uint32_t went = output_stream.seek(at) ? output_stream.write(bytes, length) : 0;
    if (went == length && output_stream.flush()) {
        input_stream.close();
        output_stream.close();
        return;
    }
    if (output_stream.seek(at) && output_stream.write(old, went) == went && output_stream.flush())
        fail_file(codes.write_failed);
    kept = {keep_in_file(old, length, output_stream.encrypted()), at};
    fail_file(codes.restore_failed);
}
