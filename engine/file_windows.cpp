// The Windows half of File: handles, the new file beside an output held by the handle
// that writes it, and the swap through that handle.
#include "engine/file_windows.h"
#include "engine/file.h"

#include "engine/temporary_name.h"

#include <winioctl.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using file_names::Claim;
using file_names::claim_name;

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
using NtFileInformation = LONG(NTAPI*)(HANDLE, IoStatus*, void*, ULONG, int);
using NtStatusToError = ULONG(NTAPI*)(LONG);
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
struct RenameInformation {
    BOOLEAN replace_if_exists;
    HANDLE root; // null: the name is a whole path
    DWORD name_bytes;
    WCHAR name[1];
};
constexpr int FILE_RENAME_INFORMATION = 10; // FileRenameInformation
struct StreamInformation {
    ULONG next; // bytes to the next record; 0 for the last
    ULONG name_bytes;
    LARGE_INTEGER size, allocated;
    WCHAR name[1];
};
constexpr int FILE_STREAM_INFORMATION = 22; // FileStreamInformation
using FinalPathName = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);
// Windows 8's FILE_ID_INFO, through Vista's GetFileInformationByHandleEx.
using GetByHandle = BOOL(WINAPI*)(HANDLE, int, void*, DWORD);
struct IdInformation {
    ULONGLONG volume;
    ULONGLONG number[2]; // FILE_ID_128; 0 where the file system has no such numbers
};
constexpr int FILE_ID_INFO_CLASS = 18; // FileIdInfo
using VolumeInformation = BOOL(WINAPI*)(HANDLE, LPWSTR, DWORD, LPDWORD, LPDWORD, LPDWORD, LPWSTR,
                                        DWORD);
// A symbolic link's reparse data (REPARSE_DATA_BUFFER), up to its names.
struct LinkData {
    ULONG tag;
    USHORT data_bytes, reserved;
    USHORT substitute_at, substitute_bytes, print_at, print_bytes; // in the names, in bytes
    ULONG flags;
};
constexpr ULONG RELATIVE_LINK = 1; // SYMLINK_FLAG_RELATIVE

// What ntdll answers where a query's answer does not fit, and where the file system has
// no such thing to tell.
constexpr ULONG NT_BUFFER_OVERFLOW = 0x80000005;
constexpr ULONG NT_INFO_LENGTH_MISMATCH = 0xC0000004;
constexpr ULONG NT_BUFFER_TOO_SMALL = 0xC0000023;
constexpr ULONG NT_NOT_KEPT[] = {
    0xC0000002, // STATUS_NOT_IMPLEMENTED
    0xC0000003, // STATUS_INVALID_INFO_CLASS
    0xC000000D, // STATUS_INVALID_PARAMETER
    0xC0000010, // STATUS_INVALID_DEVICE_REQUEST
    0xC00000BB, // STATUS_NOT_SUPPORTED
};
// The list of a file's streams is asked for in this much room, doubled until it fits.
constexpr std::size_t STREAMS_ROOM = 1 << 16;
constexpr std::size_t MOST_STREAMS_ROOM = 1 << 24;

// What a replacing file takes of the file it replaces, beside its times and security.
constexpr DWORD CARRIED_ATTRIBUTES = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                     FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
// A swap refused because another program holds the old file for a moment, as a virus
// scanner does, is tried again this far apart, for about 2 seconds by the clock: on a
// share each try costs round trips of its own.
constexpr DWORD SWAP_WAIT_MS = 2000;
constexpr DWORD SWAP_PAUSE_MS = 50;
// Where the new file's bytes are the old file's own: neither a scanner nor any program
// may open it but to see it is there.
constexpr DWORD SHARED_WITH_NONE = 0;
// All that a share grants a user whose share permission is "Change" (read, write, delete,
// attributes): enough to write a new file and swap it in, not to set its DACL or owner.
constexpr DWORD CHANGE_ACCESS = FILE_GENERIC_READ | FILE_GENERIC_WRITE | DELETE;
constexpr SECURITY_INFORMATION OWNER_AND_DACL =
    OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;

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

