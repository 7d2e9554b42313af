#include "tests/e2e/cases.h"

#include "tests/e2e/files.h"
#include "tests/e2e/report.h"
// After <windows.h>, whose old cursor name IDC_SIZE this replaces.
#include "ui/res/resource.h"

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

constexpr DWORD BOX_WAIT_MS = 60000; // Create file of 100 MiB takes a while under emulation

int case_count = 0; // each case has a folder of its own

std::string listed(const std::vector<Box>& boxes) {
    std::vector<std::string> shown;
    for (const Box& box : boxes)
        shown.push_back(quoted(box.title) + " " + quoted(box.text));
    return shown.empty() ? "no box" : joined(shown, ", ");
}

std::string listed(const std::set<std::string>& names) {
    std::vector<std::string> shown;
    for (const std::string& name : names)
        shown.push_back(quoted(name));
    return joined(shown, ", ");
}

void fill_field(HWND dialog, int control, const std::string& text, bool typed) {
    if (!typed) return set_text(dialog, control, text);
    set_text(dialog, control, "");
    type_keys(dialog, control, text);
}

} // namespace

bool all_ended(const std::vector<UniqueHandle>& threads, DWORD wait) {
    for (const UniqueHandle& thread : threads)
        if (WaitForSingleObject(thread.get(), wait) != WAIT_OBJECT_0) return false;
    return true;
}

std::vector<UniqueHandle> threads_started(const Korvel& korvel, const std::set<DWORD>& idle) {
    const std::set<DWORD> now = thread_ids(korvel.id);
    std::vector<UniqueHandle> threads;
    for (const DWORD id : now)
        if (idle.count(id) == 0)
            if (const HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, id))
                threads.emplace_back(thread);
    return threads;
}

namespace {

void make(const std::string& folder, const Setup& setup, std::vector<UniqueHandle>& holds) {
    const std::string path = path_in(folder, setup.name);
    switch (setup.kind) {
    case Setup::file: write_file(path, setup.bytes); break;
    case Setup::folder: make_folder(path); break;
    case Setup::sparse: make_sparse_file(path, setup.length); break;
    case Setup::held:
        write_file(path, setup.bytes);
        holds.push_back(hold_file(path));
        break;
    case Setup::link: make_link(path, path_in(folder, setup.existing)); break;
    }
}

// The output's path as the case drops or chooses it; by its short name, checked to be one
// of its own, so that the case does test what it says.
std::string output_path(const std::string& name, const std::string& folder, const Case& c) {
    const std::string path = path_in(folder, c.output);
    if (!c.short_output) return path;
    const std::string shortened = short_path(path);
    const fs::path short_name = on_disk(shortened).filename();
    check(!shortened.empty() && short_name != on_disk(c.output),
          name + ": the output has a short name of its own", quoted(shortened));
    return shortened;
}

// The folder lists exactly the files after names, spelt as it names them.
void check_listing(const std::string& name, const std::string& folder,
                   const std::vector<FileState>& after) {
    std::set<std::string> expected;
    for (const FileState& state : after)
        if (state.bytes) expected.insert(state.name);
    const std::set<std::string> names = names_in(folder);
    check(names == expected, name + ": the folder lists " + listed(expected) + " and no more",
          listed(names));
}

} // namespace

Setup file(const std::string& name, const std::string& bytes) {
    return {name, Setup::file, bytes, 0, ""};
}
Setup folder(const std::string& name) {
    return {name, Setup::folder, "", 0, ""};
}
Setup sparse(const std::string& name, std::uint64_t length) {
    return {name, Setup::sparse, "", length, ""};
}
Setup held(const std::string& name, const std::string& bytes) {
    return {name, Setup::held, bytes, 0, ""};
}
Setup link(const std::string& name, const std::string& existing) {
    return {name, Setup::link, "", 0, existing};
}

FileState has(const std::string& name, const std::string& bytes) {
    return {name, bytes};
}
FileState absent(const std::string& name) {
    return {name, std::nullopt};
}

