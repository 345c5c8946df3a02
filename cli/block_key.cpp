#include "cli/block_key.hpp"

#include "cli/commands.hpp"
#include "crypto/dukpt.hpp"

namespace tolvane {

CipherAlgorithm workingKeyOf(const CommandLine &cl) {
  return cl.workingKey >= 0 ? static_cast<CipherAlgorithm>(cl.workingKey) : CipherAlgorithm::Aes128;
}

BlockKey::BlockKey(const CommandLine &cl, KeyUse use) {
  const KeySlot *bdk = cl.key(Role::Bdk);
  requireUse(cl, bdk != nullptr ? Role::Bdk : Role::Kpe,
             bdk != nullptr ? KeyUse::DeriveDukpt : use);
  if (bdk == nullptr) {
    const KeySlot *kpe = cl.key(Role::Kpe);
    cipher_ = kpe != nullptr ? &kpe->cipher() : nullptr;
    return;
  }
  const CipherAlgorithm working =
      bdk->family() == CipherFamily::Aes ? workingKeyOf(cl) : CipherAlgorithm::Tdes2;
  const Secret<DukptKey> pinKey =
      dukptWorkingKey(bdk->algorithm(), bdk->bytes(), cl.ksn.span(), DukptUsage::Pin, working);
  cipher_ = &derived_.emplace(pinKey->algorithm, pinKey->span());
}

} // namespace tolvane
