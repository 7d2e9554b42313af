#pragma once

#include <cstdint>
#include <filesystem>
#include <limits>
#include <optional>
#include <utility>

// The engine's one piece that talks to the system: a file reached through the system's
// own handle. One handle serves a file for the whole job, so that a file replaced at its
// path meanwhile is never the one written, and its identity is the identity of what was
// opened.

// The length of a file that cannot be measured (a pipe, a device).
constexpr std::uint64_t UNMEASURED = std::numeric_limits<std::uint64_t>::max();

enum class Access {
    read,   // "rb": the file must exist
    update, // "r+b": the file must exist; nothing changes until it is written
    write,  // created empty when missing, but never emptied by the opening itself
};

// An open file, read and written straight through, in the pieces the engine chooses.
// The destructor closes it; a file that was written is closed with close(), which says
// whether every write reached it.
class File {
  public:
    File() = default;
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // False, leaving it closed, when it is open already, names a folder, or cannot be
    // opened that way.
    bool open(const std::filesystem::path& path, Access access);
    // A new file in the system's temporary folder, for this program's eyes only, that
    // the system removes when it is closed, however the program ends.
    bool open_temporary();
    bool is_open() const;

    std::uint64_t size() const; // UNMEASURED where it cannot be measured
    bool seek(std::uint64_t offset);
    // Reads up to count bytes from the position; the number that came.
    std::uint32_t read(unsigned char* bytes, std::uint32_t count);
    // Writes all count bytes at the position; false, remembered until close, when not.
    bool write(const unsigned char* bytes, std::uint32_t count);
    bool set_length(std::uint64_t length);
    // No write has failed since the file was opened.
    bool good() const { return !write_failed; }
    // False when a write, or the close itself, failed. Usable again either way.
    bool close();

    friend bool same_file(const File& first, const File& second);

  private:
    // What each system does its own way; the rest is shared.
    void open_native(const std::filesystem::path& path, Access access);
    void open_temporary_in(const std::filesystem::path& folder);
    bool close_native();
    // The bytes moved by one call of the system's; 0 at the end of the file or on failure.
    std::uint32_t read_some(unsigned char* bytes, std::uint32_t count);
    std::uint32_t write_some(const unsigned char* bytes, std::uint32_t count);
    // What makes the open file that file: its volume (or device) and its index on it;
    // nothing where the system cannot tell.
    std::optional<std::pair<std::uint64_t, std::uint64_t>> identity() const;

#ifdef _WIN32
    void* handle = nullptr; // a HANDLE; null when closed
#else
    int descriptor = -1;
#endif
    bool write_failed = false;
};

// Whether two open files are one. The files decide, never their paths' spelling; where
// the system cannot tell (a share, a pipe, a redirector that gives no identity), they are
// taken as one, the answer that loses nothing when it is wrong.
bool same_file(const File& first, const File& second);

// What same_file answers instead of asking the system, while set: tests stand in with it
// for a second name of one file that the system does not tie to the file.
extern std::optional<bool> same_file_answer;
