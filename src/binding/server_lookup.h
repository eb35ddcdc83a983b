// The server-number lookup: the enciphered request to the directory
// service, whose answer the directory answer decoding reads.
#pragma once

#include <string_view>

#include "base/text.h"

namespace quorvel {

// The request key text: one digit, sent in clear before the cipher text.
inline constexpr std::string_view kLookupKey = "7";

// The directory service's address (scheme, host, port), fixed at build time.
[[nodiscard]] Text builtin_directory_address();

// {"domainid":"N"} with the number as a JSON string: '"', '\' and control
// characters escaped, everything else (Chinese included) as typed.
[[nodiscard]] Text lookup_payload(std::string_view server_number);

// directory + "/api/domaincheckid?data=" + key + ":@|" + cipher text, the
// cipher text not URL-encoded.
[[nodiscard]] Text lookup_url(std::string_view directory, std::string_view server_number);

}  // namespace quorvel