// True where ntdll set it; else false, with the system's reason as the last error.
bool nt_set_information(HANDLE file, int nt_class, void* record, DWORD size) {
    static const auto nt_set =
        system_function<NtFileInformation>("ntdll.dll", "NtSetInformationFile");
    static const auto to_error =
        system_function<NtStatusToError>("ntdll.dll", "RtlNtStatusToDosError");
    if (!nt_set || !to_error) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return false;
    }
    IoStatus status{};
    const LONG result = nt_set(file, &status, record, size, nt_class);
    if (result < 0) SetLastError(to_error(result));
    return result >= 0;
}

bool set_information(HANDLE file, int by_handle_class, int nt_class, void* record, DWORD size) {
    static const auto by_handle =
        system_function<SetByHandle>("kernel32.dll", "SetFileInformationByHandle");
    if (by_handle) return by_handle(file, by_handle_class, record, size);
    return nt_set_information(file, nt_class, record, size);
}

// Marks an open file to be removed when its last handle closes, however the program
// ends, or takes the mark off again.
bool set_delete_disposition(HANDLE file, bool remove) {
    Disposition disposition{static_cast<BOOLEAN>(remove)};
    return set_information(file, FILE_DISPOSITION_INFO_CLASS, FILE_DISPOSITION_INFORMATION,
                           &disposition, sizeof disposition);
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

// The name the system's own calls take: "\??\C:\folder\file", or "\??\UNC\server\share\file".
std::optional<std::wstring> nt_name(const fs::path& path) {
    const auto full = system_name([&](wchar_t* room, DWORD size) {
        return GetFullPathNameW(path.c_str(), size, room, nullptr /* no file part */);
    });
    if (!full) return std::nullopt;
    if (full->rfind(L"\\\\?\\", 0) == 0) return L"\\??\\" + full->substr(4);
    if (full->rfind(L"\\\\", 0) == 0) return L"\\??\\UNC\\" + full->substr(2);
    return L"\\??\\" + *full;
}

// Renames the file open on handle to target, over it only where replace says. Through
// ntdll on every version: kernel32's FileRenameInfo takes this name as it stands on
// Windows, but reads it as a DOS path under Wine, and moves the file elsewhere.
bool rename_by_handle(HANDLE file, const fs::path& target, bool replace) {
    const auto name = nt_name(target);
    if (!name) return false;
    const std::size_t name_bytes = name->size() * sizeof(wchar_t);
    std::vector<RenameInformation> record(2 + name_bytes / sizeof(RenameInformation));
    record[0].replace_if_exists = replace;
    record[0].root = nullptr;
    record[0].name_bytes = static_cast<DWORD>(name_bytes);
    std::memcpy(record[0].name, name->data(), name_bytes);
    return nt_set_information(file, FILE_RENAME_INFORMATION, record.data(),
                              static_cast<DWORD>(record.size() * sizeof(RenameInformation)));
}

std::uint64_t whole(DWORD high, DWORD low) {
    return std::uint64_t{high} << 32 | low;
}

std::uint64_t whole(const FILETIME& time) {
    return whole(time.dwHighDateTime, time.dwLowDateTime);
}

std::optional<Identity> identity_of(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file, &information)) return std::nullopt;
    Identity identity;
    identity.volume = information.dwVolumeSerialNumber;
    identity.number = {whole(information.nFileIndexHigh, information.nFileIndexLow), 0};
    // The 64-bit index is not unique on ReFS; where the system gives all 128 bits, they
    // decide. On NTFS the two are one number.
    static const auto by_handle =
        system_function<GetByHandle>("kernel32.dll", "GetFileInformationByHandleEx");
    IdInformation id{};
    if (by_handle && by_handle(file, FILE_ID_INFO_CLASS, &id, sizeof id) &&
        (id.number[0] != 0 || id.number[1] != 0))
        identity.number = {id.number[0], id.number[1]};
    identity.created = whole(information.ftCreationTime);
    identity.written = whole(information.ftLastWriteTime);
    identity.size = whole(information.nFileSizeHigh, information.nFileSizeLow);
    return identity;
}

