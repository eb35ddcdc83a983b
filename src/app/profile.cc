#include "app/profile.h"

#include <vector>

#include "base/file.h"
#include "base/text_ops.h"

namespace quorvel::profile {
namespace {

bool is_blank(unsigned char c) {
  return c >= 1 && c <= 32;
}

std::string_view skip_leading_blanks(std::string_view s) {
  while (!s.empty() && is_blank(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  return s;
}

// Bytes 1..32 are never part of a double-byte character, so trimming them
// byte-wise from either end cannot cut one.
std::string_view trim_blanks(std::string_view s) {
  s = skip_leading_blanks(s);
  while (!s.empty() && is_blank(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

char ascii_lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

// ASCII case is ignored only in single-byte characters: the second byte of
// a double-byte character may look like a Latin letter.
bool names_equal(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size();) {
    const std::size_t len = char_length_at(a, i);
    if (len == 1) {
      if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
    } else if (a.substr(i, len) != b.substr(i, len)) {
      return false;
    }
    i += len;
  }
  return true;
}

struct Line {
  std::size_t begin;  // offset of the line in the contents
  std::size_t end;    // offset past its text, before CR LF or LF
  std::size_t next;   // offset of the following line
};

std::vector<Line> split_lines(std::string_view s) {
  std::vector<Line> lines;
  std::size_t pos = 0;
  while (pos < s.size()) {
    std::size_t nl = s.find('\n', pos);
    const std::size_t next = nl == std::string_view::npos ? s.size() : nl + 1;
    if (nl == std::string_view::npos) nl = s.size();
    std::size_t end = nl;
    if (end > pos && s[end - 1] == '\r') --end;
    lines.push_back({pos, end, next});
    pos = next;
  }
  return lines;
}

enum class Kind { kBlank, kComment, kSection, kEntry };

struct Parsed {
  Kind kind;
  std::string_view name;   // section or key name
  std::string_view value;  // raw value of an entry, trimmed
};

Parsed parse_line(std::string_view line) {
  line = skip_leading_blanks(line);
  if (line.empty()) return {Kind::kBlank, {}, {}};
  if (line.front() == ';') return {Kind::kComment, {}, {}};
  if (line.front() == '[') {
    std::string_view name = line.substr(1);
    const auto close = name.find(']');
    if (close != std::string_view::npos) name = name.substr(0, close);
    return {Kind::kSection, trim_blanks(name), {}};
  }
  const auto eq = line.find('=');
  if (eq == std::string_view::npos) return {Kind::kEntry, trim_blanks(line), {}};
  return {Kind::kEntry, trim_blanks(line.substr(0, eq)), trim_blanks(line.substr(eq + 1))};
}

std::string_view unquote(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    return v.substr(1, v.size() - 2);
  }
  return v;
}

// Where the section and the key stand in the contents.
struct Location {
  const Line* section = nullptr;
  const Line* key = nullptr;
  const Line* last_entry = nullptr;  // the section's last key line
};

Location locate(std::string_view contents, const std::vector<Line>& lines, std::string_view section,
                std::string_view key) {
  Location at;
  for (const Line& line : lines) {
    const Parsed p = parse_line(contents.substr(line.begin, line.end - line.begin));
    if (p.kind == Kind::kSection) {
      if (at.section) break;  // only the first section of that name counts
      if (names_equal(p.name, section)) at.section = &line;
    } else if (at.section && p.kind == Kind::kEntry) {
      at.last_entry = &line;
      if (!at.key && names_equal(p.name, key)) at.key = &line;
    }
  }
  return at;
}

std::string_view newline_of(std::string_view contents) {
  const auto nl = contents.find('\n');
  if (nl != std::string_view::npos && (nl == 0 || contents[nl - 1] != '\r')) return "\n";
  return "\r\n";
}

}  // namespace

Text find_value(std::string_view contents, std::string_view section, std::string_view key) {
  section = skip_leading_blanks(section);
  key = skip_leading_blanks(key);
  const std::vector<Line> lines = split_lines(contents);
  const Location at = locate(contents, lines, section, key);
  if (!at.key) return {};
  const Parsed p = parse_line(contents.substr(at.key->begin, at.key->end - at.key->begin));
  std::string_view value = unquote(p.value);
  return Text(value.substr(0, kMaxValueBytes));
}

std::string with_value(std::string_view contents, std::string_view section, std::string_view key,
                       std::string_view value) {
  section = skip_leading_blanks(section);
  key = skip_leading_blanks(key);
  std::string clean(value);
  for (char& c : clean) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  const std::string_view nl = newline_of(contents);
  const std::vector<Line> lines = split_lines(contents);
  const Location at = locate(contents, lines, section, key);
  std::string out;
  out.reserve(contents.size() + key.size() + clean.size() + 16);
  if (at.key) {
    // The key keeps the spelling it has in the file.
    const Parsed p = parse_line(contents.substr(at.key->begin, at.key->end - at.key->begin));
    out.append(contents.substr(0, at.key->begin));
    out.append(p.name).append("=").append(clean);
    out.append(contents.substr(at.key->end));
    return out;
  }
  const std::string entry = std::string(key) + "=" + clean;
  if (at.section) {
    const Line* after = at.last_entry ? at.last_entry : at.section;
    out.append(contents.substr(0, after->next));
    if (after->next == 0 || contents[after->next - 1] != '\n') out.append(nl);
    out.append(entry).append(nl);
    out.append(contents.substr(after->next));
    return out;
  }
  out.append(contents);
  if (!out.empty() && out.back() != '\n') out.append(nl);
  out.append("[").append(section).append("]").append(nl).append(entry).append(nl);
  return out;
}

bool is_writable_key(std::string_view key) {
  key = skip_leading_blanks(key);
  if (key.empty() || key.front() == '[' || key.front() == ';') return false;
  return key.find_first_of("\r\n=") == std::string_view::npos;
}

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";

std::u16string utf16_units(std::string_view bytes, bool big_endian) {
  std::u16string units(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    const auto first = static_cast<unsigned char>(bytes[2 * i]);
    const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
    units[i] = static_cast<char16_t>(big_endian ? (first << 8) | second : (second << 8) | first);
  }
  return units;
}

std::string utf16_bytes(std::u16string_view units, bool big_endian) {
  std::string bytes;
  bytes.reserve(units.size() * 2);
  for (const char16_t u : units) {
    const auto high = static_cast<char>(u >> 8);
    const auto low = static_cast<char>(u & 0xFF);
    bytes += big_endian ? high : low;
    bytes += big_endian ? low : high;
  }
  return bytes;
}

Outcome outcome_of(file::ReadStatus status) {
  switch (status) {
    case file::ReadStatus::Ok:
    case file::ReadStatus::Missing:
      return Outcome::Ok;
    case file::ReadStatus::NotRegular:
      return Outcome::NotRegular;
    case file::ReadStatus::TooLarge:
      return Outcome::TooLarge;
    case file::ReadStatus::Unreadable:
      break;
  }
  return Outcome::Unreadable;
}

Outcome read_contents(const Text& path, Contents& contents) {
  file::ReadResult r = file::read_file(path, kMaxFileBytes);
  if (r.status == file::ReadStatus::Ok) contents = decode_contents(r.data);
  return outcome_of(r.status);
}

}  // namespace

Contents decode_contents(std::string_view bytes) {
  if (bytes.substr(0, 3) == kUtf8Mark) return {Encoding::Utf8, from_utf8(bytes.substr(3))};
  if (bytes.substr(0, 2) == kUtf16LeMark) {
    return {Encoding::Utf16Le, from_utf16_units(utf16_units(bytes.substr(2), false))};
  }
  if (bytes.substr(0, 2) == kUtf16BeMark) {
    return {Encoding::Utf16Be, from_utf16_units(utf16_units(bytes.substr(2), true))};
  }
  return {Encoding::Ansi, std::string(bytes)};
}

std::string encode_contents(const Contents& c) {
  switch (c.encoding) {
    case Encoding::Utf8:
      return std::string(kUtf8Mark) + to_utf8(c.text);
    case Encoding::Utf16Le:
      return std::string(kUtf16LeMark) + utf16_bytes(to_utf16_units(c.text), false);
    case Encoding::Utf16Be:
      return std::string(kUtf16BeMark) + utf16_bytes(to_utf16_units(c.text), true);
    case Encoding::Ansi:
      break;
  }
  return c.text;
}

Text outcome_text(Outcome outcome, std::string_view path) {
  const Text file(path);
  switch (outcome) {
    case Outcome::Ok:
      return {};
    case Outcome::Unreadable:
      return from_utf8("设置文件无法读取：") + file;
    case Outcome::NotRegular:
      return from_utf8("设置文件不是普通文件：") + file;
    case Outcome::TooLarge:
      return from_utf8("设置文件太大（超过16 MB）：") + file;
    case Outcome::BadKey:
      return from_utf8("键名不能含有换行或“=”，也不能以“[”或“;”开头");
    case Outcome::Unwritable:
      break;
  }
  return from_utf8("设置文件无法写入：") + file;
}

Outcome read_value(std::string_view path, std::string_view section, std::string_view key,
                   Text& value) {
  value.clear();
  Contents contents;
  const Outcome outcome = read_contents(Text(skip_leading_blanks(path)), contents);
  if (outcome == Outcome::Ok) value = find_value(contents.text, section, key);
  return outcome;
}

Outcome write_value(std::string_view path, std::string_view section, std::string_view key,
                    std::string_view value) {
  section = skip_leading_blanks(section);
  key = skip_leading_blanks(key);
  if (!is_writable_key(key) || !is_writable_key(section) ||
      section.find(']') != std::string_view::npos) {
    return Outcome::BadKey;
  }
  const Text file_path(skip_leading_blanks(path));
  // Nothing is created beside what is no settings file (a FIFO, a device).
  if (!file::is_regular_or_missing(file_path)) return Outcome::NotRegular;
  // Held around the whole read-modify-replace, so that two writers (the
  // tool beside the client, two clients) never lose each other's change.
  const file::ExclusiveLock lock(file_path + ".lock");
  if (!lock.held()) return Outcome::Unwritable;
  Contents contents;
  // A file that is there but could not be read is never replaced: its
  // other keys would be lost.
  const Outcome read = read_contents(file_path, contents);
  if (read != Outcome::Ok) return read;
  Text changed = with_value(contents.text, section, key, value);
  // A value written as it already stands (the binding at every start, a
  // window put back where it was) leaves the file alone: no temporary file,
  // no rename, nothing for the disk to do.
  if (changed == contents.text) return Outcome::Ok;
  contents.text = std::move(changed);
  // A writer killed mid-way left its temporary file behind; none is older
  // than a minute while its writer lives.
  file::remove_stale_temporaries(file_path, 60);
  return file::replace_contents(file_path, encode_contents(contents)) ? Outcome::Ok
                                                                      : Outcome::Unwritable;
}

Text read_string(std::string_view path, std::string_view section, std::string_view key) {
  Text value;
  static_cast<void>(read_value(path, section, key, value));
  return value;
}

bool write_string(std::string_view path, std::string_view section, std::string_view key,
                  std::string_view value) {
  return write_value(path, section, key, value) == Outcome::Ok;
}

}  // namespace quorvel::profile
