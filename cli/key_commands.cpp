// The commands about keys (check values, key blocks, components, parity) and about the program
// itself; and the check that a key from a key block may serve an operation.

#include <algorithm>

#include "base/digits.hpp"
#include "base/errors.hpp"
#include "cli/commands.hpp"
#include "cli/errors.hpp"
#include "cli/platform.hpp"
#include "keys/components.hpp"
#include "keys/parity.hpp"
#include "keys/key_block.hpp"
#include "keys/key_block_names.hpp"
#include "keys/key_strength.hpp"

namespace tolvane {

namespace {

// "V2 or V0": codes of width characters each, as a list is written.
void appendCodes(Text &text, std::u16string_view codes, std::size_t width) {
  for (std::size_t at = 0; at < codes.size(); at += width) {
    text += at == 0 ? u"" : at + width == codes.size() ? u" or " : u", ";
    text += codes.substr(at, width);
  }
}

void appendCheckValue(Text &answer, const CheckValue &value) {
  appendHex(answer, std::span(value.bytes.data(), value.size));
}

void appendLine(Text &answer, std::u16string_view name, std::u16string_view value) {
  answer += name;
  answer += u": ";
  answer += value;
  answer += u'\n';
}

// "usage: P0 PIN encryption"
void appendCodeLine(Text &answer, std::u16string_view name, std::u16string_view code,
                    std::span<const CodeName> names) {
  Text value(code);
  value += u' ';
  value += nameOf(names, code);
  appendLine(answer, name, value);
}

constexpr const char16_t *kWrapKeyWords =
    u"wrapkey requires the key (-key, -keyfile, -keyaes, -keyaesfile, -keyblock or "
    u"-keyblockfile) and the KBPK (-kbpk, -kbpkfile, -kbpkaes or -kbpkaesfile)";

// The version -wrapkey writes: -kbversion, or the one of the KBPK's family.
char16_t versionOf(const CommandLine &cl) {
  if (cl.kbVersion != 0) {
    return static_cast<char16_t>(cl.kbVersion);
  }
  return cl.key(Role::Kbpk)->family() == CipherFamily::Aes ? u'D' : u'B';
}

const TextList &componentsOf(const CommandLine &cl) {
  return cl.aesComponents.size != 0 ? cl.aesComponents : cl.components;
}

} // namespace

void requireUse(const CommandLine &cl, Role role, KeyUse use) {
  if (!cl.fromBlock(role)) {
    return;
  }
  const KeyBlock &block = *cl.key(role)->block();
  if (allows(block, use)) {
    return;
  }
  const KeyUseRule rule = keyUseRule(use);
  Text message(keyRole(role).name);
  message += u"block of usage ";
  message += block.usage();
  message += u" and mode ";
  message += block.mode();
  message += u" may not ";
  message += rule.operation;
  message += u": it needs usage ";
  appendCodes(message, rule.usages, 2);
  message += u" and mode ";
  appendCodes(message, rule.modes, 1);
  throw excProblem(message);
}

void checkKcv(const CommandLine &cl) {
  const int given = (cl.key(Role::Kpv) != nullptr) + (cl.key(Role::Kpe) != nullptr) +
                    (cl.key(Role::Key) != nullptr);
  if (given != 1) {
    throw excCL_RequiredParameterMissing(
        u"kcv requires one key: either of -kpv or -kpvfile, or either of -kpe or -kpefile, or "
        u"one of -key, -keyfile, -keyaes, -keyaesfile or -keyblock");
  }
  if (cl.key(Role::Key) != nullptr && cl.key(Role::Key)->isHmac()) {
    throw excProblem(u"keyblock holds an HMAC key, which has no check value");
  }
}

// Of the KPV, the check value of the two keys the PVV uses.
void answerKcv(const CommandLine &cl, Text &answer) {
  const KeySlot *key = cl.key(Role::Kpv) != nullptr   ? cl.key(Role::Kpv)
                       : cl.key(Role::Kpe) != nullptr ? cl.key(Role::Kpe)
                                                      : cl.key(Role::Key);
  appendCheckValue(answer, key->checkValue());
}

void checkUnwrapKey(const CommandLine &cl) {
  if (!cl.fromBlock(Role::Key)) {
    throw excCL_RequiredParameterMissing(
        u"unwrapkey requires -keyblock or -keyblockfile, and the KBPK it is wrapped under");
  }
}

// One field a line. The clear key is shown: this is a test tool (see the manual page).
void answerUnwrapKey(const CommandLine &cl, Text &answer) {
  const KeySlot &key = *cl.key(Role::Key);
  const KeyBlock &block = *key.block();
  // Room for every line at once, so that the key is never left behind by a text that grew.
  answer.reserve(answer.size() + 512 + 2 * block.headerSize);
  appendLine(answer, u"version", {&block.text[0], 1});
  appendCodeLine(answer, u"usage", block.usage(), keyUsageNames());
  appendCodeLine(answer, u"algorithm", {&block.text[7], 1}, keyAlgorithmNames());
  appendCodeLine(answer, u"mode of use", {&block.text[8], 1}, modeOfUseNames());
  appendLine(answer, u"key version", block.keyVersion());
  appendCodeLine(answer, u"exportability", {&block.text[11], 1}, exportabilityNames());
  OptionalBlock optional;
  for (std::u16string_view rest = block.optionalBlocks(); takeOptionalBlock(rest, optional);) {
    Text name(u"optional block ");
    name += optional.id;
    appendLine(answer, name, optional.data);
  }
  answer += u"key: ";
  appendHex(answer, key.bytes());
  answer += u'\n';
  // An HMAC key has no check value of its own kind.
  if (!key.isHmac()) {
    answer += u"check value: ";
    appendCheckValue(answer, key.checkValue());
    answer += u'\n';
  }
}

void checkWrapKey(const CommandLine &cl) {
  const KeySlot *key = cl.key(Role::Key);
  const KeySlot *kbpk = cl.key(Role::Kbpk);
  if (key == nullptr || kbpk == nullptr) {
    throw excCL_RequiredParameterMissing(kWrapKeyWords);
  }
  if (key->isHmac()) {
    throw excProblem(u"keyblock holds an HMAC key, which is not wrapped again");
  }
  const KeyBlock *block = key->block();
  if (block == nullptr && (cl.kbUsage < 0 || cl.kbMode == 0)) {
    throw excCL_RequiredParameterMissing(
        u"wrapkey requires -kbusage and -kbmode unless the key comes as a key block");
  }
  const char16_t version = versionOf(cl);
  if (kbpkSuits(version, kbpk->family()) != KeyBlockProblem::None) {
    throw excCL_MalformedParameter(
        version == u'D' ? u"kbversion D is written under an AES KBPK: -kbpkaes or -kbpkaesfile"
                        : u"kbversion B is written under a Triple-DES KBPK (-kbpk or -kbpkfile): "
                          u"an AES KBPK writes version D");
  }
  if (block == nullptr) {
    return;
  }
  // A key from a block keeps what the block allowed, or less: never more.
  if (cl.kbUsage >= 0 &&
      keyUsageNames()[static_cast<std::size_t>(cl.kbUsage)].code() != block->usage()) {
    throw excCL_MalformedParameter(u"kbusage must be the key block's own usage: a key keeps its "
                                   u"usage when it is wrapped again");
  }
  if (cl.kbMode != 0 && !mayNarrowMode(block->mode(), static_cast<char16_t>(cl.kbMode))) {
    throw excCL_MalformedParameter(
        u"kbmode may only narrow the key block's mode of use (B to E or D, C to G or V)");
  }
  if (cl.kbExport != 0 &&
      !mayTightenExport(block->exportability(), static_cast<char16_t>(cl.kbExport))) {
    throw excCL_MalformedParameter(
        u"kbexport may only tighten the key block's exportability (S to E to N)");
  }
}

void answerWrapKey(const CommandLine &cl, Text &answer) {
  const KeySlot &key = *cl.key(Role::Key);
  const KeySlot &kbpk = *cl.key(Role::Kbpk);
  const KeyBlock *block = key.block();
  if (block != nullptr && !exportable(*block)) {
    throw excProblem(u"keyblock is non-exportable (N): it is not wrapped again");
  }
  // A Triple-DES KBPK whose parts cancel to one DES key is only as strong as that key.
  const bool kbpkSingle = kbpk.family() == CipherFamily::Des && isSingleDesInEffect(kbpk.bytes());
  if (key.algorithm() > (kbpkSingle ? CipherAlgorithm::Des : kbpk.algorithm())) {
    throw excProblem(
        Text(u"a key is never wrapped under a weaker KBPK: the key is ") +
        Text(cipherEntry(key.algorithm()).name) + u", the KBPK " +
        (kbpkSingle ? Text(u"single DES in effect") : Text(cipherEntry(kbpk.algorithm()).name)));
  }
  KeyBlockFields fields;
  fields.version = versionOf(cl);
  fields.usage = cl.kbUsage >= 0 ? keyUsageNames()[static_cast<std::size_t>(cl.kbUsage)].code()
                                 : block->usage();
  fields.mode = cl.kbMode != 0 ? static_cast<char16_t>(cl.kbMode) : block->mode();
  fields.keyVersion = !cl.kbKeyVersion.empty() ? cl.kbKeyVersion
                      : block != nullptr       ? block->keyVersion()
                                               : u"00";
  fields.exportability = cl.kbExport != 0   ? static_cast<char16_t>(cl.kbExport)
                         : block != nullptr ? block->exportability()
                                            : u'N';
  // The block's own optional blocks, less its padding block, which is made anew.
  Text optional;
  if (block != nullptr) {
    fields.reserved = block->reserved();
  }
  if (!cl.kbOptional.empty()) {
    optional = cl.kbOptional;
  } else if (block != nullptr) {
    std::u16string_view rest = block->optionalBlocks();
    for (OptionalBlock taken; !rest.empty();) {
      const std::u16string_view before = rest;
      takeOptionalBlock(rest, taken);
      if (taken.id != u"PB") {
        optional += before.substr(0, before.size() - rest.size());
      }
    }
  }
  fields.optionalBlocks = optional;
  Secret<ClearKey> clear;
  std::copy(key.bytes().begin(), key.bytes().end(), clear->bytes.begin());
  clear->size = key.bytes().size();
  clear->algorithm = key.algorithm();
  Text wrapped;
  if (!wrapKeyBlock(fields, kbpk.blockKeys(fields.version), *clear, systemRandom(), wrapped)) {
    throw excProblem(
        u"the key block would be longer than 9999 characters or hold more than 99 optional blocks");
  }
  answer += wrapped;
}

void checkCombineKeys(const CommandLine &cl) {
  if (cl.components.size != 0 && cl.aesComponents.size != 0) {
    throw excCL_MalformedParameter(u"components must all be -component or all -componentaes");
  }
  const TextList &list = componentsOf(cl);
  if (list.size < 2) {
    throw excCL_RequiredParameterMissing(
        u"combinekeys requires -component, or -componentaes, 2 to 9 times");
  }
  for (std::size_t i = 1; i < list.size; ++i) {
    if (list.items[i].size() != list.items[0].size()) {
      throw excCL_MalformedParameter(u"components must all be of one length");
    }
  }
}

// Each component's check value, then the key (with odd parity for DES), its check value, and
// whether the parity had to be set.
void answerCombineKeys(const CommandLine &cl, Text &answer) {
  answer.reserve(answer.size() + 512);
  const TextList &list = componentsOf(cl);
  const CipherFamily family = cl.aesComponents.size != 0 ? CipherFamily::Aes : CipherFamily::Des;
  const std::size_t size = list.items[0].size() / 2;
  const CipherAlgorithm algorithm = *cipherAlgorithmFor(family, size);
  Secret<std::array<std::uint8_t, 32>> key;
  for (std::size_t i = 0; i < list.size; ++i) {
    Secret<std::array<std::uint8_t, 32>> component;
    hexToBytes(list.items[i], component->data());
    const std::span<const std::uint8_t> bytes(component->data(), size);
    answer += u"component ";
    answer += static_cast<char16_t>(u'1' + i);
    answer += u" check value: ";
    appendCheckValue(answer, keyCheckValue(Cipher(algorithm, bytes)));
    answer += u'\n';
    addComponent(std::span(key->data(), size), bytes);
  }
  const std::span<std::uint8_t> combined(key->data(), size);
  const bool adjusted = family == CipherFamily::Des && setOddParity(combined);
  answer += u"key: ";
  appendHex(answer, combined);
  answer += u"\ncheck value: ";
  appendCheckValue(answer, keyCheckValue(Cipher(algorithm, combined)));
  answer += u'\n';
  if (family == CipherFamily::Des) {
    answer += adjusted ? u"parity: adjusted\n" : u"parity: odd\n";
  }
}

void checkFixParity(const CommandLine &cl) {
  const KeySlot *key = cl.key(Role::Key);
  if (key == nullptr || key->family() != CipherFamily::Des) {
    throw excCL_RequiredParameterMissing(
        u"fixparity requires a DES or Triple-DES key: -key, -keyfile or -keyblock");
  }
}

void answerFixParity(const CommandLine &cl, Text &answer) {
  const KeySlot &key = *cl.key(Role::Key);
  Secret<std::array<std::uint8_t, 32>> bytes;
  std::copy(key.bytes().begin(), key.bytes().end(), bytes->begin());
  const std::span<std::uint8_t> fixed(bytes->data(), key.bytes().size());
  setOddParity(fixed);
  appendHex(answer, fixed);
}

void checkNothing(const CommandLine &) {}

void answerVersion(const CommandLine &, Text &answer) { answer += u"tolvane " TOLVANE_VERSION; }

} // namespace tolvane
