#include "base/web_address.h"

#include <cstdint>
#include <string>

namespace quorvel::web {
namespace {

char ascii_lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

Text lowered(std::string_view s) {
  Text out(s);
  for (char& c : out) c = ascii_lower(c);
  return out;
}

// Code points of UTF-8 text, surrogate pairs joined; false for text that
// is no valid UTF-8.
bool code_points(std::string_view utf8, std::u32string& out) {
  std::u16string units;
  if (!utf8_to_utf16_strict(utf8, units)) return false;
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char32_t u = units[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size()) {
      out += static_cast<char32_t>(0x10000 + ((u - 0xD800) << 10) + (units[++i] - 0xDC00));
    } else {
      out += u;
    }
  }
  return true;
}

// Punycode (RFC 3492) of one label; empty on overflow.
std::string punycode(const std::u32string& label) {
  constexpr std::uint32_t kBase = 36, kTMin = 1, kTMax = 26, kSkew = 38, kDamp = 700;
  const auto digit = [](std::uint32_t d) { return static_cast<char>(d < 26 ? 'a' + d : '0' + d - 26); };
  const auto adapt = [&](std::uint32_t delta, std::uint32_t points, bool first) {
    delta = first ? delta / kDamp : delta / 2;
    delta += delta / points;
    std::uint32_t k = 0;
    while (delta > ((kBase - kTMin) * kTMax) / 2) {
      delta /= kBase - kTMin;
      k += kBase;
    }
    return k + (kBase - kTMin + 1) * delta / (delta + kSkew);
  };
  std::string out;
  for (const char32_t c : label) {
    if (c < 0x80) out += ascii_lower(static_cast<char>(c));
  }
  const std::uint32_t basic = static_cast<std::uint32_t>(out.size());
  std::uint32_t handled = basic;
  if (basic > 0) out += '-';
  std::uint32_t n = 128, delta = 0, bias = 72;
  while (handled < label.size()) {
    std::uint32_t next = 0x10FFFF + 1;
    for (const char32_t c : label) {
      if (c >= n && c < next) next = c;
    }
    const std::uint64_t step = std::uint64_t{next - n} * (handled + 1);
    if (step > 0xFFFFFFFFu - delta) return {};
    delta += static_cast<std::uint32_t>(step);
    n = next;
    for (const char32_t c : label) {
      if (c < n && ++delta == 0) return {};
      if (c != n) continue;
      std::uint32_t q = delta;
      for (std::uint32_t k = kBase;; k += kBase) {
        const std::uint32_t t = k <= bias ? kTMin : k >= bias + kTMax ? kTMax : k - bias;
        if (q < t) break;
        out += digit(t + (q - t) % (kBase - t));
        q = (q - t) / (kBase - t);
      }
      out += digit(q);
      bias = adapt(delta, handled + 1, handled == basic);
      delta = 0;
      ++handled;
    }
    ++delta;
    ++n;
  }
  return out;
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = ascii_lower(c);
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

}  // namespace

Text scheme_of(std::string_view address) {
  const std::size_t colon = address.find(':');
  if (colon == std::string_view::npos || colon == 0) return {};
  for (std::size_t i = 0; i < colon; ++i) {
    const char c = address[i];
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    const bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
    if (!letter && !(i > 0 && other)) return {};
  }
  return lowered(address.substr(0, colon));
}

Text ascii_host(std::string_view host) {
  Text out;
  std::size_t start = 0;
  while (start <= host.size()) {
    std::size_t end = host.find('.', start);
    if (end == std::string_view::npos) end = host.size();
    const std::string_view label = host.substr(start, end - start);
    bool ascii = true;
    for (const char c : label) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) {
      out += lowered(label);
    } else {
      std::u32string points;
      if (!code_points(to_utf8(label), points)) return {};
      for (char32_t& c : points) {
        if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
      }
      const std::string encoded = punycode(points);
      if (encoded.empty()) return {};
      out += "xn--" + encoded;
    }
    if (end == host.size()) break;
    out += '.';
    start = end + 1;
  }
  return out;
}

Origin origin_of(std::string_view address) {
  Origin o;
  const Text scheme = scheme_of(address);
  if (scheme != "http" && scheme != "https") return {};
  std::string_view rest = address.substr(scheme.size() + 1);
  if (rest.substr(0, 2) != "//") return {};
  rest = rest.substr(2);
  rest = rest.substr(0, rest.find_first_of("/?#\\"));
  const std::size_t at = rest.rfind('@');
  if (at != std::string_view::npos) rest = rest.substr(at + 1);
  std::string_view host = rest, port;
  if (!rest.empty() && rest[0] == '[') {
    const std::size_t close = rest.find(']');
    if (close == std::string_view::npos) return {};
    host = rest.substr(0, close + 1);
    if (close + 1 < rest.size()) {
      if (rest[close + 1] != ':') return {};
      port = rest.substr(close + 2);
    }
  } else if (const std::size_t colon = rest.rfind(':'); colon != std::string_view::npos) {
    host = rest.substr(0, colon);
    port = rest.substr(colon + 1);
  }
  o.port = scheme == "https" ? 443 : 80;
  if (!port.empty()) {
    if (port.size() > 5) return {};
    int value = 0;
    for (const char c : port) {
      if (c < '0' || c > '9') return {};
      value = value * 10 + (c - '0');
    }
    if (value > 65535) return {};
    o.port = value;
  }
  if (!host.empty() && host.back() == '.') host.remove_suffix(1);
  o.host = host.empty() ? Text() : ascii_host(host);
  if (o.host.empty()) return {};
  o.scheme = scheme;
  return o;
}

std::string last_path_segment(std::string_view address) {
  std::string_view path = address.substr(0, address.find_first_of("?#"));
  const std::size_t scheme_end = path.find("://");
  if (scheme_end != std::string_view::npos) {
    const std::size_t path_start = path.find('/', scheme_end + 3);
    path = path_start == std::string_view::npos ? std::string_view() : path.substr(path_start);
  }
  return percent_decoded(path.substr(path.rfind('/') + 1));
}

std::string percent_decoded(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && hex_value(text[i + 1]) >= 0 &&
        hex_value(text[i + 2]) >= 0) {
      out += static_cast<char>(hex_value(text[i + 1]) * 16 + hex_value(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace quorvel::web
