#pragma once
// The key a command line's PIN block is read or made under: the KPE, or the PIN key derived
// from the BDK and the KSN (which it holds, and wipes), or none for a block in the clear.

#include <optional>

#include "cli/command_line.hpp"
#include "crypto/cipher.hpp"
#include "keys/key_use.hpp"

namespace tolvane {

class BlockKey {
public:
  // use: what the KPE is used for (making or reading the block); a BDK must allow deriving. A
  // key from a key block that does not allow it is refused (requireUse).
  BlockKey(const CommandLine &commandLine, KeyUse use);
  BlockKey(const BlockKey &) = delete;
  BlockKey &operator=(const BlockKey &) = delete;
  ~BlockKey() = default;

  const Cipher *cipher() const { return cipher_; }

private:
  std::optional<Cipher> derived_;
  const Cipher *cipher_ = nullptr;
};

// The working key -workingkey names, or the AES DUKPT default (AES-128). Only for an AES BDK.
CipherAlgorithm workingKeyOf(const CommandLine &commandLine);

} // namespace tolvane
