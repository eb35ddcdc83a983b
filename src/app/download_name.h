// The name a downloaded file takes in the download folder: the one the
// site suggests, made safe for any file system the agent's files may reach.
#pragma once

#include <string_view>

#include "base/text.h"

namespace quorvel::app {

// The longest name written, in UTF-8 bytes (most file systems take 255).
inline constexpr std::size_t kMaxNameBytes = 200;

// From the response's Content-Disposition (its raw bytes) and the address:
// `filename*` first (RFC 6266: charset'language'percent-encoded, UTF-8 or
// ISO-8859-1), then a plain `filename` (raw UTF-8, as many Chinese sites
// send it, else the program's own 8-bit text), then the address's last
// path segment; "下载" when none gives a name. Internal text.
[[nodiscard]] Text suggested_name(std::string_view disposition, std::string_view address);

// Whether the response asks to be saved rather than shown.
[[nodiscard]] bool is_attachment(std::string_view disposition);

// The name made safe: no path separators, control characters or
// characters Windows refuses; no leading dot, no trailing dot or blank; no
// device name (CON, COM1, ...); at most kMaxNameBytes in UTF-8, its
// extension kept. Internal text in and out.
[[nodiscard]] Text safe_name(std::string_view name);

// "名称 (n).ext": the nth other name for a name that is taken.
[[nodiscard]] Text numbered_name(std::string_view name, int n);

}  // namespace quorvel::app
