#pragma once
// Hex text and bytes for the known-answer tests: digits of either case in, upper case out.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tolvane {

using Bytes = std::vector<std::uint8_t>;

inline Bytes fromHex(const std::string &hex) {
  Bytes bytes(hex.size() / 2);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<std::uint8_t>(std::stoul(hex.substr(2 * i, 2), nullptr, 16));
  }
  return bytes;
}

inline std::string toHex(std::span<const std::uint8_t> bytes) {
  std::string hex;
  for (const std::uint8_t byte : bytes) {
    hex += "0123456789ABCDEF"[byte >> 4];
    hex += "0123456789ABCDEF"[byte & 15];
  }
  return hex;
}

} // namespace tolvane
