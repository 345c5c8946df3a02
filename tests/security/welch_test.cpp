// Does the time a DES or AES call, or a comparison of MACs, take depend on its key or its data? For
// each call, two classes of input, one fixed and one drawn afresh each time, are interleaved in
// random order; every call starts from a cold cache (the schedule, the data and all the program's
// read-only data flushed, where an engine's tables would be), and its time is read from the
// time-stamp counter. Welch's t statistic then compares the two classes' mean times, over all the
// samples and over samples cropped at several percentiles (slow outliers are mostly interrupts and
// other programs). A |t| of 4.5 or more on any test is taken as a leak.
//
//   welch_test [samples per class]      (default 800000; one line per test; exit 1 on a leak)

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <link.h>
#include <span>
#include <string>
#include <vector>
#include <x86intrin.h>

#include "aes/aes.hpp"
#include "base/secret.hpp"
#include "des/des.hpp"

namespace {

using namespace tolvane;

std::uint64_t nextRandom() { // splitmix64: plenty for test inputs and the choice of class
  static std::uint64_t state = __rdtsc();
  std::uint64_t z = (state += 0x9E3779B97F4A7C15U);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9U;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBU;
  return z ^ (z >> 31);
}

void fillRandom(std::span<std::uint8_t> bytes) {
  for (std::uint8_t &byte : bytes) {
    byte = static_cast<std::uint8_t>(nextRandom());
  }
}

std::vector<std::span<const std::byte>> readOnlySegments;
std::array<RoundKey, 16> roundKeys;
DesKeySchedule tdes;
AesKeySchedule aes[2];
std::array<std::uint8_t, 16> out;

void flush(const void *data, std::size_t size) {
  const auto *p = static_cast<const char *>(data);
  for (std::size_t i = 0; i < size; i += 64) {
    _mm_clflush(p + i);
  }
  _mm_clflush(p + size - 1);
}

struct Test {
  std::string name;
  std::size_t inputSize;
  std::function<void(const std::uint8_t *input)> call;
  std::span<const std::byte> schedule;
  std::function<void(std::vector<std::uint8_t> &)> shapeFixed{}; // made of the fixed input
};

double welchT(const std::vector<double> (&times)[2]) {
  double mean[2]{}, variance[2]{};
  for (int c = 0; c < 2; ++c) {
    const auto n = static_cast<double>(times[c].size());
    for (const double t : times[c]) {
      mean[c] += t / n;
    }
    for (const double t : times[c]) {
      variance[c] += (t - mean[c]) * (t - mean[c]) / (n - 1);
    }
  }
  return (mean[0] - mean[1]) / std::sqrt(variance[0] / static_cast<double>(times[0].size()) +
                                         variance[1] / static_cast<double>(times[1].size()));
}

// Runs one test; returns the largest |t| over the crops and prints it.
double runTest(const Test &test, std::size_t samples) {
  std::vector<std::uint8_t> fixed(test.inputSize), input(test.inputSize);
  fillRandom(fixed);
  if (test.shapeFixed) {
    test.shapeFixed(fixed);
  }
  std::vector<std::pair<int, std::uint64_t>> measured;
  measured.reserve(2 * samples);
  const std::size_t warmUp = 1000;
  while (measured.size() < 2 * samples + warmUp) {
    // Both classes run the very same instructions up to the call: a different path there would
    // leave the branch predictors in a different state, and that shows.
    const int c = static_cast<int>(nextRandom() & 1);
    fillRandom(input);
    const auto keep = static_cast<std::uint8_t>(c - 1); // 0xFF keeps the fixed input
    for (std::size_t i = 0; i < input.size(); ++i) {
      input[i] = static_cast<std::uint8_t>(input[i] ^ ((input[i] ^ fixed[i]) & keep));
    }
    flush(input.data(), input.size());
    flush(test.schedule.data(), test.schedule.size());
    flush(out.data(), out.size());
    for (const auto &segment : readOnlySegments) {
      flush(segment.data(), segment.size());
    }
    _mm_mfence();
    _mm_lfence();
    const std::uint64_t start = __rdtsc();
    _mm_lfence();
    test.call(input.data());
    _mm_lfence();
    const std::uint64_t end = __rdtsc();
    _mm_lfence();
    measured.emplace_back(c, end - start);
  }
  measured.erase(measured.begin(), measured.begin() + warmUp);

  std::vector<std::uint64_t> sorted(measured.size());
  std::transform(measured.begin(), measured.end(), sorted.begin(),
                 [](const auto &m) { return m.second; });
  std::sort(sorted.begin(), sorted.end());
  double worst = 0;
  double worstCrop = 1;
  std::size_t counts[2]{};
  // No crop, then the fastest 50%, 75%, 87.5%, ... 99.9%.
  for (int level = 0; level <= 10; ++level) {
    const double keep = level == 0 ? 1.0 : 1.0 - std::pow(0.5, level);
    const std::uint64_t limit =
        level == 0 ? sorted.back()
                   : sorted[static_cast<std::size_t>(keep * static_cast<double>(sorted.size()))];
    std::vector<double> times[2];
    for (const auto &[c, t] : measured) {
      if (t <= limit) {
        times[c].push_back(static_cast<double>(t));
      }
    }
    if (level == 0) {
      counts[0] = times[0].size();
      counts[1] = times[1].size();
    }
    const double t = std::fabs(welchT(times));
    if (t > worst) {
      worst = t;
      worstCrop = keep;
    }
  }
  std::printf("%-40s %8zu + %8zu samples, median %6llu cycles, |t| = %7.2f (at %5.1f%%)\n",
              test.name.c_str(), counts[0], counts[1],
              static_cast<unsigned long long>(sorted[sorted.size() / 2]), worst, 100 * worstCrop);
  std::fflush(stdout);
  return worst;
}

template <typename T> std::span<const std::byte> bytesOf(const T &object) {
  return std::as_bytes(std::span(&object, 1));
}

} // namespace

