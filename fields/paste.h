#pragma once

#include <cstddef>
#include <optional>
#include <string>

// The characters a field holds: "0x" and seven digits, or nine decimal digits.
constexpr std::size_t MAX_FIELD_CHARS = 9;

// How a field reads its text: Begin and End / Patch data in hexadecimal, Size in decimal.
enum class FieldKind { hex, decimal };

// What a paste of the clipboard's text puts in place of the field's selection (from
// selection_start to selection_end), or nothing when the paste must be refused: a paste
// is taken only when the field then holds a number of its kind in at most
// MAX_FIELD_CHARS characters, never one cut or run together into another number.
// Blanks and line breaks around the copied value are dropped, and so is a "0x" that
// starts a hexadecimal field whose digits fit only without it.
std::optional<std::wstring> pasted_text(FieldKind kind, const std::wstring& clipboard,
                                        const std::wstring& field, std::size_t selection_start,
                                        std::size_t selection_end);
