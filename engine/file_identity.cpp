#include "engine/file_identity.h"

#ifdef _WIN32

#include "ui/win32.h"

#include <memory>
#include <optional>
#include <type_traits>

namespace {

struct CloseHandleOf {
    void operator()(HANDLE handle) const noexcept { CloseHandle(handle); }
};

// The volume and the index of the file a path opens: what makes it that file.
struct Identity {
    DWORD volume;
    DWORD index_high;
    DWORD index_low;
};

std::optional<Identity> identity(const std::filesystem::path& path) {
    // No access asked, every kind of sharing allowed: the open disturbs no one.
    const std::unique_ptr<std::remove_pointer_t<HANDLE>, CloseHandleOf> file(
        CreateFileW(path.c_str(), 0 /* no access, only the identity */,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr /* default security */, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS /* folders open too */, nullptr /* no template */));
    BY_HANDLE_FILE_INFORMATION information{};
    if (file.get() == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(file.get(), &information))
        return std::nullopt;
    return Identity{information.dwVolumeSerialNumber, information.nFileIndexHigh,
                    information.nFileIndexLow};
}

} // namespace

bool same_file(const std::filesystem::path& first, const std::filesystem::path& second) {
    const std::optional<Identity> a = identity(first);
    const std::optional<Identity> b = identity(second);
    return a && b && a->volume == b->volume && a->index_high == b->index_high &&
           a->index_low == b->index_low;
}

#else

#include <sys/stat.h>

bool same_file(const std::filesystem::path& first, const std::filesystem::path& second) {
    struct stat a {};
    struct stat b {};
    return ::stat(first.c_str(), &a) == 0 && ::stat(second.c_str(), &b) == 0 &&
           a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

#endif
