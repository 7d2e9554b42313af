#include "engine/buffer.h"
#include "engine/error.h"
#include "engine/file_io.h"
#include "engine/file_pair.h"

#include <algorithm>
#include <cstring>

namespace {

// The size lines when the sizes differ: which file is longer, and by how many bytes.
std::string size_difference(const char* longer, std::uint32_t by) {
    return std::string("Files size: different\n") + longer + " +" + std::to_string(by) + " bytes";
}

} // namespace

std::string FilePair::compare_files() {
    // Both files are read to their ends through one reused piece each, so that a file
    // that shrank is still found; only the common leading part is compared.
    const Buffer input_piece = allocate_bytes(piece_at(input_size, 0));
    const Buffer output_piece = allocate_bytes(piece_at(output_size, 0));
    const std::uint32_t longer = std::max(input_size, output_size);
    bool input_read = true;
    bool output_read = true;
    bool same = true;
    for (std::uint64_t offset = 0; offset < longer; offset += PIECE_SIZE) {
        const std::uint32_t input_count = piece_at(input_size, offset);
        const std::uint32_t output_count = piece_at(output_size, offset);
        input_read = input_read && read_exactly(input_stream, input_piece.get(), input_count);
        output_read = output_read && read_exactly(second_stream, output_piece.get(), output_count);
        same = same && input_read && output_read &&
               std::memcmp(input_piece.get(), output_piece.get(),
                           std::min(input_count, output_count)) == 0;
    }
    if (!input_read) fail_file(INPUT_READ_FAILED);
    if (!output_read) fail_file(OUTPUT_READ_FAILED);
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
