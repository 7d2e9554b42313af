#include "engine/file_pair.h"

#include "engine/error.h"
#include "engine/file_identity.h"
#include "engine/file_io.h"

#include <limits>

std::uint64_t stream_size(std::filebuf& file) {
    constexpr std::uint64_t UNMEASURED = std::numeric_limits<std::uint64_t>::max();
    const std::streamoff end = file.pubseekoff(0, std::ios::end);
    if (end < 0) return UNMEASURED;
    if (std::streamoff(file.pubseekpos(0)) != 0) return UNMEASURED;
    return static_cast<std::uint64_t>(end);
}

void FilePair::fail_file(std::int32_t code) {
    close_streams();
    file_code = code;
    throw error{file_code, range_code};
}

void FilePair::fail_range(std::int32_t code) {
    close_streams();
    range_code = code;
    throw error{file_code, range_code};
}

void FilePair::close_streams() {
    // All three, so that no failure, even one that is not an error record, can leave
    // a stream open for the next job to trip over.
    input_stream.close();
    second_stream.close();
    output_stream.close();
    input_stream.clear();
    second_stream.clear();
    output_stream.clear();
    cut_in_place = false;
}

void FilePair::close() {
    file_code = 0;
    range_code = 0;
    close_streams();
}

void FilePair::require_path(const Path& path, std::int32_t code) {
    if (path.empty()) fail_file(code);
}

std::uint32_t FilePair::measure(std::filebuf& file, std::int32_t empty_code,
                                std::int32_t too_large_code) {
    const std::uint64_t size = stream_size(file);
    if (size == 0 && empty_code != 0) fail_file(empty_code);
    if (size > MAX_FILE_SIZE) fail_file(too_large_code);
    return static_cast<std::uint32_t>(size);
}

void FilePair::load_input(const Path& input_path, const Path& output_path) {
    require_path(input_path, INPUT_NOT_SELECTED);
    require_path(output_path, OUTPUT_NOT_SELECTED);
    if (!open_file(input_stream, input_path, READ)) fail_file(INPUT_OPEN_FAILED);
    input_size = measure(*input_stream.rdbuf(), INPUT_EMPTY, INPUT_TOO_LARGE);
}

void FilePair::load_for_cut(const Path& input_path, const Path& output_path) {
    load_input(input_path, output_path);
    output_name = output_path;
    // Emptying the output now would destroy the input when both name one file; such a
    // cut opens it only once its checks have passed and the input has been read.
    cut_in_place = same_file(input_path, output_path);
    if (!cut_in_place && !open_file(output_stream, output_path, WRITE))
        fail_file(OUTPUT_OPEN_FAILED);
}

void FilePair::load_for_insert(const Path& input_path, const Path& output_path) {
    load_input(input_path, output_path);
    output_name = output_path; // to put its bytes back should writing fail
    if (!open_file(output_stream, output_path, UPDATE)) fail_file(OUTPUT_OPEN_FAILED);
    output_size = measure(*output_stream.rdbuf(), 0, OUTPUT_TOO_LARGE);
}

void FilePair::load_for_create(const Path& output_path) {
    require_path(output_path, OUTPUT_NOT_SELECTED);
    output_name = output_path;
    if (!open_file(output_stream, output_path, WRITE)) fail_file(OUTPUT_OPEN_FAILED);
}

void FilePair::load_for_patch(const Path& input_path) {
    // The file to patch is the input file, opened for update; the input codes serve it.
    require_path(input_path, INPUT_NOT_SELECTED);
    if (!open_file(output_stream, input_path, UPDATE)) fail_file(INPUT_OPEN_FAILED);
    output_size = measure(*output_stream.rdbuf(), 0, INPUT_TOO_LARGE);
}

void FilePair::load_for_compare(const Path& input_path, const Path& output_path) {
    load_input(input_path, output_path);
    if (!open_file(second_stream, output_path, READ)) fail_file(OUTPUT_OPEN_FAILED);
    output_size = measure(*second_stream.rdbuf(), OUTPUT_EMPTY, OUTPUT_TOO_LARGE);
}

void FilePair::finish_new_output() {
    if (close_output(output_stream)) return;
    // Never leave a half-written file behind.
    empty_file(output_name);
    fail_file(OUTPUT_WRITE_FAILED);
}
