#pragma once

#include <cstdint>
#include <string>

enum class Icon { none, error };

// How a message box holds the rest of the program while it is open.
enum class Modality {
    application, // the owner dialog takes no input
    task,        // every window of the calling thread takes no input
};

// The six things a job asks of the dialog it was started from. The Win32 front end
// implements them with the dialog's controls; tests record them.
class Dialog {
  public:
    virtual ~Dialog() = default;

    // The whole text of an edit control, however long: another program may set more
    // than the 9 characters it takes from the keyboard.
    virtual std::string field_text(int control) = 0;
    // The control's whole text read as a decimal number (parse_decimal); 0 when it holds none.
    virtual std::uint64_t field_number(int control) = 0;
    virtual void enable_control(int control, bool enabled) = 0;
    // Shows a box with one OK button, owned by the dialog, of a UTF-8 text; returns once it
    // is dismissed.
    virtual void show_message(const std::string& text, const char* title, Icon icon,
                              Modality modality) = 0;
    // Called once per job, whatever its outcome, when it no longer works on files: before
    // any box of its own, and never with the engine lock held.
    virtual void work_ended() = 0;
    // How far the job's work on files is: done bytes of total. From the job's thread, while
    // it holds the engine: the dialog must not be waited on.
    virtual void progress(std::uint64_t done, std::uint64_t total) = 0;
};
