// The engine's operations, each from its loader to its closed files, at the largest
// sizes the tool takes and at small ones. Files live in a temporary folder.
#include "engine/file_pair.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t SMALL = 4096;

class Files {
  public:
    Files()
        : root(fs::temp_directory_path() /
               ("korvel-bench-" + std::to_string(std::random_device{}()))) {
        fs::create_directories(root);
    }
    ~Files() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    // A file of random bytes, made once per name and length.
    std::string make(const std::string& name, std::uint32_t length) {
        const fs::path path = root / (name + "-" + std::to_string(length));
        if (fs::exists(path) && fs::file_size(path) == length) return path.string();
        std::vector<char> bytes(length);
        std::mt19937 bits(length);
        for (char& byte : bytes)
            byte = char(bits());
        std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(length));
        return path.string();
    }
    std::string path(const std::string& name) const { return (root / name).string(); }

  private:
    fs::path root;
};

Files& files() {
    static Files made;
    return made;
}

void set_bytes(benchmark::State& state, std::uint64_t per_run) {
    state.SetBytesProcessed(std::int64_t(per_run * std::uint64_t(state.iterations())));
}

// The whole input but its first byte: the largest piece a cut can take from past the
// start, by size or by inclusive end address.
void cut(benchmark::State& state, bool by_range) {
    const auto length = std::uint32_t(state.range(0));
    const std::string input = files().make("in", length);
    const std::string output = files().path("out");
    FilePair pair;
    for (auto _ : state) {
        pair.load_for_cut(input, output);
        by_range ? pair.cut_range(1, length - 1) : pair.cut_bytes(1, length - 1);
    }
    set_bytes(state, length);
}

void insert_bytes(benchmark::State& state) {
    const auto length = std::uint32_t(state.range(0));
    const std::string input = files().make("in", length);
    const std::string output = files().make("target", length);
    FilePair pair;
    for (auto _ : state) {
        pair.load_for_insert(input, output);
        pair.insert_bytes(0);
    }
    set_bytes(state, length);
}

void create_file(benchmark::State& state) {
    const auto length = std::uint32_t(state.range(0));
    const std::string output = files().path("created");
    FilePair pair;
    for (auto _ : state) {
        pair.load_for_create(output);
        pair.create_file(length);
    }
    set_bytes(state, length);
}

void set_patch(benchmark::State& state) {
    const auto length = std::uint32_t(state.range(0));
    const std::string input = files().make("patched", length);
    FilePair pair;
    for (auto _ : state) {
        pair.load_for_patch(input);
        pair.set_patch(length - 4, 0x89ABCDEF, 4);
    }
}

// Two equal files: the comparison runs to the end.
void compare_files(benchmark::State& state) {
    const auto length = std::uint32_t(state.range(0));
    const std::string first = files().make("in", length);
    const std::string second = files().path("copy-" + std::to_string(length));
    fs::copy_file(first, second, fs::copy_options::overwrite_existing);
    FilePair pair;
    for (auto _ : state) {
        pair.load_for_compare(first, second);
        benchmark::DoNotOptimize(pair.compare_files());
    }
    set_bytes(state, 2 * std::uint64_t(length));
}

constexpr std::int64_t LARGEST = MAX_FILE_SIZE;

BENCHMARK_CAPTURE(cut, cut_bytes, false)->Arg(SMALL)->Arg(LARGEST)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(cut, cut_range, true)->Arg(SMALL)->Arg(LARGEST)->Unit(benchmark::kMillisecond);
BENCHMARK(insert_bytes)->Arg(SMALL)->Arg(LARGEST)->Unit(benchmark::kMillisecond);
BENCHMARK(create_file)->Arg(SMALL)->Arg(CREATE_SIZE_LIMIT)->Unit(benchmark::kMillisecond);
BENCHMARK(set_patch)->Arg(SMALL)->Arg(LARGEST)->Unit(benchmark::kMillisecond);
BENCHMARK(compare_files)->Arg(SMALL)->Arg(LARGEST)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
