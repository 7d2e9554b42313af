#include "tests/e2e/cases.h"
#include "tests/e2e/report.h"
#include "tests/e2e/suites.h"
// After <windows.h>, whose old cursor name IDC_SIZE this replaces.
#include "ui/res/resource.h"

namespace {

const std::string IN_BIN = "in.bin";
const std::string OUT_BIN = "out.bin";
const std::string ALPHA = "ABCDEFGHIJKLMNOP";
const std::string OLD = "old output";
const std::string SECOND = "second name.bin";
constexpr std::uint64_t OVER_4_GIB = (std::uint64_t{1} << 32) + 10; // 10 bytes as 32 bits

// What an edit control holds after a user typed into it.
struct Typing {
    const char* name;
    int operation; // the radio button that enables the field
    int control;
    const char* keys;
    const char* shown;
};

constexpr Typing TYPINGS[] = {
    {"a tenth character is refused", IDC_CUT, IDC_BEGIN, "0x00000100", "0x0000010"},
    {"nine characters are taken", IDC_CUT_RANGE, IDC_END, "ABCDEF0123", "ABCDEF012"},
    {"Size takes digits only", IDC_CUT, IDC_SIZE, "1a2-b 3", "123"},
    {"Size takes nine digits", IDC_CREATE, IDC_SIZE, "1234567890", "123456789"},
};

} // namespace

void run_field_suite(const Korvel& korvel, const std::string& folder) {
    for (const Typing& typing : TYPINGS) {
        click(korvel.dialog, typing.operation);
        set_text(korvel.dialog, typing.control, "");
        type_keys(korvel.dialog, typing.control, typing.keys);
        const std::string shown = control_text(korvel.dialog, typing.control);
        check(shown == typing.shown,
              std::string("Fields / ") + typing.name + ": typed " + quoted(typing.keys) +
                  ", the field holds " + quoted(typing.shown),
              quoted(shown));
    }

    const std::string text = "ABCDEFGHIJKLM";
    const std::vector<Setup> both = {file(IN_BIN, ALPHA), file(OUT_BIN, OLD)};
    const auto row = [](bool typed) {
        return [typed](std::string name, int operation, std::vector<Setup> files, Fields fields,
                       std::vector<Box> boxes, std::vector<FileState> after) {
            return Case{name, operation, files, IN_BIN, OUT_BIN, fields, boxes, after, typed};
        };
    };
    const auto typed = row(true);
    const auto set = row(false); // whole, as another program may: past the fields' limit
    const Box bad_begin = failure("Hex value error, in begin address field");
    run_cases(
        korvel, folder, "Fields",
        {
            typed("an empty Begin field works from address 0", IDC_CUT, both, {"", "", "3"},
                  {done()}, {has(OUT_BIN, "ABC")}),
            typed("0x and seven digits are read whole", IDC_CUT, both, {"0x0000005", "", "2"},
                  {done()}, {has(OUT_BIN, "FG")}),
            typed("a tenth character never reaches the job", IDC_CUT, both, {"0x00000050", "", "2"},
                  {done()}, {has(OUT_BIN, "FG")}),
            typed("nine Begin digits are refused, not cut to eight", IDC_CUT, both,
                  {"000000010", "", "1"}, {bad_begin}, {has(IN_BIN, ALPHA), has(OUT_BIN, OLD)}),
            typed("a capital 0X is refused", IDC_CUT, both, {"0X5", "", "2"}, {bad_begin},
                  {has(OUT_BIN, OLD)}),
            typed("letters typed into Size are dropped", IDC_CUT, both, {"5", "", "2x"}, {done()},
                  {has(OUT_BIN, "FG")}),
            typed("nine End digits are refused", IDC_CUT_RANGE, both, {"0", "000000005", ""},
                  {failure("Hex value error, in end address field")}, {has(OUT_BIN, OLD)}),
            typed("Patch data of 0x and seven digits is four bytes", IDC_PATCH,
                  {file(IN_BIN, text), file(OUT_BIN, OLD)}, {"0", "0x0000012", ""}, {done()},
                  {has(IN_BIN, std::string("\0\0\0\x12", 4) + text.substr(4)), has(OUT_BIN, OLD)}),
            typed("nine Patch digits are refused", IDC_PATCH, {file(IN_BIN, text)},
                  {"0", "123456789", ""}, {failure("Hex value error, in patch data field")},
                  {has(IN_BIN, text)}),
            set("a Begin text of ten characters is refused", IDC_CUT, both, {"0x00000005", "", "2"},
                {bad_begin}, {has(IN_BIN, ALPHA), has(OUT_BIN, OLD)}),
            set("an End text of twelve characters is refused", IDC_CUT_RANGE, both,
                {"0", "0x0000000005", ""}, {failure("Hex value error, in end address field")},
                {has(IN_BIN, ALPHA), has(OUT_BIN, OLD)}),
            set("Patch data of eleven characters is refused", IDC_PATCH, both,
                {"0", "0x0000FFFF1", ""}, {failure("Hex value error, in patch data field")},
                {has(IN_BIN, ALPHA), has(OUT_BIN, OLD)}),
            set("fullwidth Patch data is refused, not read as AB", IDC_PATCH, both,
                {"0", "ＡＢ", ""}, {failure("Hex value error, in patch data field")},
                {has(IN_BIN, ALPHA)}),
            set("a Size past 32 bits is too large to create", IDC_CREATE, both,
                {"", "", "5000000000"}, {failure("Output file size, out of limit")},
                {has(OUT_BIN, OLD)}),
            set("a Size past 32 bits is past the input's end", IDC_CUT, both,
                {"0", "", "4294967300"}, {failure("End adress out of file")}, {has(OUT_BIN, OLD)}),
            set("nine characters set whole are read whole", IDC_PATCH, {file(IN_BIN, text)},
                {"0x0000001", "0x000ABCD", ""}, {done()},
                {has(IN_BIN, std::string("A\0\0\xAB\xCD", 5) + text.substr(5))}),
        });
}

