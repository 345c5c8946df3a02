// Timing of the DES engine, next to OpenSSL libcrypto doing the same work on the same data.
// Each block benchmark enciphers one block in place over and over, so every call waits for the
// one before: the figure is the time of one single-block call, as PVV and PIN block use it.

#include "des/des.hpp"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

#ifdef TOLVANE_BENCH_OPENSSL
// OpenSSL 3 marks the DES_* functions deprecated; they are exactly what is compared against.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/des.h>
#endif

namespace {

// K1||K2 and one block, as in the NIST SP 800-67 example.
constexpr std::array<std::uint8_t, 16> key{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF,
                                           0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0x01};
constexpr std::array<std::uint8_t, 8> plaintext{0x54, 0x68, 0x65, 0x20, 0x71, 0x75, 0x66, 0x63};

void encryptBlockTolvane(benchmark::State &state) {
  tolvane::DesKeySchedule schedule;
  tolvane::makeDoubleKeySchedule(schedule, key.data());
  std::array<std::uint8_t, 8> block = plaintext;
  for (auto _ : state) {
    tolvane::encryptBlock(schedule, block.data(), block.data());
    benchmark::DoNotOptimize(block);
  }
  state.SetBytesProcessed(state.iterations() * 8);
}
BENCHMARK(encryptBlockTolvane);

void decryptBlockTolvane(benchmark::State &state) {
  tolvane::DesKeySchedule schedule;
  tolvane::makeDoubleKeySchedule(schedule, key.data());
  std::array<std::uint8_t, 8> block = plaintext;
  for (auto _ : state) {
    tolvane::decryptBlock(schedule, block.data(), block.data());
    benchmark::DoNotOptimize(block);
  }
  state.SetBytesProcessed(state.iterations() * 8);
}
BENCHMARK(decryptBlockTolvane);

void makeDoubleKeyScheduleTolvane(benchmark::State &state) {
  tolvane::DesKeySchedule schedule;
  for (auto _ : state) {
    tolvane::makeDoubleKeySchedule(schedule, key.data());
    benchmark::DoNotOptimize(schedule);
  }
}
BENCHMARK(makeDoubleKeyScheduleTolvane);

#ifdef TOLVANE_BENCH_OPENSSL

struct OpenSslKeys {
  DES_key_schedule k1;
  DES_key_schedule k2;
};

void setKeys(OpenSslKeys &keys) {
  DES_cblock k1;
  DES_cblock k2;
  for (int i = 0; i < 8; ++i) {
    k1[i] = key[static_cast<std::size_t>(i)];
    k2[i] = key[static_cast<std::size_t>(i) + 8];
  }
  DES_set_key_unchecked(&k1, &keys.k1);
  DES_set_key_unchecked(&k2, &keys.k2);
}

void runOpenSsl(benchmark::State &state, int direction) {
  OpenSslKeys keys;
  setKeys(keys);
  DES_cblock block;
  for (int i = 0; i < 8; ++i) {
    block[i] = plaintext[static_cast<std::size_t>(i)];
  }
  for (auto _ : state) {
    DES_ecb3_encrypt(&block, &block, &keys.k1, &keys.k2, &keys.k1, direction);
    benchmark::DoNotOptimize(block);
  }
  state.SetBytesProcessed(state.iterations() * 8);
}

void encryptBlockOpenSsl(benchmark::State &state) { runOpenSsl(state, DES_ENCRYPT); }
BENCHMARK(encryptBlockOpenSsl);

void decryptBlockOpenSsl(benchmark::State &state) { runOpenSsl(state, DES_DECRYPT); }
BENCHMARK(decryptBlockOpenSsl);

// Two key set-ups are what a double-length key costs libcrypto.
void setTwoKeysOpenSsl(benchmark::State &state) {
  OpenSslKeys keys;
  for (auto _ : state) {
    setKeys(keys);
    benchmark::DoNotOptimize(keys);
  }
}
BENCHMARK(setTwoKeysOpenSsl);

#endif

} // namespace