// Why path is not now the file it was, as it was (missing, for a new output): 0 where it
// is, or where the system gives no identity to tell.
DWORD changed(const fs::path& path, bool existed, const std::optional<Identity>& was) {
    // Asking only for its attributes, this open is never refused for another's sharing.
    const HANDLE opened = open_handle(path, FILE_READ_ATTRIBUTES, OPEN_EXISTING);
    if (!opened) {
        const DWORD error = GetLastError();
        return error != ERROR_FILE_NOT_FOUND ? error : existed ? ERROR_FILE_NOT_FOUND : 0;
    }
    const std::optional<Identity> now = identity_of(opened);
    CloseHandle(opened);
    const bool same = existed && (!now || !was || *now == *was);
    return same ? 0 : ERROR_FILE_EXISTS;
}

// A swap refused because another program holds the old file open for now: a sharing
// violation, or a denial where the user may remove it.
bool held_for_now(DWORD error, const fs::path& target) {
    if (error == ERROR_SHARING_VIOLATION) return true;
    if (error != ERROR_ACCESS_DENIED) return false;
    const HANDLE probe = open_handle(target, DELETE, OPEN_EXISTING);
    if (probe) CloseHandle(probe);
    return probe || GetLastError() == ERROR_SHARING_VIOLATION;
}

// A swap the folder or its drive refuses whatever waits: no right to replace, another
// drive mounted there, no rename by handle at all.
bool refused_for_good(DWORD error) {
    switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_NOT_SAME_DEVICE:
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_PARAMETER:
    case ERROR_INVALID_FUNCTION:
    case ERROR_CALL_NOT_IMPLEMENTED: return true;
    default: return false;
    }
}

enum class Streams { none, some, unknown };

// Whether a list of streams (FILE_STREAM_INFORMATION records) names one besides the bytes.
Streams named_in(const unsigned char* records, std::size_t length) {
    static const std::wstring UNNAMED = L"::$DATA";
    constexpr std::size_t HEADER = offsetof(StreamInformation, name);
    for (std::size_t at = 0; at + HEADER <= length;) {
        const auto* stream = reinterpret_cast<const StreamInformation*>(records + at);
        if (stream->name_bytes > length - at - HEADER) return Streams::unknown;
        if (std::wstring(stream->name, stream->name_bytes / sizeof(wchar_t)) != UNNAMED)
            return Streams::some;
        if (stream->next == 0) break;
        at += stream->next;
    }
    return Streams::none;
}

// Whether the file open on handle has a stream besides its bytes: a mark of the zone it
// came from, a summary, any program's own. A file system that keeps none has none.
Streams named_streams(HANDLE file) {
    static const auto nt_query =
        system_function<NtFileInformation>("ntdll.dll", "NtQueryInformationFile");
    if (!nt_query) return Streams::unknown;
    try {
        for (std::size_t room = STREAMS_ROOM; room <= MOST_STREAMS_ROOM; room *= 2) {
            std::vector<LONGLONG> records(room / sizeof(LONGLONG)); // aligned as the records
            IoStatus status{};
            const auto result = static_cast<ULONG>(
                nt_query(file, &status, records.data(), ULONG(room), FILE_STREAM_INFORMATION));
            if (result == 0)
                return named_in(reinterpret_cast<const unsigned char*>(records.data()),
                                std::min<std::size_t>(status.information, room));
            if (result == NT_BUFFER_OVERFLOW || result == NT_BUFFER_TOO_SMALL ||
                result == NT_INFO_LENGTH_MISMATCH)
                continue;
            const bool not_kept = std::find(std::begin(NT_NOT_KEPT), std::end(NT_NOT_KEPT),
                                            result) != std::end(NT_NOT_KEPT);
            return not_kept ? Streams::none : Streams::unknown;
        }
    } catch (const std::bad_alloc&) {
    }
    return Streams::unknown;
}

