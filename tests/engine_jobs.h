#pragma once

#include "engine/error.h"
#include "engine/file_pair.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

using EngineJob = std::pair<const char*, std::function<void()>>;

// The record a job throws, or {0, 0} when it returns; the pair is idle again after.
error failure_of(FilePair& pair, const std::function<void()>& job);

// The jobs that write a new output file of `length` bytes (at least 3), the first two cut
// from an input at least that long: Cut bytes, Cut bytes from to, Create file.
std::vector<EngineJob> new_output_jobs(FilePair& pair, const std::string& input,
                                       const std::string& output, std::uint32_t length);
