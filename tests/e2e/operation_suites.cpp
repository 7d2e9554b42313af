#include "tests/e2e/cases.h"
#include "tests/e2e/files.h"
#include "tests/e2e/suites.h"
// After <windows.h>, whose old cursor name IDC_SIZE this replaces.
#include "ui/res/resource.h"

namespace {

const std::string IN_BIN = "in.bin";
const std::string OUT_BIN = "out.bin";
const std::string ALPHA = "ABCDEFGHIJKLMNOP";         // 16 bytes, each easy to tell apart
const std::string OLD = "old output";                 // an output file that was there before
const std::string LONG_NAME = "Long Output Name.bin"; // not 8.3: it has a short name too
const std::string SECOND = "second name.bin";         // a hard link to another file here

std::string zeros(std::size_t length) {
    return std::string(length, '\0');
}

std::string overwritten(std::string bytes, std::size_t at, const std::string& with) {
    return bytes.replace(at, with.size(), with);
}

// The case, checked also for its folder then listing no file that after does not name.
Case nothing_beside(Case c) {
    c.exact_listing = true;
    return c;
}

// The case, checked also for an output that is still the same file afterwards.
Case same_output(Case c) {
    c.same_output = true;
    return nothing_beside(c);
}

// The case with its output given by its 8.3 short name, which must leave no such name.
Case by_short_name(Case c) {
    c.short_output = true;
    return nothing_beside(c);
}

std::vector<Case> cut_bytes_cases() {
    const std::string limit = pattern(MAX_FILE_SIZE);
    const std::string over = pattern(MAX_FILE_SIZE + 1);
    const auto cut = [](std::string name, std::vector<Setup> files, std::string input,
                        std::string output, std::string begin, std::string size,
                        std::vector<Box> boxes, std::vector<FileState> after) {
        return Case{name, IDC_CUT, files, input, output, {begin, "", size}, boxes, after};
    };
    return {
        cut("a piece from the middle", {file(IN_BIN, ALPHA), file(OUT_BIN, OLD)}, IN_BIN, OUT_BIN,
            "4", "3", {done()}, {has(IN_BIN, ALPHA), has(OUT_BIN, "EFG")}),
        cut("the whole file", {file(IN_BIN, ALPHA)}, IN_BIN, OUT_BIN, "0", "16", {done()},
            {has(OUT_BIN, ALPHA)}),
        cut("the last byte alone", {file(IN_BIN, ALPHA)}, IN_BIN, OUT_BIN, "F", "1", {done()},
            {has(OUT_BIN, "P")}),
        cut("a piece ending at the last byte, lower-case Begin", {file(IN_BIN, ALPHA)}, IN_BIN,
            OUT_BIN, "a", "6", {done()}, {has(OUT_BIN, "KLMNOP")}),
        cut("an empty Begin field is address 0", {file(IN_BIN, ALPHA)}, IN_BIN, OUT_BIN, "", "2",
            {done()}, {has(OUT_BIN, "AB")}),
        cut("Begin with the 0x prefix", {file(IN_BIN, ALPHA)}, IN_BIN, OUT_BIN, "0x5", "2",
            {done()}, {has(OUT_BIN, "FG")}),
        cut("an input of exactly 31,457,280 bytes", {file(IN_BIN, limit)}, IN_BIN, OUT_BIN,
            "1DFFFFE", "2", {done()}, {has(OUT_BIN, limit.substr(MAX_FILE_SIZE - 2))}),
        by_short_name(cut("an output given by its short name keeps its long name",
                          {file(IN_BIN, ALPHA), file(LONG_NAME, OLD)}, IN_BIN, LONG_NAME, "4", "3",
                          {done()}, {has(IN_BIN, ALPHA), has(LONG_NAME, "EFG")})),
        nothing_beside(cut("an output with a second name shows the piece under both",
                           {file(IN_BIN, ALPHA), file(OUT_BIN, OLD), link(SECOND, OUT_BIN)}, IN_BIN,
                           OUT_BIN, "4", "3", {done()},
                           {has(IN_BIN, ALPHA), has(OUT_BIN, "EFG"), has(SECOND, "EFG")})),
        cut("a capital 0X in Begin touches no file", {file(IN_BIN, ALPHA), file(OUT_BIN, OLD)},
            IN_BIN, OUT_BIN, "0X10", "2", {failure("Hex value error, in begin address field")},
            {has(IN_BIN, ALPHA), has(OUT_BIN, OLD)}),
        cut("a bad Begin comes before a missing input", {file(OUT_BIN, OLD)}, IN_BIN, OUT_BIN, "G",
            "2", {failure("Hex value error, in begin address field")}, {has(OUT_BIN, OLD)}),
        cut("a missing input", {file(OUT_BIN, OLD)}, IN_BIN, OUT_BIN, "0", "1",
            {failure("Load input file error")}, {absent(IN_BIN), has(OUT_BIN, OLD)}),
        cut("a missing input comes before an output in a missing folder", {}, IN_BIN,
            "none\\" + OUT_BIN, "0", "1", {failure("Load input file error")}, {absent(OUT_BIN)}),
        cut("an input that is a folder", {folder(IN_BIN), file(OUT_BIN, OLD)}, IN_BIN, OUT_BIN, "0",
            "1", {failure("Load input file error")}, {has(OUT_BIN, OLD)}),
        cut("an input held open without sharing", {held(IN_BIN, ALPHA), file(OUT_BIN, OLD)}, IN_BIN,
            OUT_BIN, "0", "1", {failure("Load input file error")},
            {has(IN_BIN, ALPHA), has(OUT_BIN, OLD)}),
        cut("an empty input", {file(IN_BIN, ""), file(OUT_BIN, OLD)}, IN_BIN, OUT_BIN, "0", "1",
            {failure("Empty input file")}, {has(IN_BIN, ""), has(OUT_BIN, OLD)}),
        cut("an input one byte over the limit", {file(IN_BIN, over), file(OUT_BIN, OLD)}, IN_BIN,
            OUT_BIN, "0", "1", {failure("Input file size, out of limit")},
            {has(IN_BIN, over), has(OUT_BIN, OLD)}),
        cut("an output in a missing folder", {file(IN_BIN, ALPHA)}, IN_BIN, "none\\" + OUT_BIN, "0",
            "1", {failure("Load output file error")},
            {has(IN_BIN, ALPHA), absent("none\\" + OUT_BIN)}),
        cut("an output that is a folder", {file(IN_BIN, ALPHA), folder(OUT_BIN)}, IN_BIN, OUT_BIN,
            "0", "1", {failure("Load output file error")}, {has(IN_BIN, ALPHA)}),
        cut("an output held open without sharing", {file(IN_BIN, ALPHA), held(OUT_BIN, OLD)},
            IN_BIN, OUT_BIN, "0", "1", {failure("Load output file error")}, {has(OUT_BIN, OLD)}),
        cut("a missing input comes before Size 0", {file(OUT_BIN, OLD)}, IN_BIN, OUT_BIN, "0", "0",
            {failure("Load input file error")}, {has(OUT_BIN, OLD)}),
        cut("Size 0 comes before a Begin out of the file",
            {file(IN_BIN, ALPHA), file(OUT_BIN, OLD)}, IN_BIN, OUT_BIN, "100", "0",
            {failure("The size too small")}, {has(IN_BIN, ALPHA), has(OUT_BIN, OLD)}),
        cut("an empty Size field is 0", {file(IN_BIN, ALPHA), file(OUT_BIN, OLD)}, IN_BIN, OUT_BIN,
            "0", "", {failure("The size too small")}, {has(OUT_BIN, OLD)}),
        cut("Begin at the input's length", {file(IN_BIN, ALPHA), file(OUT_BIN, OLD)}, IN_BIN,
            OUT_BIN, "10", "1", {failure("Begin adress out of file")},
            {has(IN_BIN, ALPHA), has(OUT_BIN, OLD)}),
        cut("a piece one byte past the end", {file(IN_BIN, ALPHA), file(OUT_BIN, OLD)}, IN_BIN,
            OUT_BIN, "F", "2", {failure("End adress out of file")},
            {has(IN_BIN, ALPHA), has(OUT_BIN, OLD)}),
        cut("a Size far past the end", {file(IN_BIN, ALPHA), file(OUT_BIN, OLD)}, IN_BIN, OUT_BIN,
            "1", "999999999", {failure("End adress out of file")}, {has(OUT_BIN, OLD)}),
    };
}

std::vector<Case> cut_range_cases() {
    const auto range = [](std::string name, std::vector<Setup> files, std::string begin,
                          std::string end, std::vector<Box> boxes, std::vector<FileState> after) {
        return Case{name, IDC_CUT_RANGE, files, IN_BIN, OUT_BIN, {begin, end, ""}, boxes, after};
    };
    const std::vector<Setup> both = {file(IN_BIN, ALPHA), file(OUT_BIN, OLD)};
    return {
        range("Begin through End, both included", both, "3", "6", {done()},
              {has(IN_BIN, ALPHA), has(OUT_BIN, "DEFG")}),
        range("Begin equal to End: one byte", both, "3", "3", {done()}, {has(OUT_BIN, "D")}),
        range("End at the last byte", both, "C", "F", {done()}, {has(OUT_BIN, "MNOP")}),
        range("lower-case digits with the 0x prefix", both, "0xa", "0xb", {done()},
              {has(OUT_BIN, "KL")}),
        range("empty fields are address 0", both, "", "", {done()}, {has(OUT_BIN, "A")}),
        range("a bad Begin comes before a bad End", both, "0X1", "zz",
              {failure("Hex value error, in begin address field")}, {has(OUT_BIN, OLD)}),
        range("a bad End", both, "1", "G", {failure("Hex value error, in end address field")},
              {has(IN_BIN, ALPHA), has(OUT_BIN, OLD)}),
        range("a bad End comes before a missing input", {file(OUT_BIN, OLD)}, "1", "-1",
              {failure("Hex value error, in end address field")}, {has(OUT_BIN, OLD)}),
        range("Begin out of the file comes before End before Begin", both, "10", "0",
              {failure("Begin adress out of file")}, {has(IN_BIN, ALPHA), has(OUT_BIN, OLD)}),
        range("End at the input's length", both, "2", "10", {failure("End adress out of file")},
              {has(OUT_BIN, OLD)}),
        range("End at the largest address", both, "2", "FFFFFFFF",
              {failure("End adress out of file")}, {has(OUT_BIN, OLD)}),
        range("End before Begin", both, "5", "3",
              {failure("End address is less than begin address")}, {has(OUT_BIN, OLD)}),
        range("End just before Begin", both, "5", "4", {failure("There is nothing to cut out")},
              {has(IN_BIN, ALPHA), has(OUT_BIN, OLD)}),
        range("an empty input", {file(IN_BIN, ""), file(OUT_BIN, OLD)}, "0", "0",
              {failure("Empty input file")}, {has(OUT_BIN, OLD)}),
        range("an output that is a folder", {file(IN_BIN, ALPHA), folder(OUT_BIN)}, "0", "0",
              {failure("Load output file error")}, {has(IN_BIN, ALPHA)}),
    };
}

std::vector<Case> insert_cases() {
    const std::string xyz = "xyz";
    const std::string limit = pattern(MAX_FILE_SIZE);
    const std::string over = pattern(MAX_FILE_SIZE + 1);
    const auto insert = [](std::string name, std::vector<Setup> files, std::string begin,
                           std::vector<Box> boxes, std::vector<FileState> after) {
        return Case{name, IDC_INSERT, files, IN_BIN, OUT_BIN, {begin, "", ""}, boxes, after};
    };
    const std::vector<Setup> both = {file(IN_BIN, xyz), file(OUT_BIN, ALPHA)};
    const std::vector<FileState> unchanged = {has(IN_BIN, xyz), has(OUT_BIN, ALPHA)};
    return {
        insert("at the start", both, "0", {done()},
               {has(IN_BIN, xyz), has(OUT_BIN, "xyzDEFGHIJKLMNOP")}),
        insert("in the middle", both, "5", {done()}, {has(OUT_BIN, "ABCDExyzIJKLMNOP")}),
        insert("over the last bytes", both, "D", {done()}, {has(OUT_BIN, "ABCDEFGHIJKLMxyz")}),
        nothing_beside(insert(
            "an output with a second name shows the input under both",
            {file(IN_BIN, xyz), file(OUT_BIN, ALPHA), link(SECOND, OUT_BIN)}, "5", {done()},
            {has(IN_BIN, xyz), has(OUT_BIN, "ABCDExyzIJKLMNOP"), has(SECOND, "ABCDExyzIJKLMNOP")})),
        same_output(insert("8 bytes inside one block are written where they lie",
                           {file(IN_BIN, "12345678"), file(OUT_BIN, pattern(1024))}, "1F8",
                           {done()},
                           {has(IN_BIN, "12345678"),
                            has(OUT_BIN, overwritten(pattern(1024), 0x1F8, "12345678"))})),
        insert("an input as long as the output",
               {file(IN_BIN, "0123456789abcdef"), file(OUT_BIN, ALPHA)}, "0", {done()},
               {has(OUT_BIN, "0123456789abcdef")}),
        insert("an output of exactly 31,457,280 bytes", {file(IN_BIN, xyz), file(OUT_BIN, limit)},
               "1DFFFFD", {done()}, {has(OUT_BIN, overwritten(limit, MAX_FILE_SIZE - 3, xyz))}),
        insert("Begin at the output's length", both, "10", {failure("End adress out of file")},
               unchanged),
        insert("Begin past the output's length", both, "11", {failure("Begin adress out of file")},
               unchanged),
        insert("one byte past the end", both, "E", {failure("End adress out of file")}, unchanged),
        insert("an input longer than the output", {file(IN_BIN, ALPHA + "Q"), file(OUT_BIN, ALPHA)},
               "0", {failure("End adress out of file")}, {has(OUT_BIN, ALPHA)}),
        insert("an empty output at 0", {file(IN_BIN, xyz), file(OUT_BIN, "")}, "0",
               {failure("End adress out of file")}, {has(OUT_BIN, "")}),
        insert("an empty output past 0", {file(IN_BIN, xyz), file(OUT_BIN, "")}, "1",
               {failure("Begin adress out of file")}, {has(OUT_BIN, "")}),
        insert("a missing output is not made", {file(IN_BIN, xyz)}, "0",
               {failure("Load output file error")}, {absent(OUT_BIN)}),
        insert("an output one byte over the limit", {file(IN_BIN, xyz), file(OUT_BIN, over)}, "0",
               {failure("Output file size, out of limit")}, {has(OUT_BIN, over)}),
        insert("an input one byte over the limit", {file(IN_BIN, over), file(OUT_BIN, ALPHA)}, "0",
               {failure("Input file size, out of limit")}, {has(OUT_BIN, ALPHA)}),
        insert("an empty input", {file(IN_BIN, ""), file(OUT_BIN, ALPHA)}, "0",
               {failure("Empty input file")}, {has(OUT_BIN, ALPHA)}),
        insert("a missing input comes before a missing output", {}, "0",
               {failure("Load input file error")}, {absent(OUT_BIN)}),
        insert("a bad Begin", both, "x1", {failure("Hex value error, in begin address field")},
               unchanged),
    };
}

std::vector<Case> create_cases() {
    const auto create = [](std::string name, std::vector<Setup> files, std::string output,
                           std::string size, std::vector<Box> boxes, std::vector<FileState> after) {
        return Case{name, IDC_CREATE, files, IN_BIN, output, {"", "", size}, boxes, after};
    };
    return {
        create("10 zeros over a longer file", {file(OUT_BIN, pattern(1000))}, OUT_BIN, "10",
               {done()}, {has(OUT_BIN, zeros(10))}),
        create("Size 0 makes an empty file", {}, OUT_BIN, "0", {done()}, {has(OUT_BIN, "")}),
        create("an empty Size field is 0", {file(OUT_BIN, OLD)}, OUT_BIN, "", {done()},
               {has(OUT_BIN, "")}),
        create("the input plays no part", {}, OUT_BIN, "3", {done()},
               {absent(IN_BIN), has(OUT_BIN, zeros(3))}),
        create("exactly 104,857,600 bytes", {}, OUT_BIN, "104857600", {done()},
               {has(OUT_BIN, zeros(CREATE_SIZE_LIMIT))}),
        nothing_beside(create("104,857,600 zeros over an existing output",
                              {file(OUT_BIN, pattern(1000))}, OUT_BIN, "104857600", {done()},
                              {has(OUT_BIN, zeros(CREATE_SIZE_LIMIT))})),
        nothing_beside(create("an output with a second name shows the zeros under both",
                              {file(OUT_BIN, pattern(1000)), link(SECOND, OUT_BIN)}, OUT_BIN, "10",
                              {done()}, {has(OUT_BIN, zeros(10)), has(SECOND, zeros(10))})),
        create("one byte over the limit leaves the output as it was", {file(OUT_BIN, OLD)}, OUT_BIN,
               "104857601", {failure("Output file size, out of limit")}, {has(OUT_BIN, OLD)}),
        create("one byte over the limit creates no output", {}, OUT_BIN, "104857601",
               {failure("Output file size, out of limit")}, {absent(OUT_BIN)}),
        create("an output that is a folder", {folder(OUT_BIN)}, OUT_BIN, "1",
               {failure("Load output file error")}, {}),
        create("an output in a missing folder", {}, "none\\" + OUT_BIN, "1",
               {failure("Load output file error")}, {absent("none\\" + OUT_BIN)}),
        create("an output held open without sharing", {held(OUT_BIN, OLD)}, OUT_BIN, "1",
               {failure("Load output file error")}, {has(OUT_BIN, OLD)}),
    };
}

std::vector<Case> patch_cases() {
    const std::string text = "ABCDEFGHIJKLM"; // 13 bytes
    const std::string limit = pattern(MAX_FILE_SIZE);
    const std::string over = pattern(MAX_FILE_SIZE + 1);
    const auto patch = [](std::string name, std::vector<Setup> files, std::string begin,
                          std::string data, std::vector<Box> boxes, std::vector<FileState> after) {
        return Case{name, IDC_PATCH, files, IN_BIN, OUT_BIN, {begin, data, ""}, boxes, after};
    };
    const std::vector<Setup> both = {file(IN_BIN, text), file(OUT_BIN, OLD)};
    const auto patched = [&](std::size_t at, const std::string& bytes) {
        return has(IN_BIN, overwritten(text, at, bytes));
    };
    const std::vector<FileState> unchanged = {has(IN_BIN, text), has(OUT_BIN, OLD)};
    return {
        patch("one digit, one byte", both, "0", "7", {done()},
              {patched(0, "\x07"), has(OUT_BIN, OLD)}),
        patch("two digits, one byte", both, "1", "AB", {done()}, {patched(1, "\xAB")}),
        patch("lower-case digits", both, "1", "ab", {done()}, {patched(1, "\xAB")}),
        patch("three digits, two bytes", both, "2", "ABC", {done()}, {patched(2, "\x0A\xBC")}),
        patch("three bytes ending at the last byte", both, "A", "AABBCC", {done()},
              {patched(10, "\xAA\xBB\xCC")}),
        patch("eight digits, four bytes", both, "0", "89ABCDEF", {done()},
              {patched(0, "\x89\xAB\xCD\xEF"), has(OUT_BIN, OLD)}),
        patch("the 0x prefix counts: 0xAB is two bytes", both, "3", "0xAB", {done()},
              {patched(3, std::string("\0\xAB", 2))}),
        patch("0xABC is three bytes", both, "3", "0xABC", {done()},
              {patched(3, std::string("\0\x0A\xBC", 3))}),
        patch("an empty Patch field writes one zero byte", both, "5", "", {done()},
              {patched(5, std::string(1, '\0'))}),
        patch("the last byte of a file of exactly 31,457,280 bytes", {file(IN_BIN, limit)},
              "1DFFFFF", "12", {done()},
              {has(IN_BIN, overwritten(limit, MAX_FILE_SIZE - 1, "\x12"))}),
        patch("one byte past the end", both, "B", "AABBCC", {failure("Begin adress out of file")},
              unchanged),
        patch("Begin at the largest address", both, "FFFFFFFF", "1",
              {failure("Begin adress out of file")}, unchanged),
        patch("an empty input", {file(IN_BIN, "")}, "0", "1", {failure("Begin adress out of file")},
              {has(IN_BIN, "")}),
        patch("a bad Begin comes before a bad Patch", both, "0X1", "0X1",
              {failure("Hex value error, in begin address field")}, unchanged),
        patch("a bad Patch", both, "1", "0X1", {failure("Hex value error, in patch data field")},
              unchanged),
        patch("nine Patch digits", both, "1", "123456789",
              {failure("Hex value error, in patch data field")}, unchanged),
        patch("a bad Patch comes before a missing input", {file(OUT_BIN, OLD)}, "1", "1 2",
              {failure("Hex value error, in patch data field")},
              {absent(IN_BIN), has(OUT_BIN, OLD)}),
        patch("a missing input", {file(OUT_BIN, OLD)}, "0", "1", {failure("Load input file error")},
              {absent(IN_BIN), has(OUT_BIN, OLD)}),
        patch("an input that is a folder", {folder(IN_BIN)}, "0", "1",
              {failure("Load input file error")}, {}),
        patch("an input held open without sharing", {held(IN_BIN, text)}, "0", "1",
              {failure("Load input file error")}, {has(IN_BIN, text)}),
        patch("an input one byte over the limit", {file(IN_BIN, over)}, "0", "1",
              {failure("Input file size, out of limit")}, {has(IN_BIN, over)}),
    };
}

std::vector<Case> compare_cases() {
    const std::string limit = pattern(MAX_FILE_SIZE);
    const std::string over = pattern(MAX_FILE_SIZE + 1);
    const auto compare = [](std::string name, std::vector<Setup> files, std::vector<Box> boxes,
                            std::vector<FileState> after) {
        return Case{name, IDC_COMPARE, files, IN_BIN, OUT_BIN, {"0", "0", "0"}, boxes, after};
    };
    const auto report = [](const std::string& text) { return std::vector<Box>{done(text)}; };
    return {
        compare("two identical files", {file(IN_BIN, ALPHA), file(OUT_BIN, ALPHA)},
                report("Files content: equivalent\nFiles size: equivalent"),
                {has(IN_BIN, ALPHA), has(OUT_BIN, ALPHA)}),
        compare("the output is the input and 3 bytes more",
                {file(IN_BIN, ALPHA), file(OUT_BIN, ALPHA + "xyz")},
                report("Files content: equivalent\nFiles size: different\nOutput file +3 bytes"),
                {has(IN_BIN, ALPHA), has(OUT_BIN, ALPHA + "xyz")}),
        compare("10 bytes against 4 that differ in the third",
                {file(IN_BIN, "0123456789"), file(OUT_BIN, "01x3")},
                report("Files content: different\nFiles size: different\nInput file +6 bytes"), {}),
        compare("equal sizes, the last byte differs",
                {file(IN_BIN, ALPHA), file(OUT_BIN, "ABCDEFGHIJKLMNOx")},
                report("Files content: different\nFiles size: equivalent"), {}),
        compare("an output longer by 1,048,576 bytes",
                {file(IN_BIN, "A"), file(OUT_BIN, "A" + zeros(1048576))},
                report("Files content: equivalent\nFiles size: different\n"
                       "Output file +1048576 bytes"),
                {}),
        compare("two files of exactly 31,457,280 bytes",
                {file(IN_BIN, limit), file(OUT_BIN, limit)},
                report("Files content: equivalent\nFiles size: equivalent"), {}),
        compare("a missing input", {file(OUT_BIN, ALPHA)}, {failure("Load input file error")}, {}),
        compare("an empty input comes before a missing output", {file(IN_BIN, "")},
                {failure("Empty input file")}, {absent(OUT_BIN)}),
        compare("an input one byte over the limit", {file(IN_BIN, over), file(OUT_BIN, ALPHA)},
                {failure("Input file size, out of limit")}, {}),
        compare("a missing output", {file(IN_BIN, ALPHA)}, {failure("Load output file error")},
                {absent(OUT_BIN)}),
        compare("an output that is a folder", {file(IN_BIN, ALPHA), folder(OUT_BIN)},
                {failure("Load output file error")}, {}),
        compare("an empty output", {file(IN_BIN, ALPHA), file(OUT_BIN, "")},
                {failure("Empty output file")}, {has(OUT_BIN, "")}),
        compare("an output one byte over the limit", {file(IN_BIN, ALPHA), file(OUT_BIN, over)},
                {failure("Output file size, out of limit")}, {}),
    };
}

} // namespace

void run_operation_suites(const Korvel& korvel, const std::string& folder) {
    // One table at a time: the large files of one are gone before the next is built.
    run_cases(korvel, folder, "Cut bytes", cut_bytes_cases());
    run_cases(korvel, folder, "Cut bytes from to", cut_range_cases());
    run_cases(korvel, folder, "Insert bytes", insert_cases());
    run_cases(korvel, folder, "Create file", create_cases());
    run_cases(korvel, folder, "Set patch", patch_cases());
    run_cases(korvel, folder, "Compare files", compare_cases());
}
