// Header blocks, cookie lists and response bodies of any bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "http/headers.h"
#include "http/http_request.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string in(reinterpret_cast<const char*>(data), size);
  const auto half = in.size() / 2;
  (void)quorvel::http::normalize_header_block(in);
  (void)quorvel::http::header_value(in, "Set-Cookie");
  (void)quorvel::http::text_between(in, in.substr(0, 2), ";", static_cast<int>(size % 7), size % 2);
  std::string old_list = in.substr(0, half);
  std::string new_list = in.substr(half);
  (void)quorvel::http::merge_cookie_text(old_list, new_list);
  (void)quorvel::http::remove_duplicate_items(in, "; ", size % 3 == 0);
  (void)quorvel::http::build_header_block(in.substr(0, half), static_cast<int>(size % 3), size % 2,
                                          size % 5 != 0, in.substr(half));
  (void)quorvel::http::status_from_block(in);
  (void)quorvel::http::body_text(quorvel::Bytes(data, data + size));
  return 0;
}
