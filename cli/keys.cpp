#include "cli/keys.hpp"

#include <algorithm>
#include <array>

#include "cli/errors.hpp"
#include "cli/platform.hpp"
#include "pin/wipe.hpp"

namespace tolvane {

namespace {

constexpr std::size_t kMaxKeyBytes = 24;

// Wipes the old key first and keeps the storage at its largest size from the start, so no
// resize ever moves key bytes and leaves a copy behind in freed memory.
void resetKey(KeyList &key, std::size_t size) {
  wipeKey(key);
  key.reserve(kMaxKeyBytes);
  key.resize(size);
}

} // namespace

void wipeKey(KeyList &key) noexcept { wipeBytes(key.data(), key.size()); }

void keyFromHex(const Text &hex, KeyList &key) {
  const std::size_t size = hex.size() / 2;
  resetKey(key, size == 8 ? 16 : size);
  for (std::size_t i = 0; i < size; ++i) {
    key[i] = hexPairToByte(&hex[2 * i]);
  }
  if (size == 8) {
    std::copy(key.begin(), key.begin() + 8, key.begin() + 8);
  }
}

void keyFromFile(const Text &fileName, KeyList &key) {
  std::array<std::uint8_t, 16> bytes{};
  const auto count = readFilePrefix(fileName, bytes.data(), bytes.size());
  if (!count) {
    throw excCL_MalformedParameter(u"could not open key file");
  }
  if (*count != 16 && *count != 8) {
    wipeObject(bytes);
    throw excCL_MalformedParameter(u"KPV from file 16 or 8 bytes");
  }
  if (*count == 8) {
    std::copy(bytes.begin(), bytes.begin() + 8, bytes.begin() + 8);
  }
  resetKey(key, bytes.size());
  std::copy(bytes.begin(), bytes.end(), key.begin());
  wipeObject(bytes);
}

} // namespace tolvane
