// Closing the dialog, or signing out, at any moment of a job, at each operation's largest
// size: the program must end with 0 (a sign-out: once the dialog has answered, the system
// ends it), and each file must be whole or untouched.
#include "tests/e2e/cases.h"
#include "tests/e2e/files.h"
#include "tests/e2e/report.h"
#include "tests/e2e/suites.h"
// After <windows.h>, whose old cursor name IDC_SIZE this replaces.
#include "ui/res/resource.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <set>

namespace {

// Once per layout keeps the test command short; raise it by hand to hunt a race.
constexpr int REPEATS = 1;
constexpr DWORD WHILE_BOX = 0xFFFFFFFF; // close once the job's closing box shows
// Far above any job's own time here: past it the program counts as hung.
constexpr DWORD CLOSE_END_MS = 15000;

enum class Way { escape, close_button, sign_out };

struct Ending {
    Way way;
    const char* name;
    std::vector<DWORD> delays_ms; // after Start
    const char* outcome;
};

constexpr char CLOSED[] = "ends with 0, files whole or untouched";
const Ending ENDINGS[] = {
    {Way::escape, "Esc ", {0, 10, 50, 200, WHILE_BOX}, CLOSED},
    {Way::close_button, "close button ", {0, 10, 50, 200, WHILE_BOX}, CLOSED},
    {Way::sign_out,
     "sign-out ",
     {0, 30, WHILE_BOX},
     "allowed, the job over when WM_ENDSESSION returns, files whole or untouched"},
};

constexpr std::uint32_t SLOW_SIZE = 1048576;
constexpr DWORD CLOSE_TAKEN_MS = 200;
constexpr DWORD ANSWER_MS = 1000; // a window that answers slower looks hung
constexpr int KILL_ATTEMPTS = 20;

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
    std::string output;      // the name dropped as the output
    bool sign_out;           // also ended by a sign-out
};

std::vector<CloseCase> close_cases() {
    const auto bytes = [](std::string text) { return std::make_shared<const std::string>(text); };
    const Bytes limit = bytes(pattern(MAX_FILE_SIZE));
    const Bytes other = bytes(std::string(limit->rbegin(), limit->rend()));
    const Bytes patched = bytes(std::string("\x89\xAB\xCD\xEF", 4) + limit->substr(4));
    const Bytes old = bytes("old output");
    const Bytes zeros = bytes(std::string(CREATE_SIZE_LIMIT, '\0'));
    const Bytes tail = bytes(limit->substr(1));
    const Held input{IN_BIN, limit, {limit}};
    const Held cut_output{OUT_BIN, old, {old, limit}}; // never cut short, nor emptied
    const std::string largest = std::to_string(MAX_FILE_SIZE);
    return {
        {"Cut bytes", IDC_CUT, {"0", "0", largest}, {input, cut_output}, OUT_BIN, true},
        {"Cut bytes from to",
         IDC_CUT_RANGE,
         {"0", "1DFFFFF", "0"},
         {input, cut_output},
         OUT_BIN,
         false},
        {"Cut bytes in place",
         IDC_CUT,
         {"1", "0", std::to_string(MAX_FILE_SIZE - 1)},
         {{IN_BIN, limit, {limit, tail}}},
         IN_BIN,
         true},
        {"Insert bytes",
         IDC_INSERT,
         {"0", "0", "0"},
         {input, {OUT_BIN, other, {other, limit}}},
         OUT_BIN,
         true},
        {"Create file",
         IDC_CREATE,
         {"0", "0", std::to_string(CREATE_SIZE_LIMIT)},
         {{IN_BIN, old, {old}}, {OUT_BIN, old, {old, zeros}}},
         OUT_BIN,
         true},
        {"Set patch",
         IDC_PATCH,
         {"0", "89ABCDEF", "0"},
         {{IN_BIN, limit, {limit, patched}}},
         OUT_BIN,
         false},
        {"Compare files",
         IDC_COMPARE,
         {"0", "0", "0"},
         {input, {OUT_BIN, other, {other}}},
         OUT_BIN,
         false},
    };
}

