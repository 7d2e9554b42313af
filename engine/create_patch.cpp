#include "engine/error.h"
#include "engine/file_io.h"
#include "engine/file_pair.h"
#include "engine/saved_range.h"

void FilePair::create_file(std::uint64_t whole_size) {
    if (whole_size > CREATE_SIZE_LIMIT) fail_file(OUTPUT_TOO_LARGE);
    const auto size = static_cast<std::uint32_t>(whole_size);
    switch (rewrite) {
    case Rewrite::beside: write_zeros(replacement, size); return swap_in(0);
    case Rewrite::straight:
        // A pipe takes its bytes in order, and has nothing to seek.
        write_zeros(output_stream, size);
        if (!output_stream.close()) fail_file(OUTPUT_WRITE_FAILED);
        return;
    case Rewrite::in_place: {
        const AlignedBytes piece = allocate_aligned(piece_at(size, 0), 0);
        overwrite(nullptr, 0, 0, size, size, piece.bytes);
    }
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
    // The old bytes, to put back should the write stop part-way.
    unsigned char old[4];
    if (!output_stream.seek(begin) || output_stream.read(old, length) != length)
        fail_file(INPUT_READ_FAILED);
    const std::uint32_t went = output_stream.seek(begin) ? output_stream.write(bytes, length) : 0;
    if (went == length && output_stream.flush()) {
        output_stream.close();
        return;
    }
    if (output_stream.seek(begin) && output_stream.write(old, went) == went &&
        output_stream.flush())
        fail_file(INPUT_WRITE_FAILED);
    kept = {keep_in_file(old, length), begin};
    fail_file(INPUT_RESTORE_FAILED);
}
