// Failures the files report: a full disk, a file that shrinks while a job runs, a
// file too large for 32 bits, one file reached by two spellings.
#include "engine/error.h"
#include "engine/file.h"
#include "engine/file_io.h"
#include "engine/file_pair.h"
#include "tests/engine_jobs.h"
#include "tests/files.h"

#ifdef _WIN32
#include "engine/file_windows.h"

#include <sddl.h>
#endif

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cstdlib>
#include <functional>
#include <optional>
#include <tuple>
#include <vector>

namespace {

TEST(Faults, FullDiskIsAWriteError) {
    TempFolder folder;
    const std::string input = folder.path("in.bin");
    write_file(input, byte_run(64));
    FilePair pair;
    const std::vector<EngineJob> jobs = new_output_jobs(pair, input, FULL_DEVICE, 64);
    for (const auto& [name, job] : jobs) {
        const error failure = failure_of(pair, job);
        EXPECT_EQ(failure.file_code, 11) << name;
        EXPECT_EQ(failure.range_code, 0) << name;
    }
    EXPECT_EQ(read_file(input), byte_run(64));
}

// A drive that takes no more bytes part-way through a job (full, or pulled out), or a job
// told to stop: a file replaced whole is left as it was with nothing beside it; one changed
// where it lies gets its old bytes back, or, where even that fails, is reported with the
// file that keeps them. A flush that fails once (a failing drive) is a write that failed,
// past the swap too, and a stop comes before a flush that is due. Other programs at work in
// the folder meanwhile: a scanner that opens each new file, one that holds the output for a
// moment, one that puts a newer file at its path. A file replaced keeps all it was but its
// bytes, and a new output gets what any new file gets, also where no new file can be
// nameless.
TEST(Faults, WritesFailForGood) {
    TempFolder folder;
    std::filesystem::create_directory(on_disk(folder.path("out")));
    const std::string input = folder.path("in.bin");
    const std::string output = folder.path("out/out.bin");
    const std::string twin = folder.path("out/twin.bin");       // a second name of the output
    const std::string reference = folder.path("reference.bin"); // as any program makes a file
    const Bytes in = byte_run(PIECE_SIZE + 10, 0x10);
    const Bytes old = byte_run(2 * PIECE_SIZE, 0x80);
    const Bytes newer = byte_run(3, 0x20);
    const Bytes zeros(5, 0);
    Bytes inserted = old;
    std::copy(in.begin(), in.end(), inserted.begin() + 7);
    constexpr std::uint64_t NO_END = UINT64_MAX;
    constexpr std::uint32_t NO_FLUSH_FAILS = UINT32_MAX;
    // Past one step of flushing, from an input of its own.
    constexpr std::uint32_t LARGE = FLUSH_STEP + (4 << 20);
    const std::string large = folder.path("large.bin");
    write_file(large, Bytes(LARGE, 0x33));
    FilePair pair;
    const auto insert = [&](std::uint32_t begin) {
        return [&, begin] {
            pair.load_for_insert(input, output);
            pair.insert_bytes(begin);
        };
    };
    const auto cut = [&] {
        pair.load_for_cut(input, output);
        pair.cut_bytes(0, PIECE_SIZE + 10);
    };
    const auto create = [&] {
        pair.load_for_create(output);
        pair.create_file(5);
    };
    // The job, with another program at work from before it loads until it ends.
    const auto scanned = [&](std::function<void()> job) {
        return [&, job] {
            const Scanner scanner(folder.path("out"));
            job();
        };
    };
    const auto patch = [&] {
        pair.load_for_patch(output);
        pair.set_patch(5, 0x89ABCDEF, 4);
    };
    const auto cut_large = [&] {
        pair.load_for_cut(large, output);
        pair.cut_bytes(0, LARGE);
    };
    const auto compare = [&] {
        pair.load_for_compare(input, input);
        pair.compare_files();
    };
    struct Case {
        const char* name;
        std::function<void()> job;
        bool linked;              // the output has a second name: changed where it lies
        std::uint64_t bytes_left; // before writes fail
        std::int32_t code;
        std::uint32_t kept_at;        // where the kept bytes belong, for codes 13 and 14
        const Bytes* after = nullptr; // the output after codes 0 and 11, if not the old bytes
        int stop_at = 0;              // progress says stop from this report on; 0: never
        std::uint32_t flush_fails = NO_FLUSH_FAILS; // the flush that fails, counted from 0
        bool named = false;                         // every new file named from the start
        bool fresh = false; // no output before: it gets the mode any new file gets
    };
    const Case cases[] = {
        {"cut, replaced",
         [&] {
             pair.load_for_cut(input, output);
             pair.cut_bytes(0, PIECE_SIZE + 10);
         },
         false, 100, 11, 0},
        {"insert, no room beside nor in place", insert(7), false, PIECE_SIZE, 11, 0},
        {"insert, in place, not put back", insert(7), true, 100, 13, 7},
        {"set patch, not put back", patch, false, 2, 14, 5},
        {"cut, scanned", scanned(cut), false, NO_END, 0, 0, &in},
        {"insert, scanned", scanned(insert(7)), false, NO_END, 0, 0, &inserted},
        {"create, scanned", scanned(create), false, NO_END, 0, 0, &zeros},
        {"cut, named from the start", cut, false, NO_END, 0, 0, &in, 0, NO_FLUSH_FAILS, true},
        {"cut, named from the start, writes fail", cut, false, 100, 11, 0, nullptr, 0,
         NO_FLUSH_FAILS, true},
        {"create, a new output", create, false, NO_END, 0, 0, &zeros, 0, NO_FLUSH_FAILS, false,
         true},
        {"create, a new output named from the start", create, false, NO_END, 0, 0, &zeros, 0,
         NO_FLUSH_FAILS, true, true},
        {"cut, the old file held for a moment",
         [&] {
             pair.load_for_cut(input, output);
             const HeldForAMoment held(output);
             pair.cut_bytes(0, PIECE_SIZE + 10);
         },
         false, NO_END, 0, 0, &in},
        {"cut, the old file written since",
         [&] {
             pair.load_for_cut(input, output);
             move_write_time(output); // its number and length as they were
             pair.cut_bytes(0, PIECE_SIZE + 10);
         },
         false, NO_END, 11, 0},
        {"create, a newer file where there was none",
         [&] {
             std::filesystem::remove(on_disk(output));
             pair.load_for_create(output);
             write_file(output, newer);
             pair.create_file(5);
         },
         false, NO_END, 11, 0, &newer},
#ifndef _WIN32
        // Windows lets no program rename over a file another holds open.
        {"cut, a newer file renamed over the old",
         [&] {
             pair.load_for_cut(input, output);
             write_file(twin, newer);
             std::filesystem::rename(on_disk(twin), on_disk(output));
             pair.cut_bytes(0, PIECE_SIZE + 10);
         },
         false, NO_END, 11, 0, &newer},
#endif
        {"create, stopped before the first write",
         [&] {
             pair.load_for_create(output);
             pair.create_file(PIECE_SIZE);
         },
         false, NO_END, JOB_STOPPED, 0, nullptr, 1},
        {"insert, stopped during the copy", insert(7), false, NO_END, JOB_STOPPED, 0, nullptr, 2},
        {"insert in place, stopped during the copy and its put-back", insert(7), true, NO_END,
         JOB_STOPPED, 0, nullptr, 3},
        {"cut past a flush step, the step's flush fails", cut_large, false, NO_END, 11, 0, nullptr,
         0, 0},
        {"create, its last flush fails", create, false, NO_END, 11, 0, nullptr, 0, 0},
        {"create, the flush after its swap fails", create, false, NO_END, 11, 0, &zeros, 0, 1},
        {"create in place, its last flush fails", create, true, NO_END, 11, 0, nullptr, 0, 0},
        {"insert in place, stopped, its put-back's flush fails", insert(7), true, NO_END, 13, 7,
         nullptr, 3, 0},
        {"cut past a flush step, stopped as the step's flush is due", cut_large, false, NO_END,
         JOB_STOPPED, 0, nullptr, 1 + FLUSH_STEP / PIECE_SIZE, 0},
        {"cut, stopped once flushed, before its swap", cut, false, NO_END, JOB_STOPPED, 0, nullptr,
         4},
        {"compare, stopped at its third piece", compare, false, NO_END, JOB_STOPPED, 0, nullptr, 3},
    };
#ifndef _WIN32
    const mode_t umask_before = ::umask(022); // the usual one: a new file gets mode 0644
#endif
    write_file(reference, {});
    const std::string new_file = what_it_is(reference);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        write_file(input, in);
        std::filesystem::remove(on_disk(twin));
        write_file(output, old);
        if (c.linked) std::filesystem::create_hard_link(on_disk(output), on_disk(twin));
        make_unusual(output);
        const std::string was = c.fresh ? new_file : what_it_is(output);
        if (c.fresh) std::filesystem::remove(on_disk(output));
        nameless_files_refused = c.named;
        if (c.bytes_left != NO_END) bytes_until_writes_fail = c.bytes_left;
        if (c.flush_fails != NO_FLUSH_FAILS) flushes_until_one_fails = c.flush_fails;
        int reports = 0;
        std::uint64_t last_done = 0;
        pair.progress = [&](std::uint64_t done, std::uint64_t) {
            last_done = done;
            return ++reports < c.stop_at || c.stop_at == 0;
        };
        KeptBytes kept;
        error failure{0, 0};
        try {
            c.job();
        } catch (const error& caught) {
            failure = caught;
            kept = pair.kept;
        }
        bytes_until_writes_fail.reset();
        nameless_files_refused = false;
        // The flush made to fail was made, unless a stop came first: then none began.
        if (c.flush_fails != NO_FLUSH_FAILS) {
            EXPECT_EQ(flushes_until_one_fails.has_value(), c.code == JOB_STOPPED);
        }
        flushes_until_one_fails.reset();
        pair.progress = nullptr;
        pair.close();
        EXPECT_EQ(failure.file_code, c.code);
        EXPECT_EQ(read_file(input), in);
        const std::filesystem::directory_iterator beside(on_disk(folder.path("out")));
        EXPECT_EQ(std::distance(begin(beside), end(beside)), c.linked ? 2 : 1);
        if (c.code == 0 || c.code == 11 || c.code == JOB_STOPPED) {
            EXPECT_EQ(read_file(output), c.after ? *c.after : old);
            if (c.after != &newer) {
                EXPECT_EQ(what_it_is(output), was);
            }
            // A put-back, never stopped, tells its progress too, down to nothing done;
            // any other stopped job tells nothing past the stop.
            if (c.code == JOB_STOPPED) {
                EXPECT_EQ(c.linked ? last_done : reports, c.linked ? 0u : c.stop_at);
            }
            continue;
        }
        // The old bytes from where they belong, in a file that outlives the program.
        const Bytes held = read_file(kept.file.u8string());
        std::filesystem::remove(kept.file);
        EXPECT_EQ(kept.at, c.kept_at);
        ASSERT_FALSE(held.empty());
        EXPECT_TRUE(std::equal(held.begin(), held.end(), old.begin() + c.kept_at));
    }
#ifndef _WIN32
    ::umask(umask_before);
#endif
}

