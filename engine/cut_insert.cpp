#include "engine/buffer.h"
#include "engine/error.h"
#include "engine/file_io.h"
#include "engine/file_pair.h"
#include "engine/saved_range.h"

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

void FilePair::write_piece(std::uint32_t begin, std::uint32_t length) {
    if (cut_in_place) {
        SavedRange whole;
        whole.length = input_size;
        whole.bytes = allocate_bytes(input_size);
        if (!read_whole(input_stream, whole.bytes.get(), input_size)) fail_file(INPUT_READ_FAILED);
        write_piece_in_place(whole, begin, length);
        return;
    }
    // Only the cut part is read: a file that shrank under it still reads short, and a
    // change elsewhere in the file cannot touch the output.
    const AlignedBytes piece = allocate_aligned(piece_at(length, 0), begin);
    input_stream.seekg(begin); // a failed seek shows as a short read
    for (std::uint64_t offset = 0; offset < length; offset += PIECE_SIZE) {
        const std::uint32_t count = piece_at(length, offset);
        if (!read_exactly(input_stream, piece.bytes, count)) {
            close_streams();
            empty_file(output_name); // never half-written
            fail_file(INPUT_READ_FAILED);
        }
        output_stream.write(reinterpret_cast<const char*>(piece.bytes), count);
    }
    input_stream.close();
    finish_new_output();
}

void FilePair::write_piece_in_place(const SavedRange& whole, std::uint32_t begin,
                                    std::uint32_t length) {
    // The piece goes over the file's first bytes, then the file is cut to its length:
    // writing over bytes that are there takes no new room on a full disk. Should it
    // fail all the same, the file gets its own bytes back.
    if (!open_file(output_stream, output_name, UPDATE)) fail_file(OUTPUT_OPEN_FAILED);
    output_stream.write(reinterpret_cast<const char*>(whole.bytes.get() + begin), length);
    if (close_output(output_stream) && resize_file(output_name, length)) return;
    if (put_back(whole, output_stream, output_name, nullptr)) resize_file(output_name, input_size);
    fail_file(OUTPUT_WRITE_FAILED);
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
    for (std::uint64_t offset = 0; offset < input_size; offset += PIECE_SIZE) {
        const std::uint32_t count = piece_at(input_size, offset);
        const std::uint64_t at = begin + offset;
        if (!output_stream.seekp(static_cast<std::streamoff>(at))) break; // a write failed
        if (output_stream.rdbuf()->sgetn(reinterpret_cast<char*>(piece.bytes), count) !=
                std::streamsize(count) ||
            !keep(saved, piece.bytes, count)) {
            put_back(saved, output_stream, output_name, piece.bytes);
            fail_file(OUTPUT_READ_FAILED);
        }
        if (!read_exactly(input_stream, piece.bytes, count)) {
            put_back(saved, output_stream, output_name, piece.bytes);
            fail_file(INPUT_READ_FAILED);
        }
        output_stream.seekp(static_cast<std::streamoff>(at));
        output_stream.write(reinterpret_cast<const char*>(piece.bytes), count);
    }
    input_stream.close();
    if (close_output(output_stream)) return;
    put_back(saved, output_stream, output_name, piece.bytes);
    fail_file(OUTPUT_WRITE_FAILED);
}
