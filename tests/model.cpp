#include "tests/model.h"

#include <algorithm>
#include <optional>

namespace {

constexpr std::uint64_t LOADED_LIMIT = 31457280;
constexpr std::uint64_t CREATED_LIMIT = 104857600;

// The controls, by the numbers the dialog gives them.
constexpr int START = 1002;
constexpr int BEGIN = 1005;
constexpr int END = 1007;
constexpr int SIZE = 1008;

// The texts users see, by code; kept here rather than taken from the engine, so that a
// wrong text or a wrong code in the engine shows.
const char* const FILE_TEXTS[] = {
    "",
    "Input file is not selected",
    "Load input file error",
    "Output file is not selected",
    "Load output file error",
    "Input file size, out of limit",
    "Output file size, out of limit",
    "Empty input file",
    "Empty output file",
    "Read input file error",
    "Read output file error",
    "Write output file error",
    "Write input file error",
};
const char* const RANGE_TEXTS[] = {
    "",
    "Begin adress out of file",
    "End adress out of file",
    "End address is less than begin address",
    "The size too small",
    "There is nothing to cut out",
    "Hex value error, in begin address field",
    "Hex value error, in end address field",
    "Hex value error, in patch data field",
};

struct FileFailure {
    int code;
};
struct RangeFailure {
    int code;
};

std::optional<std::uint32_t> hex_value(const std::string& text) {
    const std::string digits = text.rfind("0x", 0) == 0 ? text.substr(2) : text;
    if (digits.size() > 8) return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : digits) {
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        if (digit < 0) return std::nullopt;
        value = value * 16 + std::uint64_t(digit);
    }
    return std::uint32_t(value);
}

// The Size field holds at most 9 digits, so the value always fits.
std::uint32_t decimal_value(const std::string& text) {
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') break;
        value = value * 10 + std::uint64_t(c - '0');
    }
    return std::uint32_t(value);
}

class Job {
  public:
    Job(const ModelRequest& request, ModelFile& input, ModelFile& output)
        : request(request), input(input), output(request.same_file ? input : output) {}

    ModelOutcome run() {
        outcome.events.push_back("enable " + std::to_string(START) + " off");
        try {
            std::string text;
            switch (request.operation) {
            case 1: cut_bytes(); break;
            case 2: cut_range(); break;
            case 3: insert_bytes(); break;
            case 4: create_file(); break;
            case 5: set_patch(); break;
            case 6: text = compare_files(); break;
            default: text = "Unknow operation";
            }
            if (request.operation >= 1 && request.operation <= 5)
                text = "Operation is successfully finished";
            show("Done", text);
        } catch (const FileFailure& failure) {
            show("Error", FILE_TEXTS[failure.code]);
        } catch (const RangeFailure& failure) {
            show("Error", RANGE_TEXTS[failure.code]);
        }
        return outcome;
    }

  private:
    const ModelRequest& request;
    ModelFile& input;
    ModelFile& output;
    ModelOutcome outcome;

    void show(const std::string& title, const std::string& text) {
        outcome.events.push_back("enable " + std::to_string(START) + " on");
        outcome.events.push_back("box " + title);
        outcome.boxes.push_back({title, text});
    }

    std::uint32_t hex_field(int control, int bad_code) {
        outcome.events.push_back("text " + std::to_string(control));
        const std::string& text = control == BEGIN ? request.begin : request.end;
        const std::optional<std::uint32_t> value = hex_value(text);
        if (!value) throw RangeFailure{bad_code};
        return *value;
    }

    std::uint32_t size_field() {
        outcome.events.push_back("number " + std::to_string(SIZE));
        return decimal_value(request.size);
    }

    // The checks every loader of an input file makes, in their order.
    void check_input(bool refuse_empty) {
        if (!request.input_selected) throw FileFailure{1};
        if (!request.output_selected) throw FileFailure{3};
        if (input.entry != Entry::file) throw FileFailure{2};
        if (refuse_empty && input.bytes.empty()) throw FileFailure{7};
        if (input.bytes.size() > LOADED_LIMIT) throw FileFailure{5};
    }

    // The output as it is, or missing, until its new bytes replace it whole.
    void open_new_output() {
        if (output.entry == Entry::folder || output.entry == Entry::unreachable)
            throw FileFailure{4};
    }

