// What the WebView2 engine library reads from a navigation that failed and
// from a certificate the runtime did not accept: the failure's kind, the
// site as the host keys it, and the TLS-error record for the trust page.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "base/certificate_chain-win32.h"
#include "webview/webview2_com-win32.h"

namespace quorvel::webview2 {

// "host:port" of an address as it is written ("host" alone when it names
// no port), lower case, internal text. The WebKitGTK library keys sites
// the same.
[[nodiscard]] std::string site_of(std::wstring_view uri);
// The host name alone, without brackets, for the certificate's name check.
[[nodiscard]] std::wstring hostname_of(std::wstring_view uri);

// A failed navigation's kind in the engine records (network, dns,
// refused, timeout, tls), or empty for a navigation that was only
// stopped.
[[nodiscard]] std::string failure_kind(COREWEBVIEW2_WEB_ERROR_STATUS status);
// The status in words, as the log and the host's page show them.
[[nodiscard]] std::string status_words(COREWEBVIEW2_WEB_ERROR_STATUS status);

// The runtime's certificate as a certificate context (null on failure).
[[nodiscard]] CertificatePtr certificate_of(ICoreWebView2Certificate* certificate);

// The TLS-error event record, in internal text as every record the
// library hands out.
[[nodiscard]] std::string tls_record(std::wstring_view uri, ICoreWebView2Certificate* certificate,
                                     const std::string& fingerprint,
                                     COREWEBVIEW2_WEB_ERROR_STATUS status);

}  // namespace quorvel::webview2
