#pragma once

#include "engine/file.h"

#include <cstdint>
#include <filesystem>
#include <string>

struct SavedRange;

// A file's name as the system spells it: wide text on Windows, bytes elsewhere. It is
// never converted through a code page, so one name always means one file.
using Path = std::filesystem::path;

// Every file a loader measures holds at most 30 MiB.
constexpr std::uint32_t MAX_FILE_SIZE = 31457280;
// Create file writes at most 100 MiB.
constexpr std::uint32_t CREATE_SIZE_LIMIT = 104857600;

// The byte engine: one job's input and output files. A job calls one loader, then its
// operation; every failure is thrown as an error record built from the two codes, and
// the job then calls close, which brings the object back to idle.
class FilePair {
  public:
    std::uint32_t input_size = 0;
    std::uint32_t output_size = 0;
    File input_stream;
    File second_stream; // the output file, read by Compare files
    File output_stream; // for Set patch, the input file opened for update
    std::int32_t file_code = 0;
    std::int32_t range_code = 0;

    void load_for_cut(const Path& input_path, const Path& output_path);
    void load_for_insert(const Path& input_path, const Path& output_path);
    void load_for_create(const Path& output_path);
    void load_for_patch(const Path& input_path);
    void load_for_compare(const Path& input_path, const Path& output_path);

    void cut_bytes(std::uint32_t begin, std::uint32_t size);
    void cut_range(std::uint32_t begin, std::uint32_t end);
    void insert_bytes(std::uint32_t begin);
    void create_file(std::uint32_t size);
    void set_patch(std::uint32_t begin, std::uint32_t value, std::uint32_t length);
    std::string compare_files();

    // Both codes back to 0, every file closed, every stream usable again.
    void close();

  private:
    bool cut_in_place = false; // the input may be the output: a cut keeps what it overwrites

    [[noreturn]] void fail_file(std::int32_t code);
    [[noreturn]] void fail_range(std::int32_t code);
    void close_streams();
    void require_path(const Path& path, std::int32_t code);
    std::uint32_t measure(const File& file, std::int32_t empty_code, std::int32_t too_large_code);
    void load_input(const Path& input_path, const Path& output_path);
    void open_output(const Path& output_path);
    void write_piece(std::uint32_t begin, std::uint32_t length);
    std::int32_t copy(std::uint64_t from, std::uint64_t to, std::uint32_t length, SavedRange* saved,
                      unsigned char* piece);
    void finish_overwrite(std::int32_t code, SavedRange& saved, unsigned char* piece,
                          std::uint64_t old_length, std::uint64_t length);
    void finish_new_output(std::int32_t code, std::uint64_t old_length, std::uint64_t length);
    bool cut_to(std::uint64_t length, std::uint64_t old_length);
    bool output_finished(std::int32_t code, std::uint64_t old_length, std::uint64_t length);
};

// Byte k of the result is byte (length - 1 - k) of value, for k below length; the
// higher bytes are 0. Length 4 swaps a whole 32-bit word.
std::uint32_t reverse_low_bytes(std::uint32_t value, std::uint32_t length);
