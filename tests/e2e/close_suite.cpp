// Closing the dialog, signing out, or killing the program at any moment of a job, at each
// operation's largest size: the program must end with 0 (a sign-out: once the dialog has
// answered, the system ends it; a kill: at once), each file must be whole or untouched, and
// nothing may be left beside it or in the temporary folder.
#include "tests/e2e/cases.h"
#include "tests/e2e/files.h"
#include "tests/e2e/report.h"
#include "tests/e2e/suites.h"
// After <windows.h>, whose old cursor name IDC_SIZE this replaces.
#include "ui/res/resource.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

namespace {

// Once per layout keeps the test command short; raise it by hand to hunt a race.
constexpr int REPEATS = 1;
constexpr DWORD WHILE_BOX = 0xFFFFFFFF; // close once the job's closing box shows
// Close once the job shows its first write: a file that comes beside the output or in the
// temporary folder, or one whose length changes.
constexpr DWORD AS_WRITING = 0xFFFFFFFE;
// Far above any job's own time here: past it the program counts as hung.
constexpr DWORD CLOSE_END_MS = 15000;

// A kill is TerminateProcess, as the task manager, a crash or "Sign out anyway" end it.
enum class Way { escape, close_button, sign_out, kill };

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
    // Not while the box shows: the job's work on files is over by then, and the closes
    // above already check what it left.
    // A kill in the one call between the new file's creation and its delete mark leaves it.
    {Way::kill,
     "killed ",
     {AS_WRITING, 30, 100},
     "files whole or untouched, but for an empty new file beside"},
};

constexpr std::uint32_t SLOW_SIZE = 1048576;
constexpr DWORD CLOSE_TAKEN_MS = 200;
constexpr DWORD ANSWER_MS = 1000;   // a window that answers slower looks hung
constexpr DWORD DRAIN_PAUSE_MS = 5; // between the reads of a slow pipe: 1 MiB in over a second
constexpr char CAPTION[] = "Korvel";
constexpr char SHARE_SUFFIX[] = "% - Korvel";

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
    bool from_outside;       // also signed out and killed: one case for each way of rewriting
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

// Every entry of the case's folder and of the temporary folder, with its length: a name
// that comes shows a file written beside the output or kept aside, a length that changes
// a file written in place.
using Listing = std::map<std::filesystem::path, std::uintmax_t>;

Listing listing(const std::string& folder) {
    Listing entries;
    for (const auto& place : {on_disk(folder), std::filesystem::temp_directory_path()}) {
        for (const auto& entry : std::filesystem::directory_iterator(place)) {
            std::error_code gone; // a file removed meanwhile, or a folder
            entries[entry.path()] = entry.file_size(gone);
        }
    }
    return entries;
}

// Whether a kill may have left this new name: the new file beside an output, still empty,
// when the program was ended in the one call between its creation and its delete mark.
bool left_by_a_kill(const std::filesystem::path& path, std::uintmax_t length) {
    return length == 0 && path.filename().u8string().rfind("korvel-", 0) == 0;
}

// The names that came or went since before, described; empty when there are none.
std::string names_changed(const Listing& before, const Listing& after, bool killed) {
    std::string changed;
    for (const auto& [path, length] : after)
        if (!before.count(path) && !(killed && left_by_a_kill(path, length)))
            changed +=
                " +" + path.filename().u8string() + " (" + std::to_string(length) + " bytes)";
    for (const auto& [path, length] : before)
        if (!after.count(path)) changed += " -" + path.filename().u8string();
    return changed.empty() ? "" : "the folders changed:" + changed;
}

// What a run left wrong: a file neither whole nor untouched, and names that came or went.
std::string left_wrong(const std::string& folder, const CloseCase& c, const Listing& before,
                       bool killed) {
    return joined({unsound_file(folder, c), names_changed(before, listing(folder), killed)}, "; ");
}