int main(int argc, char **argv) {
  const std::size_t samples = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 800000;
  // The read-only segments of the program itself, where the constant tables of its engines are.
  dl_iterate_phdr(
      [](dl_phdr_info *info, std::size_t, void *) {
        for (int i = 0; i < info->dlpi_phnum; ++i) {
          const ElfW(Phdr) &h = info->dlpi_phdr[i];
          if (h.p_type == PT_LOAD && (h.p_flags & (PF_W | PF_X)) == 0) {
            readOnlySegments.emplace_back(
                reinterpret_cast<const std::byte *>(info->dlpi_addr + h.p_vaddr), h.p_memsz);
          }
        }
        return 1; // the program comes first; the shared libraries are not ours
      },
      nullptr);

  std::array<std::uint8_t, 16> key{};
  fillRandom(key);
  makeDoubleKeySchedule(tdes, key.data());
  std::vector<Test> tests;
  for (const DesImplementation *d : {desAvx2(), &desPortable}) {
    if (d == nullptr) {
      std::printf("AVX2 DES: not in this build or on this processor\n");
      continue;
    }
    const std::string engine = std::string(", ") + d->name;
    tests.push_back({"DES key schedule" + engine, 8,
                     [d](const std::uint8_t *k) { d->expandKey(roundKeys.data(), k); },
                     bytesOf(roundKeys)});
    tests.push_back({"Triple-DES block, K1||K2" + engine, 8,
                     [d](const std::uint8_t *in) { d->triple(tdes.data(), in, out.data()); },
                     bytesOf(tdes)});
    tests.push_back({"single DES block" + engine, 8,
                     [d](const std::uint8_t *in) { d->single(tdes.data(), in, out.data()); },
                     bytesOf(tdes)});
  }
  const AesImplementation *implementations[] = {&aesBitsliced, aesNi()};
  for (std::size_t i = 0; i < 2; ++i) {
    const AesImplementation *a = implementations[i];
    if (a == nullptr) {
      std::printf("AES-NI: not in this build or on this processor\n");
      continue;
    }
    a->makeSchedule(aes[i], key);
    const std::string engine = std::string(", ") + a->name;
    tests.push_back({"AES-128 key schedule" + engine, 16,
                     [a, i](const std::uint8_t *k) {
                       a->makeSchedule(aes[i], {k, 16});
                     },
                     bytesOf(aes[i])});
    tests.push_back({"AES-128 block" + engine, 16,
                     [a, i](const std::uint8_t *in) { a->encrypt(aes[i], in, out.data()); },
                     bytesOf(aes[i])});
  }

  // The comparison of MACs, check values and cryptograms: the fixed class compares two equal
  // halves, the random class two that differ at once. A comparison that stops at the first
  // difference answers the second class sooner.
  tests.push_back({"comparison of a MAC, equal or not", 32,
                   [](const std::uint8_t *in) {
                     out[0] = constantTimeEqual({in, 16}, {in + 16, 16}) ? 1 : 0;
                   },
                   bytesOf(out),
                   [](std::vector<std::uint8_t> &fixed) {
                     std::copy_n(fixed.begin(), 16, fixed.begin() + 16);
                   }});

  bool leak = false;
  for (const Test &test : tests) {
    leak = runTest(test, samples) >= 4.5 || leak;
  }
  std::printf("%s\n", leak ? "a leak: |t| >= 4.5" : "no leak found: every |t| < 4.5");
  return leak ? 1 : 0;
}
