#include "job/report.h"

#include "engine/messages.h"
#include "job/dialog.h"

namespace {

void show_error(Dialog& dialog, const char* text, const std::string& more = {}) {
    if (text)
        dialog.show_message(more.empty() ? text : std::string(text) + " " + more, ERROR_TITLE,
                            Icon::error, Modality::application);
}

} // namespace

void report_error(Dialog& dialog, const error& failure, const KeptBytes& kept) {
    const bool unrestored =
        failure.file_code == OUTPUT_RESTORE_FAILED || failure.file_code == INPUT_RESTORE_FAILED;
    show_error(dialog, file_message(failure.file_code),
               unrestored ? kept_bytes_text(kept.file.u8string(), kept.at) : std::string());
    show_error(dialog, range_message(failure.range_code));
}

void report_unknown(Dialog& dialog) {
    show_error(dialog, UNKNOWN_ERROR_TEXT);
}
