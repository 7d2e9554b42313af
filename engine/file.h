#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <optional>

// The engine's one piece that talks to the system: a file reached through the system's
// own handle. One handle serves a file for the whole job, so that a file replaced at its
// path meanwhile is never the one written, and its identity is the identity of what was
// opened.

// The length of a file that cannot be measured (a pipe, a device).
constexpr std::uint64_t UNMEASURED = std::numeric_limits<std::uint64_t>::max();

// What makes an open file that file, and which of its versions it is.
struct Identity {
    // Which file: its volume (or device) and its number there, all 128 bits where the
    // system keeps that many (ReFS), else in number[0].
    std::uint64_t volume = 0;
    std::array<std::uint64_t, 2> number{};
    // Which version: a file saved since, even under the same number (FAT gives a file the
    // place of its folder entry, which a newer file may take), differs in one of them. In
    // the system's own units; 0 where it keeps none.
    std::uint64_t created = 0;
    std::uint64_t written = 0; // the last write
    std::uint64_t size = 0;
};

// One file, whatever has been written to it since.
bool same_number(const Identity& first, const Identity& second);
// One file, as it was.
bool operator==(const Identity& first, const Identity& second);
bool operator!=(const Identity& first, const Identity& second);

// What became of a new file that was to take an output's place.
enum class Swap {
    done,      // it is there, the old file gone
    unflushed, // it is there, the old file gone, but the flush after it failed: a drive that
               // fails a flush may not keep it
    failed,    // the output is as it was, the new file removed
    stopped,   // told to stop once flushed, before the swap: the same
    refused,   // refused for good before anything changed: the new file is still open
};

enum class Access {
    read,   // "rb": the file must exist
    update, // "r+b": the file must exist; nothing changes until it is written
    write,  // as update, but a file one may only write opens too
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
    // opened that way; missing() then says whether there was no such file.
    bool open(const std::filesystem::path& path, Access access);
    bool missing() const { return not_found; }
    // A new file in the system's temporary folder, for this program's eyes only, that
    // the system removes when it is closed, however the program ends, unless kept. With
    // encrypt, one the system encrypts from its first byte, or none at all.
    bool open_temporary(bool encrypt = false);
    // The same in the folder of target, to be put in its place by replace(); like is the
    // file open at target, whose all but bytes it takes on, or null for a new output.
    // False where it cannot be made, or cannot be made to keep what like is.
    bool open_beside(const std::filesystem::path& target, const File* like);
    bool is_open() const;

    std::uint64_t size() const; // UNMEASURED where it cannot be measured
    bool seek(std::uint64_t offset);
    // Reads up to count bytes from the position; the number that came.
    std::uint32_t read(unsigned char* bytes, std::uint32_t count);
    // Writes count bytes at the position; the number that went, all of them unless a
    // write failed, which is remembered until close.
    std::uint32_t write(const unsigned char* bytes, std::uint32_t count);
    // Cuts the file to length, or gives it length where it is shorter: the bytes past its
    // data then read as zeros, which the file system keeps without their being written.
    bool set_length(std::uint64_t length);
    // Every byte written so far is on the disk, not only in the system's cache; false where
    // the drive failed to take them, which it may report only once.
    bool flush();
    // No write has failed since the file was opened.
    bool good() const { return !write_failed; }
    // False when a write, or the close itself, failed. Usable again either way.
    bool close();

    // A new file in its place could be all that it is: it has one name, no other program
    // keeps it from being replaced, and it holds nothing but its bytes that a new file
    // could not be given (named streams, encryption); where the system cannot tell, it
    // is not.
    bool swappable() const;
    // Its bytes lie on the disk encrypted: no copy of them may lie there in the clear.
    bool encrypted() const;
    // Where the file itself lies: the path it was opened by, with links followed and
    // every name long and spelt as in its folder.
    std::filesystem::path final_path(const std::filesystem::path& opened_as) const;

    // A file from open_temporary, given a lasting name and closed; the name, or nothing
    // where it could not be kept.
    std::optional<std::filesystem::path> keep();
    // A file from open_beside, flushed and put in its target's place in one step, through
    // the handle that wrote it, provided the target is still the file it was opened
    // beside (still missing for a new output): until then the target is as it was, after
    // it the new file, flushed again, and closed. go_on is asked once flushed, before the
    // swap, and while another program holds the target, the swap is tried again for a
    // while, as long as go_on says so.
    Swap replace(const std::function<bool()>& go_on);

    // Nothing where the system cannot tell.
    std::optional<Identity> identity() const;

  private:
    // What each system does its own way; the rest is shared.
    void open_native(const std::filesystem::path& path, Access access);
    // Made for this program's eyes only, and removed by the system when it is closed.
    // beside: in an output's folder, to take its place; replacing: the output it is to
    // replace, whose all but bytes it takes on (null for a new output); encrypt: one the
    // system encrypts from its first byte.
    void open_temporary_in(const std::filesystem::path& folder, bool beside, const File* replacing,
                           bool encrypt);
    // Gives the file all that like is but its bytes; false where it cannot.
    bool take_on(const File& like);
    bool close_native();
    bool flush_native();
    // The flush seam's word on one more flush of a file written beside or in place, or of
    // its folder: false for the one it makes fail.
    static bool flush_may_succeed();
    bool keep_native();
    Swap swap_native(const std::function<bool()>& go_on);
    // The bytes moved by one call of the system's; 0 at the end of the file or on failure.
    std::uint32_t read_some(unsigned char* bytes, std::uint32_t count);
    std::uint32_t write_some(const unsigned char* bytes, std::uint32_t count);

#ifdef _WIN32
    void* handle = nullptr; // a HANDLE; null when closed
    bool marked = false;    // the system removes it when it is closed
#else
    int descriptor = -1;
#endif
    bool write_failed = false;
    bool not_found = false;
    bool may_replace = true;
    // A temporary file's name until it is kept: empty where it has none yet (a nameless
    // file, in temporary_folder).
    std::filesystem::path temporary;
    std::filesystem::path temporary_folder;
    bool aside = false; // in the system's temporary folder, not the output's drive
    // For a file from open_beside: where it goes, and what must be there until it does.
    std::filesystem::path target;
    bool target_exists = false;
    std::optional<Identity> target_identity;
};

// Whether two open files are one. The files decide, never their paths' spelling; where
// the system cannot tell (a share, a pipe, a redirector that gives no identity), they are
// taken as one, the answer that loses nothing when it is wrong.
bool same_file(const File& first, const File& second);

// Where a chain of symbolic links that starts at path ends: path itself where it is no
// link. A new output is made there, and the links stay links.
std::filesystem::path link_end(const std::filesystem::path& path);
// What the symbolic link at path holds, as written in it (a whole path, or one from the
// link's folder); nothing where path is no such link. Each system's half answers.
std::optional<std::filesystem::path> link_target(const std::filesystem::path& path);

// Test seams, set only by tests. same_file answers this instead of asking the system: a
// second name of one file that the system does not tie to the file. Writes fail, as on a
// full or pulled drive, once this many more bytes have gone, but in the temporary folder.
// Once this many more flushes have gone (of files but in the temporary folder, and of
// folders), the next one fails, once, as on a drive that fails one write-back and takes
// the next; the seam is then reset.
extern std::optional<bool> same_file_answer;
extern std::optional<std::uint64_t> bytes_until_writes_fail;
extern std::optional<std::uint32_t> flushes_until_one_fails;
// Every new file is made with a name from the start, as where the system has no nameless
// files or no way to name one (Windows names them all).
extern bool nameless_files_refused;
