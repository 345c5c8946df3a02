#pragma once
// Where random bytes come from. The program's source is the operating system's (the platform
// layer supplies it); tests give their own, to make fills they can predict.

#include <cstdint>
#include <span>

namespace tolvane {

class RandomSource {
public:
  virtual ~RandomSource() = default;
  // Fills bytes completely, or throws: a failure must never become a weak fill.
  virtual void fill(std::span<std::uint8_t> bytes) = 0;
};

// Random nibbles, one per byte of out: each 0..15, or with letters each 10..15 (A to F). The
// letters are drawn without bias: a byte of 252 or more is drawn again, and the rest (a multiple
// of six values) taken modulo 6.
void randomNibbles(RandomSource &random, std::span<std::uint8_t> out, bool letters);

} // namespace tolvane
