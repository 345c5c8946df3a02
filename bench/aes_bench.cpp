// Timing of the AES engine, each implementation beside OpenSSL libcrypto's EVP interface with a
// context set up once, as a caller that keeps its key uses it. Each block benchmark enciphers one
// block in place over and over, so every call waits for the one before: the figure is the time
// of one single-block call. Names end in the key size; AES-NI runs only where the processor has
// it. Run: aes_bench --benchmark_repetitions=5

#include "aes/aes.hpp"

#include <benchmark/benchmark.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#ifdef TOLVANE_BENCH_OPENSSL
#include <openssl/evp.h>
#endif

namespace {

// The 256-bit key and first block of the NIST SP 800-38A ECB example; AES-128 takes the key's
// first 16 bytes.
constexpr std::array<std::uint8_t, 32> key{
    0x60, 0x3D, 0xEB, 0x10, 0x15, 0xCA, 0x71, 0xBE, 0x2B, 0x73, 0xAE, 0xF0, 0x85, 0x7D, 0x77, 0x81,
    0x1F, 0x35, 0x2C, 0x07, 0x3B, 0x61, 0x08, 0xD7, 0x2D, 0x98, 0x10, 0xA3, 0x09, 0x14, 0xDF, 0xF4};
constexpr std::array<std::uint8_t, 16> plaintext{0x6B, 0xC1, 0xBE, 0xE2, 0x2E, 0x40, 0x9F, 0x96,
                                                 0xE9, 0x3D, 0x7E, 0x11, 0x73, 0x93, 0x17, 0x2A};

using Implementation = const tolvane::AesImplementation *(*)();
const tolvane::AesImplementation *bitsliced() { return &tolvane::aesBitsliced; }
const tolvane::AesImplementation *aesNi() { return tolvane::aesNi(); }

void runTolvane(benchmark::State &state, Implementation get, std::size_t keySize, bool decrypt) {
  const tolvane::AesImplementation *aes = get();
  if (aes == nullptr) {
    state.SkipWithError("AES-NI is not available here");
    return;
  }
  tolvane::AesKeySchedule schedule;
  aes->makeSchedule(schedule, std::span(key).first(keySize));
  tolvane::prepareAesDecryption(schedule);
  std::array<std::uint8_t, 16> block = plaintext;
  for (auto _ : state) {
    if (decrypt) {
      tolvane::decryptBlock(schedule, block.data(), block.data());
    } else {
      tolvane::encryptBlock(schedule, block.data(), block.data());
    }
    benchmark::DoNotOptimize(block);
  }
  state.SetBytesProcessed(state.iterations() * 16);
}

void encryptBlockTolvane(benchmark::State &state, Implementation get, std::size_t keySize) {
  runTolvane(state, get, keySize, false);
}
void decryptBlockTolvane(benchmark::State &state, Implementation get, std::size_t keySize) {
  runTolvane(state, get, keySize, true);
}
BENCHMARK_CAPTURE(encryptBlockTolvane, bitsliced128, bitsliced, 16);
BENCHMARK_CAPTURE(decryptBlockTolvane, bitsliced128, bitsliced, 16);
BENCHMARK_CAPTURE(encryptBlockTolvane, bitsliced256, bitsliced, 32);
BENCHMARK_CAPTURE(decryptBlockTolvane, bitsliced256, bitsliced, 32);
BENCHMARK_CAPTURE(encryptBlockTolvane, aesNi128, aesNi, 16);
BENCHMARK_CAPTURE(decryptBlockTolvane, aesNi128, aesNi, 16);
BENCHMARK_CAPTURE(encryptBlockTolvane, aesNi256, aesNi, 32);
BENCHMARK_CAPTURE(decryptBlockTolvane, aesNi256, aesNi, 32);

// A schedule made, used for nothing, and wiped; with decrypting, ready for decryption as well.
void makeScheduleTolvane(benchmark::State &state, Implementation get, std::size_t keySize,
                         bool decrypting) {
  const tolvane::AesImplementation *aes = get();
  if (aes == nullptr) {
    state.SkipWithError("AES-NI is not available here");
    return;
  }
  for (auto _ : state) {
    tolvane::AesKeySchedule schedule;
    aes->makeSchedule(schedule, std::span(key).first(keySize));
    if (decrypting) {
      tolvane::prepareAesDecryption(schedule);
    }
    benchmark::DoNotOptimize(schedule.words);
  }
}
BENCHMARK_CAPTURE(makeScheduleTolvane, bitsliced128, bitsliced, 16, false);
BENCHMARK_CAPTURE(makeScheduleTolvane, bitsliced256, bitsliced, 32, false);
BENCHMARK_CAPTURE(makeScheduleTolvane, aesNi128, aesNi, 16, false);
BENCHMARK_CAPTURE(makeScheduleTolvane, aesNi256, aesNi, 32, false);
BENCHMARK_CAPTURE(makeScheduleTolvane, decryptingAesNi128, aesNi, 16, true);
BENCHMARK_CAPTURE(makeScheduleTolvane, decryptingAesNi256, aesNi, 32, true);

#ifdef TOLVANE_BENCH_OPENSSL

void runOpenSsl(benchmark::State &state, std::size_t keySize, bool decrypt) {
  EVP_CIPHER_CTX *context = EVP_CIPHER_CTX_new();
  EVP_CipherInit_ex(context, keySize == 16 ? EVP_aes_128_ecb() : EVP_aes_256_ecb(), nullptr,
                    key.data(), nullptr, decrypt ? 0 : 1);
  EVP_CIPHER_CTX_set_padding(context, 0);
  std::array<std::uint8_t, 16> block = plaintext;
  int written = 0;
  for (auto _ : state) {
    if (decrypt) {
      EVP_DecryptUpdate(context, block.data(), &written, block.data(), 16);
    } else {
      EVP_EncryptUpdate(context, block.data(), &written, block.data(), 16);
    }
    benchmark::DoNotOptimize(block);
  }
  EVP_CIPHER_CTX_free(context);
  state.SetBytesProcessed(state.iterations() * 16);
}

void encryptBlockOpenSsl(benchmark::State &state, std::size_t keySize) {
  runOpenSsl(state, keySize, false);
}
void decryptBlockOpenSsl(benchmark::State &state, std::size_t keySize) {
  runOpenSsl(state, keySize, true);
}
BENCHMARK_CAPTURE(encryptBlockOpenSsl, 128, 16);
BENCHMARK_CAPTURE(decryptBlockOpenSsl, 128, 16);
BENCHMARK_CAPTURE(encryptBlockOpenSsl, 256, 32);
BENCHMARK_CAPTURE(decryptBlockOpenSsl, 256, 32);

#endif

} // namespace
