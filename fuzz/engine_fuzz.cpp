// Any request on any two small files: every operation either does exactly its job or
// fails with one code, leaves the engine idle after close, and never changes a file
// it was not asked to change.
#include "engine/error.h"
#include "engine/file_pair.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

void expect(bool holds) {
    if (!holds) std::abort();
}

void write_file(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

Bytes read_file(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::uint32_t take32(const std::uint8_t* data) {
    std::uint32_t value = 0;
    std::memcpy(&value, data, sizeof value);
    return value;
}

// Small numbers most of the time, so that requests often land inside the files.
std::uint32_t address(std::uint32_t raw) {
    return (raw & 0x80000000u) ? raw : raw % 300;
}

struct Request {
    int operation; // 1 to 6, as the radio buttons number them
    std::uint32_t begin;
    std::uint32_t second; // size, end address or patch value
    std::uint32_t patch_length;
    bool same_file;
    Bytes input;
    Bytes output;
};

constexpr std::size_t HEADER = 12;

// The folder of the run's two files, removed when the fuzzer exits; a name of its own, so
// that two runs at once never write over each other's files.
struct WorkFolder {
    std::filesystem::path path = std::filesystem::temp_directory_path() /
                                 ("korvel-engine-fuzz-" + std::to_string(std::random_device{}()));
    WorkFolder() { std::filesystem::create_directories(path); }
    ~WorkFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;
};

Request request_from(const std::uint8_t* data, std::size_t size) {
    Request request{};
    request.operation = data[0] % 6 + 1;
    request.begin = address(take32(data + 1));
    request.second = address(take32(data + 5));
    request.patch_length = data[9] % 4 + 1;
    request.same_file = data[10] & 1;
    const std::size_t rest = size - HEADER;
    const std::size_t split = rest * data[11] / 256;
    request.input.assign(data + HEADER, data + HEADER + split);
    request.output.assign(data + HEADER + split, data + size);
    return request;
}

Bytes slice(const Bytes& bytes, std::uint64_t begin, std::uint64_t length) {
    return Bytes(bytes.begin() + std::ptrdiff_t(begin),
                 bytes.begin() + std::ptrdiff_t(begin + length));
}

// What the files hold after a successful request: input, then output.
std::pair<Bytes, Bytes> expected_files(const Request& r, const std::string& report) {
    Bytes input = r.input;
    Bytes output = r.same_file ? r.input : r.output;
    switch (r.operation) {
    case 1: output = slice(r.input, r.begin, r.second); break;
    case 2: output = slice(r.input, r.begin, std::uint64_t{r.second} + 1 - r.begin); break;
    case 3: std::copy(r.input.begin(), r.input.end(), output.begin() + r.begin); break;
    case 4: output = Bytes(r.second % 4096, 0); break;
    case 5:
        for (std::uint32_t k = 0; k < r.patch_length; ++k)
            input[r.begin + k] =
                static_cast<unsigned char>(r.second >> (8 * (r.patch_length - 1 - k)));
        break;
    case 6: {
        const Bytes& other = output;
        const std::size_t common = std::min(r.input.size(), other.size());
        const bool same =
            std::equal(r.input.begin(), r.input.begin() + std::ptrdiff_t(common), other.begin());
        expect(report.rfind(same ? "Files content: equivalent\n" : "Files content: different\n",
                            0) == 0);
        break;
    }
    default: break;
    }
    if (r.same_file && r.operation != 5) input = output;
    if (r.same_file && r.operation == 5) output = input;
    return {input, output};
}

std::string run(FilePair& pair, const Request& r, const std::string& in, const std::string& out) {
    switch (r.operation) {
    case 1:
        pair.load_for_cut(in, out);
        pair.cut_bytes(r.begin, r.second);
        break;
    case 2:
        pair.load_for_cut(in, out);
        pair.cut_range(r.begin, r.second);
        break;
    case 3:
        pair.load_for_insert(in, out);
        pair.insert_bytes(r.begin);
        break;
    case 4:
        pair.load_for_create(out);
        pair.create_file(r.second % 4096);
        break;
    case 5:
        pair.load_for_patch(in);
        pair.set_patch(r.begin, r.second, r.patch_length);
        break;
    default: pair.load_for_compare(in, out); return pair.compare_files();
    }
    return "";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < HEADER) return 0;
    static const WorkFolder work;
    const std::filesystem::path& folder = work.path;
    static FilePair pair;
    const Request r = request_from(data, size);
    const std::string in = (folder / "in.bin").string();
    const std::string out = r.same_file ? in : (folder / "out.bin").string();
    write_file(in, r.input);
    if (!r.same_file) write_file(out, r.output);

    try {
        const std::string report = run(pair, r, in, out);
        const auto [input, output] = expected_files(r, report);
        expect(read_file(in) == input);
        expect(read_file(out) == output);
    } catch (const error& failure) {
        expect((failure.file_code != 0) != (failure.range_code != 0));
        // A failure changes no file: here every one comes from a check, before any write.
        expect(read_file(in) == r.input);
        expect(read_file(out) == (r.same_file ? r.input : r.output));
        pair.close();
    }
    // Nothing is left beside the files: a new file replaced its output or was removed.
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        expect(entry.path().filename() == "in.bin" || entry.path().filename() == "out.bin");
    expect(pair.file_code == 0 && pair.range_code == 0);
    expect(!pair.input_stream.is_open() && !pair.second_stream.is_open() &&
           !pair.output_stream.is_open());
    return 0;
}
