#pragma once

#include "engine/file.h"
#include "engine/file_io.h"
#include "engine/saved_range.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

// A file's name as the system spells it: wide text on Windows, bytes elsewhere. It is
// never converted through a code page, so one name always means one file.
using Path = std::filesystem::path;

// Every file a loader measures holds at most 30 MiB.
constexpr std::uint32_t MAX_FILE_SIZE = 31457280;
// Create file writes at most 100 MiB.
constexpr std::uint32_t CREATE_SIZE_LIMIT = 104857600;
// A long write is flushed every so many bytes, not only at its end: a stop, asked before
// each of these flushes, waits at most for the one a drive is already writing back.
constexpr std::uint32_t FLUSH_STEP = 16 << 20;
// No disk tears a write that lies inside one block of this size, aligned in the file.
constexpr std::uint32_t WHOLE_WRITE_BLOCK = 512;

// How an output's new bytes reach it.
enum class Rewrite {
    beside,   // into a new file beside it, flushed and swapped in whole
    in_place, // over its own bytes, what they were kept to put back should a write fail
    straight, // a pipe or a device: as they come, with nothing to keep
};

// The byte engine: one job's input and output files. A job calls one loader, then its
// operation; every failure is thrown as an error record built from the two codes, and
// the job then calls close, which brings the object back to idle.
class FilePair {
  public:
    std::uint32_t input_size = 0;
    std::uint32_t output_size = 0;
    File input_stream;
    File second_stream; // the output file, read by Compare files
    File output_stream; // the output as it is; for Set patch, the input file
    std::int32_t file_code = 0;
    std::int32_t range_code = 0;
    KeptBytes kept; // set with the codes of a file that could not be put back
    // Told the bytes written (or compared) of the bytes to write before the first piece and
    // after each one, and as a put-back undoes them; false stops the operation there
    // (JOB_STOPPED), though never a put-back. Set by the job; empty, nothing is told.
    std::function<bool(std::uint64_t done, std::uint64_t total)> progress;

    void load_for_cut(const Path& input_path, const Path& output_path);
    void load_for_insert(const Path& input_path, const Path& output_path);
    void load_for_create(const Path& output_path);
    void load_for_patch(const Path& input_path);
    void load_for_compare(const Path& input_path, const Path& output_path);

    // A size is the Size field's whole number, which may be past 32 bits.
    void cut_bytes(std::uint32_t begin, std::uint64_t size);
    void cut_range(std::uint32_t begin, std::uint32_t end);
    void insert_bytes(std::uint32_t begin);
    void create_file(std::uint64_t size);
    void set_patch(std::uint32_t begin, std::uint32_t value, std::uint32_t length);
    std::string compare_files();

    // Both codes back to 0, every file closed, every stream usable again.
    void close();

  private:
    File replacement; // the output's new bytes, written beside it
    Path target;      // the output's path, where the replacement goes
    bool target_exists = false;
    std::optional<Identity> target_identity; // the output the job opened
    Rewrite rewrite = Rewrite::beside;
    bool cut_in_place = false; // the input is the output, or may be
    std::uint64_t work_done = 0;
    std::uint64_t work_flushed = 0;
    std::uint64_t work_total = 0;

    // The codes of a file as the user knows it: Set patch writes into the input.
    struct FileCodes {
        std::int32_t read_failed;
        std::int32_t write_failed;
        std::int32_t restore_failed;
    };

    [[noreturn]] void fail_file(std::int32_t code);
    [[noreturn]] void fail_range(std::int32_t code);
    void close_streams();
    void require_path(const Path& path, std::int32_t code);
    std::uint32_t measure(const File& file, std::int32_t empty_code, std::int32_t too_large_code);
    void load_input(const Path& input_path, const Path& output_path);
    void open_output(const Path& output_path, Access access, bool may_be_missing);
    void choose_rewrite();
    // Counts the bytes to write, and those written of them, from 0.
    void start_work(std::uint64_t total);
    // Adds the length of a piece that went into written, tells progress, and then flushes
    // written where FLUSH_STEP bytes have gone since its last flush. 0 to go on, else the
    // code that ends the job: JOB_STOPPED, or OUTPUT_WRITE_FAILED for a flush that failed.
    std::int32_t went_on(std::uint32_t length = 0, File* written = nullptr);
    void write_piece(std::uint32_t begin, std::uint32_t length);
    // Writes length bytes (at most WHOLE_WRITE_BLOCK) over output_stream at `at` in one
    // call, flushed; their old bytes are kept in memory meanwhile, to put back should it fail.
    void write_whole(std::uint32_t at, const unsigned char* bytes, std::uint32_t length,
                     const FileCodes& codes);
    std::int32_t copy(File& from, std::uint64_t from_at, File& to, std::uint64_t to_at,
                      std::uint32_t length, SavedRange* saved, unsigned char* piece);
    // Keeps the output's bytes from where saved ends up to its capacity, through piece.
    std::int32_t keep_rest(SavedRange& saved, unsigned char* piece);
    void swap_in(std::int32_t code);
    // Writes length bytes of from (from from_at) over the output at `at`, and leaves it
    // new_length bytes long; without from, the output becomes new_length zero bytes.
    void overwrite(File* from, std::uint64_t from_at, std::uint64_t at, std::uint32_t length,
                   std::uint64_t new_length);
};

// Byte k of the result is byte (length - 1 - k) of value, for k below length; the
// higher bytes are 0. Length 4 swaps a whole 32-bit word.
std::uint32_t reverse_low_bytes(std::uint32_t value, std::uint32_t length);
