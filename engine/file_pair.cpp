#include "engine/file_pair.h"

#include "engine/error.h"
#include "engine/file_io.h"
#include "engine/saved_range.h"

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
    // a file open for the next job to trip over.
    input_stream.close();
    second_stream.close();
    output_stream.close();
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

std::uint32_t FilePair::measure(const File& file, std::int32_t empty_code,
                                std::int32_t too_large_code) {
    const std::uint64_t size = file.size();
    if (size == 0 && empty_code != 0) fail_file(empty_code);
    if (size > MAX_FILE_SIZE) fail_file(too_large_code);
    return static_cast<std::uint32_t>(size);
}

void FilePair::load_input(const Path& input_path, const Path& output_path) {
    require_path(input_path, INPUT_NOT_SELECTED);
    require_path(output_path, OUTPUT_NOT_SELECTED);
    if (!input_stream.open(input_path, Access::read)) fail_file(INPUT_OPEN_FAILED);
    input_size = measure(input_stream, INPUT_EMPTY, INPUT_TOO_LARGE);
}

void FilePair::open_output(const Path& output_path) {
    // Created when missing, but not emptied: a request refused by its checks must leave
    // an existing output as it was. Its length is set once its new bytes are written.
    if (!output_stream.open(output_path, Access::write)) fail_file(OUTPUT_OPEN_FAILED);
}

void FilePair::load_for_cut(const Path& input_path, const Path& output_path) {
    load_input(input_path, output_path);
    open_output(output_path);
    cut_in_place = same_file(input_stream, output_stream);
}

void FilePair::load_for_insert(const Path& input_path, const Path& output_path) {
    load_input(input_path, output_path);
    if (!output_stream.open(output_path, Access::update)) fail_file(OUTPUT_OPEN_FAILED);
    output_size = measure(output_stream, 0, OUTPUT_TOO_LARGE);
}

void FilePair::load_for_create(const Path& output_path) {
    require_path(output_path, OUTPUT_NOT_SELECTED);
    open_output(output_path);
}

void FilePair::load_for_patch(const Path& input_path) {
    // The file to patch is the input file, opened for update; the input codes serve it.
    require_path(input_path, INPUT_NOT_SELECTED);
    if (!output_stream.open(input_path, Access::update)) fail_file(INPUT_OPEN_FAILED);
    output_size = measure(output_stream, 0, INPUT_TOO_LARGE);
}

void FilePair::load_for_compare(const Path& input_path, const Path& output_path) {
    load_input(input_path, output_path);
    if (!second_stream.open(output_path, Access::read)) fail_file(OUTPUT_OPEN_FAILED);
    output_size = measure(second_stream, OUTPUT_EMPTY, OUTPUT_TOO_LARGE);
}

bool FilePair::cut_to(std::uint64_t length, std::uint64_t old_length) {
    // A length that cannot be measured (a pipe, a device) has nothing to cut off.
    return old_length == UNMEASURED || old_length <= length || output_stream.set_length(length);
}

bool FilePair::output_finished(std::int32_t code, std::uint64_t old_length, std::uint64_t length) {
    if (code != 0 || !output_stream.good() || !cut_to(length, old_length)) return false;
    input_stream.close();
    if (!output_stream.close()) fail_file(OUTPUT_WRITE_FAILED); // nothing to mend once closed
    return true;
}

void FilePair::finish_new_output(std::int32_t code, std::uint64_t old_length,
                                 std::uint64_t length) {
    if (output_finished(code, old_length, length)) return;
    output_stream.set_length(0); // never half-written
    fail_file(code != 0 ? code : OUTPUT_WRITE_FAILED);
}

void FilePair::finish_overwrite(std::int32_t code, SavedRange& saved, unsigned char* piece,
                                std::uint64_t old_length, std::uint64_t length) {
    if (output_finished(code, old_length, length)) return;
    // The output gets back what it held, through the handle that wrote it.
    put_back(saved, output_stream, piece);
    if (old_length != UNMEASURED) output_stream.set_length(old_length);
    fail_file(code != 0 ? code : OUTPUT_WRITE_FAILED);
}
