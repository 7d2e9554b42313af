// The POSIX half of File: descriptors, the new file nameless until it takes the output's
// place, and the swap that can only replace the file the job opened.
#include "engine/file.h"

#include "engine/temporary_name.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using file_names::Claim;
using file_names::claim_name;
using file_names::folder_of;

namespace {

constexpr mode_t NEW_FILE_MODE = 0666; // less the user's umask, as any new file
constexpr mode_t PRIVATE_MODE = 0600;  // a copy for this program's eyes only
constexpr mode_t MODE_BITS = 07777;

std::optional<struct stat> status(int descriptor) {
    struct stat information {};
    if (descriptor < 0 || ::fstat(descriptor, &information) != 0) return std::nullopt;
    return information;
}

int open_descriptor(const fs::path& path, int flags, mode_t mode = NEW_FILE_MODE) {
    int opened = -1;
    do {
        opened = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    } while (opened < 0 && errno == EINTR);
    return opened;
}

// The open file's path through the system's own folder of descriptors.
std::string descriptor_path(int descriptor) {
    return "/proc/self/fd/" + std::to_string(descriptor);
}

// Whether path now names the file of identity was (nothing, for a new output); where
// the system gave no identity, any file counts.
bool names(const fs::path& path, bool existed, const std::optional<Identity>& was) {
    struct stat information {};
    if (::lstat(path.c_str(), &information) != 0) return !existed && errno == ENOENT;
    return existed && (!was || Identity(information.st_dev, information.st_ino) == *was);
}

// A rename the folder or its drive refuses whatever waits: a file mounted at the target,
// another drive, a folder whose sticky bit keeps another user's file.
bool refused_for_good(int error) {
    return error == EBUSY || error == EXDEV || error == EPERM || error == EACCES;
}

// The folder's changed entries on the disk too; false where the drive failed to take them.
// A folder this user may not read, or a file system that flushes no folder (EINVAL), has
// nothing to report.
bool flush_folder(const fs::path& target) {
    const int folder = open_descriptor(folder_of(target), O_RDONLY | O_DIRECTORY);
    if (folder < 0) return true;
    const bool flushed = ::fsync(folder) == 0 || errno == EINVAL;
    ::close(folder);
    return flushed;
}

} // namespace

void File::open_native(const fs::path& path, Access access) {
    switch (access) {
    case Access::read: descriptor = open_descriptor(path, O_RDONLY); break;
    case Access::update: descriptor = open_descriptor(path, O_RDWR); break;
    case Access::write:
        descriptor = open_descriptor(path, O_RDWR);
        // A file one may only write opens all the same.
        if (descriptor < 0 && errno == EACCES) descriptor = open_descriptor(path, O_WRONLY);
        break;
    }
    not_found = descriptor < 0 && errno == ENOENT;
    // A folder opens for reading here, and would fail only later.
    const auto opened = status(descriptor);
    if (is_open() && (!opened || S_ISDIR(opened->st_mode))) close_native();
}

void File::open_temporary_in(const fs::path& folder, bool beside) {
    // Nameless while it is written: the system removes it with its last descriptor.
    descriptor = open_descriptor(folder, O_TMPFILE | O_RDWR, beside ? NEW_FILE_MODE : PRIVATE_MODE);
    if (is_open()) {
        temporary_folder = folder;
        return;
    }
    // A file system without nameless files: a name of its own, removed by close().
    std::string name = (folder / "korvel-XXXXXX").string();
    descriptor = ::mkostemp(name.data(), O_CLOEXEC);
    if (is_open()) temporary = name;
}

bool File::take_on(const File& like) {
    const auto old = status(like.descriptor);
    const auto made = status(descriptor);
    if (!old || !made) return false;
    // The owner first: a change of owner clears the set-user-ID bit the mode may give.
    const bool owned = old->st_uid == made->st_uid && old->st_gid == made->st_gid;
    return (owned || ::fchown(descriptor, old->st_uid, old->st_gid) == 0) &&
           ::fchmod(descriptor, old->st_mode & MODE_BITS) == 0;
}

