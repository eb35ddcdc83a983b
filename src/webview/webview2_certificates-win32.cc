#include "webview/webview2_certificates-win32.h"

#include <cwctype>
#include <ctime>

#include "base/wide-win32.h"

namespace quorvel::webview2 {
namespace {

std::wstring take(LPWSTR text) {
  std::wstring out = text != nullptr ? text : L"";
  CoTaskMemFree(text);
  return out;
}

std::wstring authority_of(std::wstring_view uri) {
  const std::size_t scheme = uri.find(L"://");
  if (scheme == std::wstring_view::npos) return {};
  std::wstring_view rest = uri.substr(scheme + 3);
  rest = rest.substr(0, rest.find_first_of(L"/?#"));
  const std::size_t at = rest.rfind(L'@');
  if (at != std::wstring_view::npos) rest = rest.substr(at + 1);
  std::wstring out(rest);
  for (wchar_t& c : out) c = static_cast<wchar_t>(std::towlower(c));
  return out;
}

// Seconds since 1970 as "YYYY-MM-DDTHH:MM:SSZ".
std::string iso_date(double seconds) {
  if (seconds <= 0) return {};
  const auto when = static_cast<std::time_t>(seconds);
  std::tm parts{};
  if (gmtime_s(&parts, &when) != 0) return {};
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

void field(std::string& record, std::string_view name, std::string_view value) {
  record.append(name).append("=");
  for (const char c : value) record += c == '\n' || c == '\r' ? ' ' : c;
  record += '\n';
}

}  // namespace

std::string site_of(std::wstring_view uri) {
  return narrow(authority_of(uri));
}

std::wstring hostname_of(std::wstring_view uri) {
  std::wstring host = authority_of(uri);
  if (!host.empty() && host.front() == L'[') return host.substr(1, host.find(L']') - 1);
  return host.substr(0, host.find(L':'));
}

std::string failure_kind(COREWEBVIEW2_WEB_ERROR_STATUS status) {
  switch (status) {
    case 1:  // certificate common name is incorrect
    case 2:  // certificate expired
    case 3:  // client certificate contains errors
    case 4:  // certificate revoked
    case 5:  // certificate is invalid
      return "tls";
    case 7:
      return "timeout";
    case 12:  // cannot connect
      return "refused";
    case 13:
      return "dns";
    case 14:  // operation canceled: a newer navigation or Stop
      return {};
    default:
      return "network";
  }
}

std::string status_words(COREWEBVIEW2_WEB_ERROR_STATUS status) {
  static const char* const kWords[] = {"unknown error",
                                       "certificate made for another host",
                                       "certificate expired",
                                       "client certificate contains errors",
                                       "certificate revoked",
                                       "certificate not valid",
                                       "server unreachable",
                                       "timed out",
                                       "invalid server response",
                                       "connection aborted",
                                       "connection reset",
                                       "disconnected",
                                       "cannot connect",
                                       "host name not resolved",
                                       "operation canceled",
                                       "redirect failed",
                                       "unexpected error",
                                       "authentication required",
                                       "proxy authentication required"};
  return status >= 0 && status < static_cast<int>(std::size(kWords)) ? kWords[status]
                                                                     : "error " + std::to_string(status);
}

CertificatePtr certificate_of(ICoreWebView2Certificate* certificate) {
  LPWSTR pem = nullptr;
  if (certificate == nullptr || FAILED(certificate->ToPemEncoding(&pem))) return {};
  return certificate_from_pem(narrow(take(pem)));
}

std::string tls_record(std::wstring_view uri, ICoreWebView2Certificate* certificate,
                       const std::string& fingerprint, COREWEBVIEW2_WEB_ERROR_STATUS status) {
  std::string record;
  field(record, "host", site_of(uri));
  field(record, "address", narrow(std::wstring(uri)));
  field(record, "fingerprint", fingerprint);
  if (certificate != nullptr) {
    LPWSTR text = nullptr;
    if (SUCCEEDED(certificate->get_Subject(&text))) field(record, "subject", narrow(take(text)));
    text = nullptr;
    if (SUCCEEDED(certificate->get_Issuer(&text))) field(record, "issuer", narrow(take(text)));
    double when = 0;
    if (SUCCEEDED(certificate->get_ValidFrom(&when))) field(record, "valid_from", iso_date(when));
    when = 0;
    if (SUCCEEDED(certificate->get_ValidTo(&when))) field(record, "valid_until", iso_date(when));
  }
  field(record, "reason", status_words(status));
  return record;
}

}  // namespace quorvel::webview2
