#include "app/download_name.h"

#include <string>
#include <vector>

#include "base/web_address.h"

namespace quorvel::app {
namespace {

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool same_word(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

struct Parameter {
  std::string name;
  std::string value;
};

// "type; name=value; name="quoted \" value"": the type, then each
// parameter with its quoted value unquoted.
std::vector<Parameter> parameters(std::string_view header, std::string& type) {
  std::vector<Parameter> out;
  std::size_t i = 0;
  const auto next_field = [&](bool& quoted_out) {
    std::string field;
    bool quoted = false;
    quoted_out = false;
    for (; i < header.size(); ++i) {
      const char c = header[i];
      if (quoted) {
        if (c == '\\' && i + 1 < header.size()) {
          field += header[++i];
        } else if (c == '"') {
          quoted = false;
        } else {
          field += c;
        }
      } else if (c == '"') {
        quoted = quoted_out = true;
      } else if (c == ';') {
        ++i;
        break;
      } else {
        field += c;
      }
    }
    return field;
  };
  bool quoted = false;
  type = std::string(trimmed(next_field(quoted)));
  while (i < header.size()) {
    const std::string field = next_field(quoted);
    const std::size_t equals = field.find('=');
    if (equals == std::string::npos) continue;
    std::string value = field.substr(equals + 1);
    if (!quoted) value = std::string(trimmed(value));
    out.push_back({std::string(trimmed(std::string_view(field).substr(0, equals))), value});
  }
  return out;
}

bool valid_utf8(std::string_view bytes) {
  std::u16string ignored;
  return utf8_to_utf16_strict(bytes, ignored);
}

// Raw bytes of a name: UTF-8 when they are, else the program's own 8-bit
// text (GBK is part of it), as Chinese sites send either.
Text from_raw(std::string_view bytes) {
  return valid_utf8(bytes) ? from_utf8(bytes) : Text(bytes);
}

// RFC 5987's ext-value: charset'language'percent-encoded.
Text extended_value(std::string_view value) {
  const std::size_t first = value.find('\'');
  const std::size_t second = first == std::string_view::npos ? first : value.find('\'', first + 1);
  if (second == std::string_view::npos) return {};
  const std::string charset(value.substr(0, first));
  const std::string bytes = web::percent_decoded(value.substr(second + 1));
  if (same_word(charset, "utf-8")) return valid_utf8(bytes) ? from_utf8(bytes) : Text();
  if (same_word(charset, "iso-8859-1")) {
    std::string utf8;
    for (const char c : bytes) {
      const auto b = static_cast<unsigned char>(c);
      if (b < 0x80) {
        utf8 += c;
      } else {
        utf8 += static_cast<char>(0xC0 | (b >> 6));
        utf8 += static_cast<char>(0x80 | (b & 0x3F));
      }
    }
    return from_utf8(utf8);
  }
  // gbk, gb2312, gb18030: the program's own text.
  return Text(bytes);
}

bool is_device_name(std::string_view stem) {
  static constexpr std::string_view kNames[] = {"con", "prn", "aux", "nul"};
  for (const std::string_view n : kNames) {
    if (same_word(stem, n)) return true;
  }
  if (stem.size() == 4 && (same_word(stem.substr(0, 3), "com") || same_word(stem.substr(0, 3), "lpt"))) {
    return stem[3] >= '1' && stem[3] <= '9';
  }
  return false;
}

// Invisible direction marks that could make "exe.pdf" read as "fdp.exe".
bool direction_mark(std::string_view utf8, std::size_t i, std::size_t& length) {
  length = 3;
  if (i + 3 > utf8.size() || static_cast<unsigned char>(utf8[i]) != 0xE2) return false;
  const auto b1 = static_cast<unsigned char>(utf8[i + 1]);
  const auto b2 = static_cast<unsigned char>(utf8[i + 2]);
  return (b1 == 0x80 && b2 >= 0xAA && b2 <= 0xAE) ||  // U+202A..U+202E
         (b1 == 0x81 && b2 >= 0xA6 && b2 <= 0xA9) ||  // U+2066..U+2069
         (b1 == 0x80 && (b2 == 0x8E || b2 == 0x8F));  // U+200E, U+200F
}

// The byte length of the UTF-8 sequence starting at a lead byte.
std::size_t sequence_length(unsigned char lead) {
  return lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
}

}  // namespace

bool is_attachment(std::string_view disposition) {
  std::string type;
  static_cast<void>(parameters(disposition, type));
  return same_word(type, "attachment");
}

Text suggested_name(std::string_view disposition, std::string_view address) {
  std::string type;
  const std::vector<Parameter> params = parameters(disposition, type);
  for (const Parameter& p : params) {
    if (same_word(p.name, "filename*")) {
      const Text name = extended_value(p.value);
      if (!name.empty()) return name;
    }
  }
  for (const Parameter& p : params) {
    if (!same_word(p.name, "filename") || p.value.empty()) continue;
    // Some sites percent-encode the plain name as well.
    const std::string decoded = web::percent_decoded(p.value);
    if (decoded != p.value && valid_utf8(decoded)) return from_utf8(decoded);
    return from_raw(p.value);
  }
  const std::string segment = web::last_path_segment(address);
  return segment.empty() ? from_utf8("下载") : from_raw(segment);
}

Text safe_name(std::string_view name) {
  const std::string utf8 = to_utf8(name);
  std::string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    std::size_t mark = 0;
    if (direction_mark(utf8, i, mark)) {
      i += mark;
      continue;
    }
    const std::size_t n = std::min(sequence_length(b), utf8.size() - i);
    if (n == 1) {
      const char c = utf8[i];
      if (b < 0x20 || b == 0x7F) {
        // dropped
      } else if (std::string_view("/\\:*?\"<>|").find(c) != std::string_view::npos) {
        out += '_';
      } else {
        out += c;
      }
    } else {
      out.append(utf8, i, n);
    }
    i += n;
  }
  while (!out.empty() && (out.front() == '.' || out.front() == ' ')) out.erase(0, 1);
  while (!out.empty() && (out.back() == '.' || out.back() == ' ')) out.pop_back();
  if (out.empty()) return from_utf8("下载");
  if (is_device_name(std::string_view(out).substr(0, out.find('.')))) out.insert(0, "_");
  if (out.size() > kMaxNameBytes) {
    const std::size_t dot = out.rfind('.');
    const std::string extension =
        dot != std::string::npos && dot > 0 && out.size() - dot <= 16 ? out.substr(dot) : "";
    std::size_t room = kMaxNameBytes - extension.size();
    // Cut at a character's start.
    while (room > 0 && (static_cast<unsigned char>(out[room]) & 0xC0) == 0x80) --room;
    out = out.substr(0, room) + extension;
  }
  return from_utf8(out);
}

Text numbered_name(std::string_view name, int n) {
  const std::string utf8 = to_utf8(name);
  const std::size_t dot = utf8.rfind('.');
  const bool has_extension = dot != std::string::npos && dot > 0;
  std::string stem = has_extension ? utf8.substr(0, dot) : utf8;
  const std::string extension = has_extension ? utf8.substr(dot) : std::string();
  const std::string number = " (" + std::to_string(n) + ")";
  // Still within the longest name: the stem gives way, never the number.
  std::size_t room = kMaxNameBytes > number.size() + extension.size()
                         ? kMaxNameBytes - number.size() - extension.size()
                         : 0;
  if (stem.size() > room) {
    while (room > 0 && (static_cast<unsigned char>(stem[room]) & 0xC0) == 0x80) --room;
    stem.resize(room);
  }
  return from_utf8(stem + number + extension);
}

}  // namespace quorvel::app
