// Web addresses as the client's policies compare them: the scheme, and for
// http and https the origin (scheme, host, port), hosts in their ASCII
// form so that an address the engine reports (always ASCII) and one the
// directory or an administrator wrote in Chinese compare alike.
#pragma once

#include <string_view>

#include "base/text.h"

namespace quorvel::web {

// The scheme, lower case, without its colon; empty when there is none.
[[nodiscard]] Text scheme_of(std::string_view address);

struct Origin {
  Text scheme;  // "http" or "https"
  Text host;    // lower case, IDN labels as "xn--", IPv6 in brackets
  int port = 0; // the scheme's default when none is written
  [[nodiscard]] bool valid() const { return !scheme.empty() && !host.empty(); }
  friend bool operator==(const Origin&, const Origin&) = default;
};

// The origin of an http or https address (internal text); not valid for
// any other scheme or an address without a host.
[[nodiscard]] Origin origin_of(std::string_view address);

// A host name as DNS carries it: ASCII letters lowered, each label with
// other characters as "xn--" + its Punycode (internal text in, ASCII out);
// empty when a label cannot be encoded.
[[nodiscard]] Text ascii_host(std::string_view host);

// The last segment of an address's path, without query or fragment,
// percent-decoded as raw bytes ("" for a path that ends in "/").
[[nodiscard]] std::string last_path_segment(std::string_view address);

// "%XX" as the byte it stands for; a "%" without two hex digits stays.
[[nodiscard]] std::string percent_decoded(std::string_view text);

}  // namespace quorvel::web