// A record the system fills in once told how much room it needs; empty where it fails.
template <typename Fill> std::vector<unsigned char> system_record(Fill fill) {
    DWORD needed = 0;
    fill(nullptr, 0, &needed);
    std::vector<unsigned char> record(needed);
    if (needed == 0 || !fill(record.data(), needed, &needed)) record.clear();
    return record;
}

// The user this program runs as, its token's (a TOKEN_USER record); empty where unknown.
PSID program_user() {
    static const std::vector<unsigned char> user = [] {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
            return std::vector<unsigned char>();
        auto record = system_record([&](void* room, DWORD size, DWORD* needed) {
            return GetTokenInformation(token, TokenUser, room, size, needed);
        });
        CloseHandle(token);
        return record;
    }();
    return user.empty() ? nullptr : reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid;
}

// The owner and DACL of the file open on handle; empty where its file system keeps none
// (FAT, exFAT) or they cannot be read.
std::vector<unsigned char> security_of(HANDLE file) {
    static const auto volume_information =
        system_function<VolumeInformation>("kernel32.dll", "GetVolumeInformationByHandleW");
    DWORD flags = 0;
    if (volume_information &&
        volume_information(file, nullptr /* no name */, 0, nullptr /* serial */,
                           nullptr /* name length */, &flags, nullptr /* no system name */, 0) &&
        !(flags & FILE_PERSISTENT_ACLS))
        return {};
    return system_record([&](void* room, DWORD size, DWORD* needed) {
        return GetKernelObjectSecurity(file, OWNER_AND_DACL, room, size, needed);
    });
}

// Whether an ACL has an entry set on the file itself, not passed down from its folder.
bool has_own_entries(const ACL& acl) {
    for (DWORD k = 0; k < acl.AceCount; ++k) {
        void* entry = nullptr;
        // One that cannot be read counts: carried, it loses nothing.
        if (!GetAce(const_cast<ACL*>(&acl), k, &entry) ||
            !(static_cast<const ACE_HEADER*>(entry)->AceFlags & INHERITED_ACE))
            return true;
    }
    return false;
}

// What of an old file's security a new file in its place would not get by itself: a
// DACL with entries of its own or none from its folder, an owner other than the user.
SECURITY_INFORMATION security_to_carry(PSECURITY_DESCRIPTOR security, PSID user) {
    if (!security) return 0;
    SECURITY_INFORMATION carried = 0;
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (GetSecurityDescriptorOwner(security, &owner, &defaulted) && owner &&
        (!user || !EqualSid(owner, user)))
        carried |= OWNER_SECURITY_INFORMATION;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    BOOL present = FALSE;
    PACL dacl = nullptr;
    const bool is_protected = GetSecurityDescriptorControl(security, &control, &revision) &&
                              (control & SE_DACL_PROTECTED);
    if (is_protected || (GetSecurityDescriptorDacl(security, &present, &dacl, &defaulted) &&
                         present && dacl && has_own_entries(*dacl)))
        carried |= DACL_SECURITY_INFORMATION;
    return carried;
}

PSECURITY_DESCRIPTOR descriptor(std::vector<unsigned char>& security) {
    return security.empty() ? nullptr : security.data();
}

// Gives the file open on handle what it must take of the security of the file open on
// like: its owner only where the user may set it.
void take_security(HANDLE handle, HANDLE like) {
    std::vector<unsigned char> security = security_of(like);
    const SECURITY_INFORMATION carried = security_to_carry(descriptor(security), program_user());
    if (carried != 0 && !SetKernelObjectSecurity(handle, carried, security.data()) &&
        (carried & DACL_SECURITY_INFORMATION))
        SetKernelObjectSecurity(handle, DACL_SECURITY_INFORMATION, security.data());
}

