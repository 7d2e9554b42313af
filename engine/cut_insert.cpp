#include "engine/buffer.h"
#include "engine/error.h"
#include "engine/file_io.h"
#include "engine/file_pair.h"
#include "engine/saved_range.h"

#include <algorithm>

// Sums are taken in 64 bits so that no begin address and size wrap past the file's end.

void FilePair::start_work(std::uint64_t total) {
    work_done = 0;
    work_flushed = 0;
    work_total = total;
}

std::int32_t FilePair::went_on(std::uint32_t length, File* written) {
    work_done += length;
    if (progress && !progress(work_done, work_total)) return JOB_STOPPED;
    // On a slow drive most of a job's time goes into writing back the system's cache.
    // Flushed a step at a time, the share told is the share on the disk, and a stop, asked
    // first, never waits for a flush to begin. Each flush counts: a drive reports a failed
    // write-back once, and may take the next flush as if nothing had failed. A pipe or
    // device has no cache to flush.
    if (written && rewrite != Rewrite::straight && work_done - work_flushed >= FLUSH_STEP) {
        if (!written->flush()) return OUTPUT_WRITE_FAILED;
        work_flushed = work_done;
    }
    return 0;
}

void FilePair::cut_bytes(std::uint32_t begin, std::uint64_t size) {
    if (size == 0) fail_range(SIZE_TOO_SMALL);
    if (begin >= input_size) fail_range(BEGIN_OUT_OF_FILE);
    // Against what is left of the file: a size near the top of 64 bits must not wrap.
    if (size > input_size - begin) fail_range(END_OUT_OF_FILE);
    write_piece(begin, static_cast<std::uint32_t>(size));
}

void FilePair::cut_range(std::uint32_t begin, std::uint32_t end) {
    if (begin >= input_size) fail_range(BEGIN_OUT_OF_FILE);
    if (end >= input_size) fail_range(END_OUT_OF_FILE);
    if (std::uint64_t{end} + 1 < begin) fail_range(END_BEFORE_BEGIN);
    if (std::uint64_t{end} + 1 == begin) fail_range(NOTHING_TO_CUT);
    output_size = end + 1 - begin;
    write_piece(begin, output_size);
}

std::int32_t FilePair::copy(File& from, std::uint64_t from_at, File& to, std::uint64_t to_at,
                            std::uint32_t length, SavedRange* saved, unsigned char* piece) {
    // Each piece is read before it is written, from the front: when the output is the
    // input and to_at <= from_at, no write reaches bytes still to be read. Only the copied
    // part is read: a file that shrank under it reads short, and a change elsewhere
    // cannot touch the result.
    const std::int32_t read_failed =
        &from == &input_stream ? INPUT_READ_FAILED : OUTPUT_READ_FAILED;
    if (!from.seek(from_at)) return read_failed;
    if (!saved && !to.seek(to_at)) return OUTPUT_WRITE_FAILED;
    if (const std::int32_t code = went_on()) return code;
    for (std::uint64_t offset = 0; offset < length; offset += PIECE_SIZE) {
        const std::uint32_t count = piece_at(length, offset);
        const std::uint64_t at = to_at + offset;
        if (saved) {
            // As much of the piece as the output held, kept before it is overwritten.
            const std::uint32_t held = std::min(count, piece_at(saved->capacity, offset));
            if (!to.seek(at) || to.read(piece, held) != held || !keep(*saved, piece, held))
                return OUTPUT_READ_FAILED;
            if (!to.seek(at)) return OUTPUT_WRITE_FAILED;
        }
        if (from.read(piece, count) != count) return read_failed;
        const std::uint32_t went = to.write(piece, count);
        if (saved) saved->written = offset + went;
        if (went != count) return OUTPUT_WRITE_FAILED;
        if (const std::int32_t code = went_on(went, &to)) return code;
    }
    return 0;
}

std::int32_t FilePair::keep_rest(SavedRange& saved, unsigned char* piece) {
    while (saved.length < saved.capacity) {
        const std::uint32_t count = piece_at(saved.capacity, saved.length);
        if (!output_stream.seek(std::uint64_t{saved.at} + saved.length) ||
            output_stream.read(piece, count) != count || !keep(saved, piece, count))
            return OUTPUT_READ_FAILED;
        if (const std::int32_t code = went_on(count)) return code;
    }
    return 0;
}

void FilePair::swap_in(std::int32_t code) {
    // The old file is let go first: nothing of this program holds it while it is replaced.
    input_stream.close();
    output_stream.close();
    if (code != 0) fail_file(code);
    const Swap swap = replacement.replace([this] { return went_on() == 0; });
    if (swap == Swap::done) return;
    if (swap == Swap::stopped) fail_file(JOB_STOPPED);
    // A folder that refuses the swap for good, before anything changed: the output, still
    // the file the job opened, takes the new file's bytes where it lies. A swap whose last
    // flush failed has left the output new, but not surely on the disk: never a success.
    if (swap != Swap::refused || !target_exists || !output_stream.open(target, Access::write) ||
        output_stream.identity() != target_identity)
        fail_file(OUTPUT_WRITE_FAILED);
    rewrite = Rewrite::in_place;
    const std::uint64_t length = replacement.size();
    overwrite(&replacement, 0, 0, static_cast<std::uint32_t>(length), length);
    replacement.close();
}

