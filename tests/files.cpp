#include "tests/files.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <random>
#include <stdexcept>

namespace fs = std::filesystem;

TempFolder::TempFolder() {
    std::random_device entropy;
    for (int attempt = 0; attempt < 100; ++attempt) {
        root = fs::temp_directory_path() / ("korvel-test-" + std::to_string(entropy()));
        if (fs::create_directory(root)) return;
    }
    throw std::runtime_error("no temporary folder could be made");
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::remove_all(root, ignored);
}

std::string TempFolder::path(const std::string& name) const {
    return (root / fs::u8path(name)).u8string();
}

fs::path on_disk(const std::string& path) {
    return fs::u8path(path);
}

void write_file(const std::string& path, const Bytes& bytes) {
    std::ofstream file(on_disk(path), std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    file.close();
    if (!file) throw std::runtime_error("cannot write " + path);
}

Bytes read_file(const std::string& path) {
    std::ifstream file(on_disk(path), std::ios::binary);
    Bytes bytes(file ? fs::file_size(on_disk(path)) : 0);
    file.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!file) throw std::runtime_error("cannot read " + path);
    return bytes;
}

bool file_exists(const std::string& path) {
    return fs::exists(on_disk(path));
}

std::uint64_t file_length(const std::string& path) {
    return fs::file_size(on_disk(path));
}

void make_sized_file(const std::string& path, std::uint64_t length) {
    write_file(path, {});
    fs::resize_file(on_disk(path), length);
}

Bytes byte_run(std::size_t count, unsigned char first) {
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<unsigned char>(first + i);
    return bytes;
}

// Long enough for a job to try its swap in the meantime.
constexpr std::chrono::milliseconds A_MOMENT(300);

HeldForAMoment::HeldForAMoment(const std::string& path)
    : held(std::make_unique<HeldOpen>(path)), releaser([this] {
          std::this_thread::sleep_for(A_MOMENT);
          held.reset();
      }) {}

Scanner::Scanner(const std::string& folder)
    : thread([this, folder] {
          while (!stop) {
              std::error_code ignored;
              for (const auto& entry : fs::directory_iterator(on_disk(folder), ignored))
                  HeldOpen(entry.path().u8string());
          }
      }) {}

Scanner::~Scanner() {
    stop = true;
    thread.join();
}

#ifdef _WIN32
#include "engine/win32.h"

HeldOpen::HeldOpen(const std::string& path)
    : handle(CreateFileW(on_disk(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE /* no FILE_SHARE_DELETE */,
                         nullptr /* default security */, OPEN_EXISTING, 0 /* no flags */,
                         nullptr /* no template */)) {}

HeldOpen::~HeldOpen() {
    CloseHandle(handle);
}

// Wine keeps neither a creation time nor an owner that a program sets, so only the
// attributes can be seen to be kept here.
std::string what_it_is(const std::string& path) {
    return std::to_string(GetFileAttributesW(on_disk(path).c_str()));
}

void make_unusual(const std::string& path) {
    SetFileAttributesW(on_disk(path).c_str(), FILE_ATTRIBUTE_HIDDEN);
}

void move_write_time(const std::string& path) {
    const HANDLE file = CreateFileW(
        on_disk(path).c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr /* default security */,
        OPEN_EXISTING, 0 /* no flags */, nullptr /* no template */);
    FILETIME written{};
    ULARGE_INTEGER time{};
    const bool got = GetFileTime(file, nullptr /* creation */, nullptr /* access */, &written);
    time.LowPart = written.dwLowDateTime;
    time.HighPart = written.dwHighDateTime;
    time.QuadPart -= 36000000000; // an hour, in 100 ns
    written.dwLowDateTime = time.LowPart;
    written.dwHighDateTime = time.HighPart;
    const bool set = got && SetFileTime(file, nullptr, nullptr, &written);
    CloseHandle(file);
    if (!set) throw std::runtime_error("cannot move the write time of " + path);
}
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

// The attributes make_unusual gives where the file system keeps them: an ACL that lets one
// more user (nobody) read and write, in the kernel's little-endian form (a version, then
// tag and permissions in 16 bits each and an id per entry), and one of the user's own.
constexpr const char* ATTRIBUTES[] = {"system.posix_acl_access", "user.origin"};
constexpr std::uint32_t NO_ID = 0xFFFFFFFF;
const std::uint32_t NOBODY_MAY_WRITE[] = {2,     0x00060001, NO_ID, 0x00060002, 65534, 0x00040004,
                                          NO_ID, 0x00060010, NO_ID, 0x00000020, NO_ID};

HeldOpen::HeldOpen(const std::string& path) : handle(nullptr) {
    // Nothing here keeps a file from being replaced; the open is all a scanner does.
    const int opened = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (opened >= 0) ::close(opened);
}
HeldOpen::~HeldOpen() = default;

std::string what_it_is(const std::string& path) {
    struct stat information {};
    ::lstat(path.c_str(), &information);
    std::string description = std::to_string(information.st_mode) + " " +
                              std::to_string(information.st_uid) + ":" +
                              std::to_string(information.st_gid);
    for (const char* name : ATTRIBUTES) {
        char value[256];
        const ssize_t length = ::getxattr(path.c_str(), name, value, sizeof value);
        description += std::string(" ") + name + "=" +
                       std::string(value, static_cast<std::size_t>(std::max<ssize_t>(length, 0)));
    }
    return description;
}

void move_write_time(const std::string& path) {
    fs::last_write_time(on_disk(path), fs::last_write_time(on_disk(path)) - std::chrono::hours(1));
}

void make_unusual(const std::string& path) {
    ::chmod(path.c_str(), 0640);
    // The ACL's mask becomes the mode's group bits: 0660.
    ::setxattr(path.c_str(), ATTRIBUTES[0], NOBODY_MAY_WRITE, sizeof NOBODY_MAY_WRITE, 0);
    ::setxattr(path.c_str(), ATTRIBUTES[1], "test", 4, 0);
    // Tests run as root, which may give a file to anyone; elsewhere the owner stays.
    if (::chown(path.c_str(), 1234, 5678) != 0) return;
}
#endif