Box done(const std::string& text) {
    return {"Done", text};
}
Box failure(const std::string& text) {
    return {"Error", text};
}

std::string path_in(const std::string& folder, const std::string& name) {
    const bool own_path = name.size() > 1 && name[1] == ':';
    return own_path ? name : folder + "\\" + name;
}

void run_job(const Korvel& korvel, const std::string& name, int operation, const Fields& fields,
             const std::vector<Box>& boxes, bool typed) {
    const HWND dialog = korvel.dialog;
    click(dialog, operation);
    fill_field(dialog, IDC_BEGIN, fields.begin, typed);
    fill_field(dialog, IDC_END, fields.end, typed);
    fill_field(dialog, IDC_SIZE, fields.size, typed);
    const std::set<DWORD> idle = thread_ids(korvel.id);
    post_click(dialog, IDC_START);
    expect_outcome(korvel, name, idle, boxes);
}

void expect_outcome(const Korvel& korvel, const std::string& name, const std::set<DWORD>& idle,
                    const std::vector<Box>& boxes) {
    const HWND dialog = korvel.dialog;
    std::vector<Box> seen;
    std::vector<UniqueHandle> job;
    bool start_enabled = true; // the job enables Start before its first box
    while (seen.size() < boxes.size()) {
        const HWND box = next_box(korvel, BOX_WAIT_MS);
        if (!box) break;
        if (seen.empty()) job = threads_started(korvel, idle);
        start_enabled = start_enabled && enabled(dialog, IDC_START);
        seen.push_back(read_box(box));
        dismiss(box);
    }
    check(seen == boxes && start_enabled, name + ": " + listed(boxes) + ", Start enabled",
          listed(seen) + (start_enabled ? "" : ", Start disabled"));

    const bool ended = all_ended(job, JOB_END_MS);
    std::vector<Box> more;
    for (const HWND box : owned_dialogs(korvel.id, dialog)) {
        more.push_back(read_box(box));
        dismiss(box);
    }
    check(ended && more.empty(), name + ": no further box, the job ends",
          listed(more) + (ended ? "" : ", the job still running"));
}

void check_files(const std::string& name, const std::string& folder,
                 const std::vector<FileState>& after) {
    for (const FileState& state : after) {
        const std::optional<std::string> bytes = read_file(path_in(folder, state.name));
        const std::string expected =
            state.bytes ? describe(state.bytes, std::nullopt) : std::string("no file");
        check(bytes == state.bytes, name + ": " + state.name + " " + expected,
              describe(bytes, state.bytes));
    }
}

void run_cases(const Korvel& korvel, const std::string& folder, const std::string& suite,
               const std::vector<Case>& cases) {
    for (std::size_t index = 0; index < cases.size(); ++index) {
        const Case& c = cases[index];
        const std::string name = suite + " / " + c.name;
        const std::string own = folder + "\\case" + std::to_string(++case_count);
        make_folder(own);
        std::vector<UniqueHandle> holds;
        for (const Setup& setup : c.files)
            make(own, setup, holds);
        // Both slots by IN and OUT, or by one drop: after a click on "Cut bytes" both
        // buttons are enabled, and a drop's first name goes to the input, its second to
        // the output.
        click(korvel.dialog, IDC_CUT);
        const std::string output = output_path(name, own, c);
        if (c.chosen) {
            check(choose_file(korvel, IDC_IN, OPEN_TITLE, path_in(own, c.input)) &&
                      choose_file(korvel, IDC_OUT, SAVE_TITLE, output),
                  name + ": IN and OUT take the files", "a file dialog refused one");
        } else {
            drop_files(korvel, {path_in(own, c.input), output});
        }
        const std::string identity = file_identity(path_in(own, c.output));
        run_job(korvel, name, c.operation, c.fields, c.boxes, c.typed);
        holds.clear();
        if (c.same_output)
            check(file_identity(path_in(own, c.output)) == identity,
                  name + ": the output is the same file as before", "another file");
        check_files(name, own, c.after);
        if (c.exact_listing) check_listing(name, own, c.after);
    }
}
