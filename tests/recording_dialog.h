#pragma once

#include "fields/decimal_field.h"
#include "job/dialog.h"
#include "job/job.h"

#include <map>
#include <string>
#include <vector>

struct Box {
    std::string title;
    std::string text;
    Icon icon;
    Modality modality;
    bool busy_while_shown;
    bool start_enabled_while_shown;
    bool work_ended_while_shown; // the job had said it no longer works on files
};

// Stands in for the dialog: serves field texts and records everything the job asks.
class RecordingDialog : public Dialog {
  public:
    std::map<int, std::string> texts; // field texts by control; a missing one is empty
    std::vector<std::string> events;  // "text 1005", "number 1008", "enable 1002 off", "box Done"
    std::vector<Box> boxes;
    bool start_enabled = true;
    int work_ends = 0;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> progress_told; // done, total

    std::string field_text(int control) override {
        events.push_back("text " + std::to_string(control));
        return texts[control];
    }

    std::uint64_t field_number(int control) override {
        events.push_back("number " + std::to_string(control));
        return parse_decimal(texts[control]);
    }

    void enable_control(int control, bool enabled) override {
        events.push_back("enable " + std::to_string(control) + (enabled ? " on" : " off"));
        start_enabled = enabled;
    }

    void show_message(const std::string& text, const char* title, Icon icon,
                      Modality modality) override {
        events.push_back(std::string("box ") + title);
        boxes.push_back({title, text, icon, modality, busy.load(), start_enabled, work_ends == 1});
    }

    void work_ended() override { ++work_ends; }
    void progress(std::uint64_t done, std::uint64_t total) override {
        progress_told.emplace_back(done, total);
    }
};
