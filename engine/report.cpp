#include "engine/report.h"

#include "engine/messages.h"
#include "job/dialog.h"

namespace {

void show_error(Dialog& dialog, const char* text) {
    if (text) dialog.show_message(text, ERROR_TITLE, Icon::error, Modality::application);
}

} // namespace

void report_error(Dialog& dialog, const error& failure) {
    show_error(dialog, file_message(failure.file_code));
    show_error(dialog, range_message(failure.range_code));
}

void report_unknown(Dialog& dialog) {
    show_error(dialog, UNKNOWN_ERROR_TEXT);
}
