#include "tests/engine_jobs.h"

error failure_of(FilePair& pair, const std::function<void()>& job) {
    error caught{0, 0};
    try {
        job();
    } catch (const error& failure) {
        caught = failure;
    }
    pair.close();
    return caught;
}

std::vector<EngineJob> new_output_jobs(FilePair& pair, const std::string& input,
                                       const std::string& output, std::uint32_t length) {
    return {
        {"cut bytes",
         [&pair, input, output, length] {
             pair.load_for_cut(input, output);
             pair.cut_bytes(0, length);
         }},
        {"cut range",
         [&pair, input, output, length] {
             pair.load_for_cut(input, output);
             pair.cut_range(1, length - 2);
         }},
        {"create",
         [&pair, output, length] {
             pair.load_for_create(output);
             pair.create_file(length);
         }},
    };
}
