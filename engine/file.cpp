// The half of File that is the same on every system; file_windows.cpp and file_posix.cpp
// hold the rest.
#include "engine/file.h"

#include "engine/temporary_name.h"

#include <algorithm>
#include <system_error>

namespace fs = std::filesystem;

std::optional<bool> same_file_answer;
std::optional<std::uint64_t> bytes_until_writes_fail;
bool nameless_files_refused = false;
std::optional<std::uint32_t> flushes_until_one_fails;

namespace {

// The most links followed from an output's path, as the system itself follows.
constexpr int LINK_HOPS = 40;

} // namespace

File::~File() {
    close();
}

bool File::open(const fs::path& path, Access access) {
    if (is_open()) return false;
    write_failed = false;
    not_found = false;
    may_replace = true;
    aside = false;
    open_native(path, access);
    return is_open();
}

bool File::open_temporary(bool encrypt) {
    if (is_open()) return false;
    write_failed = false;
    std::error_code failed;
    const fs::path folder = fs::temp_directory_path(failed);
    if (!failed) open_temporary_in(folder, false, nullptr /* replaces nothing */, encrypt);
    // A folder or a system that does not encrypt: better no file than one in the clear.
    if (encrypt && is_open() && !encrypted()) close();
    aside = true;
    return is_open();
}

bool File::open_beside(const fs::path& to_replace, const File* like) {
    if (is_open()) return false;
    write_failed = false;
    aside = false;
    open_temporary_in(file_names::folder_of(to_replace), true, like,
                      false /* an encrypted output is never swapped */);
    if (is_open() && like && !take_on(*like)) close();
    target = to_replace;
    target_exists = like != nullptr;
    target_identity = like ? like->identity() : std::nullopt;
    return is_open();
}

std::uint32_t File::read(unsigned char* bytes, std::uint32_t count) {
    std::uint32_t done = 0;
    while (is_open() && done < count) {
        const std::uint32_t came = read_some(bytes + done, count - done);
        if (came == 0) break;
        done += came;
    }
    return done;
}

std::uint32_t File::write(const unsigned char* bytes, std::uint32_t count) {
    std::uint32_t done = 0;
    while (is_open() && done < count) {
        std::uint32_t allowed = count - done;
        const bool failing = bytes_until_writes_fail && !aside;
        if (failing)
            allowed = static_cast<std::uint32_t>(
                std::min<std::uint64_t>(allowed, *bytes_until_writes_fail));
        const std::uint32_t went = allowed > 0 ? write_some(bytes + done, allowed) : 0;
        if (went == 0) break;
        if (failing) *bytes_until_writes_fail -= went;
        done += went;
    }
    if (done < count) write_failed = true;
    return done;
}

bool File::flush_may_succeed() {
    if (!flushes_until_one_fails) return true;
    if (*flushes_until_one_fails > 0) {
        --*flushes_until_one_fails;
        return true;
    }
    flushes_until_one_fails.reset();
    return false;
}

bool File::flush() {
    return is_open() && (aside || flush_may_succeed()) && flush_native();
}

bool same_file(const File& first, const File& second) {
    if (same_file_answer) return *same_file_answer;
    const auto a = first.identity();
    const auto b = second.identity();
    return !a || !b || same_number(*a, *b);
}

bool same_number(const Identity& first, const Identity& second) {
    return first.volume == second.volume && first.number == second.number;
}

bool operator==(const Identity& first, const Identity& second) {
    return same_number(first, second) && first.created == second.created &&
           first.written == second.written && first.size == second.size;
}

bool operator!=(const Identity& first, const Identity& second) {
    return !(first == second);
}

bool File::close() {
    const bool closed = !is_open() || close_native();
    const bool written = !write_failed;
    write_failed = false;
    return closed && written;
}

std::optional<fs::path> File::keep() {
    if (!is_open() || !keep_native()) return std::nullopt;
    const fs::path name = temporary;
    temporary.clear(); // no longer the system's to remove
    std::error_code ignored;
    if (close()) return name;
    fs::remove(name, ignored);
    return std::nullopt;
}

Swap File::replace(const std::function<bool()>& go_on) {
    // The swap is the first thing a stop skips: the output stays as it was, and the new
    // file goes with its bytes, flushed or not.
    Swap swap = Swap::failed;
    if (is_open() && good() && flush()) swap = go_on() ? swap_native(go_on) : Swap::stopped;
    if (swap != Swap::refused) close(); // and with it a new file not put in place
    return swap;
}

fs::path link_end(const fs::path& path) {
    fs::path end = path;
    for (int hop = 0; hop < LINK_HOPS; ++hop) {
        const std::optional<fs::path> to = link_target(end);
        if (!to) break;
        end = end.parent_path() / *to; // a whole path as it is, or from the link's folder
    }
    return end;
}
