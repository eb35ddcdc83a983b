// Payload cipher speed beside the bare libcrypto chain on the same bytes
// (two MD5s, AES-128-CBC, Base64): the rest is the call-line reading and
// the text conversions.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <string>

#include "binding/payload_cipher.h"

namespace {

std::string text_of(std::size_t n) {
  std::string s;
  while (s.size() < n) s += "visitor message text ";
  s.resize(n);
  return s;
}

void Encipher(benchmark::State& state) {
  const std::string plain = text_of(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(quorvel::encipher_payload(plain, "10023"));
}
BENCHMARK(Encipher)->Arg(60)->Arg(1024);

void Decipher(benchmark::State& state) {
  const std::string cipher =
      quorvel::encipher_payload(text_of(static_cast<std::size_t>(state.range(0))), "10023");
  for (auto _ : state) benchmark::DoNotOptimize(quorvel::decipher_payload(cipher, "10023"));
}
BENCHMARK(Decipher)->Arg(60)->Arg(1024);

// The bare chain: MD5 twice (hex in between), AES-128-CBC with padding, Base64.
void BareChain(benchmark::State& state) {
  const std::string plain = text_of(static_cast<std::size_t>(state.range(0)));
  unsigned char d[16];
  unsigned char out[2048];
  unsigned char b64[4096];
  for (auto _ : state) {
    unsigned int n = 0;
    EVP_Digest("10023", 5, d, &n, EVP_md5(), nullptr);
    char hex[33];
    for (int i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02x", d[i]);
    EVP_Digest(hex, 32, d, &n, EVP_md5(), nullptr);
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex(ctx, EVP_aes_128_cbc(), nullptr, d, d);
    int len = 0;
    int tail = 0;
    EVP_EncryptUpdate(ctx, out, &len, reinterpret_cast<const unsigned char*>(plain.data()),
                      static_cast<int>(plain.size()));
    EVP_EncryptFinal_ex(ctx, out + len, &tail);
    EVP_CIPHER_CTX_free(ctx);
    benchmark::DoNotOptimize(EVP_EncodeBlock(b64, out, len + tail));
  }
}
BENCHMARK(BareChain)->Arg(60)->Arg(1024);

}  // namespace

BENCHMARK_MAIN();
