#include "cli/keys.hpp"

#include <array>

#include "cli/errors.hpp"
#include "cli/platform.hpp"
#include "pin/wipe.hpp"

namespace tolvane {

namespace {

constexpr std::size_t kMaxKeyBytes = 24;

// Stores count (8, 16 or 24) key bytes, a single key twice over. The old key is wiped first
// and the storage kept at its largest size from the start, so no resize ever moves key bytes
// and leaves a copy behind in freed memory.
void storeKey(KeyList &key, const std::uint8_t *bytes, std::size_t count) {
  wipeKey(key);
  key.reserve(kMaxKeyBytes);
  key.assign(bytes, bytes + count);
  if (count == 8) {
    key.insert(key.end(), bytes, bytes + 8);
  }
}

} // namespace

void wipeKey(KeyList &key) noexcept { wipeBytes(key.data(), key.size()); }

void keyFromHex(const Text &hex, KeyList &key) {
  std::array<std::uint8_t, kMaxKeyBytes> bytes{};
  const std::size_t count = hex.size() / 2;
  for (std::size_t i = 0; i < count; ++i) {
    bytes[i] = hexPairToByte(&hex[2 * i]);
  }
  storeKey(key, bytes.data(), count);
  wipeObject(bytes);
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
  storeKey(key, bytes.data(), *count);
  wipeObject(bytes);
}

} // namespace tolvane
