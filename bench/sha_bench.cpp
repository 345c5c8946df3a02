// Timing of the hashes and of HMAC, each beside OpenSSL libcrypto's EVP interface with a context
// and a digest fetched once, as a caller that hashes many messages uses it. The 64-byte figures
// are whole messages (start, data, padding, digest: two blocks of SHA-1 and SHA-256, one of
// SHA-384 and SHA-512); the HMAC ones start from a key made ready once, which is what a batch
// under one key pays per MAC. The 4096-byte ones give the speed of the rounds alone. SHA-224 and
// SHA-384 run the rounds of SHA-256 and SHA-512 and are left out.
// Run: sha_bench --benchmark_repetitions=5

#include "crypto/hmac.hpp"
#include "sha/sha.hpp"

#include <benchmark/benchmark.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#ifdef TOLVANE_BENCH_OPENSSL
#include <openssl/core_names.h>
#include <openssl/evp.h>
#endif

namespace {

using tolvane::HashAlgorithm;

const std::vector<std::uint8_t> message = [] {
  std::vector<std::uint8_t> bytes(4096);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<std::uint8_t>(i * 7);
  }
  return bytes;
}();
constexpr std::array<std::uint8_t, 32> key{
    0x60, 0x3D, 0xEB, 0x10, 0x15, 0xCA, 0x71, 0xBE, 0x2B, 0x73, 0xAE, 0xF0, 0x85, 0x7D, 0x77, 0x81,
    0x1F, 0x35, 0x2C, 0x07, 0x3B, 0x61, 0x08, 0xD7, 0x2D, 0x98, 0x10, 0xA3, 0x09, 0x14, 0xDF, 0xF4};

void hashTolvane(benchmark::State &state, const HashAlgorithm &algorithm, std::size_t size) {
  tolvane::HashContext context;
  std::array<std::uint8_t, 64> digest{};
  for (auto _ : state) {
    algorithm.init(context);
    algorithm.update(context, std::span(message).first(size));
    algorithm.finish(context, digest.data());
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(size));
}

void hmacTolvane(benchmark::State &state, const HashAlgorithm &algorithm) {
  const tolvane::HmacKey hmacKey(algorithm, key);
  for (auto _ : state) {
    tolvane::Digest mac = hmacKey.compute(std::span(message).first(64));
    benchmark::DoNotOptimize(mac);
  }
}

BENCHMARK_CAPTURE(hashTolvane, sha1_64, tolvane::sha1, 64);
BENCHMARK_CAPTURE(hashTolvane, sha256_64, tolvane::sha256, 64);
BENCHMARK_CAPTURE(hashTolvane, sha512_64, tolvane::sha512, 64);
BENCHMARK_CAPTURE(hashTolvane, sha1_4096, tolvane::sha1, 4096);
BENCHMARK_CAPTURE(hashTolvane, sha256_4096, tolvane::sha256, 4096);
BENCHMARK_CAPTURE(hashTolvane, sha512_4096, tolvane::sha512, 4096);
BENCHMARK_CAPTURE(hmacTolvane, sha1_64, tolvane::sha1);
BENCHMARK_CAPTURE(hmacTolvane, sha256_64, tolvane::sha256);
BENCHMARK_CAPTURE(hmacTolvane, sha512_64, tolvane::sha512);

#ifdef TOLVANE_BENCH_OPENSSL

void hashOpenSsl(benchmark::State &state, const HashAlgorithm &algorithm, std::size_t size) {
  const EVP_MD *md = EVP_get_digestbyname(algorithm.name);
  EVP_MD_CTX *context = EVP_MD_CTX_new();
  std::array<std::uint8_t, 64> digest{};
  for (auto _ : state) {
    EVP_DigestInit_ex(context, md, nullptr);
    EVP_DigestUpdate(context, message.data(), size);
    EVP_DigestFinal_ex(context, digest.data(), nullptr);
    benchmark::DoNotOptimize(digest);
  }
  EVP_MD_CTX_free(context);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(size));
}

// Set up with the key once; an init without a key starts again from the keyed state.
void hmacOpenSsl(benchmark::State &state, const HashAlgorithm &algorithm) {
  EVP_MAC *mac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
  EVP_MAC_CTX *context = EVP_MAC_CTX_new(mac);
  char digestName[16];
  std::snprintf(digestName, sizeof digestName, "%s", algorithm.name);
  const OSSL_PARAM params[] = {
      OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digestName, 0),
      OSSL_PARAM_construct_end()};
  EVP_MAC_init(context, key.data(), key.size(), params);
  std::array<std::uint8_t, 64> out{};
  std::size_t written = 0;
  for (auto _ : state) {
    EVP_MAC_init(context, nullptr, 0, nullptr);
    EVP_MAC_update(context, message.data(), 64);
    EVP_MAC_final(context, out.data(), &written, out.size());
    benchmark::DoNotOptimize(out);
  }
  EVP_MAC_CTX_free(context);
  EVP_MAC_free(mac);
}

BENCHMARK_CAPTURE(hashOpenSsl, sha1_64, tolvane::sha1, 64);
BENCHMARK_CAPTURE(hashOpenSsl, sha256_64, tolvane::sha256, 64);
BENCHMARK_CAPTURE(hashOpenSsl, sha512_64, tolvane::sha512, 64);
BENCHMARK_CAPTURE(hashOpenSsl, sha1_4096, tolvane::sha1, 4096);
BENCHMARK_CAPTURE(hashOpenSsl, sha256_4096, tolvane::sha256, 4096);
BENCHMARK_CAPTURE(hashOpenSsl, sha512_4096, tolvane::sha512, 4096);
BENCHMARK_CAPTURE(hmacOpenSsl, sha1_64, tolvane::sha1);
BENCHMARK_CAPTURE(hmacOpenSsl, sha256_64, tolvane::sha256);
BENCHMARK_CAPTURE(hmacOpenSsl, sha512_64, tolvane::sha512);

#endif

} // namespace
