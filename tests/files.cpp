#include "tests/files.h"

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

#ifdef _WIN32
#include "ui/win32.h"

HeldOpen::HeldOpen(const std::string& path)
    : handle(CreateFileW(on_disk(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE /* no FILE_SHARE_DELETE */,
                         nullptr /* default security */, OPEN_EXISTING, 0 /* no flags */,
                         nullptr /* no template */)) {}

HeldOpen::~HeldOpen() {
    CloseHandle(handle);
}
#else
HeldOpen::HeldOpen(const std::string&) {}
HeldOpen::~HeldOpen() = default;
#endif
