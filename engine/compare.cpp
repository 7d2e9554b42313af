#include "engine/buffer.h"
#include "engine/error.h"
#include "engine/file_io.h"
#include "engine/file_pair.h"

#include <algorithm>
#include <cstring>

namespace {

// Two pages: a difference near the start is found after little is read.
constexpr std::uint32_t FIRST_PIECE = 1 << 13;

// The size lines when the sizes differ: which file is longer, and by how many bytes.
std::string size_difference(const char* longer, std::uint32_t by) {
    return std::string("Files size: different\n") + longer + " +" + std::to_string(by) + " bytes";
}

} // namespace

std::string FilePair::compare_files() {
    // Only the common leading part is read, and only until a piece differs: the content
    // line is settled there, and the size lines come from the measured lengths. A file
    // that shrank under what is read still reads short. The pieces grow from FIRST_PIECE
    // to PIECE_SIZE: a difference near the start is found after little is read, and long
    // runs still go in whole pieces.
    const std::uint32_t common = std::min(input_size, output_size);
    const AlignedBytes input_piece = allocate_aligned(piece_at(common, 0), 0);
    const AlignedBytes output_piece = allocate_aligned(piece_at(common, 0), 0);
    bool same = true;
    std::uint32_t count = 0;
    // Told as it goes, and stopped at its next piece as the other jobs are: on a share,
    // two large files take seconds.
    start_work(common);
    if (went_on() != 0) fail_file(JOB_STOPPED);
    for (std::uint64_t offset = 0; same && offset < common; offset += count) {
        count = std::min(piece_at(common, offset),
                         static_cast<std::uint32_t>(std::max<std::uint64_t>(offset, FIRST_PIECE)));
        const bool input_read = input_stream.read(input_piece.bytes, count) == count;
        const bool output_read = second_stream.read(output_piece.bytes, count) == count;
        if (!input_read) fail_file(INPUT_READ_FAILED);
        if (!output_read) fail_file(OUTPUT_READ_FAILED);
        same = std::memcmp(input_piece.bytes, output_piece.bytes, count) == 0;
        if (went_on(count) != 0) fail_file(JOB_STOPPED);
    }
    input_stream.close();
    second_stream.close();

    std::string sizes = "Files size: equivalent";
    if (input_size > output_size) {
        sizes = size_difference("Input file", input_size - output_size);
    } else if (input_size < output_size) {
        sizes = size_difference("Output file", output_size - input_size);
    }
    return (same ? "Files content: equivalent\n" : "Files content: different\n") + sizes;
}
