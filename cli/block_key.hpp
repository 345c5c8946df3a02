#pragma once
// The key a command line's PIN block is read or made under: the KPE, or the PIN key derived
// from the BDK and the KSN (which it holds, and wipes), or none for a block in the clear.

#include <optional>

#include "base/secret.hpp"
#include "cli/command_line.hpp"
#include "crypto/cipher.hpp"
#include "crypto/dukpt.hpp"
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
// The algorithm of the DUKPT working keys: two-key Triple-DES under a Triple-DES BDK,
// workingKeyOf under an AES one. Only with a BDK.
CipherAlgorithm dukptWorkingAlgorithm(const CommandLine &commandLine);
// The working key of usage for the BDK and KSN of the command line.
Secret<DukptKey> dukptKeyOf(const CommandLine &commandLine, DukptUsage usage);

} // namespace tolvane
