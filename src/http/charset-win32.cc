#include <windows.h>

#include <string>

#include "base/text_ops.h"
#include "http/charset.h"

namespace quorvel::http {
namespace {

struct NamedCodePage {
  std::string_view name;
  UINT code_page;
};

// The charsets pages name in practice; a name outside the list leaves the
// text as received.
constexpr NamedCodePage kCodePages[] = {
    {"utf-8", 65001},       {"utf8", 65001},         {"gbk", 936},
    {"gb2312", 936},        {"gb18030", 54936},      {"big5", 950},
    {"shift_jis", 932},     {"sjis", 932},           {"euc-jp", 20932},
    {"euc-kr", 949},        {"ks_c_5601-1987", 949}, {"iso-8859-1", 28591},
    {"latin1", 28591},      {"iso-8859-2", 28592},   {"iso-8859-5", 28595},
    {"iso-8859-15", 28605}, {"windows-1250", 1250},  {"windows-1251", 1251},
    {"windows-1252", 1252}, {"windows-1253", 1253},  {"windows-1254", 1254},
    {"windows-1255", 1255}, {"windows-1256", 1256},  {"windows-1257", 1257},
    {"windows-1258", 1258}, {"koi8-r", 20866},       {"koi8-u", 21866},
    {"us-ascii", 20127},    {"ascii", 20127},
};

}  // namespace

bool decode_charset(std::string_view charset, std::string_view bytes, Text& out) {
  UINT code_page = 0;
  for (const NamedCodePage& entry : kCodePages) {
    if (equal_ignoring_case(charset, entry.name)) code_page = entry.code_page;
  }
  if (code_page == 0 || !IsValidCodePage(code_page)) return false;
  if (code_page == 65001 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  if (bytes.empty()) {
    out.clear();
    return true;
  }
  if (bytes.size() > 0x7FFFFFFF) return false;
  const int in_size = static_cast<int>(bytes.size());
  const int n = MultiByteToWideChar(code_page, 0, bytes.data(), in_size, nullptr, 0);
  if (n <= 0) return false;
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(code_page, 0, bytes.data(), in_size, wide.data(), n);
  out = from_utf16_units(
      std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
  return true;
}

}  // namespace quorvel::http
