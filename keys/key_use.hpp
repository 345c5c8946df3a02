#pragma once
// What a key from a key block may be used for. A block binds its key to a usage (P0: PIN
// encryption, V2: Visa PVV, ...) and a mode of use (E: encrypt only, V: verify only, ...); a key
// serves an operation only when both allow it, which is how a PIN verification key is kept from
// deciphering PIN blocks. A key given in the clear carries no such binding.

#include <cstdint>
#include <string_view>

#include "crypto/message_mac.hpp"
#include "keys/key_block.hpp"

namespace tolvane {

enum class KeyUse : std::uint8_t {
  MakePinBlock,
  ReadPinBlock,
  ComputePvv,
  VerifyPvv,
  ComputeOffset,
  VerifyOffset,
  ComputeCvv,
  VerifyCvv,
  DeriveDukpt,
  DeriveCardKeys,  // an issuer master key deriving card master keys
  CardCryptograms, // a card master key: session keys derived from it, or cryptograms under it
  ComputeMacIso1,  // ISO 9797-1 algorithm 1 (CBC-MAC): usage M0 or M1
  VerifyMacIso1,
  ComputeMacIso3, // algorithm 3, the retail MAC: usage M3
  VerifyMacIso3,
  ComputeCmac, // usage M6
  VerifyCmac,
  ComputeHmac, // usage M7
  VerifyHmac,
  EncryptData, // usage D0
  DecryptData, // the last: the rule table is checked against it
};

// What an operation needs: one of usages (two characters each, "V2V0") and one of modes; and
// the operation's name, for the message that refuses a key.
struct KeyUseRule {
  std::u16string_view usages;
  std::u16string_view modes;
  std::u16string_view operation;
};

KeyUseRule keyUseRule(KeyUse use);
// What a MAC key must allow to compute or verify a MAC by algorithm: each has a usage of its own.
KeyUse macKeyUse(MacAlgorithm algorithm, bool verifying);
// Whether an HMAC key from block may serve algorithm: its optional block HM, when it has one,
// names the one hash it is for (21 SHA-256, ...). hmName: where that code goes, for a message.
bool blockAllowsHash(const KeyBlock &block, MacAlgorithm algorithm, std::u16string_view &hmName);
bool allows(const KeyBlock &block, KeyUse use);

// Wrapping a key from a block again: its usage stays, its mode of use may only narrow (B to E
// or D, C to G or V) and its exportability only tighten (S to E to N), so that a new block never
// grants what the old one withheld. A block marked N is not wrapped at all.
bool mayNarrowMode(char16_t from, char16_t to);
bool mayTightenExport(char16_t from, char16_t to);
bool exportable(const KeyBlock &block);

} // namespace tolvane
