// The POSIX half of File: descriptors, the new file nameless until it takes the output's
// place (named from the start where it could not be named then), and the swap that can
// only replace the file the job opened.
#include "engine/file.h"

#include "engine/temporary_name.h"

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <fcntl.h>
#include <linux/fs.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace fs = std::filesystem;
using file_names::Claim;
using file_names::claim_name;
using file_names::folder_of;

namespace {

constexpr mode_t NEW_FILE_MODE = 0666; // less the user's umask, as any new file
constexpr mode_t PRIVATE_MODE = 0600;  // a copy for this program's eyes only
constexpr mode_t MODE_BITS = 07777;
// The extended attributes a replacing file takes on: the POSIX ACL and the user's own.
constexpr char ACL_ATTRIBUTE[] = "system.posix_acl_access";
constexpr char USER_ATTRIBUTES[] = "user.";
// The most times a value is asked for again that grew between its size and its bytes.
constexpr int VALUE_ATTEMPTS = 4;

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

// Gives the open file the free name `name`, as link() would; 0, or -1 with errno. Through
// the descriptor itself where the system lets this program (AT_EMPTY_PATH: with
// CAP_DAC_READ_SEARCH, or on recent kernels for a file it opened itself), else through
// /proc where it is mounted.
int link_open(int descriptor, const fs::path& name) {
    if (::linkat(descriptor, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) return 0;
    if (errno == EEXIST) return -1;
    const std::string open_file = descriptor_path(descriptor);
    return ::linkat(AT_FDCWD, open_file.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW);
}

// Whether a nameless file in folder can be named when it is done. Tried on the folder's
// own entry ".", which is never free: "taken" means every check before the naming passed,
// and nothing was made.
bool can_be_named(int descriptor, const fs::path& folder) {
    return link_open(descriptor, folder / ".") != 0 && errno == EEXIST;
}

// A value the system fills in (fill(room, size), as flistxattr and fgetxattr): asked its
// size first, then its bytes, again where it grew meanwhile; nothing on failure, with errno.
template <typename Fill> std::optional<std::string> system_value(Fill fill) {
    for (int attempt = 0; attempt < VALUE_ATTEMPTS; ++attempt) {
        const ssize_t size = fill(nullptr, 0);
        if (size < 0) return std::nullopt;
        std::string value(static_cast<std::size_t>(size), '\0');
        const ssize_t filled = fill(value.data(), value.size());
        if (filled >= 0) {
            value.resize(static_cast<std::size_t>(filled));
            return value;
        }
        if (errno != ERANGE) return std::nullopt;
    }
    return std::nullopt;
}

enum class Carried { absent, given, refused };

// Gives the file open on `to` the attribute `name` of the file open on `from`, where that
// has it.
Carried carry(int from, int to, const char* name) {
    const auto value = system_value(
        [&](char* room, std::size_t size) { return ::fgetxattr(from, name, room, size); });
    if (!value) return errno == ENODATA || errno == ENOTSUP ? Carried::absent : Carried::refused;
    return ::fsetxattr(to, name, value->data(), value->size(), 0) == 0 ? Carried::given
                                                                       : Carried::refused;
}

// Gives the file open on `to` the ACL and user attributes of the one open on `from`, and
// no ACL where that has none; false where any cannot be given, as on a file system that
// keeps none.
bool take_attributes(int from, int to) {
    // The ACL is asked for by its name: NTFS-3G leaves it out of the list.
    const Carried acl = carry(from, to, ACL_ATTRIBUTE);
    if (acl == Carried::refused) return false;
    // A folder's default ACL gives one to each new file; the old file had none.
    if (acl == Carried::absent && ::fgetxattr(to, ACL_ATTRIBUTE, nullptr, 0) >= 0 &&
        ::fremovexattr(to, ACL_ATTRIBUTE) != 0)
        return false;
    const auto names =
        system_value([&](char* room, std::size_t size) { return ::flistxattr(from, room, size); });
    // A file system that keeps no attributes gave the old file none.
    if (!names) return errno == ENOTSUP;
    for (std::size_t at = 0; at < names->size();) {
        const std::string name(names->c_str() + at); // each name ends with a zero
        at += name.size() + 1;
        if (name.rfind(USER_ATTRIBUTES, 0) == 0 &&
            carry(from, to, name.c_str()) == Carried::refused)
            return false;
    }
    return true;
}

Identity identity_of(const struct stat& information) {
    Identity identity;
    identity.volume = information.st_dev;
    identity.number[0] = information.st_ino;
    // In nanoseconds: a file saved within the same second is newer too.
    identity.written = static_cast<std::uint64_t>(information.st_mtim.tv_sec) * 1000000000u +
                       static_cast<std::uint64_t>(information.st_mtim.tv_nsec);
    identity.size = static_cast<std::uint64_t>(information.st_size);
    return identity;
}

// Whether path now names the file of identity was, as it was (nothing, for a new
// output); where the system gave no identity, any file counts.
bool names(const fs::path& path, bool existed, const std::optional<Identity>& was) {
    struct stat information {};
    if (::lstat(path.c_str(), &information) != 0) return !existed && errno == ENOENT;
    return existed && (!was || identity_of(information) == *was);
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

void File::open_temporary_in(const fs::path& folder, bool beside, const File* replacing,
                             bool /* encrypt: fscrypt encrypts by folder */) {
    // A new output is made as open() makes any file; every other new file is this
    // program's alone until it takes on the mode of the file it replaces.
    const mode_t mode = beside && !replacing ? NEW_FILE_MODE : PRIVATE_MODE;
    // Nameless while it is written, so that the system removes it with its last descriptor
    // however the program ends; but only where it can be named once it is done.
    if (!nameless_files_refused) {
        descriptor = open_descriptor(folder, O_TMPFILE | O_RDWR, mode);
        if (is_open() && can_be_named(descriptor, folder)) {
            temporary_folder = folder;
            return;
        }
        if (is_open()) close_native();
    }
    // A file system without nameless files (exFAT, NTFS-3G, NFS, CIFS), or no way to name
    // one (no /proc, no AT_EMPTY_PATH): a name of its own from the start, removed by close().
    const auto name = claim_name(folder, [&](const fs::path& name) {
        descriptor = open_descriptor(name, O_RDWR | O_CREAT | O_EXCL, mode);
        if (is_open()) return Claim::made;
        return errno == EEXIST ? Claim::taken : Claim::refused;
    });
    if (name) temporary = *name;
}

bool File::take_on(const File& like) {
    const auto old = status(like.descriptor);
    const auto made = status(descriptor);
    if (!old || !made) return false;
    // The owner first: a change of owner clears the set-user-ID bit the mode may give.
    // The ACL before the mode: each sets the other's part (the mask is the group's bits),
    // and the mode's own bits, set last, are the old file's whole.
    const bool owned = old->st_uid == made->st_uid && old->st_gid == made->st_gid;
    return (owned || ::fchown(descriptor, old->st_uid, old->st_gid) == 0) &&
           take_attributes(like.descriptor, descriptor) &&
           ::fchmod(descriptor, old->st_mode & MODE_BITS) == 0;
}

bool File::keep_native() {
    if (!temporary.empty()) return true;
    // A nameless file is named by a link to what is open.
    const auto name = claim_name(temporary_folder, [&](const fs::path& name) {
        if (link_open(descriptor, name) == 0) return Claim::made;
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
        if (link_open(descriptor, target) == 0) swap = Swap::done;
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
            // After an exchange the old file is left under the temporary name; after a
            // rename nothing is, and the name may be another program's by now.
            if (exchanged) ::unlink(temporary.c_str());
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
    return identity_of(*information);
}

bool File::swappable() const {
    const auto information = status(descriptor);
    return !information || information->st_nlink == 1;
}

bool File::encrypted() const {
    // Asked of a file only: a device could take the request for one of its own.
    const auto information = status(descriptor);
    int flags = 0;
    return information && S_ISREG(information->st_mode) &&
           ::ioctl(descriptor, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_ENCRYPT_FL) != 0;
}

fs::path File::final_path(const fs::path& opened_as) const {
    std::error_code failed;
    const fs::path resolved = fs::canonical(opened_as, failed);
    return failed ? opened_as : resolved;
}

std::optional<fs::path> link_target(const fs::path& path) {
    std::error_code failed;
    if (!fs::is_symlink(fs::symlink_status(path, failed))) return std::nullopt;
    fs::path to = fs::read_symlink(path, failed);
    if (failed) return std::nullopt;
    return to;
}
