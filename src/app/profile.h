// Private-profile (INI) files, read and written one key at a time with the
// rules of the Windows profile services, so that a file written by either
// platform reads the same on both.
#pragma once

#include <string>
#include <string_view>

#include "base/text.h"

namespace quorvel::profile {

// Values longer than this are cut, as the platform's 10240-byte buffer with
// its terminating zero cuts them.
inline constexpr std::size_t kMaxValueBytes = 10239;

// The value of the key in the first section of that name, or "" when the
// section or key is missing. Names match without regard to ASCII case and
// lose leading characters 1 to 32; the value loses surrounding white space
// and one pair of enclosing double or single quotes.
[[nodiscard]] Text find_value(std::string_view contents, std::string_view section,
                              std::string_view key);

// The contents with the key set to the value: an existing key line is
// rewritten in place, a new key goes after the section's last entry, a new
// section goes to the end. Every other line stays byte for byte. CR and LF
// in the value become spaces, so that one key never becomes several lines.
[[nodiscard]] std::string with_value(std::string_view contents, std::string_view section,
                                     std::string_view key, std::string_view value);

// The same on a file. A missing file reads as empty; a write creates the
// file but never its folder, and fails (false) when the file cannot be
// replaced, leaving it as it was.
[[nodiscard]] Text read_string(std::string_view path, std::string_view section,
                               std::string_view key);
bool write_string(std::string_view path, std::string_view section, std::string_view key,
                  std::string_view value);

}  // namespace quorvel::profile
