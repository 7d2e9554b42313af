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
    // All of them, so that no failure, even one that is not an error record, can leave
    // a file open for the next job to trip over; closing the replacement removes it.
    input_stream.close();
    second_stream.close();
    output_stream.close();
    replacement.close();
    target.clear();
    target_exists = false;
    target_identity.reset();
    rewrite = Rewrite::beside;
    cut_in_place = false;
}

void FilePair::close() {
    file_code = 0;
    range_code = 0;
    kept = {};
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

void FilePair::open_output(const Path& output_path, Access access, bool may_be_missing) {
    // Opened as it is, never created nor emptied here: a request refused by its checks
    // leaves an existing output as it was, and a missing one missing.
    target = output_path;
    target_exists = output_stream.open(output_path, access);
    target_identity = output_stream.identity();
    if (!target_exists && !(may_be_missing && output_stream.missing()))
        fail_file(OUTPUT_OPEN_FAILED);
}

void FilePair::choose_rewrite() {
    if (target_exists && output_stream.size() == UNMEASURED) {
        rewrite = Rewrite::straight;
        return;
    }
    // Every name of a file with several must show the result, a file another program
    // holds open may not let it be replaced, and a new file could not be all that some
    // files are: such a file is changed where it lies. A link that leads nowhere stays a
    // link, and the file it names is made.
    target = target_exists ? output_stream.final_path(target) : link_end(target);
    const bool swappable = !target_exists || output_stream.swappable();
    if (swappable && replacement.open_beside(target, target_exists ? &output_stream : nullptr)) {
        rewrite = Rewrite::beside;
        return;
    }
    // A folder that takes no new file takes no new output either.
    if (!target_exists) fail_file(OUTPUT_OPEN_FAILED);
    rewrite = Rewrite::in_place;
}

void FilePair::load_for_cut(const Path& input_path, const Path& output_path) {
    load_input(input_path, output_path);
    open_output(output_path, Access::write, true);
    cut_in_place = target_exists && same_file(input_stream, output_stream);
    choose_rewrite();
}

void FilePair::load_for_insert(const Path& input_path, const Path& output_path) {
    load_input(input_path, output_path);
    open_output(output_path, Access::update, false);
    // The new file beside it is chosen by insert_bytes, where it is needed.
    output_size = measure(output_stream, 0, OUTPUT_TOO_LARGE);
}

void FilePair::load_for_create(const Path& output_path) {
    require_path(output_path, OUTPUT_NOT_SELECTED);
    open_output(output_path, Access::write, true);
    choose_rewrite();
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
