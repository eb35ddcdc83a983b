#include "base/codec.h"

#include <windows.h>

namespace quorvel::codec {
namespace {
constexpr UINT kGb18030 = 54936;

// Every Windows since XP has code page 54936; Wine 8 has not, and there the
// table converter, checked against glibc's iconv, takes its place.
bool system_has_gb18030() {
  static const bool has = IsValidCodePage(kGb18030) != 0;
  return has;
}
}  // namespace

bool gb18030_to_utf16(std::string_view run, std::u16string& out) {
  if (!system_has_gb18030()) return table::gb18030_to_utf16(run, out);
  if (run.empty()) {
    out.clear();
    return true;
  }
  int n = MultiByteToWideChar(kGb18030, MB_ERR_INVALID_CHARS, run.data(),
                              static_cast<int>(run.size()), nullptr, 0);
  if (n <= 0) return false;
  out.resize(static_cast<std::size_t>(n));
  return MultiByteToWideChar(kGb18030, MB_ERR_INVALID_CHARS, run.data(),
                             static_cast<int>(run.size()), reinterpret_cast<wchar_t*>(out.data()),
                             n) == n;
}

bool utf16_to_gb18030(std::u16string_view run, std::string& out) {
  if (!system_has_gb18030()) return table::utf16_to_gb18030(run, out);
  if (run.empty()) {
    out.clear();
    return true;
  }
  // Code page 54936 takes no default-character arguments; the core has
  // already replaced lone surrogates, so every unit here is encodable.
  const auto* w = reinterpret_cast<const wchar_t*>(run.data());
  int n = WideCharToMultiByte(kGb18030, 0, w, static_cast<int>(run.size()), nullptr, 0, nullptr,
                              nullptr);
  if (n <= 0) return false;
  out.resize(static_cast<std::size_t>(n));
  return WideCharToMultiByte(kGb18030, 0, w, static_cast<int>(run.size()), out.data(), n, nullptr,
                             nullptr) == n;
}

}  // namespace quorvel::codec
