#include <windows.h>

#include <bcrypt.h>

#include <memory>

#include "base/unique_handle.h"
#include "binding/crypto.h"

namespace quorvel::crypto {
namespace {

struct AlgorithmTraits {
  using Handle = BCRYPT_ALG_HANDLE;
  static Handle invalid() noexcept { return nullptr; }
  static void close(Handle h) noexcept { BCryptCloseAlgorithmProvider(h, 0); }
};
using Algorithm = UniqueHandle<AlgorithmTraits>;
using Key = UniquePointer<void, BCryptDestroyKey>;

Algorithm open_algorithm(const wchar_t* name) {
  BCRYPT_ALG_HANDLE h = nullptr;
  if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&h, name, nullptr, 0))) return {};
  return Algorithm(h);
}

}  // namespace

Bytes aes128_cbc(bool encrypt, const Block& key_bytes, const Block& iv, const Bytes& data) {
  if (data.size() % 16 != 0 || data.size() > 0x7FFFFFF0) return {};
  if (data.empty()) return {};
  Algorithm alg = open_algorithm(BCRYPT_AES_ALGORITHM);
  if (!alg) return {};
  auto* mode = const_cast<wchar_t*>(BCRYPT_CHAIN_MODE_CBC);
  if (!BCRYPT_SUCCESS(BCryptSetProperty(alg.get(), BCRYPT_CHAINING_MODE,
                                        reinterpret_cast<PUCHAR>(mode),
                                        sizeof(BCRYPT_CHAIN_MODE_CBC), 0))) {
    return {};
  }
  BCRYPT_KEY_HANDLE k = nullptr;
  if (!BCRYPT_SUCCESS(BCryptGenerateSymmetricKey(alg.get(), &k, nullptr, 0,
                                                 const_cast<PUCHAR>(key_bytes.data()), 16, 0))) {
    return {};
  }
  Key key(k);
  Block chain = iv;  // BCrypt updates the vector in place
  Bytes out(data.size());
  ULONG n = 0;
  auto* in = const_cast<PUCHAR>(data.data());
  const auto size = static_cast<ULONG>(data.size());
  const NTSTATUS status =
      encrypt ? BCryptEncrypt(k, in, size, nullptr, chain.data(), 16, out.data(), size, &n, 0)
              : BCryptDecrypt(k, in, size, nullptr, chain.data(), 16, out.data(), size, &n, 0);
  if (!BCRYPT_SUCCESS(status)) return {};
  out.resize(n);
  return out;
}

Digest md5(std::string_view bytes) {
  Digest d{};
  Algorithm alg = open_algorithm(BCRYPT_MD5_ALGORITHM);
  if (!alg) return d;
  BCryptHash(alg.get(), nullptr, 0, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
             static_cast<ULONG>(bytes.size()), d.data(), 16);
  return d;
}

}  // namespace quorvel::crypto
