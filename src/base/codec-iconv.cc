#include "base/codec.h"
#include "base/unique_handle.h"

#include <iconv.h>

#include <cerrno>
#include <memory>

namespace quorvel::codec {
namespace {

// iconv's "no converter" is (iconv_t)-1.
struct IconvTraits {
  using Handle = iconv_t;
  static Handle invalid() noexcept { return reinterpret_cast<iconv_t>(-1); }
  static void close(Handle cd) noexcept { iconv_close(cd); }
};
using IconvHandle = UniqueHandle<IconvTraits>;

IconvHandle open_converter(const char* to, const char* from) {
  return IconvHandle(iconv_open(to, from));
}

// Runs the whole input through a fresh converter; any stop short of the end
// (unmappable or invalid input) is a failure the caller resolves per character.
// Opening a converter costs more than converting a short text, so each
// thread keeps one per direction; iconv's state is reset before each use.
iconv_t converter(bool to_gb18030) {
  thread_local IconvHandle to_gb = open_converter("GB18030", "UTF-16LE");
  thread_local IconvHandle from_gb = open_converter("UTF-16LE", "GB18030");
  const IconvHandle& handle = to_gb18030 ? to_gb : from_gb;
  if (!handle) return nullptr;
  iconv(handle.get(), nullptr, nullptr, nullptr, nullptr);
  return handle.get();
}

bool convert(bool to_gb18030, const char* in, std::size_t in_size, std::string& out) {
  iconv_t cd = converter(to_gb18030);
  if (!cd) return false;
  out.assign(in_size * 2 + 16, '\0');
  char* src = const_cast<char*>(in);
  std::size_t src_left = in_size;
  std::size_t used = 0;
  while (src_left > 0) {
    char* dst = out.data() + used;
    std::size_t dst_left = out.size() - used;
    std::size_t rc = iconv(cd, &src, &src_left, &dst, &dst_left);
    used = out.size() - dst_left;
    if (rc != static_cast<std::size_t>(-1)) break;
    if (errno != E2BIG) return false;
    out.resize(out.size() * 2);
  }
  out.resize(used);
  return true;
}

}  // namespace

bool gb18030_to_utf16(std::string_view run, std::u16string& out) {
  std::string bytes;
  if (!convert(false, run.data(), run.size(), bytes)) return false;
  out.resize(bytes.size() / 2);
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                   (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  }
  return true;
}

bool utf16_to_gb18030(std::u16string_view run, std::string& out) {
  std::string le(run.size() * 2, '\0');
  for (std::size_t i = 0; i < run.size(); ++i) {
    le[2 * i] = static_cast<char>(run[i] & 0xFF);
    le[2 * i + 1] = static_cast<char>(run[i] >> 8);
  }
  return convert(true, le.data(), le.size(), out);
}

}  // namespace quorvel::codec