void FilePair::overwrite(File* from, std::uint64_t from_at, std::uint64_t at, std::uint32_t length,
                         std::uint64_t new_length) {
    const std::uint64_t old_length = output_stream.size();
    if (rewrite == Rewrite::straight) {
        start_work(length);
        const AlignedBytes piece = allocate_aligned(piece_at(length, 0), from_at);
        const std::int32_t code =
            copy(*from, from_at, output_stream, at, length, nullptr, piece.bytes);
        input_stream.close();
        if (!output_stream.close() || code != 0) fail_file(code != 0 ? code : OUTPUT_WRITE_FAILED);
        return;
    }
    // What the job writes over is kept first, and so is all a change of length would lose:
    // the bytes past a shorter new length, or the whole file where the new bytes are zeros
    // (it is then emptied and given its length, its zeros never written). Up to the last
    // flush a failure can then give the file back as it was; on a full drive the job still
    // fits, over bytes that are there.
    const bool zeros = from == nullptr;
    const bool cut = zeros || new_length < old_length;
    const std::uint64_t written_end = std::min(at + length, old_length);
    const std::uint64_t kept_end = cut ? old_length : written_end;
    if (kept_end - at > UINT32_MAX) fail_file(OUTPUT_TOO_LARGE);
    const auto capacity = static_cast<std::uint32_t>(kept_end - at);
    start_work(length + (kept_end - written_end));
    const AlignedBytes piece = allocate_aligned(piece_at(std::max(length, capacity), 0), from_at);
    SavedRange saved;
    start_saving(saved, static_cast<std::uint32_t>(at), capacity, output_stream.encrypted());
    std::int32_t code =
        zeros ? went_on() : copy(*from, from_at, output_stream, at, length, &saved, piece.bytes);
    if (code == 0) code = keep_rest(saved, piece.bytes);
    if (code == 0 && cut) {
        saved.written = saved.length; // from here any of them may be gone
        if (!((!zeros || output_stream.set_length(0)) && output_stream.set_length(new_length)))
            code = OUTPUT_WRITE_FAILED;
    }
    if (code == 0 && !output_stream.flush()) code = OUTPUT_WRITE_FAILED;
    if (code == 0) {
        input_stream.close();
        output_stream.close();
        return;
    }
    // The output gets back what it held, through the handle that wrote it, whatever the
    // job is told meanwhile: a stop that left it part new would stop too soon.
    const auto undone = [&](std::uint32_t put) {
        work_done = saved.written - put;
        went_on();
    };
    if (put_back(saved, output_stream, piece.bytes, undone) &&
        output_stream.set_length(old_length) && output_stream.flush())
        fail_file(code);
    kept = keep_for_good(saved);
    fail_file(OUTPUT_RESTORE_FAILED);
}

void FilePair::write_piece(std::uint32_t begin, std::uint32_t length) {
    if (rewrite == Rewrite::beside) {
        const AlignedBytes piece = allocate_aligned(piece_at(length, 0), begin);
        start_work(length);
        const std::int32_t code =
            copy(input_stream, begin, replacement, 0, length, nullptr, piece.bytes);
        // No room beside it: a cut in place still fits over the file's own bytes. A flush
        // that failed is a failing drive, not a full one.
        if (code != OUTPUT_WRITE_FAILED || replacement.good() || !cut_in_place)
            return swap_in(code);
        replacement.close();
    }
    overwrite(&input_stream, begin, 0, length, length);
}

void FilePair::insert_bytes(std::uint32_t begin) {
    if (begin > output_size) fail_range(BEGIN_OUT_OF_FILE);
    if (std::uint64_t{begin} + input_size > output_size) fail_range(END_OUT_OF_FILE);
    // A write inside one block is whole or absent on every disk, and a kill cannot tear
    // one write call: in place it is as safe as the swap, and costs the block, not the file.
    if (begin / WHOLE_WRITE_BLOCK == (begin + input_size - 1) / WHOLE_WRITE_BLOCK) {
        unsigned char bytes[WHOLE_WRITE_BLOCK];
        if (!input_stream.seek(0) || input_stream.read(bytes, input_size) != input_size)
            fail_file(INPUT_READ_FAILED);
        return write_whole(begin, bytes, input_size,
                           {OUTPUT_READ_FAILED, OUTPUT_WRITE_FAILED, OUTPUT_RESTORE_FAILED});
    }
    choose_rewrite();
    if (rewrite == Rewrite::beside) {
        // The input is read once, through one reused piece.
        const AlignedBytes piece = allocate_aligned(piece_at(output_size, 0), 0);
        start_work(output_size);
        // The output's own bytes around the input's, all into the new file.
        const std::uint32_t after = begin + input_size;
        std::int32_t code = copy(output_stream, 0, replacement, 0, begin, nullptr, piece.bytes);
        if (code == 0)
            code = copy(input_stream, 0, replacement, begin, input_size, nullptr, piece.bytes);
        if (code == 0)
            code = copy(output_stream, after, replacement, after, output_size - after, nullptr,
                        piece.bytes);
        // No room beside it: the output is changed where it lies, as it keeps its length.
        if (code != OUTPUT_WRITE_FAILED || replacement.good()) return swap_in(code);
        replacement.close();
    }
    overwrite(&input_stream, 0, begin, input_size, output_size);
}
