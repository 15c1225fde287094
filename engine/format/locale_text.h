// Case conversion and string comparison by a table's locale.
//
// Locale 0 ("ANSI Standard") uses the system code page's own case mapping and compares bytes as
// unsigned numbers; any other locale uses the operating system's linguistic case mapping and
// collation for that locale identifier. Texts are ANSI; a value stored in a record ends at its
// first zero byte. All functions are pure and thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kura {

// Converts `length` bytes in place; the length never changes.
void LocaleUpperCase(int32_t locale_id, char* text, size_t length);
void LocaleLowerCase(int32_t locale_id, char* text, size_t length);

// -1, 0 or 1. With `max_length` 0 the whole texts are compared; otherwise at most that many
// characters of each. For locale 0 a shorter text sorts before its extensions (its terminator
// takes part in the comparison).
int CompareLocaleStrings(int32_t locale_id, std::string_view a, std::string_view b,
                         bool case_insensitive, size_t max_length);

}  // namespace kura
