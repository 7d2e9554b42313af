#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using Bytes = std::vector<unsigned char>;

// A folder of one test's own, removed with everything in it when the test ends.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The path of a name inside the folder, in UTF-8 like every path of these helpers.
    std::string path(const std::string& name) const;

  private:
    std::filesystem::path root;
};

// The file a UTF-8 path names, as the engine takes it: on Windows a narrow string would be
// read in the code page instead.
std::filesystem::path on_disk(const std::string& path);

void write_file(const std::string& path, const Bytes& bytes);
Bytes read_file(const std::string& path);
bool file_exists(const std::string& path);
std::uint64_t file_length(const std::string& path);

// A file held open for reading and writing, as another program may, without letting it be
// replaced (Windows asks that of a rename; elsewhere nothing stops one).
class HeldOpen {
  public:
    explicit HeldOpen(const std::string& path);
    ~HeldOpen();
    HeldOpen(const HeldOpen&) = delete;
    HeldOpen& operator=(const HeldOpen&) = delete;

  private:
    void* handle = nullptr;
};

// The same, let go by another thread a moment later, as a scanner lets go of a file.
class HeldForAMoment {
  public:
    explicit HeldForAMoment(const std::string& path);
    ~HeldForAMoment() { releaser.join(); }
    HeldForAMoment(const HeldForAMoment&) = delete;
    HeldForAMoment& operator=(const HeldForAMoment&) = delete;

  private:
    std::unique_ptr<HeldOpen> held;
    std::thread releaser;
};

// A virus scanner: opens each file of a folder, over and over while it lives, without
// sharing its deletion, and lets it go at once.
class Scanner {
  public:
    explicit Scanner(const std::string& folder);
    ~Scanner();
    Scanner(const Scanner&) = delete;
    Scanner& operator=(const Scanner&) = delete;

  private:
    std::atomic<bool> stop{false};
    std::thread thread;
};

// What a file is beside its bytes, which a job that replaces it must keep: its mode, owner,
// group, ACL and user attributes, or on Windows its attributes. make_unusual gives a file such
// values that no new file gets by itself.
std::string what_it_is(const std::string& path);
void make_unusual(const std::string& path);

// Moves a file's last write time an hour back, as another program that wrote it would
// move it, through a handle that lets other programs do anything meanwhile.
void move_write_time(const std::string& path);

// A file of the given length that reads as zeros, made without writing them.
void make_sized_file(const std::string& path, std::uint64_t length);

// Bytes that differ from their neighbours: first, first + 1, ... modulo 256.
Bytes byte_run(std::size_t count, unsigned char first = 0x40);

// A device that opens for writing and then refuses every byte: a full disk.
#ifdef _WIN32
constexpr const char FULL_DEVICE[] = "Z:\\dev\\full";
#else
constexpr const char FULL_DEVICE[] = "/dev/full";
#endif