// A file that shrinks after it was measured: a short read of what the job reads is a
// read error; a part the job does not read (outside the cut range, past the first piece
// that differs, past the shorter file's end) may shrink unseen.
TEST(Faults, ShrinkUnderWhatIsReadIsAReadError) {
    TempFolder folder;
    const std::string input = folder.path("in.bin");
    const std::string output = folder.path("out.bin");
    // Longer than one piece, so that Compare can stop before a shrink.
    constexpr std::uint32_t LENGTH = PIECE_SIZE + 32;
    FilePair pair;
    std::string report;
    const auto shrink = [&](const std::string& path, std::uint64_t length = 3) {
        std::filesystem::resize_file(path, length);
    };
    // Jobs that load, shrink a file to length, then run.
    const auto cut = [&](std::uint64_t length, bool by_range, std::uint32_t begin,
                         std::uint32_t second) {
        return [&, length, by_range, begin, second] {
            pair.load_for_cut(input, output);
            shrink(input, length);
            by_range ? pair.cut_range(begin, second) : pair.cut_bytes(begin, second);
        };
    };
    const auto compare = [&](const std::string& path, std::uint64_t length) {
        return [&, path, length] {
            pair.load_for_compare(input, output);
            shrink(path, length);
            report = pair.compare_files();
        };
    };
    const Bytes untouched = byte_run(LENGTH + 16, 0xC0);
    // The name, the job, its file_code and the output after it (empty: not looked at).
    const std::tuple<const char*, std::function<void()>, std::int32_t, std::optional<Bytes>>
        jobs[] = {
            {"cut bytes, shrunk inside", cut(3, false, 2, 2), 9, untouched},
            {"cut range, shrunk inside", cut(3, true, 0, 31), 9, untouched},
            {"cut bytes, shrunk outside", cut(3, false, 0, 3), 0, byte_run(3)},
            {"cut range, shrunk outside", cut(LENGTH - 1, true, LENGTH - 5, LENGTH - 2), 0,
             byte_run(4, 0x40 + (LENGTH - 5) % 256)},
            {"insert",
             [&] {
                 pair.load_for_insert(input, output);
                 shrink(input);
                 pair.insert_bytes(0);
             },
             9, untouched},
            {"compare input", compare(input, 3), 9, untouched},
            {"compare output", compare(output, 3), 10, std::nullopt},
            {"compare, shrunk after a piece differs", compare(input, PIECE_SIZE + 1), 0, untouched},
            {"compare, shrunk past the shorter's end", compare(output, LENGTH + 1), 0,
             std::nullopt},
        };
    for (const auto& [name, job, code, after] : jobs) {
        SCOPED_TRACE(name);
        write_file(input, byte_run(LENGTH));
        write_file(output, untouched);
        report.clear();
        EXPECT_EQ(failure_of(pair, job).file_code, code);
        // A cut leaves its output whole or as it was, never half-written; nothing else is
        // touched.
        if (after) {
            EXPECT_EQ(read_file(output), *after);
        }
        // The sizes are the lengths measured.
        if (code == 0 && std::string(name).rfind("compare", 0) == 0) {
            EXPECT_EQ(report,
                      "Files content: different\nFiles size: different\nOutput file +16 bytes");
        }
    }
}

