// Timing of the DES engines, each beside OpenSSL libcrypto doing the same work on the same data.
// Each block benchmark enciphers one block in place over and over, so every call waits for the
// one before: the figure is the time of one single-block call, as PVV, PIN block and DUKPT use
// it. The Triple-DES ones go through the public functions (the preferred engine); the engine
// ones run each engine by name, the AVX2 one only where the processor has it.
// Run: des_bench --benchmark_repetitions=5

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

using Engine = const tolvane::DesImplementation *(*)();
const tolvane::DesImplementation *portable() { return &tolvane::desPortable; }
const tolvane::DesImplementation *avx2() { return tolvane::desAvx2(); }

// A schedule of K1 (round keys 0..15), K2 reversed (16..31) and K1 again (32..47), made by the
// engine: what Triple-DES encryption and single DES under K1 run.
bool makeSchedule(benchmark::State &state, const tolvane::DesImplementation *des,
                  std::array<tolvane::RoundKey, 48> &schedule) {
  if (des == nullptr) {
    state.SkipWithError("the AVX2 engine is not available here");
    return false;
  }
  std::array<tolvane::RoundKey, 16> k2{};
  des->expandKey(schedule.data(), key.data());
  des->expandKey(k2.data(), key.data() + 8);
  for (std::size_t i = 0; i < 16; ++i) {
    schedule[16 + i] = k2[15 - i];
    schedule[32 + i] = schedule[i];
  }
  return true;
}

void runEngine(benchmark::State &state, Engine get, bool triple) {
  const tolvane::DesImplementation *des = get();
  std::array<tolvane::RoundKey, 48> schedule{};
  if (!makeSchedule(state, des, schedule)) {
    return;
  }
  std::array<std::uint8_t, 8> block = plaintext;
  for (auto _ : state) {
    (triple ? des->triple : des->single)(schedule.data(), block.data(), block.data());
    benchmark::DoNotOptimize(block);
  }
  state.SetBytesProcessed(state.iterations() * 8);
}

void tripleDesBlock(benchmark::State &state, Engine get) { runEngine(state, get, true); }
void singleDesBlock(benchmark::State &state, Engine get) { runEngine(state, get, false); }
BENCHMARK_CAPTURE(tripleDesBlock, avx2, avx2);
BENCHMARK_CAPTURE(tripleDesBlock, portable, portable);
BENCHMARK_CAPTURE(singleDesBlock, avx2, avx2);
BENCHMARK_CAPTURE(singleDesBlock, portable, portable);

// The round keys of one DES key, as DUKPT needs one per derivation step.
void desKeySchedule(benchmark::State &state, Engine get) {
  const tolvane::DesImplementation *des = get();
  if (des == nullptr) {
    state.SkipWithError("the AVX2 engine is not available here");
    return;
  }
  std::array<tolvane::RoundKey, 16> roundKeys{};
  for (auto _ : state) {
    des->expandKey(roundKeys.data(), key.data());
    benchmark::DoNotOptimize(roundKeys);
  }
}
BENCHMARK_CAPTURE(desKeySchedule, avx2, avx2);
BENCHMARK_CAPTURE(desKeySchedule, portable, portable);

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

void runOpenSsl(benchmark::State &state, int direction, bool triple) {
  OpenSslKeys keys;
  setKeys(keys);
  DES_cblock block;
  for (int i = 0; i < 8; ++i) {
    block[i] = plaintext[static_cast<std::size_t>(i)];
  }
  for (auto _ : state) {
    if (triple) {
      DES_ecb3_encrypt(&block, &block, &keys.k1, &keys.k2, &keys.k1, direction);
    } else {
      DES_ecb_encrypt(&block, &block, &keys.k1, direction);
    }
    benchmark::DoNotOptimize(block);
  }
  state.SetBytesProcessed(state.iterations() * 8);
}

void encryptBlockOpenSsl(benchmark::State &state) { runOpenSsl(state, DES_ENCRYPT, true); }
BENCHMARK(encryptBlockOpenSsl);

void decryptBlockOpenSsl(benchmark::State &state) { runOpenSsl(state, DES_DECRYPT, true); }
BENCHMARK(decryptBlockOpenSsl);

void singleDesBlockOpenSsl(benchmark::State &state) { runOpenSsl(state, DES_ENCRYPT, false); }
BENCHMARK(singleDesBlockOpenSsl);

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