// Esc as a key on the focused button, which the dialog turns into its close command; or
// the caption's close button, which arrives as the system menu's close command. Both
// return at once.
void close_by(const Korvel& korvel, Way way) {
    if (way == Way::escape) {
        PostMessageA(GetDlgItem(korvel.dialog, IDC_IN), WM_KEYDOWN, VK_ESCAPE, 1);
    } else {
        PostMessageA(korvel.dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
}

// As the system signs out: asks, announces the end, and ends the process once the dialog
// has answered. What went wrong, or empty; job: the job's threads, over by then.
std::string sign_out(Korvel& korvel, const std::vector<UniqueHandle>& job) {
    DWORD_PTR answer = 0;
    const auto send = [&](UINT message, WPARAM wparam) {
        return SendMessageTimeoutA(korvel.dialog, message, wparam, ENDSESSION_LOGOFF, SMTO_NORMAL,
                                   CLOSE_END_MS, &answer) != 0;
    };
    std::string wrong;
    if (!send(WM_QUERYENDSESSION, 0) || answer != TRUE) wrong = "the sign-out was not allowed";
    if (!send(WM_ENDSESSION, TRUE)) wrong = "WM_ENDSESSION did not return";
    if (!all_ended(job, 0)) wrong = "the job still ran when WM_ENDSESSION returned";
    end_korvel(korvel);
    return wrong;
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

// Starts the program on the case's files as they were before, and its job; the job's
// threads, none when the program did not start.
std::vector<UniqueHandle> start_job(Korvel& korvel, const std::string& exe,
                                    const std::string& folder, const CloseCase& c) {
    restore(folder, c);
    korvel = start_korvel(exe);
    if (!korvel.dialog) return {};
    // After "Cut bytes" one drop fills both slots: the first name is the input.
    click(korvel.dialog, IDC_CUT);
    drop_files(korvel, {path_in(folder, IN_BIN), path_in(folder, c.output)});
    click(korvel.dialog, c.operation);
    set_text(korvel.dialog, IDC_BEGIN, c.fields.begin);
    set_text(korvel.dialog, IDC_END, c.fields.end);
    set_text(korvel.dialog, IDC_SIZE, c.fields.size);
    const std::set<DWORD> idle = thread_ids(korvel.id);
    // Sent: a sign-out's messages are sent too, and would overtake a posted press.
    click(korvel.dialog, IDC_START);
    return threads_started(korvel, idle);
}

// One run: start, Start, close or sign out after the delay; what went wrong, or empty.
std::string close_once(const std::string& exe, const std::string& folder, const CloseCase& c,
                       DWORD delay, Way way) {
    Korvel korvel;
    const std::vector<UniqueHandle> job = start_job(korvel, exe, folder, c);
    if (!korvel.dialog) return "korvel.exe did not start";
    if (delay == WHILE_BOX) {
        if (!next_box(korvel)) return "no closing box showed";
    } else {
        Sleep(delay);
    }
    if (way == Way::sign_out) {
        const std::string wrong = sign_out(korvel, job);
        const std::string files = unsound_file(folder, c);
        return wrong + (wrong.empty() || files.empty() ? "" : "; ") + files;
    }
    close_by(korvel, way);
    const bool ended = WaitForSingleObject(korvel.process.get(), CLOSE_END_MS) == WAIT_OBJECT_0;
    DWORD code = 0;
    if (ended) GetExitCodeProcess(korvel.process.get(), &code);
    end_korvel(korvel);
    if (!ended) return "still running";
    if (code != 0) return "exit code " + std::to_string(code);
    return unsound_file(folder, c);
}

// A close while Create file writes into a pipe that the driver drains only afterwards: a
// job as long as the driver likes, as on a slow share.
void check_answers_while_closing(const std::string& exe) {
    const UniqueHandle pipe = make_slow_output();
    Korvel korvel = start_korvel(exe);
    click(korvel.dialog, IDC_CREATE);
    drop_files(korvel, {SLOW_OUTPUT});
    set_text(korvel.dialog, IDC_SIZE, std::to_string(SLOW_SIZE));
    click(korvel.dialog, IDC_START);
    const bool writing = output_started(pipe.get());
    PostMessageA(korvel.dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    Sleep(CLOSE_TAKEN_MS); // the dialog takes up the close before the next message
    DWORD_PTR result = 0;
    const bool answered =
        SendMessageTimeoutA(korvel.dialog, WM_NULL, 0, 0, SMTO_NORMAL, ANSWER_MS, &result) != 0;
    const bool waits = WaitForSingleObject(korvel.process.get(), 0) == WAIT_TIMEOUT;
    const std::uint32_t drained = drain(pipe.get());
    const std::optional<DWORD> code = wait_for_exit(korvel);
    end_korvel(korvel);
    check(writing && answered && waits && drained == SLOW_SIZE && code == 0u,
          "Close during a job / a close waiting for a long job: the dialog answers within 1 s, "
          "and the program ends with 0 once the job has written all",
          std::string(answered ? "" : "no answer, ") + (waits ? "" : "ended early, ") +
              std::to_string(drained) + " bytes written, exit " +
              (code ? std::to_string(*code) : "none"));
}

std::set<std::string> names_in(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().u8string());
    return names;
}

// Ended from outside while Insert bytes keeps a copy of what it overwrites (the task
// manager, a crash, "Sign out anyway"): the copy goes with the program. Tried until the
// copy is seen in the temporary folder, and the program killed then.
void check_killed_while_keeping(const std::string& exe, const std::string& folder,
                                const CloseCase& insert) {
    const std::filesystem::path temporary = std::filesystem::temp_directory_path();
    const std::set<std::string> before = names_in(temporary);
    std::set<std::string> after = before;
    bool seen = false;
    for (int attempt = 0; attempt < KILL_ATTEMPTS && !seen; ++attempt) {
        Korvel korvel;
        const std::vector<UniqueHandle> job = start_job(korvel, exe, folder, insert);
        // Until the job's box shows: the job keeps no copy past its work on files.
        while (korvel.dialog && !seen && !all_ended(job, 0) &&
               owned_dialogs(korvel.id, korvel.dialog).empty())
            seen = names_in(temporary) != before;
        end_korvel(korvel); // TerminateProcess, and the wait for the end
        after = names_in(temporary);
    }
    std::string left;
    for (const std::string& name : after)
        if (!before.count(name)) left += " " + name;
    check(seen && left.empty(),
          "Close during a job / Insert bytes, killed while it keeps its copy: nothing new is left "
          "in the temporary folder",
          seen ? "left:" + left : "no copy showed in " + std::to_string(KILL_ATTEMPTS) + " runs");
}

} // namespace

void check_close_during_job(const std::string& exe, const std::string& folder) {
    const std::string own = folder + "\\closing";
    make_folder(own);
    check_answers_while_closing(exe);
    for (const CloseCase& c : close_cases()) {
        if (c.operation == IDC_INSERT) check_killed_while_keeping(exe, own, c);
        for (const Ending& ending : ENDINGS) {
            if (ending.way == Way::sign_out && !c.sign_out) continue;
            for (const DWORD delay : ending.delays_ms) {
                const std::string moment = delay == WHILE_BOX
                                               ? "while its box shows"
                                               : std::to_string(delay) + " ms after Start";
                std::string seen;
                int failures = 0;
                for (int run = 0; run < REPEATS; ++run) {
                    const std::string wrong = close_once(exe, own, c, delay, ending.way);
                    if (wrong.empty()) continue;
                    ++failures;
                    seen = wrong;
                }
                check(failures == 0,
                      "Close during a job / " + c.name + ", " + ending.name + moment + ": " +
                          ending.outcome,
                      std::to_string(failures) + " of " + std::to_string(REPEATS) +
                          " runs: " + seen);
            }
        }
    }
}