// A link holds a whole path as the system's own calls take it ("\??\C:\folder\file",
// "\??\UNC\server\share\file"); the same path as every other call takes it.
std::wstring dos_name(const std::wstring& name) {
    static const std::wstring NT = L"\\??\\";
    if (name.rfind(NT, 0) != 0) return name;
    const std::wstring rest = name.substr(NT.size());
    if (rest.rfind(L"UNC\\", 0) == 0) return L"\\\\" + rest.substr(4);
    if (rest.size() >= 2 && rest[1] == L':') return rest;
    // Another name (a volume's), through the prefix that passes a name on as it is.
    return L"\\\\?\\" + rest;
}

} // namespace

DWORD new_file_access(PSECURITY_DESCRIPTOR old_security, PSID user) {
    const SECURITY_INFORMATION carried = security_to_carry(old_security, user);
    return CHANGE_ACCESS | (carried & DACL_SECURITY_INFORMATION ? WRITE_DAC : 0) |
           (carried & OWNER_SECURITY_INFORMATION ? WRITE_OWNER : 0);
}

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

void File::open_temporary_in(const fs::path& folder, bool beside, const File* replacing,
                             bool encrypt) {
    // No other program may open it, a scanner of new files among them: it is written, and
    // put in place, through this one handle. The mark that has the system remove it comes
    // in the very next call. The right to set its DACL and owner, which a share may refuse,
    // only where it is to take on the old output's; where refused, the output is written
    // in place.
    std::vector<unsigned char> security;
    if (replacing) security = security_of(native(replacing->handle));
    const DWORD access = new_file_access(descriptor(security), program_user());
    DWORD kind = beside ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_TEMPORARY;
    if (encrypt) kind = FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_ENCRYPTED;
    const auto name = claim_name(folder, [&](const fs::path& name) {
        handle = open_handle(name, access, CREATE_NEW, SHARED_WITH_NONE, kind);
        if (is_open()) return Claim::made;
        return GetLastError() == ERROR_FILE_EXISTS ? Claim::taken : Claim::refused;
    });
    if (!name) return;
    // Where the mark cannot be set, close() still removes it by its name.
    marked = set_delete_disposition(native(handle), true);
    temporary = *name;
}

bool File::take_on(const File& like) {
    BY_HANDLE_FILE_INFORMATION old{};
    if (!GetFileInformationByHandle(native(like.handle), &old)) return false;
    BasicInformation basic{};
    basic.creation.LowPart = old.ftCreationTime.dwLowDateTime;
    basic.creation.HighPart = static_cast<LONG>(old.ftCreationTime.dwHighDateTime);
    basic.attributes = (old.dwFileAttributes & CARRIED_ATTRIBUTES)
                           ? (old.dwFileAttributes & CARRIED_ATTRIBUTES)
                           : FILE_ATTRIBUTE_NORMAL;
    if (!set_information(native(handle), FILE_BASIC_INFO_CLASS, FILE_BASIC_INFORMATION, &basic,
                         sizeof basic))
        return false;
    USHORT format = COMPRESSION_FORMAT_DEFAULT;
    DWORD returned = 0;
    if ((old.dwFileAttributes & FILE_ATTRIBUTE_COMPRESSED) &&
        !DeviceIoControl(native(handle), FSCTL_SET_COMPRESSION, &format, sizeof format,
                         nullptr /* nothing comes back */, 0, &returned, nullptr /* waited */))
        return false;
    take_security(native(handle), native(like.handle));
    return true;
}

bool File::keep_native() {
    if (marked && !set_delete_disposition(native(handle), false)) return false;
    marked = false;
    return !temporary.empty();
}

