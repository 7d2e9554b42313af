// Closing the dialog at any moment of a job, at each operation's largest size: the program
// must end with 0, and each file must be whole or untouched.
#include "tests/e2e/cases.h"
#include "tests/e2e/files.h"
#include "tests/e2e/report.h"
#include "tests/e2e/suites.h"
// After <windows.h>, whose old cursor name IDC_SIZE this replaces.
#include "ui/res/resource.h"

#include <algorithm>
#include <memory>

namespace {

// Once per layout keeps the test command short; raise it by hand to hunt a race.
constexpr int REPEATS = 1;
constexpr DWORD WHILE_BOX = 0xFFFFFFFF; // close once the job's closing box shows
constexpr DWORD CLOSE_DELAYS_MS[] = {0, 10, 50, 200, WHILE_BOX};
// Far above any job's own time here: past it the program counts as hung.
constexpr DWORD CLOSE_END_MS = 15000;

const std::string IN_BIN = "in.bin";
const std::string OUT_BIN = "out.bin";

// Shared, not copied: a 32-bit driver has no room for many copies of the largest files.
using Bytes = std::shared_ptr<const std::string>;

// What a file holds before the job, and what it may hold after a close: any one of them.
struct Held {
    std::string name;
    Bytes before;
    std::vector<Bytes> after;
};

struct CloseCase {
    std::string name;
    int operation;
    Fields fields;
    std::vector<Held> files; // the input first, then the output
};

std::vector<CloseCase> close_cases() {
    const auto bytes = [](std::string text) { return std::make_shared<const std::string>(text); };
    const Bytes limit = bytes(pattern(MAX_FILE_SIZE));
    const Bytes other = bytes(std::string(limit->rbegin(), limit->rend()));
    const Bytes patched = bytes(std::string("\x89\xAB\xCD\xEF", 4) + limit->substr(4));
    const Bytes old = bytes("old output");
    const Bytes empty = bytes("");
    const Bytes zeros = bytes(std::string(CREATE_SIZE_LIMIT, '\0'));
    const Held input{IN_BIN, limit, {limit}};
    const Held cut_output{OUT_BIN, old, {old, empty, limit}}; // never cut short
    return {
        {"Cut bytes", IDC_CUT, {"0", "0", std::to_string(MAX_FILE_SIZE)}, {input, cut_output}},
        {"Cut bytes from to", IDC_CUT_RANGE, {"0", "1DFFFFF", "0"}, {input, cut_output}},
        {"Insert bytes", IDC_INSERT, {"0", "0", "0"}, {input, {OUT_BIN, other, {other, limit}}}},
        {"Create file",
         IDC_CREATE,
         {"0", "0", std::to_string(CREATE_SIZE_LIMIT)},
         {{IN_BIN, old, {old}}, {OUT_BIN, old, {old, empty, zeros}}}},
        {"Set patch", IDC_PATCH, {"0", "89ABCDEF", "0"}, {{IN_BIN, limit, {limit, patched}}}},
        {"Compare files", IDC_COMPARE, {"0", "0", "0"}, {input, {OUT_BIN, other, {other}}}},
    };
}

// Esc as a key on the focused button, which the dialog turns into its close command; or
// the caption's close button, which arrives as the system menu's close command.
void close_by(const Korvel& korvel, bool escape) {
    if (escape) {
        PostMessageA(GetDlgItem(korvel.dialog, IDC_IN), WM_KEYDOWN, VK_ESCAPE, 1);
    } else {
        PostMessageA(korvel.dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
}

// Puts each file back as it was before, writing only the ones a run changed.
void restore(const std::string& folder, const CloseCase& c) {
    for (const Held& file : c.files) {
        const std::string path = path_in(folder, file.name);
        if (read_file(path) != *file.before) write_file(path, *file.before);
    }
}

// The first file that holds none of what it may hold, described; empty when all are fine.
std::string unsound_file(const std::string& folder, const CloseCase& c) {
    for (const Held& file : c.files) {
        const std::optional<std::string> bytes = read_file(path_in(folder, file.name));
        const auto same = [&](const Bytes& allowed) { return bytes == *allowed; };
        if (std::none_of(file.after.begin(), file.after.end(), same))
            return file.name + " " + describe(bytes, *file.before);
    }
    return "";
}

// One run: start, Start, close after the delay; what went wrong, or empty.
std::string close_once(const std::string& exe, const std::string& folder, const CloseCase& c,
                       DWORD delay, bool escape) {
    restore(folder, c);
    Korvel korvel = start_korvel(exe);
    if (!korvel.dialog) return "korvel.exe did not start";
    // After "Cut bytes" one drop fills both slots: the first name is the input.
    click(korvel.dialog, IDC_CUT);
    drop_files(korvel, {path_in(folder, IN_BIN), path_in(folder, OUT_BIN)});
    click(korvel.dialog, c.operation);
    set_text(korvel.dialog, IDC_BEGIN, c.fields.begin);
    set_text(korvel.dialog, IDC_END, c.fields.end);
    set_text(korvel.dialog, IDC_SIZE, c.fields.size);
    post_click(korvel.dialog, IDC_START);
    if (delay == WHILE_BOX) {
        if (!next_box(korvel)) return "no closing box showed";
    } else {
        Sleep(delay);
    }
    close_by(korvel, escape);
    const bool ended = WaitForSingleObject(korvel.process.get(), CLOSE_END_MS) == WAIT_OBJECT_0;
    DWORD code = 0;
    if (ended) GetExitCodeProcess(korvel.process.get(), &code);
    end_korvel(korvel);
    if (!ended) return "still running";
    if (code != 0) return "exit code " + std::to_string(code);
    return unsound_file(folder, c);
}

} // namespace

void check_close_during_job(const std::string& exe, const std::string& folder) {
    const std::string own = folder + "\\closing";
    make_folder(own);
    for (const CloseCase& c : close_cases()) {
        for (const DWORD delay : CLOSE_DELAYS_MS) {
            for (const bool escape : {true, false}) {
                const std::string moment = delay == WHILE_BOX
                                               ? "while its box shows"
                                               : std::to_string(delay) + " ms after Start";
                std::string seen;
                int failures = 0;
                for (int run = 0; run < REPEATS; ++run) {
                    const std::string wrong = close_once(exe, own, c, delay, escape);
                    if (wrong.empty()) continue;
                    ++failures;
                    seen = wrong;
                }
                check(
                    failures == 0,
                    "Close during a job / " + c.name + ", " + (escape ? "Esc " : "close button ") +
                        moment + ": ends with 0, files whole or untouched",
                    std::to_string(failures) + " of " + std::to_string(REPEATS) + " runs: " + seen);
            }
        }
    }
}
