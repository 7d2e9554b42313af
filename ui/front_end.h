#pragma once

#include "job/job.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Where dropped files go.
enum DropTarget : std::int32_t {
    DropToInput = 1,
    DropToOutput = 2,
    DropAlternately = 3,
};

// A path slot holds 259 characters (UTF-16 units on Windows) and its terminator; a
// longer name would be cut and then name another file.
constexpr std::size_t MAX_PATH_CHARS = 259;

// The name OUT offers until an output file has been chosen.
constexpr const char NEW_FILE_NAME[] = "new.data";

// What the dialog's commands ask of the platform.
class Shell {
  public:
    virtual ~Shell() = default;

    // The user's choice of an existing file, seeded with a path; nothing when cancelled.
    virtual std::optional<Path> ask_open_file(const Path& seed) = 0;
    // The user's choice of a name to save under, seeded with a path; nothing when cancelled.
    virtual std::optional<Path> ask_save_file(const Path& seed) = 0;
    virtual void beep() = 0;
    virtual void enable_fields(bool begin, bool end, bool size, bool in, bool out) = 0;
    // Runs the job on a thread of its own; false when no thread could be created.
    virtual bool start_job(const Job& job) = 0;
    virtual void show_thread_error() = 0;
    virtual void end_dialog() = 0;
};

// The dialog's state: the chosen files, the selected operation and drop routing.
struct FrontEnd {
    Path input_path;
    Path output_path;
    std::int32_t operation = CutBytes;
    std::int32_t drop_target = DropAlternately;
    bool next_drop_to_input = true; // under DropAlternately
    bool output_unset = true;       // no output chosen yet: OUT offers NEW_FILE_NAME
};

// A command from a control of the dialog: a radio button, IN, OUT, Start or close.
void on_command(FrontEnd& front_end, Shell& shell, int control);

// Whether key, in either case, is the caption's access key: the character after a single
// '&' ("&&" shows one '&').
bool has_access_key(const std::wstring& caption, wchar_t key);

// Files dropped onto the dialog, in the order the drop lists them.
void on_drop(FrontEnd& front_end, Shell& shell, const std::vector<Path>& names);