TEST(Faults, LengthsOverFourGibibytesAreNotTakenModulo) {
    TempFolder folder;
    const std::string huge = folder.path("huge.bin");
    const std::string small = folder.path("small.bin");
    make_sized_file(huge, (std::uint64_t{1} << 32) + 10);
    write_file(small, byte_run(10));
    FilePair pair;
    const std::tuple<const char*, std::function<void()>, std::int32_t> loads[] = {
        {"cut", [&] { pair.load_for_cut(huge, folder.path("out.bin")); }, 5},
        {"insert input", [&] { pair.load_for_insert(huge, small); }, 5},
        {"insert output", [&] { pair.load_for_insert(small, huge); }, 6},
        {"patch", [&] { pair.load_for_patch(huge); }, 5},
        {"compare output", [&] { pair.load_for_compare(small, huge); }, 6},
    };
    for (const auto& [name, load, code] : loads)
        EXPECT_EQ(failure_of(pair, load).file_code, code) << name;
}

#ifdef _WIN32
// The new file beside an output asks only for what a share grants a user who may change
// its files, and for the right to set its DACL or owner only where it must take on the
// old output's: entries of its own, a DACL that takes none from its folder, another owner.
TEST(Faults, NewFileAsksOnlyForWhatAShareGrants) {
    constexpr DWORD CHANGE_SHARE = FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE |
                                   DELETE; // what a share's "Change" grants
    constexpr DWORD SECURITY = WRITE_DAC | WRITE_OWNER;
    PSID user = nullptr; // the program's user: here SY, the system
    ASSERT_TRUE(ConvertStringSidToSidW(L"S-1-5-18", &user));
    const std::tuple<const wchar_t*, DWORD> cases[] = {
        {nullptr, 0}, // a new output
        {L"O:SYD:(A;ID;FA;;;SY)(A;ID;FR;;;WD)", 0},
        {L"O:SYD:(A;ID;FA;;;SY)(A;;FR;;;WD)", WRITE_DAC},
        {L"O:SYD:P(A;ID;FA;;;SY)", WRITE_DAC},
        {L"O:BAD:(A;ID;FA;;;SY)", WRITE_OWNER},
        {L"O:BAD:P(A;;FA;;;BA)", WRITE_DAC | WRITE_OWNER},
    };
    for (const auto& [text, carried] : cases) {
        PSECURITY_DESCRIPTOR old = nullptr;
        if (text) {
            ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
                text, SDDL_REVISION_1, &old, nullptr /* its size */));
        }
        const DWORD access = new_file_access(old, user);
        LocalFree(old);
        const DWORD needed = FILE_GENERIC_READ | FILE_GENERIC_WRITE | DELETE;
        EXPECT_EQ(access & ~SECURITY & ~CHANGE_SHARE, 0u) << (text ? text : L"new");
        EXPECT_EQ(access & needed, needed) << (text ? text : L"new");
        EXPECT_EQ(access & SECURITY, carried) << (text ? text : L"new");
    }
    LocalFree(user);
}
#endif

