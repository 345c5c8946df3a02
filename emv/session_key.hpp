#pragma once
// The session key of one transaction, derived from the card master key with the application
// transaction counter (ATC) and, in Mastercard's method, the terminal's unpredictable number
// (UN). Both methods encipher an 8-byte block R under the card master key twice, with its byte 2
// (the third) set to F0 for the left half of the key and to 0F for the right half, and give
// every byte odd parity:
// - EMV common session key: R = ATC || 00 00 00 00 00 00;
// - Mastercard: R = ATC || 00 00 || UN.
// None is the card master key itself, as the oldest cryptogram versions use it.

#include <array>
#include <cstdint>

#include "base/secret.hpp"
#include "emv/card_key.hpp"
#include "emv/cryptogram_key.hpp"

namespace tolvane {

enum class SessionKeyMethod : std::uint8_t { None, Emv, Mastercard };

struct SessionKeyInputs {
  std::array<std::uint8_t, 2> atc{}; // needed by Emv and Mastercard
  std::array<std::uint8_t, 4> un{};  // needed by Mastercard
};

Secret<DoubleDesKey> deriveSessionKey(const CryptogramKey &cardKey, SessionKeyMethod method,
                                      const SessionKeyInputs &inputs);

} // namespace tolvane