// Starts the program, and its job on the case's files; the job's threads, none when the
// program did not start.
std::vector<UniqueHandle> start_job(Korvel& korvel, const std::string& exe,
                                    const std::string& folder, const CloseCase& c) {
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

// Waits until the folders show the job's first write; false when its work on files ends
// (its box shows) first.
bool began_writing(const Korvel& korvel, const std::vector<UniqueHandle>& job,
                   const std::string& folder, const Listing& before) {
    while (!all_ended(job, 0) && owned_dialogs(korvel.id, korvel.dialog).empty())
        if (listing(folder) != before) return true;
    return false;
}

// Ends the program the way given; what went wrong on the way, or empty.
std::string end_by(Korvel& korvel, const std::vector<UniqueHandle>& job, Way way) {
    if (way == Way::sign_out) return sign_out(korvel, job);
    if (way == Way::kill) {
        end_korvel(korvel); // TerminateProcess, and the wait for the end
        return "";
    }
    close_by(korvel, way);
    const bool ended = WaitForSingleObject(korvel.process.get(), CLOSE_END_MS) == WAIT_OBJECT_0;
    DWORD code = 0;
    if (ended) GetExitCodeProcess(korvel.process.get(), &code);
    end_korvel(korvel);
    if (!ended) return "still running";
    return code == 0 ? "" : "exit code " + std::to_string(code);
}

// One run: the files as they were before, start, Start, and the end at the moment given;
// what went wrong, or empty.
std::string close_once(const std::string& exe, const std::string& folder, const CloseCase& c,
                       DWORD moment, Way way) {
    restore(folder, c);
    const Listing before = listing(folder);
    Korvel korvel;
    const std::vector<UniqueHandle> job = start_job(korvel, exe, folder, c);
    if (!korvel.dialog) return "korvel.exe did not start";
    if (moment == WHILE_BOX) {
        if (!next_box(korvel)) return "no closing box showed";
    } else if (moment == AS_WRITING) {
        if (!began_writing(korvel, job, folder, before)) return "no write showed";
    } else {
        Sleep(moment);
    }
    const std::string wrong = end_by(korvel, job, way);
    return joined({wrong, left_wrong(folder, c, before, way == Way::kill)}, "; ");
}

// Starts Create file of SLOW_SIZE bytes into the slow pipe: a job as long as the driver
// likes, as on a slow share.
Korvel start_slow_create(const std::string& exe) {
    Korvel korvel = start_korvel(exe);
    click(korvel.dialog, IDC_CREATE);
    drop_files(korvel, {SLOW_OUTPUT});
    set_text(korvel.dialog, IDC_SIZE, std::to_string(SLOW_SIZE));
    click(korvel.dialog, IDC_START);
    return korvel;
}

// A close while Create file writes into a pipe that the driver drains only afterwards.
// The job stops after the write it waits in.
void check_answers_while_closing(const std::string& exe) {
    const UniqueHandle pipe = make_slow_output();
    Korvel korvel = start_slow_create(exe);
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
    check(writing && answered && waits && drained < SLOW_SIZE && code == 0u,
          "Close during a job / a close waiting for a long job: the dialog answers within 1 s, "
          "and the program ends with 0 once the job has stopped, before it has written all",
          std::string(answered ? "" : "no answer, ") + (waits ? "" : "ended early, ") +
              std::to_string(drained) + " bytes written, exit " +
              (code ? std::to_string(*code) : "none"));
}

// A long job shows its share done in the caption, read as the driver drains the pipe a
// little at a time, and the caption is the program's name again once the job's box shows.
void check_progress_in_caption(const std::string& exe) {
    const UniqueHandle pipe = make_slow_output();
    Korvel korvel = start_slow_create(exe);
    output_started(pipe.get());
    std::string share; // the last caption that was not the program's name
    const std::uint32_t drained = drain(pipe.get(), [&] {
        Sleep(DRAIN_PAUSE_MS);
        const std::string caption = window_text(korvel.dialog);
        if (caption != CAPTION) share = caption;
    });
    const HWND box = next_box(korvel);
    const std::string caption = window_text(korvel.dialog);
    const Box shown = box ? read_box(box) : Box{};
    if (box) dismiss(box);
    PostMessageA(korvel.dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    wait_for_exit(korvel);
    end_korvel(korvel);
    const bool percent = share.size() > std::strlen(SHARE_SUFFIX) &&
                         share.find_first_not_of("0123456789") == share.find('%') &&
                         share.substr(share.find('%')) == SHARE_SUFFIX;
    check(percent && drained == SLOW_SIZE && shown == done() && caption == CAPTION,
          "Close during a job / the caption shows the share done while Create file writes "
          "slowly, and \"Korvel\" again once its box shows",
          "during: " + ::quoted(share) + ", with the box: " + ::quoted(caption) + ", " +
              std::to_string(drained) + " bytes written");
}

std::string moment_named(DWORD moment) {
    if (moment == WHILE_BOX) return "while its box shows";
    if (moment == AS_WRITING) return "as it begins to write";
    return std::to_string(moment) + " ms after Start";
}

} // namespace

void check_close_during_job(const std::string& exe, const std::string& folder) {
    const std::string own = folder + "\\closing";
    make_folder(own);
    check_answers_while_closing(exe);
    check_progress_in_caption(exe);
    for (const CloseCase& c : close_cases()) {
        for (const Ending& ending : ENDINGS) {
            const bool outside = ending.way == Way::sign_out || ending.way == Way::kill;
            if (outside && !c.from_outside) continue;
            for (const DWORD delay : ending.delays_ms) {
                std::string seen;
                int failures = 0;
                for (int run = 0; run < REPEATS; ++run) {
                    const std::string wrong = close_once(exe, own, c, delay, ending.way);
                    if (wrong.empty()) continue;
                    ++failures;
                    seen = wrong;
                }
                check(failures == 0,
                      "Close during a job / " + c.name + ", " + ending.name + moment_named(delay) +
                          ": " + ending.outcome +
                          ", their folder and the temporary folder list the names they did",
                      std::to_string(failures) + " of " + std::to_string(REPEATS) +
                          " runs: " + seen);
            }
        }
    }
}
