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
    // Only the common leading part is read, and only until a piece differs: the content
    // line is settled there, and the size lines come from the measured lengths. A file
    // that shrank under what is read still reads short.
    const std::uint32_t common = std::min(input_size, output_size);
    const Buffer input_piece = allocate_bytes(piece_at(common, 0));
    const Buffer output_piece = allocate_bytes(piece_at(common, 0));
    bool same = true;
    for (std::uint64_t offset = 0; same && offset < common; offset += PIECE_SIZE) {
        const std::uint32_t count = piece_at(common, offset);
        const bool input_read = read_exactly(input_stream, input_piece.get(), count);
        const bool output_read = read_exactly(second_stream, output_piece.get(), count);
        if (!input_read) fail_file(INPUT_READ_FAILED);
        if (!output_read) fail_file(OUTPUT_READ_FAILED);
        same = std::memcmp(input_piece.get(), output_piece.get(), count) == 0;
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
