#pragma once

// What the two halves of File share in making new files: their names.

#include <exception>
#include <filesystem>
#include <optional>
#include <random>
#include <string>

namespace file_names {

// A new file is created under a name no file had; the most a name is tried again when
// another program has just taken it.
constexpr int NAME_ATTEMPTS = 16;

// Where the replacing file is made: beside the target, so that one rename puts it there.
inline std::filesystem::path folder_of(const std::filesystem::path& target) {
    const std::filesystem::path folder = target.parent_path();
    return folder.empty() ? std::filesystem::path(".") : folder;
}

enum class Claim { made, taken, refused };

// Draws new names in folder until make claims one by creating it: the name, or nothing
// where the system refuses for another reason than a name already taken, or no name can
// be drawn (no entropy, no memory).
template <typename Make>
std::optional<std::filesystem::path> claim_name(const std::filesystem::path& folder, Make make) {
    try {
        std::random_device entropy;
        for (int attempt = 0; attempt < NAME_ATTEMPTS; ++attempt) {
            const std::filesystem::path name =
                folder / ("korvel-" + std::to_string(entropy()) + ".tmp");
            const Claim claim = make(name);
            if (claim == Claim::made) return name;
            if (claim == Claim::refused) break;
        }
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

} // namespace file_names
