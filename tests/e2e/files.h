// Files for the cases: made in a temporary folder, read back byte for byte.
#pragma once

#include "tests/e2e/window.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>

// Names here are UTF-8, as in the cases' tables; this is the file one names.
std::filesystem::path on_disk(const std::string& name);
void make_folder(const std::string& path);

// A folder of its own under the temporary folder; removed with everything in it.
struct TempFolder {
    std::string path;
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
};

void write_file(const std::string& path, const std::string& bytes);
// The file's bytes; nothing when there is no such file.
std::optional<std::string> read_file(const std::string& path);
// Bytes that differ from their neighbours, so that a piece from the wrong place shows.
std::string pattern(std::size_t length);
// A file of that length that takes no room on disk.
void make_sparse_file(const std::string& path, std::uint64_t length);
// Opens the file without sharing, so that no one else opens it while the handle lives.
UniqueHandle hold_file(const std::string& path);
// Gives the existing file a second name (a hard link).
void make_link(const std::string& path, const std::string& existing);
// The path with each name in it that is not 8.3 given as its 8.3 short name; empty when
// the system gives none.
std::string short_path(const std::string& path);
// What makes the file that file (its volume and its index on it); empty when it cannot be
// opened.
std::string file_identity(const std::string& path);
// The names in the folder, spelt as it lists them.
std::set<std::string> names_in(const std::string& folder);

// An output that takes bytes only as fast as the driver reads them: a job writing to it
// lasts as long as the driver likes, as on a slow share. The name to drop as the output.
constexpr char SLOW_OUTPUT[] = "\\\\.\\pipe\\korvel-slow-output";
UniqueHandle make_slow_output();
// Waits until the job has begun to write; false when it has not within the wait.
bool output_started(HANDLE slow_output);
// Reads everything the job writes until it closes the output; how many bytes came. Calls
// between, if given, after each read.
std::uint32_t drain(HANDLE slow_output, const std::function<void()>& between = {});

// A file's contents for a failure line: its length, and where it parts from the expected.
std::string describe(const std::optional<std::string>& bytes,
                     const std::optional<std::string>& expected);
