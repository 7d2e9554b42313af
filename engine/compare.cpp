#include "engine/buffer.h"
#include "engine/error.h"
#include "engine/file_io.h"
#include "engine/file_pair.h"

#include <cstring>

std::string FilePair::compare_files() {
    Buffer input_buffer = allocate_bytes(input_size);
    if (!read_whole(input_stream, input_buffer.get(), input_size)) fail_file(INPUT_READ_FAILED);
    Buffer work_buffer = allocate_bytes(output_size);
    if (!read_whole(second_stream, work_buffer.get(), output_size)) fail_file(OUTPUT_READ_FAILED);

    // Only the common leading part is compared; the longer file's surplus is not examined.
    std::string sizes = "Files size: equivalent";
    std::uint32_t compared = input_size;
    if (input_size > output_size) {
        sizes = "Files size: different\nInput file +" + std::to_string(input_size - output_size) +
                " bytes";
        compared = output_size;
    } else if (input_size < output_size) {
        sizes = "Files size: different\nOutput file +" + std::to_string(output_size - input_size) +
                " bytes";
    }
    const bool same = std::memcmp(input_buffer.get(), work_buffer.get(), compared) == 0;
    return (same ? "Files content: equivalent\n" : "Files content: different\n") + sizes;
}
