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

// Whether a key can be written without changing the file's structure: no
// CR or LF, no "=", not starting with "[" or ";" (after the leading
// characters 1 to 32 that every name loses), not empty.
[[nodiscard]] bool is_writable_key(std::string_view key);

// How a settings file is stored: the program's 8-bit text, or Unicode with
// its byte-order mark (UTF-8, or UTF-16 as the platform's profile services
// write a Unicode file). A rewrite keeps the encoding and the mark.
enum class Encoding { Ansi, Utf8, Utf16Le, Utf16Be };

struct Contents {
  Encoding encoding = Encoding::Ansi;
  std::string text;  // internal text, without the mark
};

[[nodiscard]] Contents decode_contents(std::string_view bytes);
[[nodiscard]] std::string encode_contents(const Contents& contents);

// Settings files are small: a larger one is refused rather than read.
inline constexpr std::size_t kMaxFileBytes = std::size_t{16} << 20;

enum class Outcome {
  Ok,
  Unreadable,  // exists but may not be read: never replaced
  NotRegular,  // a folder, FIFO or device
  TooLarge,    // over kMaxFileBytes
  BadKey,      // a key that would break the file's structure
  Unwritable,  // the file or its folder cannot be written
};

// The outcome in words, naming the file, for a message.
[[nodiscard]] Text outcome_text(Outcome outcome, std::string_view path);

// The same on a file. A missing file reads as empty. A write takes the
// writers' lock ("<file>.lock" beside it), reads, modifies and replaces the
// file; it creates the file but never its folder, and fails, leaving the
// file as it was, when the file could not be read whole or replaced.
[[nodiscard]] Outcome read_value(std::string_view path, std::string_view section,
                                 std::string_view key, Text& value);
[[nodiscard]] Outcome write_value(std::string_view path, std::string_view section,
                                  std::string_view key, std::string_view value);

// The platform service's shape: empty text for any failure, a success flag.
[[nodiscard]] Text read_string(std::string_view path, std::string_view section,
                               std::string_view key);
bool write_string(std::string_view path, std::string_view section, std::string_view key,
                  std::string_view value);

}  // namespace quorvel::profile
