#include "engine/file.h"

#include <system_error>

namespace fs = std::filesystem;

std::optional<bool> same_file_answer;

File::~File() {
    close();
}

bool File::open(const fs::path& path, Access access) {
    if (is_open()) return false;
    write_failed = false;
    open_native(path, access);
    return is_open();
}

bool File::open_temporary() {
    if (is_open()) return false;
    write_failed = false;
    std::error_code failed;
    const fs::path folder = fs::temp_directory_path(failed);
    if (!failed) open_temporary_in(folder);
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

bool File::write(const unsigned char* bytes, std::uint32_t count) {
    std::uint32_t done = 0;
    while (is_open() && done < count) {
        const std::uint32_t went = write_some(bytes + done, count - done);
        if (went == 0) break;
        done += went;
    }
    if (done < count) write_failed = true;
    return done == count;
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

#ifdef _WIN32

#include "ui/win32.h"

#include <exception>
#include <random>
#include <string>

namespace {

// As the C runtime's own opens share: other programs may read and write meanwhile.
constexpr DWORD SHARED = FILE_SHARE_READ | FILE_SHARE_WRITE;
// The most a temporary name is tried again when another program has just taken it.
constexpr int NAME_ATTEMPTS = 16;

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

} // namespace

void File::open_native(const fs::path& path, Access access) {
    switch (access) {
    case Access::read: handle = open_handle(path, GENERIC_READ, OPEN_EXISTING); break;
    case Access::update:
        handle = open_handle(path, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
        break;
    case Access::write:
        // Reading too where the system allows it, to keep what is written over; a pipe,
        // or a file one may only write, opens all the same.
        handle = open_handle(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
        if (!handle && GetLastError() == ERROR_ACCESS_DENIED)
            handle = open_handle(path, GENERIC_WRITE, OPEN_ALWAYS);
        break;
    }
}

void File::open_temporary_in(const fs::path& folder) {
    try {
        std::random_device entropy;
        // The name is claimed by creating it: one that exists already is tried again under
        // another, any other failure ends the search.
        for (int attempt = 0; attempt < NAME_ATTEMPTS && !is_open(); ++attempt) {
            const fs::path name = folder / ("korvel-" + std::to_string(entropy()) + ".tmp");
            handle = open_handle(name, GENERIC_READ | GENERIC_WRITE, CREATE_NEW, 0 /* no sharing */,
                                 FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE);
            if (!is_open() && GetLastError() != ERROR_FILE_EXISTS) return;
        }
    } catch (const std::exception&) {
        // No entropy, or no memory for a name: no temporary file.
    }
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

bool File::close_native() {
    const bool closed = CloseHandle(native(handle));
    handle = nullptr;
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

#else

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr mode_t NEW_FILE_MODE = 0666; // less the user's umask, as any new file

std::optional<struct stat> status(int descriptor) {
    struct stat information {};
    if (descriptor < 0 || ::fstat(descriptor, &information) != 0) return std::nullopt;
    return information;
}

int open_descriptor(const fs::path& path, int flags) {
    int opened = -1;
    do {
        opened = ::open(path.c_str(), flags | O_CLOEXEC, NEW_FILE_MODE);
    } while (opened < 0 && errno == EINTR);
    return opened;
}

} // namespace

void File::open_native(const fs::path& path, Access access) {
    switch (access) {
    case Access::read: descriptor = open_descriptor(path, O_RDONLY); break;
    case Access::update: descriptor = open_descriptor(path, O_RDWR); break;
    case Access::write:
        // Reading too where the system allows it, to keep what is written over.
        descriptor = open_descriptor(path, O_RDWR | O_CREAT);
        if (descriptor < 0 && errno == EACCES)
            descriptor = open_descriptor(path, O_WRONLY | O_CREAT);
        break;
    }
    // A folder opens for reading here, and would fail only later.
    const auto opened = status(descriptor);
    if (is_open() && (!opened || S_ISDIR(opened->st_mode))) close_native();
}

void File::open_temporary_in(const fs::path& folder) {
    // Created for its owner alone, and nameless as soon as it is open: the system removes
    // it with its last descriptor.
    std::string name = (folder / "korvel-XXXXXX").string();
    descriptor = ::mkstemp(name.data());
    if (!is_open()) return;
    ::unlink(name.c_str());
    ::fcntl(descriptor, F_SETFD, FD_CLOEXEC);
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

bool File::close_native() {
    // Not tried again on EINTR: the descriptor is gone either way.
    const bool closed = ::close(descriptor) == 0;
    descriptor = -1;
    return closed;
}

std::optional<std::pair<std::uint64_t, std::uint64_t>> File::identity() const {
    const auto information = status(descriptor);
    if (!information) return std::nullopt;
    return std::make_pair(std::uint64_t{information->st_dev}, std::uint64_t{information->st_ino});
}

#endif
