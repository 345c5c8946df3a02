#pragma once
// Helpers for the DES tests: blocks and keys are written as 64-bit numbers with byte 0 most
// significant, so that they read exactly as published vectors do.

#include "des/des.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace tolvane::test {

inline void putBigEndian(std::uint64_t value, std::uint8_t *bytes) {
  for (int i = 0; i < 8; ++i) {
    bytes[i] = static_cast<std::uint8_t>(value >> (56 - 8 * i));
  }
}

inline std::uint64_t getBigEndian(const std::uint8_t *bytes) {
  std::uint64_t value = 0;
  for (int i = 0; i < 8; ++i) {
    value = (value << 8) | bytes[i];
  }
  return value;
}

template <std::size_t N> std::array<std::uint8_t, 8 * N> keyBytes(const std::uint64_t (&keys)[N]) {
  std::array<std::uint8_t, 8 * N> bytes{};
  for (std::size_t i = 0; i < N; ++i) {
    putBigEndian(keys[i], bytes.data() + 8 * i);
  }
  return bytes;
}

inline DesKeySchedule doubleSchedule(std::uint64_t k1, std::uint64_t k2) {
  DesKeySchedule schedule;
  makeDoubleKeySchedule(schedule, keyBytes({k1, k2}).data());
  return schedule;
}

inline DesKeySchedule tripleSchedule(std::uint64_t k1, std::uint64_t k2, std::uint64_t k3) {
  DesKeySchedule schedule;
  makeTripleKeySchedule(schedule, keyBytes({k1, k2, k3}).data());
  return schedule;
}

using BlockFunction = void (*)(const DesKeySchedule &, const std::uint8_t *, std::uint8_t *);

// Runs encryptBlock or decryptBlock on block, with separate input and output or in place.
inline std::uint64_t run(BlockFunction function, const DesKeySchedule &schedule,
                         std::uint64_t block, bool inPlace = false) {
  std::uint8_t in[8];
  std::uint8_t out[8];
  putBigEndian(block, in);
  function(schedule, in, inPlace ? in : out);
  return getBigEndian(inPlace ? in : out);
}

inline std::string hex(std::uint64_t value) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llX", static_cast<unsigned long long>(value));
  return text;
}

} // namespace tolvane::test
