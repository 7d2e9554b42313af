#include "engine/buffer.h"
#include "engine/error.h"
#include "engine/file_io.h"
#include "engine/file_pair.h"

#include <cstring>

namespace {

// The size lines when the sizes differ: which file is longer, and by how many bytes.
std::string size_difference(const char* longer, std::uint32_t by) {
    return std::string("Files size: different\n") + longer + " +" + std::to_string(by) + " bytes";
}

} // namespace

std::string FilePair::compare_files() {
    Buffer input_buffer = allocate_bytes(input_size);
    if (!read_whole(input_stream, input_buffer.get(), input_size)) fail_file(INPUT_READ_FAILED);
    Buffer work_buffer = allocate_bytes(output_size);
    if (!read_whole(second_stream, work_buffer.get(), output_size)) fail_file(OUTPUT_READ_FAILED);

    // Only the common leading part is compared; the longer file's surplus is not examined.
    std::string sizes = "Files size: equivalent";
    std::uint32_t compared = input_size;
    if (input_size > output_size) {
        sizes = size_difference("Input file", input_size - output_size);
        compared = output_size;
    } else if (input_size < output_size) {
        sizes = size_difference("Output file", output_size - input_size);
    }
    const bool same = std::memcmp(input_buffer.get(), work_buffer.get(), compared) == 0;
    return (same ? "Files content: equivalent\n" : "Files content: different\n") + sizes;
}
