// What the WebKitGTK engine library reads from a certificate that failed:
// its fingerprint and names for the host's trust page, and whether the
// build's extra authority signs it for the site.
#pragma once

#include <gio/gio.h>

#include <string>

namespace quorvel::webview {

// "host:port" of an address, as the host keys a site ("host" alone for the
// scheme's own port); UTF-8.
[[nodiscard]] std::string site_of(const char* uri);
[[nodiscard]] std::string hostname_of(const char* uri);

// SHA-256 of the certificate's DER form, 64 lowercase hex digits.
[[nodiscard]] std::string fingerprint_of(GTlsCertificate* certificate);

// Whether the authority (PEM) signs the certificate for the address's host.
[[nodiscard]] bool signed_by(GTlsCertificate* certificate, const std::string& authority_pem,
                             const char* uri);

// The TLS-error event record (UTF-8) for the host.
[[nodiscard]] std::string tls_record(const char* uri, GTlsCertificate* certificate,
                                     GTlsCertificateFlags errors);

}  // namespace quorvel::webview
