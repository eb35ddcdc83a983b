// Certificates from PEM text, their fingerprints, and the check of a
// server's chain against the system's store plus the build's one extra
// authority. The request engine and the WebView2 engine library use the
// same code, so that the console trusts what the directory lookup trusts.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <wincrypt.h>

#include <string>
#include <string_view>

#include "base/unique_handle.h"

namespace quorvel {

using CertificatePtr = UniquePointer<const CERT_CONTEXT, CertFreeCertificateContext>;

// The first certificate of a PEM text; null when there is none.
[[nodiscard]] CertificatePtr certificate_from_pem(std::string_view pem);

// SHA-256 of the DER form, 64 lowercase hex digits; empty on failure.
[[nodiscard]] std::string certificate_fingerprint(const CERT_CONTEXT* certificate);

// True when the server's certificate passes the SSL policy for `host`
// (name, dates, usage) with a chain that the system trusts or that ends in
// `authority` (which may be null: the system's store alone).
[[nodiscard]] bool chain_trusted(const CERT_CONTEXT* server, const CERT_CONTEXT* authority,
                                 const std::wstring& host);

}  // namespace quorvel