// One file as input and output, named two ways: the cut works in place, and a failed
// check leaves the file as it was. The name's dash is outside Latin-1, where a code page
// and the library would once part ways.
TEST(Faults, CutWithOneFileAsInputAndOutput) {
    TempFolder folder;
    std::filesystem::create_directory(on_disk(folder.path("sub")));
    const std::string name = "draft – v2.bin";
    const std::string path = folder.path("sub/" + name);
    std::vector<std::string> spellings = {path, folder.path("sub/./" + name),
                                          folder.path("sub/../sub/" + name)};
#ifdef _WIN32
    spellings.push_back(folder.path("SUB/DRAFT – V2.BIN"));
    // The test run maps a second drive letter to the first drive's root.
    if (const char* drive = std::getenv("KORVEL_SECOND_DRIVE"))
        spellings.push_back(drive + path.substr(1));
#endif
    const Bytes data = byte_run(20);
    FilePair pair;
    const auto outcome = [&](const std::string& input, const std::string& output,
                             const std::function<void()>& operation) {
        return failure_of(pair, [&] {
            pair.load_for_cut(on_disk(input), on_disk(output));
            operation();
        });
    };
    for (const std::string& other : spellings) {
        SCOPED_TRACE(other);
        write_file(path, data);
        EXPECT_EQ(outcome(path, other, [&] { pair.cut_bytes(30, 1); }).range_code, 1);
        EXPECT_EQ(read_file(path), data);
        EXPECT_EQ(outcome(other, path, [&] { pair.cut_range(5, 3); }).range_code, 3);
        EXPECT_EQ(read_file(path), data);

        EXPECT_EQ(outcome(path, other, [&] { pair.cut_bytes(4, 6); }).file_code, 0);
        EXPECT_EQ(read_file(path), Bytes(data.begin() + 4, data.begin() + 10));
        write_file(path, data);
        EXPECT_EQ(outcome(other, path, [&] { pair.cut_range(19, 19); }).file_code, 0);
        EXPECT_EQ(read_file(path), Bytes{data[19]});
    }
    // A second name the system does not tie to the file (an overlay, two shares of one
    // server): read before it is written, piece by piece, the file still comes out cut in
    // place, across pieces that overlap what is yet to be read.
    const Bytes large = byte_run(2 * PIECE_SIZE + 100);
    write_file(path, large);
    same_file_answer = false;
    const error told_different =
        outcome(path, spellings[1], [&] { pair.cut_bytes(10, 2 * PIECE_SIZE); });
    same_file_answer.reset();
    EXPECT_EQ(told_different.file_code, 0);
    EXPECT_EQ(read_file(path), Bytes(large.begin() + 10, large.begin() + 10 + 2 * PIECE_SIZE));
}

