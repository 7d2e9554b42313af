// Runs one job on given files, as the dialog would, and prints its boxes: a whole
// process to time against the standard tools.
//
//   korvel_bench_driver cut IN OUT BEGIN SIZE      (BEGIN hexadecimal, SIZE decimal)
//   korvel_bench_driver range IN OUT BEGIN END
//   korvel_bench_driver insert IN OUT BEGIN
//   korvel_bench_driver create OUT SIZE
//   korvel_bench_driver patch IN BEGIN DATA
//   korvel_bench_driver compare IN OUT
#include "engine/messages.h"
#include "fields/decimal_field.h"
#include "job/controls.h"
#include "job/dialog.h"
#include "job/job.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

// The fields as typed; the boxes on standard output.
class ConsoleDialog : public Dialog {
  public:
    std::map<int, std::string> texts;
    bool failed = false;

    std::string field_text(int control) override { return texts[control]; }
    std::uint64_t field_number(int control) override { return parse_decimal(texts[control]); }
    void enable_control(int, bool) override {}
    void show_message(const std::string& text, const char* title, Icon, Modality) override {
        failed = failed || std::strcmp(title, ERROR_TITLE) == 0;
        std::printf("%s: %s\n", title, text.c_str());
    }
    void work_ended() override {}
    void progress(std::uint64_t, std::uint64_t) override {}
};

struct Command {
    const char* name;
    std::int32_t operation;
    int paths;               // how many paths follow the name
    std::vector<int> fields; // the fields the remaining arguments fill, in order
};

const Command COMMANDS[] = {
    {"cut", CutBytes, 2, {IDC_BEGIN, IDC_SIZE}},  {"range", CutRange, 2, {IDC_BEGIN, IDC_END}},
    {"insert", InsertBytes, 2, {IDC_BEGIN}},      {"create", CreateZeroFile, 1, {IDC_SIZE}},
    {"patch", SetPatch, 1, {IDC_BEGIN, IDC_END}}, {"compare", CompareFiles, 2, {}},
};

} // namespace

int main(int argc, char** argv) {
    for (const Command& command : COMMANDS) {
        if (argc < 2 || std::strcmp(argv[1], command.name) != 0) continue;
        if (argc != 2 + command.paths + int(command.fields.size())) break;
        Job job;
        job.operation = command.operation;
        if (command.operation == CreateZeroFile)
            job.output_path = argv[2];
        else
            job.input_path = argv[2];
        if (command.paths == 2) job.output_path = argv[3];
        ConsoleDialog dialog;
        for (std::size_t k = 0; k < command.fields.size(); ++k)
            dialog.texts[command.fields[k]] = argv[2 + command.paths + int(k)];
        run_operation(dialog, job);
        return dialog.failed ? 1 : 0;
    }
    std::fprintf(stderr, "usage: %s cut|range|insert|create|patch|compare FILES... FIELDS...\n",
                 argv[0]);
    return 2;
}