void run_mended_fault_suite(const Korvel& korvel, const std::string& folder) {
    const auto fault = [](std::string name, int operation, std::vector<Setup> files,
                          std::string input, std::string output, Fields fields,
                          std::vector<Box> boxes, std::vector<FileState> after) {
        return Case{name, operation, files, input, output, fields, boxes, after};
    };
    const std::vector<Setup> alone = {file(IN_BIN, ALPHA)};
    const Box write_failed = failure("Write output file error");
    run_cases(
        korvel, folder, "Mended faults",
        {
            fault("Cut bytes with one path as input and output", IDC_CUT, alone, IN_BIN, IN_BIN,
                  {"2", "", "3"}, {done()}, {has(IN_BIN, "CDE")}),
            fault("Cut bytes with the output spelt another way", IDC_CUT, alone, IN_BIN,
                  ".\\" + IN_BIN, {"2", "", "3"}, {done()}, {has(IN_BIN, "CDE")}),
            fault("Cut bytes from to with the output in capitals", IDC_CUT_RANGE, alone, IN_BIN,
                  "IN.BIN", {"3", "6", ""}, {done()}, {has(IN_BIN, "DEFG")}),
            fault("Cut bytes with the output a second name of the input", IDC_CUT,
                  {file(IN_BIN, ALPHA), link(SECOND, IN_BIN)}, IN_BIN, SECOND, {"2", "", "3"},
                  {done()}, {has(IN_BIN, "CDE"), has(SECOND, "CDE")}),
            fault("a failed cut on one file leaves it whole", IDC_CUT, alone, IN_BIN, IN_BIN,
                  {"10", "", "1"}, {failure("Begin adress out of file")}, {has(IN_BIN, ALPHA)}),
            fault("a failed range on one file leaves it whole", IDC_CUT_RANGE, alone, IN_BIN,
                  ".\\" + IN_BIN, {"5", "3", ""},
                  {failure("End address is less than begin address")}, {has(IN_BIN, ALPHA)}),
            fault("Compare files with one path twice", IDC_COMPARE, alone, IN_BIN, IN_BIN,
                  {"0", "0", "0"}, {done("Files content: equivalent\nFiles size: equivalent")},
                  {has(IN_BIN, ALPHA)}),
            fault("Cut bytes onto a full disk", IDC_CUT, alone, IN_BIN, FULL_DISK, {"0", "", "4"},
                  {write_failed}, {has(IN_BIN, ALPHA)}),
            fault("Cut bytes from to onto a full disk", IDC_CUT_RANGE, alone, IN_BIN, FULL_DISK,
                  {"0", "3", ""}, {write_failed}, {has(IN_BIN, ALPHA)}),
            fault("Create file on a full disk", IDC_CREATE, {}, IN_BIN, FULL_DISK, {"", "", "10"},
                  {write_failed}, {}),
            fault("Cut bytes from an input of 4 GiB and 10 bytes", IDC_CUT,
                  {sparse(IN_BIN, OVER_4_GIB), file(OUT_BIN, OLD)}, IN_BIN, OUT_BIN, {"0", "", "1"},
                  {failure("Input file size, out of limit")}, {has(OUT_BIN, OLD)}),
            fault("Insert bytes into an output of 4 GiB and 10 bytes", IDC_INSERT,
                  {file(IN_BIN, "xyz"), sparse(OUT_BIN, OVER_4_GIB)}, IN_BIN, OUT_BIN,
                  {"0", "", ""}, {failure("Output file size, out of limit")}, {}),
            fault("Set patch on a file of 4 GiB and 10 bytes", IDC_PATCH,
                  {sparse(IN_BIN, OVER_4_GIB)}, IN_BIN, OUT_BIN, {"0", "1", ""},
                  {failure("Input file size, out of limit")}, {}),
            fault("Compare files with an output of 4 GiB and 10 bytes", IDC_COMPARE,
                  {file(IN_BIN, ALPHA), sparse(OUT_BIN, OVER_4_GIB)}, IN_BIN, OUT_BIN,
                  {"0", "0", "0"}, {failure("Output file size, out of limit")}, {}),
        });
}

