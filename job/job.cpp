#include "job/job.h"

#include "engine/error.h"
#include "fields/hex_field.h"
#include "fields/paste.h"
#include "job/controls.h"
#include "job/dialog.h"
#include "job/report.h"

#include <mutex>

std::atomic<bool> busy{false};
FilePair engine;
std::chrono::steady_clock::time_point (*job_clock)() = [] {
    return std::chrono::steady_clock::now();
};

namespace {

// Held while the engine works on files, and only then: never around a window call.
std::mutex engine_work;
// Set by the closing dialog, which never waits for the lock: read under it, so that a job
// either finishes its work on files or never starts it.
std::atomic<bool> stopped{false};
// Set by a close, after stopped: the engine stops at its next piece.
std::atomic<bool> stop_now{false};

// The job's work on files: passes the engine's progress on to the dialog, stops the
// engine once the dialog closes, and tells the dialog once when the job leaves that work
// by any path.
class Work {
  public:
    explicit Work(Dialog& dialog)
        : dialog(dialog), next_report(job_clock() + FIRST_PROGRESS_AFTER) {
        engine.progress = [this](std::uint64_t done, std::uint64_t total) {
            report(done, total);
            return !stop_now;
        };
    }
    ~Work() {
        engine.progress = nullptr;
        dialog.work_ended();
    }
    Work(const Work&) = delete;
    Work& operator=(const Work&) = delete;

  private:
    Dialog& dialog;
    std::chrono::steady_clock::time_point next_report;

    void report(std::uint64_t done, std::uint64_t total) {
        const auto now = job_clock();
        if (now < next_report) return;
        dialog.progress(done, total);
        next_report = now + PROGRESS_INTERVAL;
    }
};

std::uint32_t parse_field(const std::string& field_text, std::int32_t bad_field_code) {
    std::uint32_t value = 0;
    // More than a field holds was set from outside, past its limit: refused whole, even
    // when its digits alone would be a number.
    if (field_text.size() > MAX_FIELD_CHARS || parse_hex(field_text, value))
        throw error{0, bad_field_code};
    return value;
}

std::uint32_t read_hex(Dialog& dialog, int control, std::int32_t bad_field_code) {
    return parse_field(dialog.field_text(control), bad_field_code);
}

// Step by step as the operation needs: every hexadecimal field is parsed before a
// loader runs, so a bad field never opens, creates or empties a file.
std::string run_branch(Dialog& dialog, const Job& job) {
    switch (job.operation) {
    case CutBytes: {
        const std::uint32_t begin = read_hex(dialog, IDC_BEGIN, BAD_BEGIN_FIELD);
        engine.load_for_cut(job.input_path, job.output_path);
        const std::uint64_t size = dialog.field_number(IDC_SIZE);
        engine.cut_bytes(begin, size);
        break;
    }
    case CutRange: {
        const std::uint32_t begin = read_hex(dialog, IDC_BEGIN, BAD_BEGIN_FIELD);
        const std::uint32_t end = read_hex(dialog, IDC_END, BAD_END_FIELD);
        engine.load_for_cut(job.input_path, job.output_path);
        engine.cut_range(begin, end);
        break;
    }
    case InsertBytes: {
        const std::uint32_t begin = read_hex(dialog, IDC_BEGIN, BAD_BEGIN_FIELD);
        engine.load_for_insert(job.input_path, job.output_path);
        engine.insert_bytes(begin);
        break;
    }
    case CreateZeroFile: {
        engine.load_for_create(job.output_path);
        const std::uint64_t size = dialog.field_number(IDC_SIZE);
        engine.create_file(size);
        break;
    }
    case SetPatch: {
        const std::uint32_t begin = read_hex(dialog, IDC_BEGIN, BAD_BEGIN_FIELD);
        const std::string field_text = dialog.field_text(IDC_END);
        const std::uint32_t value = parse_field(field_text, BAD_PATCH_FIELD);
        engine.load_for_patch(job.input_path);
        engine.set_patch(begin, value, patch_length(field_text));
        break;
    }
    case CompareFiles:
        engine.load_for_compare(job.input_path, job.output_path);
        return engine.compare_files();
    default: return UNKNOWN_OPERATION_TEXT;
    }
    return SUCCESS_TEXT;
}

// Enables Start again before the job's box, unless the dialog is closing: its controls
// and boxes are no longer the job's then, and nothing is left to show.
bool enable_start_unless_closing(Dialog& dialog) {
    if (stopped) return false;
    dialog.enable_control(IDC_START, true);
    return true;
}

// After a failure has been shown: the engine back to idle, the next Start allowed.
void end_failed_job() {
    {
        const std::lock_guard<std::mutex> lock(engine_work);
        if (!stopped) engine.close();
    }
    busy = false;
}

} // namespace

unsigned run_operation(Dialog& dialog, const Job& job) {
    busy = true;
    std::string result_text = SUCCESS_TEXT;
    dialog.enable_control(IDC_START, false);
    try {
        const Work work(dialog); // ends after the lock is released
        const std::lock_guard<std::mutex> lock(engine_work);
        if (stopped) return 0;
        result_text = run_branch(dialog, job);
    } catch (const error& failure) {
        if (enable_start_unless_closing(dialog)) report_error(dialog, failure, engine.kept);
        end_failed_job();
        return 0;
    } catch (...) {
        if (enable_start_unless_closing(dialog)) report_unknown(dialog);
        end_failed_job();
        return 0;
    }
    if (enable_start_unless_closing(dialog))
        dialog.show_message(result_text, DONE_TITLE, Icon::none, Modality::task);
    busy = false;
    return 0;
}

void stop_jobs(bool at_once) {
    stopped = true;
    if (at_once) stop_now = true;
}
