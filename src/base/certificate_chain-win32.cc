#include "base/certificate_chain-win32.h"

namespace quorvel {
namespace {

using Chain = UniquePointer<const CERT_CHAIN_CONTEXT, CertFreeCertificateChain>;
struct StoreTraits {
  using Handle = HCERTSTORE;
  static Handle invalid() noexcept { return nullptr; }
  static void close(Handle store) noexcept { CertCloseStore(store, 0); }
};
using Store = UniqueHandle<StoreTraits>;

}  // namespace

CertificatePtr certificate_from_pem(std::string_view pem) {
  if (pem.empty()) return {};
  DWORD size = 0;
  if (!CryptStringToBinaryA(pem.data(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER,
                            nullptr, &size, nullptr, nullptr)) {
    return {};
  }
  std::string der(size, '\0');
  if (!CryptStringToBinaryA(pem.data(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER,
                            reinterpret_cast<BYTE*>(der.data()), &size, nullptr, nullptr)) {
    return {};
  }
  return CertificatePtr(CertCreateCertificateContext(
      X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()), size));
}

std::string certificate_fingerprint(const CERT_CONTEXT* certificate) {
  if (certificate == nullptr) return {};
  BYTE hash[32];
  DWORD size = sizeof hash;
  if (!CryptHashCertificate2(L"SHA256", 0, nullptr, certificate->pbCertEncoded,
                             certificate->cbCertEncoded, hash, &size) ||
      size != sizeof hash) {
    return {};
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (const BYTE b : hash) {
    hex += kHex[b >> 4];
    hex += kHex[b & 0xF];
  }
  return hex;
}

bool chain_trusted(const CERT_CONTEXT* server, const CERT_CONTEXT* authority,
                   const std::wstring& host) {
  if (server == nullptr) return false;
  const Store extra(CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr));
  if (!extra || (authority != nullptr &&
                 !CertAddCertificateContextToStore(extra.get(), authority, CERT_STORE_ADD_ALWAYS,
                                                   nullptr))) {
    return false;
  }
  CERT_CHAIN_PARA para{};
  para.cbSize = sizeof para;
  const CERT_CHAIN_CONTEXT* raw = nullptr;
  if (!CertGetCertificateChain(nullptr, server, nullptr, extra.get(), &para, 0, nullptr, &raw)) {
    return false;
  }
  const Chain chain(raw);
  if (chain->cChain == 0 || chain->rgpChain[0]->cElement == 0) return false;
  const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
  const CERT_CONTEXT* root = simple->rgpElement[simple->cElement - 1]->pCertContext;
  const bool ends_in_authority =
      authority != nullptr &&
      CertCompareCertificate(X509_ASN_ENCODING, root->pCertInfo, authority->pCertInfo) != FALSE;
  SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
  ssl.cbSize = sizeof ssl;
  ssl.dwAuthType = AUTHTYPE_SERVER;
  ssl.pwszServerName = const_cast<wchar_t*>(host.c_str());
  CERT_CHAIN_POLICY_PARA policy{};
  policy.cbSize = sizeof policy;
  policy.dwFlags = ends_in_authority ? CERT_CHAIN_POLICY_ALLOW_UNKNOWN_CA_FLAG : 0;
  policy.pvExtraPolicyPara = &ssl;
  CERT_CHAIN_POLICY_STATUS status{};
  status.cbSize = sizeof status;
  return CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, raw, &policy, &status) &&
         status.dwError == 0;
}

}  // namespace quorvel
