#include "engine/error.h"
#include "engine/file_io.h"
#include "engine/file_pair.h"

void FilePair::create_file(std::uint32_t size) {
    if (size > CREATE_SIZE_LIMIT) fail_file(OUTPUT_TOO_LARGE);
    const std::uint64_t old_length = output_stream.size();
    write_zeros(output_stream, size);
    finish_new_output(0, old_length, size);
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
    const bool written = output_stream.seek(begin) && output_stream.write(bytes, length);
    if (!output_stream.close() || !written) fail_file(INPUT_WRITE_FAILED);
}
