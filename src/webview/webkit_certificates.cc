#include "webview/webkit_certificates.h"

#include <string_view>

namespace quorvel::webview {
namespace {

std::string date_of(GDateTime* when) {
  if (when == nullptr) return {};
  gchar* text = g_date_time_format_iso8601(when);
  std::string out = text != nullptr ? text : "";
  g_free(text);
  g_date_time_unref(when);
  return out;
}

std::string owned(gchar* text) {
  std::string out = text != nullptr ? text : "";
  g_free(text);
  return out;
}

std::string reason_of(GTlsCertificateFlags errors) {
  std::string out;
  const auto add = [&](GTlsCertificateFlags flag, const char* words) {
    if ((errors & flag) == 0) return;
    if (!out.empty()) out += ", ";
    out += words;
  };
  add(G_TLS_CERTIFICATE_UNKNOWN_CA, "signed by an unknown authority");
  add(G_TLS_CERTIFICATE_BAD_IDENTITY, "made for another host");
  add(G_TLS_CERTIFICATE_NOT_ACTIVATED, "not valid yet");
  add(G_TLS_CERTIFICATE_EXPIRED, "expired");
  add(G_TLS_CERTIFICATE_REVOKED, "revoked");
  add(G_TLS_CERTIFICATE_INSECURE, "insecure algorithm");
  add(G_TLS_CERTIFICATE_GENERIC_ERROR, "not valid");
  return out.empty() ? "not valid" : out;
}

void field(std::string& record, std::string_view name, std::string_view value) {
  record.append(name).append("=");
  for (const char c : value) record += c == '\n' || c == '\r' ? ' ' : c;
  record += '\n';
}

}  // namespace

std::string site_of(const char* uri) {
  GUri* parsed = uri != nullptr ? g_uri_parse(uri, G_URI_FLAGS_NONE, nullptr) : nullptr;
  if (parsed == nullptr) return {};
  std::string site = g_uri_get_host(parsed) != nullptr ? g_uri_get_host(parsed) : "";
  if (site.find(':') != std::string::npos) site = "[" + site + "]";  // IPv6
  const int port = g_uri_get_port(parsed);
  if (port > 0) site += ":" + std::to_string(port);
  g_uri_unref(parsed);
  return site;
}

std::string hostname_of(const char* uri) {
  GUri* parsed = uri != nullptr ? g_uri_parse(uri, G_URI_FLAGS_NONE, nullptr) : nullptr;
  if (parsed == nullptr) return {};
  std::string host = g_uri_get_host(parsed) != nullptr ? g_uri_get_host(parsed) : "";
  g_uri_unref(parsed);
  return host;
}

std::string fingerprint_of(GTlsCertificate* certificate) {
  GByteArray* der = nullptr;
  g_object_get(certificate, "certificate", &der, nullptr);
  if (der == nullptr) return {};
  std::string hex = owned(g_compute_checksum_for_data(G_CHECKSUM_SHA256, der->data, der->len));
  g_byte_array_unref(der);
  return hex;
}

bool signed_by(GTlsCertificate* certificate, const std::string& authority_pem, const char* uri) {
  GTlsCertificate* authority =
      g_tls_certificate_new_from_pem(authority_pem.c_str(), -1, nullptr);
  if (authority == nullptr) return false;
  GSocketConnectable* identity = g_network_address_new(hostname_of(uri).c_str(), 0);
  const GTlsCertificateFlags errors = g_tls_certificate_verify(certificate, identity, authority);
  g_object_unref(identity);
  g_object_unref(authority);
  return errors == 0;
}

std::string tls_record(const char* uri, GTlsCertificate* certificate,
                       GTlsCertificateFlags errors) {
  std::string record;
  field(record, "host", site_of(uri));
  field(record, "address", uri != nullptr ? uri : "");
  field(record, "fingerprint", fingerprint_of(certificate));
  field(record, "subject", owned(g_tls_certificate_get_subject_name(certificate)));
  field(record, "issuer", owned(g_tls_certificate_get_issuer_name(certificate)));
  field(record, "valid_from", date_of(g_tls_certificate_get_not_valid_before(certificate)));
  field(record, "valid_until", date_of(g_tls_certificate_get_not_valid_after(certificate)));
  field(record, "reason", reason_of(errors));
  return record;
}

}  // namespace quorvel::webview
