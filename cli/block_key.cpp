#include "cli/block_key.hpp"

#include "cli/commands.hpp"
#include "crypto/dukpt.hpp"

namespace tolvane {

CipherAlgorithm workingKeyOf(const CommandLine &cl) {
  return cl.workingKey >= 0 ? static_cast<CipherAlgorithm>(cl.workingKey) : CipherAlgorithm::Aes128;
}

CipherAlgorithm dukptWorkingAlgorithm(const CommandLine &cl) {
  return cl.key(Role::Bdk)->family() == CipherFamily::Aes ? workingKeyOf(cl)
                                                          : CipherAlgorithm::Tdes2;
}

Secret<DukptKey> dukptKeyOf(const CommandLine &cl, DukptUsage usage) {
  const KeySlot &bdk = *cl.key(Role::Bdk);
  requireUse(cl, Role::Bdk, KeyUse::DeriveDukpt);
  return dukptWorkingKey(bdk.algorithm(), bdk.bytes(), cl.ksn.span(), usage,
                         dukptWorkingAlgorithm(cl));
}

BlockKey::BlockKey(const CommandLine &cl, KeyUse use) {
  if (cl.key(Role::Bdk) == nullptr) {
    requireUse(cl, Role::Kpe, use);
    const KeySlot *kpe = cl.key(Role::Kpe);
    cipher_ = kpe != nullptr ? &kpe->cipher() : nullptr;
    return;
  }
  const Secret<DukptKey> pinKey = dukptKeyOf(cl, DukptUsage::Pin);
  cipher_ = &derived_.emplace(pinKey->algorithm, pinKey->span());
}

} // namespace tolvane
