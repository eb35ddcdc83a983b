#include <errno.h>
#include <iconv.h>

#include <memory>
#include <string>

#include "base/unique_handle.h"
#include "http/charset.h"

namespace quorvel::http {
namespace {

// iconv's "no converter" is (iconv_t)-1.
struct IconvTraits {
  using Handle = iconv_t;
  static Handle invalid() noexcept { return reinterpret_cast<iconv_t>(-1); }
  static void close(Handle cd) noexcept { iconv_close(cd); }
};
using IconvHandle = UniqueHandle<IconvTraits>;

constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";
constexpr std::string_view kByteOrderMarkUtf8 = "\xEF\xBB\xBF";

}  // namespace

bool decode_charset(std::string_view charset, std::string_view bytes, Text& out) {
  // Names come from a web page: refuse anything iconv would read as options.
  if (charset.empty() || charset.size() > 64 || charset.find('/') != std::string_view::npos) {
    return false;
  }
  const std::string name(charset);
  const IconvHandle cd(iconv_open("UTF-8", name.c_str()));
  if (!cd) return false;

  std::string utf8;
  utf8.reserve(bytes.size() + bytes.size() / 2);
  char buffer[4096];
  char* in = const_cast<char*>(bytes.data());
  std::size_t in_left = bytes.size();
  while (in_left > 0) {
    char* o = buffer;
    std::size_t o_left = sizeof buffer;
    const std::size_t rc = iconv(cd.get(), &in, &in_left, &o, &o_left);
    utf8.append(buffer, sizeof buffer - o_left);
    if (rc != static_cast<std::size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    // A malformed or truncated sequence: one replacement character, then
    // decoding resumes at the next byte.
    utf8 += kReplacementUtf8;
    iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
    ++in;
    --in_left;
  }
  // Flush a stateful encoding's final shift sequence.
  char* o = buffer;
  std::size_t o_left = sizeof buffer;
  iconv(cd.get(), nullptr, nullptr, &o, &o_left);
  utf8.append(buffer, sizeof buffer - o_left);

  std::string_view view(utf8);
  if (view.substr(0, kByteOrderMarkUtf8.size()) == kByteOrderMarkUtf8) {
    view.remove_prefix(kByteOrderMarkUtf8.size());
  }
  out = from_utf8(view);
  return true;
}

}  // namespace quorvel::http
