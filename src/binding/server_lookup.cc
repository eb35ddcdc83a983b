#include "binding/server_lookup.h"

#include "binding/payload_cipher.h"

#ifndef QUORVEL_DIRECTORY_ADDRESS
#define QUORVEL_DIRECTORY_ADDRESS "https://directory.quorvel.invalid"
#endif

namespace quorvel {

Text builtin_directory_address() {
  return QUORVEL_DIRECTORY_ADDRESS;
}

Text lookup_payload(std::string_view server_number) {
  static constexpr char kHex[] = "0123456789abcdef";
  Text payload = "{\"domainid\":\"";
  for (std::size_t i = 0; i < server_number.size();) {
    const std::size_t length = char_length_at(server_number, i);
    const auto b = static_cast<unsigned char>(server_number[i]);
    if (length == 1 && (b == '"' || b == '\\')) {
      payload += '\\';
      payload += server_number[i];
    } else if (length == 1 && b < 0x20) {
      payload += "\\u00";
      payload += kHex[b >> 4];
      payload += kHex[b & 0xF];
    } else {
      payload.append(server_number.substr(i, length));
    }
    i += length;
  }
  return payload + "\"}";
}

Text lookup_url(std::string_view directory, std::string_view server_number) {
  return Text(directory) + "/api/domaincheckid?data=" + Text(kLookupKey) + ":@|" +
         encipher_payload(lookup_payload(server_number), kLookupKey);
}

}  // namespace quorvel
