#include "engine/buffer.h"
#include "engine/error.h"
#include "engine/file_io.h"
#include "engine/file_pair.h"
#include "engine/saved_range.h"

#include <algorithm>

// Sums are taken in 64 bits so that no begin address and size wrap past the file's end.

void FilePair::cut_bytes(std::uint32_t begin, std::uint32_t size) {
    if (size == 0) fail_range(SIZE_TOO_SMALL);
    if (begin >= input_size) fail_range(BEGIN_OUT_OF_FILE);
    if (std::uint64_t{begin} + size > input_size) fail_range(END_OUT_OF_FILE);
    write_piece(begin, size);
}

void FilePair::cut_range(std::uint32_t begin, std::uint32_t end) {
    if (begin >= input_size) fail_range(BEGIN_OUT_OF_FILE);
    if (end >= input_size) fail_range(END_OUT_OF_FILE);
    if (std::uint64_t{end} + 1 < begin) fail_range(END_BEFORE_BEGIN);
    if (std::uint64_t{end} + 1 == begin) fail_range(NOTHING_TO_CUT);
    output_size = end + 1 - begin;
    write_piece(begin, output_size);
}

std::int32_t FilePair::copy(std::uint64_t from, std::uint64_t to, std::uint32_t length,
                            SavedRange* saved, unsigned char* piece) {
    // Each piece is read before it is written, from the front: when the output is the
    // input and to <= from, no write reaches bytes still to be read. Only the copied part
    // of the input is read: a file that shrank under it reads short, and a change
    // elsewhere cannot touch the output.
    if (!input_stream.seek(from)) return INPUT_READ_FAILED;
    for (std::uint64_t offset = 0; offset < length; offset += PIECE_SIZE) {
        const std::uint32_t count = piece_at(length, offset);
        const std::uint64_t at = to + offset;
        if (saved) {
            // As much of the piece as the output held, kept before it is overwritten.
            const std::uint32_t held = piece_at(saved->capacity, offset);
            if (!output_stream.seek(at) || output_stream.read(piece, held) != held ||
                !keep(*saved, piece, held))
                return OUTPUT_READ_FAILED;
        }
        if (input_stream.read(piece, count) != count) return INPUT_READ_FAILED;
        if (!output_stream.seek(at) || !output_stream.write(piece, count))
            return OUTPUT_WRITE_FAILED;
    }
    return 0;
}

void FilePair::write_piece(std::uint32_t begin, std::uint32_t length) {
    const AlignedBytes piece = allocate_aligned(piece_at(length, 0), begin);
    const std::uint64_t old_length = output_stream.size();
    if (!cut_in_place) {
        finish_new_output(copy(begin, 0, length, nullptr, piece.bytes), old_length, length);
        return;
    }
    // The input may be the output: what the cut writes over is kept, so that a failure
    // gives the file back as it was. On a full disk the cut still fits, over bytes that
    // are there.
    SavedRange saved;
    start_saving(saved, 0, static_cast<std::uint32_t>(std::min<std::uint64_t>(length, old_length)));
    finish_overwrite(copy(begin, 0, length, &saved, piece.bytes), saved, piece.bytes, old_length,
                     length);
}

void FilePair::insert_bytes(std::uint32_t begin) {
    if (begin > output_size) fail_range(BEGIN_OUT_OF_FILE);
    if (std::uint64_t{begin} + input_size > output_size) fail_range(END_OUT_OF_FILE);
    // Each piece's bytes are kept before they are overwritten, so that an input that
    // shrank, or a write that fails part-way, leaves the output as it was; the input is
    // read once, through one reused piece.
    const AlignedBytes piece = allocate_aligned(piece_at(input_size, 0), 0);
    SavedRange saved;
    start_saving(saved, begin, input_size);
    finish_overwrite(copy(0, begin, input_size, &saved, piece.bytes), saved, piece.bytes,
                     output_size, output_size);
}
