#include "fields/paste.h"

#include "fields/hex_field.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr wchar_t BLANKS[] = L" \t\r\n";
constexpr wchar_t HEX_PREFIX[] = L"0x";

std::wstring trimmed(const std::wstring& text) {
    const std::size_t first = text.find_first_not_of(BLANKS);
    if (first == std::wstring::npos) return {};
    return text.substr(first, text.find_last_not_of(BLANKS) - first + 1);
}

bool is_number(FieldKind kind, const std::wstring& text) {
    if (text.size() > MAX_FIELD_CHARS) return false;
    if (kind == FieldKind::decimal)
        return std::all_of(text.begin(), text.end(),
                           [](wchar_t c) { return c >= L'0' && c <= L'9'; });
    std::uint32_t value = 0;
    return !parse_hex(ascii_text(text), value);
}

} // namespace

std::optional<std::wstring> pasted_text(FieldKind kind, const std::wstring& clipboard,
                                        const std::wstring& field, std::size_t selection_start,
                                        std::size_t selection_end) {
    const std::size_t end = std::min(std::max(selection_start, selection_end), field.size());
    const std::size_t start = std::min(std::min(selection_start, selection_end), end);
    std::wstring value = trimmed(clipboard);
    if (value.empty()) return std::nullopt; // nothing to read a number from
    const std::wstring before = field.substr(0, start);
    const std::wstring after = field.substr(end);
    // A prefix means something only at the start of the field; elsewhere it fails below.
    if (kind == FieldKind::hex && before.empty() && value.rfind(HEX_PREFIX, 0) == 0 &&
        value.size() + after.size() > MAX_FIELD_CHARS)
        value.erase(0, std::size(HEX_PREFIX) - 1);
    if (!is_number(kind, before + value + after)) return std::nullopt;
    return value;
}
