// Charsets on Windows: the name is looked up in MLang (IMultiLanguage2::
// GetCharsetInfo, which knows every charset the system's browser does), then
// in a table of the names pages use in practice, for systems where MLang
// cannot be had or names a code page the system cannot convert (Wine's
// MLang lacks windows-874 and gives EUC-JP a code page Wine has not). Bytes a code page refuses become U+FFFD one byte at a time
// and decoding resumes at the next byte, as iconv's loop does on Linux, so
// that a damaged page reads alike on both.
#include <windows.h>
// After windows.h, which they need.
#include <mlang.h>
#include <oleauto.h>

#include <string>

#include "base/com_ptr-win32.h"
#include "base/text_ops.h"
#include "base/wide-win32.h"
#include "http/charset.h"

namespace quorvel::http {
namespace {

// IMultiLanguage2's interface id, which the import libraries lack.
constexpr IID kMultiLanguage2 = {
    0xDCCFC164, 0x2B38, 0x11D2, {0xB7, 0xEC, 0x00, 0xC0, 0x4F, 0x8F, 0x5D, 0x9A}};

struct NamedCodePage {
  std::string_view name;
  UINT code_page;
};

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
    {"us-ascii", 20127},    {"ascii", 20127},        {"windows-874", 874},
    {"tis-620", 874},
};

// COM for the calling thread while MLang is asked, unless it already runs.
class ComScope {
 public:
  ComScope() : started_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComScope() {
    if (started_) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  bool started_;
};

UINT code_page_from_mlang(std::string_view charset) {
  if (charset.empty() || charset.size() > 64) return 0;
  const ComScope com;
  ComPtr<IMultiLanguage2> mlang;
  if (FAILED(CoCreateInstance(CLSID_CMultiLanguage, nullptr, CLSCTX_INPROC_SERVER,
                              kMultiLanguage2, reinterpret_cast<void**>(mlang.put())))) {
    return 0;
  }
  const std::wstring name = wide(charset);
  BSTR text = SysAllocStringLen(name.data(), static_cast<UINT>(name.size()));
  if (text == nullptr) return 0;
  MIMECSETINFO info{};
  const HRESULT hr = mlang->GetCharsetInfo(text, &info);
  SysFreeString(text);
  return SUCCEEDED(hr) ? info.uiInternetEncoding : 0;
}

constexpr UINT kGb18030 = 54936;

// The first code page the system can convert: MLang's, else the table's.
// GB18030 is always had: where the system lacks it (Wine), the core's own
// converter reads it.
UINT code_page_of(std::string_view charset) {
  const UINT from_mlang = code_page_from_mlang(charset);
  if (from_mlang != 0 && (IsValidCodePage(from_mlang) || from_mlang == kGb18030)) {
    return from_mlang;
  }
  for (const NamedCodePage& entry : kCodePages) {
    if (equal_ignoring_case(charset, entry.name) &&
        (IsValidCodePage(entry.code_page) || entry.code_page == kGb18030)) {
      return entry.code_page;
    }
  }
  return 0;
}

int strict_decode(UINT code_page, const char* bytes, int size, wchar_t* out, int room) {
  return MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes, size, out, room);
}

// The slow way, only for bytes the code page refused: the longest valid
// character at each place (at most four bytes), else U+FFFD for one byte.
std::wstring decode_damaged(UINT code_page, std::string_view bytes) {
  std::wstring out;
  out.reserve(bytes.size());
  wchar_t unit[4];
  for (std::size_t at = 0; at < bytes.size();) {
    int taken = 0;
    int units = 0;
    for (int length = 1; length <= 4 && at + static_cast<std::size_t>(length) <= bytes.size();
         ++length) {
      units = strict_decode(code_page, bytes.data() + at, length, unit, 4);
      if (units > 0) {
        taken = length;
        break;
      }
    }
    if (taken == 0) {
      out += L'\xFFFD';
      ++at;
    } else {
      out.append(unit, static_cast<std::size_t>(units));
      at += static_cast<std::size_t>(taken);
    }
  }
  return out;
}

}  // namespace

bool decode_charset(std::string_view charset, std::string_view bytes, Text& out) {
  const UINT code_page = code_page_of(charset);
  if (code_page == 0 || bytes.size() > 0x7FFFFFFF) return false;
  if (code_page == kGb18030 && !IsValidCodePage(kGb18030)) {
    std::u16string units = to_utf16_units(bytes);
    if (!units.empty() && units.front() == u'\xFEFF') units.erase(0, 1);
    out = from_utf16_units(units);
    return true;
  }
  std::wstring wide_text;
  if (!bytes.empty()) {
    const int in_size = static_cast<int>(bytes.size());
    int n = strict_decode(code_page, bytes.data(), in_size, nullptr, 0);
    // Stateful code pages (ISO-2022, say) take no strict flag at all.
    DWORD flags = MB_ERR_INVALID_CHARS;
    if (n <= 0 && GetLastError() == ERROR_INVALID_FLAGS) {
      flags = 0;
      n = MultiByteToWideChar(code_page, 0, bytes.data(), in_size, nullptr, 0);
    }
    if (n > 0) {
      wide_text.resize(static_cast<std::size_t>(n));
      MultiByteToWideChar(code_page, flags, bytes.data(), in_size, wide_text.data(), n);
    } else if (flags != 0) {
      wide_text = decode_damaged(code_page, bytes);
    } else {
      return false;
    }
  }
  // A leading byte-order mark is no part of the text.
  if (!wide_text.empty() && wide_text.front() == L'\xFEFF') wide_text.erase(0, 1);
  out = from_utf16_units(
      std::u16string_view(reinterpret_cast<const char16_t*>(wide_text.data()), wide_text.size()));
  return true;
}

}  // namespace quorvel::http