// Two open files are one when the system says so, whatever their paths' spelling.
TEST(Faults, SameFileIsTheFileItself) {
    TempFolder folder;
    const std::string data = folder.path("данные.bin");
    const std::string other = folder.path("ｄａｔａ.bin");
    write_file(data, byte_run(4));
    write_file(other, byte_run(4));
    std::filesystem::create_hard_link(on_disk(data), on_disk(folder.path("hard")));
    std::vector<std::tuple<std::string, std::string, bool>> pairs = {
        {data, data, true},
        {data, folder.path("./данные.bin"), true},
        {data, folder.path("hard"), true},
        {data, other, false},
        {data, folder.path("missing"), false},
        {folder.path("missing"), folder.path("missing"), false},
    };
    // This toolchain's library makes no symbolic links on Windows; elsewhere one must work.
    std::error_code no_symbolic_link;
    std::filesystem::create_symlink(on_disk(data), on_disk(folder.path("soft")), no_symbolic_link);
#ifndef _WIN32
    EXPECT_FALSE(no_symbolic_link);
#endif
    if (!no_symbolic_link) pairs.emplace_back(data, folder.path("soft"), true);
    // Asked of the open files; a missing one never opens.
    for (const auto& [first, second, same] : pairs) {
        File a;
        File b;
        const bool opened =
            a.open(on_disk(first), Access::read) && b.open(on_disk(second), Access::read);
        EXPECT_EQ(opened && same_file(a, b), same) << first << " " << second;
    }
    // A job's new file replaces the file a link leads to, never the link.
    if (no_symbolic_link) return;
    std::filesystem::remove(on_disk(folder.path("hard"))); // one name: replaced whole
    FilePair pair;
    EXPECT_EQ(failure_of(pair,
                         [&] {
                             pair.load_for_create(on_disk(folder.path("soft")));
                             pair.create_file(2);
                         })
                  .file_code,
              0);
    EXPECT_TRUE(std::filesystem::is_symlink(on_disk(folder.path("soft"))));
    EXPECT_EQ(read_file(data), Bytes(2, 0));
    // A link that leads nowhere: the file it names is made, and the link stays.
    std::filesystem::remove(on_disk(data));
    EXPECT_EQ(failure_of(pair,
                         [&] {
                             pair.load_for_create(on_disk(folder.path("soft")));
                             pair.create_file(3);
                         })
                  .file_code,
              0);
    EXPECT_TRUE(std::filesystem::is_symlink(on_disk(folder.path("soft"))));
    EXPECT_EQ(read_file(data), Bytes(3, 0));
}

} // namespace
