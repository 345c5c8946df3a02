#include "cli/keys.hpp"

#include <algorithm>

#include "base/digits.hpp"
#include "cli/errors.hpp"
#include "cli/platform.hpp"

namespace tolvane {

namespace {

// Stores count (8, 16 or 24) key bytes, a single key twice over; nothing of an earlier, longer
// key survives past the new one.
void storeKey(KeyList &key, const std::uint8_t *bytes, std::size_t count) {
  *key = KeyBytes{};
  std::copy_n(bytes, count, key->bytes.begin());
  if (count == 8) {
    std::copy_n(bytes, 8, key->bytes.begin() + 8);
    count = 16;
  }
  key->size = count;
}

} // namespace

void keyFromHex(const Text &hex, KeyList &key) {
  Secret<std::array<std::uint8_t, 24>> bytes;
  const std::size_t count = hex.size() / 2;
  for (std::size_t i = 0; i < count; ++i) {
    (*bytes)[i] = hexPairToByte(&hex[2 * i]);
  }
  storeKey(key, bytes->data(), count);
}

void keyFromFile(const Text &fileName, KeyList &key, std::size_t longest,
                 const char16_t *wrongLength) {
  Secret<std::array<std::uint8_t, 24>> bytes;
  const auto count = readFilePrefix(fileName, bytes->data(), longest);
  if (!count) {
    throw excCL_MalformedParameter(u"could not open key file");
  }
  if (*count != 8 && *count != 16 && *count != longest) {
    throw excCL_MalformedParameter(wrongLength);
  }
  storeKey(key, bytes->data(), *count);
}

} // namespace tolvane