void run_name_suite(const Korvel& korvel, const std::string& folder) {
    // Names outside any code page, and names a code page would turn into another file's.
    const std::string cyrillic = "данные.bin";
    const std::string japanese = "データ.bin";
    const std::string emoji = "\xF0\x9F\x93\xA6 archive.bin"; // U+1F4E6, outside the BMP
    const std::string dash = "draft – v2.bin";
    const std::string quotes = "“quoted” ‘name’.bin";
    const std::string look_alike = "ｄａｔａ.bin"; // fullwidth letters
    const std::string namesake = "data.bin";       // what a lossy conversion would make of it
    const std::string text = "ABCDEFGHIJKLM";
    const auto named = [](std::string name, int operation, std::vector<Setup> files,
                          std::string input, std::string output, Fields fields,
                          std::vector<Box> boxes, std::vector<FileState> after, bool chosen) {
        return Case{name, operation, files, input, output, fields, boxes, after, false, chosen};
    };
    run_cases(
        korvel, folder, "File names",
        {
            named("Cut bytes, Cyrillic to Japanese, dropped", IDC_CUT, {file(cyrillic, ALPHA)},
                  cyrillic, japanese, {"2", "", "3"}, {done()},
                  {has(cyrillic, ALPHA), has(japanese, "CDE")}, false),
            named("Cut bytes from to, an emoji to curly quotes, by IN and OUT", IDC_CUT_RANGE,
                  {file(emoji, ALPHA), file(quotes, OLD)}, emoji, quotes, {"3", "6", ""}, {done()},
                  {has(emoji, ALPHA), has(quotes, "DEFG")}, true),
            named("Insert bytes into a fullwidth name, dropped", IDC_INSERT,
                  {file(japanese, "xyz"), file(look_alike, ALPHA), file(namesake, OLD)}, japanese,
                  look_alike, {"1", "", ""}, {done()},
                  {has(look_alike, "AxyzEFGHIJKLMNOP"), has(namesake, OLD)}, false),
            named("Create file under a fullwidth name, by OUT", IDC_CREATE, {file(namesake, OLD)},
                  namesake, look_alike, {"", "", "4"}, {done()},
                  {has(look_alike, std::string(4, '\0')), has(namesake, OLD)}, true),
            named("Set patch on a fullwidth name, by IN", IDC_PATCH,
                  {file(look_alike, text), file(namesake, OLD)}, look_alike, cyrillic,
                  {"1", "AB", ""}, {done()},
                  {has(look_alike, "A\xAB" + text.substr(2)), has(namesake, OLD), absent(cyrillic)},
                  true),
            named("Compare files, Cyrillic and an emoji, dropped", IDC_COMPARE,
                  {file(cyrillic, ALPHA), file(emoji, ALPHA + "xyz")}, cyrillic, emoji,
                  {"0", "0", "0"},
                  {done("Files content: equivalent\nFiles size: different\nOutput file +3 bytes")},
                  {has(cyrillic, ALPHA), has(emoji, ALPHA + "xyz")}, false),
            named("Cut bytes in place on a name with an en dash", IDC_CUT, {file(dash, ALPHA)},
                  dash, dash, {"2", "", "3"}, {done()}, {has(dash, "CDE")}, false),
            named("a failed cut on a name with an en dash leaves it whole", IDC_CUT,
                  {file(dash, ALPHA)}, dash, dash, {"10", "", "1"},
                  {failure("Begin adress out of file")}, {has(dash, ALPHA)}, false),
        });
}
