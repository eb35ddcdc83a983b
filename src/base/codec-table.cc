#include <algorithm>
#include <cstdint>
#include <vector>

#include "base/codec.h"

namespace quorvel::codec::table {
namespace {

#include "base/gb18030_table.inc"

constexpr std::uint32_t kSupplementaryStart = 0x10000;
// Linear index of the first four-byte code of the supplementary planes,
// 90 30 81 30.
constexpr std::uint32_t kSupplementaryIndex = (0x90 - 0x81) * 12600;

std::uint32_t four_byte_index(const unsigned char* b) {
  return (b[0] - 0x81u) * 12600 + (b[1] - 0x30u) * 1260 + (b[2] - 0x81u) * 10 + (b[3] - 0x30u);
}

void append_four_bytes(std::uint32_t index, std::string& out) {
  out += static_cast<char>(0x81 + index / 12600);
  out += static_cast<char>(0x30 + index / 1260 % 10);
  out += static_cast<char>(0x81 + index / 10 % 126);
  out += static_cast<char>(0x30 + index % 10);
}

// Code point of a four-byte index inside the BMP, or 0.
std::uint32_t bmp_of_index(std::uint32_t index) {
  const auto* end = std::end(kFourByteRuns);
  const auto* run =
      std::upper_bound(std::begin(kFourByteRuns), end, index,
                       [](std::uint32_t i, const std::uint32_t(&r)[3]) { return i < r[0]; });
  if (run == std::begin(kFourByteRuns)) return 0;
  --run;
  return index < (*run)[0] + (*run)[2] ? (*run)[1] + (index - (*run)[0]) : 0;
}

void append_utf16(std::uint32_t cp, std::u16string& out) {
  if (cp >= kSupplementaryStart) {
    cp -= kSupplementaryStart;
    out += static_cast<char16_t>(0xD800 + (cp >> 10));
    out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
  } else {
    out += static_cast<char16_t>(cp);
  }
}

std::uint32_t two_byte_code(std::uint32_t i) {
  const std::uint32_t lead = 0x81 + i / 190;
  const std::uint32_t trail = i % 190 + (i % 190 < 0x3F ? 0x40 : 0x41);
  return (lead << 8) | trail;
}

// A few supplementary characters have two-byte codes of their own.
std::uint32_t two_byte_supplementary(std::uint32_t cp) {
  for (std::uint32_t i = 0; i < 126 * 190; ++i) {
    if (kTwoByte[i] == cp) return two_byte_code(i);
  }
  return 0;
}

// The encoding of every BMP code point: two bytes as 0x0000LLTT, four bytes
// as 0x8000_0000 | index; 0 when none. Two-byte codes win where both exist.
const std::vector<std::uint32_t>& reverse_table() {
  static const std::vector<std::uint32_t> table = [] {
    std::vector<std::uint32_t> t(0x10000, 0);
    for (const auto& run : kFourByteRuns) {
      for (std::uint32_t k = 0; k < run[2]; ++k) t[run[1] + k] = 0x80000000u | (run[0] + k);
    }
    for (std::uint32_t i = 0; i < 126 * 190; ++i) {
      if (kTwoByte[i] == 0 || kTwoByte[i] > 0xFFFF) continue;
      t[kTwoByte[i]] = two_byte_code(i);
    }
    return t;
  }();
  return table;
}

}  // namespace

bool gb18030_to_utf16(std::string_view run, std::u16string& out) {
  out.clear();
  const auto* b = reinterpret_cast<const unsigned char*>(run.data());
  for (std::size_t i = 0; i < run.size();) {
    if (b[i] < 0x80) {
      out += static_cast<char16_t>(b[i++]);
      continue;
    }
    if (i + 1 >= run.size()) return false;
    if (b[i + 1] >= 0x30 && b[i + 1] <= 0x39) {
      if (i + 3 >= run.size()) return false;
      const std::uint32_t index = four_byte_index(b + i);
      std::uint32_t cp = 0;
      if (index >= kSupplementaryIndex) {
        cp = kSupplementaryStart + (index - kSupplementaryIndex);
        if (cp > 0x10FFFF) return false;
      } else {
        cp = bmp_of_index(index);
        if (cp == 0) return false;
      }
      append_utf16(cp, out);
      i += 4;
      continue;
    }
    const unsigned trail = b[i + 1];
    if (b[i] > 0xFE || trail < 0x40 || trail == 0x7F || trail > 0xFE) return false;
    const std::uint32_t cp =
        kTwoByte[(b[i] - 0x81u) * 190 + (trail < 0x7F ? trail - 0x40 : trail - 0x41)];
    if (cp == 0) return false;
    append_utf16(cp, out);
    i += 2;
  }
  return true;
}

bool utf16_to_gb18030(std::u16string_view run, std::string& out) {
  out.clear();
  const std::vector<std::uint32_t>& reverse = reverse_table();
  for (std::size_t i = 0; i < run.size(); ++i) {
    const char16_t u = run[i];
    if (u < 0x80) {
      out += static_cast<char>(u);
    } else if (u >= 0xD800 && u <= 0xDBFF && i + 1 < run.size() && run[i + 1] >= 0xDC00 &&
               run[i + 1] <= 0xDFFF) {
      const std::uint32_t cp = kSupplementaryStart + ((u - 0xD800u) << 10) + (run[++i] - 0xDC00u);
      if (const std::uint32_t code =
              cp >= 0x20000 && cp < 0x30000 ? two_byte_supplementary(cp) : 0) {
        out += static_cast<char>(code >> 8);
        out += static_cast<char>(code & 0xFF);
      } else {
        append_four_bytes(kSupplementaryIndex + (cp - kSupplementaryStart), out);
      }
    } else {
      const std::uint32_t code = reverse[u];
      if (code == 0) return false;
      if (code & 0x80000000u) {
        append_four_bytes(code & 0x7FFFFFFFu, out);
      } else {
        out += static_cast<char>(code >> 8);
        out += static_cast<char>(code & 0xFF);
      }
    }
  }
  return true;
}

}  // namespace quorvel::codec::table
