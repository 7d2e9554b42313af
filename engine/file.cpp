#include "engine/file.h"

#include <algorithm>
#include <exception>
#include <random>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

std::optional<bool> same_file_answer;
std::optional<std::uint64_t> bytes_until_writes_fail;

namespace {

// A new file is created under a name no file had; the most a name is tried again when
// another program has just taken it.
constexpr int NAME_ATTEMPTS = 16;

// Where the replacing file is made: beside the target, so that one rename puts it there.
fs::path folder_of(const fs::path& target) {
    const fs::path folder = target.parent_path();
    return folder.empty() ? fs::path(".") : folder;
}

enum class Claim { made, taken, refused };

// Draws new names in folder until make claims one by creating it: the name, or nothing
// where the system refuses for another reason than a name already taken, or no name can
// be drawn (no entropy, no memory).
template <typename Make> std::optional<fs::path> claim_name(const fs::path& folder, Make make) {
    try {
        std::random_device entropy;
        for (int attempt = 0; attempt < NAME_ATTEMPTS; ++attempt) {
            const fs::path name = folder / ("korvel-" + std::to_string(entropy()) + ".tmp");
            const Claim claim = make(name);
            if (claim == Claim::made) return name;
            if (claim == Claim::refused) break;
        }
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

// Puts the file named from in target's place with one rename; the step is on the disk
// when this returns true.
bool move_into_place(const fs::path& from, const fs::path& target, bool target_exists);

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

bool File::open_temporary() {
    if (is_open()) return false;
    write_failed = false;
    std::error_code failed;
    const fs::path folder = fs::temp_directory_path(failed);
    if (!failed) open_temporary_in(folder, nullptr);
    aside = true;
    return is_open();
}

bool File::open_beside(const fs::path& target) {
    if (is_open()) return false;
    write_failed = false;
    aside = false;
    open_temporary_in(folder_of(target), &target);
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

bool same_file(const File& first, const File& second) {
    if (same_file_answer) return *same_file_answer;
    const auto a = first.identity();
    const auto b = second.identity();
    return !a || !b || *a == *b;
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

bool File::replace(const fs::path& target, bool target_exists) {
    const bool whole = is_open() && good() && flush();
    const auto name = whole ? keep() : std::nullopt;
    if (!name) {
        close(); // and with it the new file
        return false;
    }
    if (move_into_place(*name, target, target_exists)) return true;
    std::error_code ignored;
    fs::remove(*name, ignored);
    return false;
}

#ifdef _WIN32

#include "ui/win32.h"

#include <vector>

namespace {

// As the C runtime's own opens share, and more: other programs may read and write
// meanwhile, and a file this program replaces may be open here as well.
constexpr DWORD SHARED = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Vista's SetFileInformationByHandle, and the records it takes; XP sets the same records
// through ntdll's NtSetInformationFile, under other class numbers.
using SetByHandle = BOOL(WINAPI*)(HANDLE, int, void*, DWORD);
struct IoStatus {
    void* status;
    ULONG_PTR information;
};
using NtSetInformationFile = LONG(NTAPI*)(HANDLE, IoStatus*, void*, ULONG, int);
struct Disposition {
    BOOLEAN delete_file;
};
constexpr int FILE_DISPOSITION_INFO_CLASS = 4;   // FileDispositionInfo
constexpr int FILE_DISPOSITION_INFORMATION = 13; // FileDispositionInformation
struct BasicInformation {
    LARGE_INTEGER creation, last_access, last_write, change; // 0: left as they are
    DWORD attributes;
};
constexpr int FILE_BASIC_INFO_CLASS = 0;  // FileBasicInfo
constexpr int FILE_BASIC_INFORMATION = 4; // FileBasicInformation
using FinalPathName = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);

// What a replacing file takes of the file it replaces, beside its security.
constexpr DWORD CARRIED_ATTRIBUTES = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                     FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
constexpr DWORD SUPPORTS_HARD_LINKS = 0x00400000; // FILE_SUPPORTS_HARD_LINKS, from Windows 7

HANDLE native(void* handle) {
    return static_cast<HANDLE>(handle);
}

// The handle, or null where the system refuses; a folder never opens without
// FILE_FLAG_BACKUP_SEMANTICS.
HANDLE open_handle(const fs::path& path, DWORD access, DWORD disposition, DWORD sharing = SHARED,
                   DWORD flags = FILE_ATTRIBUTE_NORMAL) {
    const HANDLE opened = CreateFileW(path.c_str(), access, sharing, nullptr /* default security */,
                                      disposition, flags, nullptr /* no template */);
    return opened == INVALID_HANDLE_VALUE ? nullptr : opened;
}

bool set_information(HANDLE file, int by_handle_class, int nt_class, void* record, DWORD size) {
    static const auto by_handle =
        system_function<SetByHandle>("kernel32.dll", "SetFileInformationByHandle");
    if (by_handle) return by_handle(file, by_handle_class, record, size);
    static const auto nt_set =
        system_function<NtSetInformationFile>("ntdll.dll", "NtSetInformationFile");
    IoStatus status{};
    return nt_set && nt_set(file, &status, record, size, nt_class) >= 0;
}

// Marks an open file to be removed when its last handle closes, however the program
// ends, or takes the mark off again.
bool set_delete_disposition(HANDLE file, bool remove) {
    Disposition disposition{static_cast<BOOLEAN>(remove)};
    return set_information(file, FILE_DISPOSITION_INFO_CLASS, FILE_DISPOSITION_INFORMATION,
                           &disposition, sizeof disposition);
}

// A local drive whose file system gives a file more than one name (NTFS and later ones);
// a share may say NTFS and still refuse a link, and is taken as one that does not.
bool takes_hard_links(const fs::path& folder) {
    wchar_t volume[MAX_PATH + 1] = {};
    wchar_t system[MAX_PATH + 1] = {};
    DWORD flags = 0;
    if (!GetVolumePathNameW(folder.c_str(), volume, MAX_PATH) ||
        !GetVolumeInformationW(volume, nullptr /* no label */, 0, nullptr /* no serial */,
                               nullptr /* no name length */, &flags, system, MAX_PATH))
        return false;
    return GetDriveTypeW(volume) != DRIVE_REMOTE &&
           ((flags & SUPPORTS_HARD_LINKS) || lstrcmpiW(system, L"NTFS") == 0);
}

// The attributes and security of like, where it exists, for the file open on handle.
void take_on(HANDLE handle, const fs::path& like) {
    const DWORD attributes = GetFileAttributesW(like.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return; // a new output: the folder's defaults
    BasicInformation basic{};
    basic.attributes = (attributes & CARRIED_ATTRIBUTES) ? (attributes & CARRIED_ATTRIBUTES)
                                                         : FILE_ATTRIBUTE_NORMAL;
    set_information(handle, FILE_BASIC_INFO_CLASS, FILE_BASIC_INFORMATION, &basic, sizeof basic);
    DWORD needed = 0;
    GetFileSecurityW(like.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
    std::vector<unsigned char> security(needed);
    if (needed > 0 &&
        GetFileSecurityW(like.c_str(), DACL_SECURITY_INFORMATION, security.data(), needed, &needed))
        SetKernelObjectSecurity(handle, DACL_SECURITY_INFORMATION, security.data());
}

// A name the system fills in: the call is given room and says how much it needs.
template <typename Fill> std::optional<std::wstring> system_name(Fill fill) {
    std::wstring name(MAX_PATH, L'\0');
    DWORD length = fill(name.data(), DWORD(name.size()));
    if (length >= name.size()) {
        name.resize(length);
        length = fill(name.data(), DWORD(name.size()));
    }
    if (length == 0 || length >= name.size()) return std::nullopt;
    name.resize(length);
    return name;
}

bool move_into_place(const fs::path& from, const fs::path& target, bool target_exists) {
    const DWORD replace = target_exists ? MOVEFILE_REPLACE_EXISTING : 0;
    if (MoveFileExW(from.c_str(), target.c_str(), replace | MOVEFILE_WRITE_THROUGH)) return true;
    // A target that another program holds open, sharing its deletion, refuses to be
    // renamed over on older systems, where ReplaceFileW takes its place all the same.
    return target_exists && ReplaceFileW(target.c_str(), from.c_str(), nullptr /* no backup */,
                                         REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
}

} // namespace

void File::open_native(const fs::path& path, Access access) {
    constexpr DWORD READ_WRITE = GENERIC_READ | GENERIC_WRITE;
    switch (access) {
    case Access::read: handle = open_handle(path, GENERIC_READ, OPEN_EXISTING); break;
    case Access::update:
    case Access::write:
        // With the right to replace it, unless another program's handle forbids that.
        handle = open_handle(path, READ_WRITE | DELETE, OPEN_EXISTING);
        if (!is_open()) {
            may_replace = false;
            handle = open_handle(path, READ_WRITE, OPEN_EXISTING);
        }
        // A file one may only write opens all the same.
        if (!is_open() && access == Access::write && GetLastError() == ERROR_ACCESS_DENIED)
            handle = open_handle(path, GENERIC_WRITE, OPEN_EXISTING);
        break;
    }
    not_found = !is_open() && GetLastError() == ERROR_FILE_NOT_FOUND;
}

void File::open_temporary_in(const fs::path& folder, const fs::path* like) {
    // Where the drive gives files more than one name, the file is removed on close from its
    // very creation, and kept by a second name linked to it; elsewhere it is marked for
    // removal just after.
    const bool by_link = takes_hard_links(folder);
    const DWORD flags = (like ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_TEMPORARY) |
                        (by_link ? FILE_FLAG_DELETE_ON_CLOSE : 0);
    // No other program may open it, but to link a second name to it.
    const auto name = claim_name(folder, [&](const fs::path& name) {
        handle = open_handle(name, GENERIC_READ | GENERIC_WRITE | DELETE | WRITE_DAC, CREATE_NEW,
                             by_link ? SHARED : 0, flags);
        if (is_open()) return Claim::made;
        return GetLastError() == ERROR_FILE_EXISTS ? Claim::taken : Claim::refused;
    });
    if (!name) return;
    temporary = *name;
    delete_on_close = by_link;
    // Where the mark cannot be set, close() still removes it by its name.
    marked = by_link || set_delete_disposition(native(handle), true);
    if (like) take_on(native(handle), *like);
}

bool File::keep_native() {
    if (delete_on_close) {
        // The first name goes with this handle; a second one linked to it stays.
        const auto name = claim_name(temporary.parent_path(), [&](const fs::path& name) {
            if (CreateHardLinkW(name.c_str(), temporary.c_str(), nullptr /* reserved */))
                return Claim::made;
            return GetLastError() == ERROR_ALREADY_EXISTS ? Claim::taken : Claim::refused;
        });
        if (!name) return false;
        temporary = *name;
        delete_on_close = false;
        marked = false;
        return true;
    }
    if (marked && !set_delete_disposition(native(handle), false)) return false;
    marked = false;
    return !temporary.empty();
}

bool File::is_open() const {
    return handle != nullptr;
}

std::uint64_t File::size() const {
    LARGE_INTEGER size{};
    if (!is_open() || !GetFileSizeEx(native(handle), &size) || size.QuadPart < 0) return UNMEASURED;
    return static_cast<std::uint64_t>(size.QuadPart);
}

bool File::seek(std::uint64_t offset) {
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(offset);
    return is_open() &&
           SetFilePointerEx(native(handle), to, nullptr /* new position */, FILE_BEGIN);
}

std::uint32_t File::read_some(unsigned char* bytes, std::uint32_t count) {
    DWORD came = 0;
    return ReadFile(native(handle), bytes, count, &came, nullptr /* at the position */) ? came : 0;
}

std::uint32_t File::write_some(const unsigned char* bytes, std::uint32_t count) {
    DWORD went = 0;
    return WriteFile(native(handle), bytes, count, &went, nullptr /* at the position */) ? went : 0;
}

bool File::set_length(std::uint64_t length) {
    return seek(length) && SetEndOfFile(native(handle));
}

bool File::flush() {
    return is_open() && FlushFileBuffers(native(handle));
}

bool File::close_native() {
    const bool closed = CloseHandle(native(handle));
    handle = nullptr;
    // A temporary file the system was not asked to remove.
    if (!temporary.empty() && !marked) DeleteFileW(temporary.c_str());
    temporary.clear();
    marked = false;
    delete_on_close = false;
    return closed;
}

std::optional<std::pair<std::uint64_t, std::uint64_t>> File::identity() const {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!is_open() || !GetFileInformationByHandle(native(handle), &information))
        return std::nullopt;
    return std::make_pair(std::uint64_t{information.dwVolumeSerialNumber},
                          std::uint64_t{information.nFileIndexHigh} << 32 |
                              information.nFileIndexLow);
}

std::uint32_t File::links() const {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!is_open() || !GetFileInformationByHandle(native(handle), &information)) return 1;
    return information.nNumberOfLinks;
}

fs::path File::final_path(const fs::path& opened_as) const {
    static const auto final_name =
        system_function<FinalPathName>("kernel32.dll", "GetFinalPathNameByHandleW");
    std::optional<std::wstring> name;
    if (final_name && is_open())
        name = system_name([&](wchar_t* room, DWORD size) {
            return final_name(native(handle), room, size, 0 /* normalised, by drive letter */);
        });
    // XP has no links to files: only short names to undo.
    if (!name)
        name = system_name([&](wchar_t* room, DWORD size) {
            return GetLongPathNameW(opened_as.c_str(), room, size);
        });
    return name ? fs::path(*name) : opened_as;
}

#else

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr mode_t NEW_FILE_MODE = 0666; // less the user's umask, as any new file
constexpr mode_t PRIVATE_MODE = 0600;  // a copy for this program's eyes only

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

bool move_into_place(const fs::path& from, const fs::path& target, bool target_exists) {
    // The new file takes the old one's permissions, as it takes its place.
    struct stat old {};
    if (target_exists && ::stat(target.c_str(), &old) == 0)
        ::chmod(from.c_str(), old.st_mode & 07777);
    if (::rename(from.c_str(), target.c_str()) != 0) return false;
    // The folder's new entry on the disk too.
    const int folder = open_descriptor(folder_of(target), O_RDONLY | O_DIRECTORY);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
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

void File::open_temporary_in(const fs::path& folder, const fs::path* like) {
    const mode_t mode = like ? NEW_FILE_MODE : PRIVATE_MODE;
    // Nameless while it is written: the system removes it with its last descriptor.
    descriptor = open_descriptor(folder, O_TMPFILE | O_RDWR, mode);
    if (is_open()) {
        temporary_folder = folder;
        return;
    }
    // A file system without nameless files: a name of its own, removed by close().
    std::string name = (folder / "korvel-XXXXXX").string();
    descriptor = ::mkostemp(name.data(), O_CLOEXEC);
    if (is_open()) temporary = name;
}

bool File::keep_native() {
    if (!temporary.empty()) return true;
    // A nameless file is named by a link to what is open.
    const std::string open_file = "/proc/self/fd/" + std::to_string(descriptor);
    const auto name = claim_name(temporary_folder, [&](const fs::path& name) {
        if (::linkat(AT_FDCWD, open_file.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
            return Claim::made;
        return errno == EEXIST ? Claim::taken : Claim::refused;
    });
    if (name) temporary = *name;
    return name.has_value();
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
    return is_open() && ::ftruncate(descriptor, static_cast<off_t>(length)) == 0;
}

bool File::flush() {
    return is_open() && ::fsync(descriptor) == 0;
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

std::optional<std::pair<std::uint64_t, std::uint64_t>> File::identity() const {
    const auto information = status(descriptor);
    if (!information) return std::nullopt;
    return std::make_pair(std::uint64_t{information->st_dev}, std::uint64_t{information->st_ino});
}

std::uint32_t File::links() const {
    const auto information = status(descriptor);
    return information ? static_cast<std::uint32_t>(information->st_nlink) : 1;
}

fs::path File::final_path(const fs::path& opened_as) const {
    std::error_code failed;
    const fs::path resolved = fs::canonical(opened_as, failed);
    return failed ? opened_as : resolved;
}

#endif