Swap File::swap_native(const std::function<bool()>& go_on) {
    const DWORD started = GetTickCount();
    for (;;) {
        // Never over a file that took the output's place since the job opened it. The mark
        // is lifted in the last call before the rename, and put back should it fail.
        DWORD error = changed(target, target_exists, target_identity);
        if (error == 0 && marked && !set_delete_disposition(native(handle), false))
            error = GetLastError();
        marked = marked && error != 0;
        if (error == 0 && !rename_by_handle(native(handle), target, target_exists)) {
            error = GetLastError();
            marked = set_delete_disposition(native(handle), true);
        }
        if (error == 0) {
            temporary.clear();
            // Its new name on the disk too: the output is new either way, but only a flush
            // that went says it is kept.
            return flush() ? Swap::done : Swap::unflushed;
        }
        const bool held = held_for_now(error, target);
        // A close meanwhile stops the waiting: the output stays as it was. The difference
        // holds across the count's wrap, every 49.7 days.
        if (held && GetTickCount() - started < SWAP_WAIT_MS && go_on()) {
            Sleep(SWAP_PAUSE_MS);
            continue;
        }
        return !held && refused_for_good(error) ? Swap::refused : Swap::failed;
    }
}

bool File::is_open() const {
    return handle != nullptr;
}

std::uint64_t File::size() const {
    // A device or a pipe, though the system may give it a length.
    LARGE_INTEGER size{};
    if (!is_open() || GetFileType(native(handle)) != FILE_TYPE_DISK ||
        !GetFileSizeEx(native(handle), &size) || size.QuadPart < 0)
        return UNMEASURED;
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

bool File::flush_native() {
    return FlushFileBuffers(native(handle));
}

bool File::close_native() {
    const bool closed = CloseHandle(native(handle));
    handle = nullptr;
    // A temporary file the system was not asked to remove.
    if (!temporary.empty() && !marked) DeleteFileW(temporary.c_str());
    temporary.clear();
    marked = false;
    return closed;
}

std::optional<Identity> File::identity() const {
    return is_open() ? identity_of(native(handle)) : std::nullopt;
}

bool File::swappable() const {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!is_open() || !GetFileInformationByHandle(native(handle), &information)) return may_replace;
    // An encrypted file's new bytes would lie on the disk in the clear until the swap.
    return may_replace && information.nNumberOfLinks == 1 &&
           !(information.dwFileAttributes & FILE_ATTRIBUTE_ENCRYPTED) &&
           named_streams(native(handle)) == Streams::none;
}

bool File::encrypted() const {
    BY_HANDLE_FILE_INFORMATION information{};
    return is_open() && GetFileInformationByHandle(native(handle), &information) &&
           (information.dwFileAttributes & FILE_ATTRIBUTE_ENCRYPTED);
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

std::optional<fs::path> link_target(const fs::path& path) {
    // The link's own attributes: a link is never followed here.
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return std::nullopt;
    const HANDLE link = open_handle(path, FILE_READ_ATTRIBUTES, OPEN_EXISTING, SHARED,
                                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS);
    if (!link) return std::nullopt;
    std::vector<unsigned char> data(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
    DWORD length = 0;
    const bool read =
        DeviceIoControl(link, FSCTL_GET_REPARSE_POINT, nullptr /* nothing goes in */, 0,
                        data.data(), DWORD(data.size()), &length, nullptr /* waited */);
    CloseHandle(link);
    LinkData link_data{};
    if (!read || length < sizeof link_data) return std::nullopt;
    std::memcpy(&link_data, data.data(), sizeof link_data);
    // Another kind of reparse point (a mount point, a cloud file's) is no link to follow.
    const std::size_t names_length = length - sizeof link_data;
    if (link_data.tag != IO_REPARSE_TAG_SYMLINK ||
        std::size_t{link_data.substitute_at} + link_data.substitute_bytes > names_length)
        return std::nullopt;
    std::wstring name(link_data.substitute_bytes / sizeof(wchar_t), L'\0');
    std::memcpy(name.data(), data.data() + sizeof link_data + link_data.substitute_at,
                name.size() * sizeof(wchar_t));
    return fs::path(link_data.flags & RELATIVE_LINK ? name : dos_name(name));
}
