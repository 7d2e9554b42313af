#include "ui/front_end.h"

#include "ui/res/resource.h"

#include <cwctype>

namespace {

constexpr int CLOSE_COMMAND = 2; // IDCANCEL: Esc, the caption's close button, the system menu

struct Selection {
    int control;
    std::int32_t operation;
    std::int32_t drop_target;
    bool begin, end, size, in, out; // the controls each operation uses
};

constexpr Selection SELECTIONS[] = {
    {IDC_CUT, CutBytes, DropAlternately, true, false, true, true, true},
    {IDC_CUT_RANGE, CutRange, DropAlternately, true, true, false, true, true},
    {IDC_INSERT, InsertBytes, DropAlternately, true, false, false, true, true},
    {IDC_CREATE, CreateZeroFile, DropToOutput, false, false, true, false, true},
    {IDC_PATCH, SetPatch, DropToInput, true, true, false, true, false},
    {IDC_COMPARE, CompareFiles, DropAlternately, false, false, false, true, true},
};

void select(FrontEnd& front_end, Shell& shell, const Selection& row) {
    front_end.operation = row.operation;
    front_end.drop_target = row.drop_target;
    front_end.next_drop_to_input = true;
    shell.enable_fields(row.begin, row.end, row.size, row.in, row.out);
}

void choose_input(FrontEnd& front_end, Shell& shell) {
    const std::optional<Path> name = shell.ask_open_file(front_end.input_path);
    if (!name) return;
    front_end.next_drop_to_input = false;
    front_end.input_path = *name;
}

void choose_output(FrontEnd& front_end, Shell& shell) {
    Path seed = front_end.output_path;
    if (front_end.output_unset) {
        front_end.next_drop_to_input = true;
        seed = NEW_FILE_NAME;
    }
    const std::optional<Path> name = shell.ask_save_file(seed);
    if (!name) return;
    front_end.output_path = *name;
    front_end.output_unset = false;
}

void start(const FrontEnd& front_end, Shell& shell) {
    // Set here, before the thread exists, so that a second press can never start a
    // second job; the job clears it once its last box is dismissed.
    if (busy.exchange(true)) return;
    if (shell.start_job(Job{front_end.operation, front_end.input_path, front_end.output_path}))
        return;
    busy = false;
    shell.show_thread_error();
}

void set_output(FrontEnd& front_end, const Path& name) {
    front_end.output_path = name;
    front_end.output_unset = false;
}

void route_drop(FrontEnd& front_end, const Path& name) {
    switch (front_end.drop_target) {
    case DropToInput: front_end.input_path = name; break;
    case DropToOutput: set_output(front_end, name); break;
    default:
        if (front_end.next_drop_to_input) {
            front_end.input_path = name;
        } else {
            set_output(front_end, name);
        }
        front_end.next_drop_to_input = !front_end.next_drop_to_input;
        break;
    }
}

} // namespace

void on_command(FrontEnd& front_end, Shell& shell, int control) {
    for (const Selection& row : SELECTIONS)
        if (row.control == control) return select(front_end, shell, row);
    switch (control) {
    case IDC_IN: choose_input(front_end, shell); break;
    case IDC_OUT: choose_output(front_end, shell); break;
    case IDC_START: start(front_end, shell); break;
    case CLOSE_COMMAND: shell.end_dialog(); break;
    default: break;
    }
}

bool has_access_key(const std::wstring& caption, wchar_t key) {
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != L'&') continue;
        if (caption[i + 1] != L'&') return std::towupper(caption[i + 1]) == std::towupper(key);
        ++i; // past the shown '&'
    }
    return false;
}

void on_drop(FrontEnd& front_end, Shell& shell, const std::vector<Path>& names) {
    for (const Path& name : names)
        if (name.native().size() <= MAX_PATH_CHARS) route_drop(front_end, name);
    shell.beep();
}