    void load_for_cut() {
        check_input(true);
        // One file as input and output is cut in place, after its checks.
        if (!request.same_file) open_new_output();
    }

    void write_new_output(Bytes bytes) {
        if (output.entry == Entry::full_device) {
            if (!bytes.empty()) throw FileFailure{11};
            return;
        }
        output = {Entry::file, std::move(bytes)};
    }

    void cut_bytes() {
        const std::uint64_t begin = hex_field(BEGIN, 6);
        load_for_cut();
        const std::uint64_t size = size_field();
        const std::uint64_t length = input.bytes.size();
        if (size == 0) throw RangeFailure{4};
        if (begin >= length) throw RangeFailure{1};
        if (begin + size > length) throw RangeFailure{2};
        write_new_output(Bytes(input.bytes.begin() + std::ptrdiff_t(begin),
                               input.bytes.begin() + std::ptrdiff_t(begin + size)));
    }

    void cut_range() {
        const std::uint64_t begin = hex_field(BEGIN, 6);
        const std::uint64_t end = hex_field(END, 7);
        load_for_cut();
        const std::uint64_t length = input.bytes.size();
        if (begin >= length) throw RangeFailure{1};
        if (end >= length) throw RangeFailure{2};
        if (end + 1 < begin) throw RangeFailure{3};
        if (end + 1 == begin) throw RangeFailure{5};
        write_new_output(Bytes(input.bytes.begin() + std::ptrdiff_t(begin),
                               input.bytes.begin() + std::ptrdiff_t(end + 1)));
    }

    void insert_bytes() {
        const std::uint64_t begin = hex_field(BEGIN, 6);
        check_input(true);
        if (output.entry != Entry::file) throw FileFailure{4};
        if (output.bytes.size() > LOADED_LIMIT) throw FileFailure{6};
        if (begin > output.bytes.size()) throw RangeFailure{1};
        if (begin + input.bytes.size() > output.bytes.size()) throw RangeFailure{2};
        const Bytes piece = input.bytes;
        std::copy(piece.begin(), piece.end(), output.bytes.begin() + std::ptrdiff_t(begin));
    }

    void create_file() {
        if (!request.output_selected) throw FileFailure{3};
        open_new_output();
        const std::uint32_t size = size_field();
        if (size > CREATED_LIMIT) throw FileFailure{6};
        write_new_output(Bytes(size, 0));
    }

    void set_patch() {
        const std::uint64_t begin = hex_field(BEGIN, 6);
        const std::uint32_t value = hex_field(END, 8);
        if (!request.input_selected) throw FileFailure{1};
        if (input.entry != Entry::file) throw FileFailure{2};
        if (input.bytes.size() > LOADED_LIMIT) throw FileFailure{5};
        // Half the text's length, rounded up, "0x" included: from 1 to 4 bytes.
        const std::uint64_t length = std::clamp<std::size_t>((request.end.size() + 1) / 2, 1, 4);
        if (begin + length > input.bytes.size()) throw RangeFailure{1};
        for (std::uint64_t k = 0; k < length; ++k) // most significant byte first
            input.bytes[begin + k] = std::uint8_t(std::uint64_t{value} >> (8 * (length - 1 - k)));
    }

    std::string compare_files() {
        check_input(true);
        if (output.entry != Entry::file) throw FileFailure{4};
        if (output.bytes.empty()) throw FileFailure{8};
        if (output.bytes.size() > LOADED_LIMIT) throw FileFailure{6};
        const Bytes& first = input.bytes;
        const Bytes& second = output.bytes;
        const std::size_t common = std::min(first.size(), second.size());
        const bool same =
            std::equal(first.begin(), first.begin() + std::ptrdiff_t(common), second.begin());
        std::string report = same ? "Files content: equivalent\n" : "Files content: different\n";
        if (first.size() == second.size()) return report + "Files size: equivalent";
        report += "Files size: different\n";
        if (first.size() > second.size())
            return report + "Input file +" + std::to_string(first.size() - second.size()) +
                   " bytes";
        return report + "Output file +" + std::to_string(second.size() - first.size()) + " bytes";
    }
};

} // namespace

ModelOutcome run_model(const ModelRequest& request, ModelFile& input, ModelFile& output) {
    return Job(request, input, output).run();
}
