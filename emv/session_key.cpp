#include "emv/session_key.hpp"

#include <algorithm>

#include "keys/parity.hpp"

namespace tolvane {

Secret<DoubleDesKey> deriveSessionKey(const CryptogramKey &cardKey, SessionKeyMethod method,
                                      const SessionKeyInputs &inputs) {
  Secret<DoubleDesKey> key;
  if (method == SessionKeyMethod::None) {
    *key = cardKey.bytes();
    return key;
  }
  std::array<std::uint8_t, 8> r{};
  std::copy(inputs.atc.begin(), inputs.atc.end(), r.begin());
  if (method == SessionKeyMethod::Mastercard) {
    std::copy(inputs.un.begin(), inputs.un.end(), r.begin() + 4);
  }
  r[2] = 0xF0;
  cardKey.whole().encrypt(r.data(), key->data());
  r[2] = 0x0F;
  cardKey.whole().encrypt(r.data(), key->data() + 8);
  setOddParity(*key);
  return key;
}

} // namespace tolvane