bool File::keep_native() {
    if (!temporary.empty()) return true;
    // A nameless file is named by a link to what is open.
    const std::string open_file = descriptor_path(descriptor);
    const auto name = claim_name(temporary_folder, [&](const fs::path& name) {
        if (::linkat(AT_FDCWD, open_file.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return Claim::made;
        return errno == EEXIST ? Claim::taken : Claim::refused;
    });
    if (name) temporary = *name;
    return name.has_value();
}

// One try: nothing here waits for another program.
Swap File::swap_native(const std::function<bool()>& /* go_on */) {
    const bool nameless = temporary.empty();
    Swap swap = Swap::failed;
    if (!target_exists && nameless) {
        // A link never replaces a file: one that came meanwhile stays, and the job fails.
        const std::string open_file = descriptor_path(descriptor);
        if (::linkat(AT_FDCWD, open_file.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) == 0)
            swap = Swap::done;
    } else if (keep_native()) {
        // The two names exchanged, so that what was at the target can be checked, and put
        // back where it is not the file the job opened; a rename that takes only a free
        // name for a new output. Where the drive has neither, the check comes just before.
        const unsigned how = target_exists ? RENAME_EXCHANGE : RENAME_NOREPLACE;
        int renamed = ::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), how);
        const bool exchanged = renamed == 0 && target_exists;
        if (renamed != 0 && errno == EINVAL && names(target, target_exists, target_identity))
            renamed = ::rename(temporary.c_str(), target.c_str());
        if (exchanged && !names(temporary, true, target_identity)) {
            // A newer file had taken the output's place: it goes back, and the job fails.
            // Where even that fails, both names stay, as neither is sure.
            if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), how) != 0)
                temporary.clear();
            renamed = -1;
            errno = EEXIST;
        }
        if (renamed == 0) {
            // What is left under the temporary name is the old file, or nothing.
            ::unlink(temporary.c_str());
            temporary.clear();
            swap = Swap::done;
        } else if (refused_for_good(errno)) {
            swap = Swap::refused;
        }
    }
    if (swap == Swap::done && !(flush_may_succeed() && flush_folder(target)))
        swap = Swap::unflushed;
    // A name given here goes at once; the file stays open.
    if (swap != Swap::done && nameless && !temporary.empty()) {
        ::unlink(temporary.c_str());
        temporary.clear();
    }
    return swap;
}

bool File::is_open() const {
    return descriptor >= 0;
}

std::uint64_t File::size() const {
    const auto information = status(descriptor);
    if (!information || !S_ISREG(information->st_mode)) return UNMEASURED;
    return static_cast<std::uint64_t>(information->st_size);
}

bool File::seek(std::uint64_t offset) {
    return is_open() &&
           ::lseek(descriptor, static_cast<off_t>(offset), SEEK_SET) == static_cast<off_t>(offset);
}

std::uint32_t File::read_some(unsigned char* bytes, std::uint32_t count) {
    ssize_t came = -1;
    do {
        came = ::read(descriptor, bytes, count);
    } while (came < 0 && errno == EINTR);
    return came > 0 ? static_cast<std::uint32_t>(came) : 0;
}

std::uint32_t File::write_some(const unsigned char* bytes, std::uint32_t count) {
    ssize_t went = -1;
    do {
        went = ::write(descriptor, bytes, count);
    } while (went < 0 && errno == EINTR);
    return went > 0 ? static_cast<std::uint32_t>(went) : 0;
}

bool File::set_length(std::uint64_t length) {
    const auto information = status(descriptor);
    if (!information) return false;
    const auto end = static_cast<off_t>(length);
    // Longer: blocks taken at once that read as zeros, never written (a full drive fails
    // here, not later); a file system without them gets a hole, which reads the same.
    if (end > information->st_size) {
        int given = -1;
        do {
            given = ::fallocate(descriptor, 0 /* allocate and extend */, information->st_size,
                                end - information->st_size);
        } while (given != 0 && errno == EINTR);
        if (given == 0) return true;
        if (errno != EOPNOTSUPP && errno != ENOSYS) return false;
    }
    return ::ftruncate(descriptor, end) == 0;
}

bool File::flush_native() {
    return ::fsync(descriptor) == 0;
}

bool File::close_native() {
    // Not tried again on EINTR: the descriptor is gone either way.
    const bool closed = ::close(descriptor) == 0;
    descriptor = -1;
    // A named temporary file that was not kept.
    if (!temporary.empty()) ::unlink(temporary.c_str());
    temporary.clear();
    return closed;
}

std::optional<Identity> File::identity() const {
    const auto information = status(descriptor);
    if (!information) return std::nullopt;
    return Identity(information->st_dev, information->st_ino);
}

bool File::swappable() const {
    const auto information = status(descriptor);
    return !information || information->st_nlink == 1;
}

fs::path File::final_path(const fs::path& opened_as) const {
    std::error_code failed;
    const fs::path resolved = fs::canonical(opened_as, failed);
    return failed ? opened_as : resolved;
}
