#include "binding/base64.h"

namespace quorvel::base64 {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int value_of(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

std::string encode(const Bytes& bytes) {
  std::string out((bytes.size() + 2) / 3 * 4, '=');
  char* p = out.data();
  std::size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const std::uint32_t v = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
    p[0] = kAlphabet[v >> 18];
    p[1] = kAlphabet[(v >> 12) & 63];
    p[2] = kAlphabet[(v >> 6) & 63];
    p[3] = kAlphabet[v & 63];
    p += 4;
  }
  if (i < bytes.size()) {  // one or two bytes left; the rest stays "="
    const std::uint32_t v = (bytes[i] << 16) | (i + 1 < bytes.size() ? bytes[i + 1] << 8 : 0);
    p[0] = kAlphabet[v >> 18];
    p[1] = kAlphabet[(v >> 12) & 63];
    if (i + 1 < bytes.size()) p[2] = kAlphabet[(v >> 6) & 63];
  }
  return out;
}

std::optional<Bytes> decode(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0 && text[end - 1] == '=' && text.size() - end < 2) --end;
  if (end % 4 == 1) return std::nullopt;
  Bytes out;
  out.reserve(end / 4 * 3 + 2);
  std::uint32_t acc = 0;
  int bits = 0;
  for (std::size_t i = 0; i < end; ++i) {
    const int v = value_of(text[i]);
    if (v < 0) return std::nullopt;
    acc = (acc << 6) | static_cast<std::uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<std::uint8_t>(acc >> bits));
      acc &= (1u << bits) - 1;
    }
  }
  return out;
}

}  // namespace quorvel::base64
