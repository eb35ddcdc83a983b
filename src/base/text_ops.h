// Searches and replacements on internal text that step over double-byte
// characters whole: a match never starts on the second byte of one, whose
// value may equal a backslash, a bracket or a Latin letter.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/text.h"

namespace quorvel {

inline constexpr std::size_t npos = std::string_view::npos;

// First character-aligned occurrence at or after byte offset `from`, which
// must itself start a character (0, or the end of an earlier match); ASCII
// letters compare without case when asked (other bytes always exactly).
[[nodiscard]] std::size_t find_text(std::string_view hay, std::string_view needle,
                                    std::size_t from = 0, bool ignore_case = false);

// Whole texts equal, ASCII letters compared without case.
[[nodiscard]] bool equal_ignoring_case(std::string_view a, std::string_view b) noexcept;

// Whether the text begins with the prefix, ASCII letters compared without
// case.
[[nodiscard]] bool starts_with_ignoring_case(std::string_view text,
                                             std::string_view prefix) noexcept;

using TextList = std::vector<Text>;

// Pieces between separators, empty middle pieces included; no trailing empty
// piece; nothing for an empty text. A byte of 0x80 or above and the byte
// after it are passed over together, so a separator is never found inside a
// double-byte character.
[[nodiscard]] TextList split_text(std::string_view text, std::string_view separator);

// Every occurrence replaced, left to right, without overlaps.
[[nodiscard]] Text replace_all(std::string_view text, std::string_view from, std::string_view to);

// Text-to-integer conversion as the C library's atoi does it: leading white
// space and a sign, then digits up to the first other character; no digits
// give 0. Saturates instead of overflowing.
[[nodiscard]] int text_to_int(std::string_view text) noexcept;

// "#引号" (GB18030 bytes): the token that stands for a double quote inside
// a search marker or pattern.
inline constexpr std::string_view kQuoteToken = "#\xD2\xFD\xBA\xC5";

// The full-width (ideographic) space, bytes A1 A1.
inline constexpr std::string_view kIdeographicSpace = "\xA1\xA1";

}  // namespace quorvel
