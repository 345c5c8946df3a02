// The commands about keys and about the program itself.

#include "base/digits.hpp"
#include "cli/commands.hpp"
#include "cli/errors.hpp"

namespace tolvane {

void checkKcv(const CommandLine &cl) {
  if ((cl.key(Role::Kpv) == nullptr) == (cl.key(Role::Kpe) == nullptr)) {
    throw excCL_RequiredParameterMissing(
        u"kcv requires one key: either of -kpv or -kpvfile, or either of -kpe or -kpefile");
  }
}

// Of the KPV, the check value of the two keys the PVV uses.
void answerKcv(const CommandLine &cl, Text &answer) {
  const KeySlot *key = cl.key(Role::Kpv) != nullptr ? cl.key(Role::Kpv) : cl.key(Role::Kpe);
  const CheckValue &value = key->checkValue();
  appendHex(answer, std::span(value.bytes.data(), value.size));
}

void checkNothing(const CommandLine &) {}

void answerVersion(const CommandLine &, Text &answer) { answer += u"tolvane " TOLVANE_VERSION; }

} // namespace tolvane
