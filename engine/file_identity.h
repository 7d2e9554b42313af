#pragma once

#include <filesystem>

// Whether two paths name one existing file. The file itself decides, never the spelling
// of its paths: two drive letters, a share, a link or another case all reach one file.
// This is the one question the engine asks the system directly.
bool same_file(const std::filesystem::path& first, const std::filesystem::path& second);
