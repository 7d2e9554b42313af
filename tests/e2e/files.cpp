#include "tests/e2e/files.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t SHOWN_BYTES = 24;  // files this short are shown whole, in hexadecimal
constexpr DWORD PIPE_BUFFER_SIZE = 4096; // a pipe holds little: the job soon waits
constexpr DWORD SETTLE_MS = 10;

std::string hex(const std::string& bytes) {
    static constexpr char DIGITS[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (!out.empty()) out += ' ';
        out += DIGITS[byte >> 4];
        out += DIGITS[byte & 15];
    }
    return out;
}

} // namespace

fs::path on_disk(const std::string& name) {
    return fs::u8path(name);
}

void make_folder(const std::string& path) {
    std::error_code ignored;
    fs::create_directory(on_disk(path), ignored);
}

TempFolder::TempFolder() {
    path = (fs::temp_directory_path() / ("korvel-e2e-" + std::to_string(GetCurrentProcessId())))
               .u8string();
    make_folder(path);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::remove_all(on_disk(path), ignored);
}

std::string pattern(std::size_t length) {
    std::string bytes(length, '\0');
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<char>(i * 7 % 251);
    return bytes;
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream(on_disk(path), std::ios::binary) << bytes;
}

std::optional<std::string> read_file(const std::string& path) {
    std::ifstream file(on_disk(path), std::ios::binary);
    if (!file) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void make_sparse_file(const std::string& path, std::uint64_t length) {
    write_file(path, "");
    std::error_code ignored;
    fs::resize_file(on_disk(path), length, ignored);
}

UniqueHandle hold_file(const std::string& path) {
    return UniqueHandle(CreateFileW(on_disk(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                    0 /* no sharing */, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::string file_identity(const std::string& path) {
    const UniqueHandle file(CreateFileW(on_disk(path).c_str(), 0 /* only its information */,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    BY_HANDLE_FILE_INFORMATION information{};
    if (file.get() == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(file.get(), &information))
        return "";
    return std::to_string(information.dwVolumeSerialNumber) + ":" +
           std::to_string(information.nFileIndexHigh) + ":" +
           std::to_string(information.nFileIndexLow);
}

void make_link(const std::string& path, const std::string& existing) {
    CreateHardLinkW(on_disk(path).c_str(), on_disk(existing).c_str(), nullptr);
}

std::string short_path(const std::string& path) {
    const fs::path long_path = on_disk(path);
    std::wstring shortened(MAX_PATH, L'\0');
    const DWORD length = GetShortPathNameW(long_path.c_str(), shortened.data(), MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return "";
    shortened.resize(length);
    return fs::path(shortened).u8string();
}

std::set<std::string> names_in(const std::string& folder) {
    std::set<std::string> names;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(on_disk(folder), ignored))
        names.insert(entry.path().filename().u8string());
    return names;
}

UniqueHandle make_slow_output() {
    return UniqueHandle(CreateNamedPipeA(SLOW_OUTPUT, PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE,
                                         1 /* instance */, 0, PIPE_BUFFER_SIZE,
                                         0 /* default time-out */, nullptr));
}

bool output_started(HANDLE slow_output) {
    DWORD waiting = 0; // bytes in the pipe
    for (DWORD waited = 0; waiting == 0 && waited < JOB_END_MS; waited += SETTLE_MS) {
        Sleep(SETTLE_MS);
        PeekNamedPipe(slow_output, nullptr, 0, nullptr, &waiting, nullptr);
    }
    return waiting > 0;
}

std::uint32_t drain(HANDLE slow_output, const std::function<void()>& between) {
    std::uint32_t drained = 0;
    char buffer[PIPE_BUFFER_SIZE];
    for (DWORD read = 0; ReadFile(slow_output, buffer, sizeof buffer, &read, nullptr);) {
        drained += read;
        if (between) between();
    }
    return drained;
}

std::string describe(const std::optional<std::string>& bytes,
                     const std::optional<std::string>& expected) {
    if (!bytes) return "no file";
    if (bytes->size() <= SHOWN_BYTES) return "[" + hex(*bytes) + "]";
    std::string text = std::to_string(bytes->size()) + " bytes";
    if (expected) {
        const auto parted =
            std::mismatch(bytes->begin(), bytes->end(), expected->begin(), expected->end());
        if (parted.first != bytes->end())
            text += ", first differing at " + std::to_string(parted.first - bytes->begin());
    }
    return text;
}
