#include <openssl/evp.h>

#include <memory>

#include "base/unique_handle.h"
#include "binding/crypto.h"

namespace quorvel::crypto {
namespace {

using CipherContext = UniquePointer<EVP_CIPHER_CTX, EVP_CIPHER_CTX_free>;

}  // namespace

Bytes aes128_cbc(bool encrypt, const Block& key, const Block& iv, const Bytes& data) {
  if (data.size() % 16 != 0 || data.size() > 0x7FFFFFF0) return {};
  CipherContext ctx(EVP_CIPHER_CTX_new());
  if (!ctx || EVP_CipherInit_ex(ctx.get(), EVP_aes_128_cbc(), nullptr, key.data(), iv.data(),
                                encrypt ? 1 : 0) != 1) {
    return {};
  }
  EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
  Bytes out(data.size() + 16);
  int n = 0;
  int tail = 0;
  if (EVP_CipherUpdate(ctx.get(), out.data(), &n, data.data(), static_cast<int>(data.size())) !=
          1 ||
      EVP_CipherFinal_ex(ctx.get(), out.data() + n, &tail) != 1) {
    return {};
  }
  out.resize(static_cast<std::size_t>(n + tail));
  return out;
}

Digest md5(std::string_view bytes) {
  Digest d{};
  unsigned int n = 0;
  EVP_Digest(bytes.data(), bytes.size(), d.data(), &n, EVP_md5(), nullptr);
  return d;
}

}  // namespace quorvel::crypto
