// The MAC and data commands: -calcmac and -verifymac over a message under the MAK or a DUKPT MAC
// key, -encrypt and -decrypt under the DEK or a DUKPT data key.

#include <algorithm>
#include <array>
#include <optional>

#include "base/digits.hpp"
#include "cli/block_key.hpp"
#include "cli/commands.hpp"
#include "cli/errors.hpp"
#include "crypto/message_cipher.hpp"
#include "crypto/message_mac.hpp"

namespace tolvane {

namespace {

bool isResponse(const CommandLine &cl) { return cl.direction == 1; }

// The words common to the commands that take a role's key or, in its place, a BDK and a KSN.
// Returns whether DUKPT gives the key.
bool checkKeyOrDukpt(const CommandLine &cl, Role role) {
  if (cl.key(Role::Bdk) == nullptr) {
    checkNoDukptWords(cl);
    if (cl.direction >= 0) {
      throw excCL_RequiredParameterMissing(
          u"direction requires one of -bdk, -bdkfile, -bdkaes or -bdkaesfile");
    }
    return false;
  }
  if (cl.key(role) != nullptr) {
    throw excCL_MalformedParameter(Text(u"BDK and ") + Text(keyRole(role).label) +
                                   u" must not be given together");
  }
  checkDukptWorkingKeyWords(cl);
  return true;
}

// ---- MACs ---------------------------------------------------------------------------------------

MacAlgorithm macAlgorithmOf(const CommandLine &cl) {
  return cl.macAlgorithm >= 0 ? static_cast<MacAlgorithm>(cl.macAlgorithm)
                              : defaultDukptMac(cl.key(Role::Bdk)->family());
}

MacPadding macPaddingOf(const CommandLine &cl) {
  return cl.macPadding >= 0 ? static_cast<MacPadding>(cl.macPadding) : MacPadding::Zeros;
}

// The key the MAC is computed under, as the algorithms see it.
MacKeyKind macKeyKindOf(const CommandLine &cl) {
  const KeySlot *mak = cl.key(Role::Mak);
  if (mak == nullptr) {
    return dukptWorkingAlgorithm(cl);
  }
  return mak->isHmac() ? MacKeyKind() : MacKeyKind(mak->algorithm());
}

// "macalg cmac takes ...".
Text macalgMessage(MacAlgorithm algorithm, std::u16string_view rest) {
  return Text(u"macalg ") + Text(kMacAlgorithmNames[static_cast<std::size_t>(algorithm)]) +
         Text(rest);
}

// The key fits the algorithm; the message says what to give instead.
void checkMacKeyFits(MacAlgorithm algorithm, MacKeyKind key, bool dukpt) {
  std::u16string_view wants;
  switch (macKeyFit(algorithm, key)) {
  case MacKeyFit::Fits:
    return;
  case MacKeyFit::WantsDes:
    wants = dukpt ? u" takes a Triple-DES working key: -workingkey tdes2 or tdes3"
                  : u" takes a DES or Triple-DES MAK: -mak or -makfile";
    break;
  case MacKeyFit::WantsTwoKeyTdes:
    wants = dukpt ? u" takes a two-key Triple-DES working key: -workingkey tdes2"
                  : u" takes a 32-digit MAK: -mak or -makfile";
    break;
  case MacKeyFit::WantsBlockCipher:
    wants = u" takes a Triple-DES or AES MAK: -mak, -makaes or their file forms";
    break;
  case MacKeyFit::WantsHmacKey:
    wants = dukpt ? u" takes no DUKPT key: -makhmac or -makhmacfile"
                  : u" takes an HMAC MAK: -makhmac or -makhmacfile";
    break;
  }
  throw excCL_MalformedParameter(macalgMessage(algorithm, wants));
}

void checkMacWords(const CommandLine &cl, bool verifying) {
  if (cl.data == nullptr || (cl.key(Role::Mak) == nullptr && cl.key(Role::Bdk) == nullptr) ||
      (verifying && cl.macHex.empty())) {
    throw excCL_RequiredParameterMissing(
        verifying ? u"verifymac requires -data or -datafile, -mac, and a MAK (-mak, -makaes, "
                    u"-makhmac or their file forms) or a BDK with -ksn"
                  : u"calcmac requires -data or -datafile, and a MAK (-mak, -makaes, -makhmac "
                    u"or their file forms) or a BDK with -ksn");
  }
  const bool dukpt = checkKeyOrDukpt(cl, Role::Mak);
  if (!dukpt && cl.macAlgorithm < 0) {
    throw excCL_RequiredParameterMissing(u"a MAK requires -macalg");
  }
  const MacAlgorithm algorithm = macAlgorithmOf(cl);
  const MacKeyKind key = macKeyKindOf(cl);
  checkMacKeyFits(algorithm, key, dukpt);
  if (cl.macPadding >= 0 && !takesPadding(algorithm)) {
    throw excCL_MalformedParameter(macalgMessage(algorithm, u" takes no -macpad"));
  }
  const std::size_t full = fullMacLength(algorithm, key);
  if (cl.macLength >= 0 && static_cast<std::size_t>(cl.macLength) > full) {
    Text rest(u" takes a MAC length of 4 to ");
    appendDecimal(rest, full);
    throw excCL_MalformedParameter(macalgMessage(algorithm, rest + u" bytes"));
  }
  if (!verifying) {
    return;
  }
  const std::size_t given = cl.macHex.size() / 2;
  if (given > full) {
    Text rest(u" takes a MAC of 8 to ");
    appendDecimal(rest, 2 * full);
    throw excCL_MalformedParameter(macalgMessage(algorithm, rest + u" hex digits"));
  }
  if (cl.macLength >= 0 && static_cast<std::size_t>(cl.macLength) != given) {
    Text message(u"MAC must be ");
    appendDecimal(message, 2 * static_cast<std::size_t>(cl.macLength));
    throw excCL_MalformedParameter(message + u" hex digits, as -maclen says");
  }
}

// The MAC key of a command line made ready: the MAK's own schedules, kept in its slot, or the
// DUKPT key derived for this transaction, held here and wiped with it.
class MacKeyInUse {
public:
  MacKeyInUse(const CommandLine &cl, MacAlgorithm algorithm, bool verifying) {
    const KeySlot *mak = cl.key(Role::Mak);
    if (mak != nullptr) {
      requireUse(cl, Role::Mak, macKeyUse(algorithm, verifying));
      std::u16string_view hash;
      if (mak->isHmac() && mak->block() != nullptr &&
          !blockAllowsHash(*mak->block(), algorithm, hash)) {
        throw excProblem(Text(u"makblock is bound to the hash of optional block HM ") + Text(hash) +
                         u", not to " +
                         Text(kMacAlgorithmNames[static_cast<std::size_t>(algorithm)]));
      }
    }
    const bool left = algorithm == MacAlgorithm::Iso9797Alg3;
    if (mak != nullptr && mak->isHmac()) {
      key_.hmac = &mak->hmacKey(hmacHash(algorithm));
    } else if (mak != nullptr) {
      key_.cipher = &mak->cipher();
      key_.left = left ? &mak->leftDes() : nullptr;
    } else {
      const Secret<DukptKey> derived = dukptKeyOf(cl, dukptMacUsage(isResponse(cl)));
      key_.cipher = &whole_.emplace(derived->algorithm, derived->span());
      key_.left = left ? &left_.emplace(CipherAlgorithm::Des, derived->span().first(8)) : nullptr;
    }
  }
  const MacKey &key() const { return key_; }

private:
  std::optional<Cipher> whole_;
  std::optional<Cipher> left_;
  MacKey key_;
};

// ---- Data -------------------------------------------------------------------------------------

void checkCipherWords(const CommandLine &cl, bool decrypting) {
  if (cl.data == nullptr || (cl.key(Role::Dek) == nullptr && cl.key(Role::Bdk) == nullptr)) {
    throw excCL_RequiredParameterMissing(
        decrypting ? u"decrypt requires -data or -datafile, and a DEK (-dek, -dekaes or their "
                     u"file forms) or a BDK with -ksn"
                   : u"encrypt requires -data or -datafile, and a DEK (-dek, -dekaes or their "
                     u"file forms) or a BDK with -ksn");
  }
  const bool dukpt = checkKeyOrDukpt(cl, Role::Dek);
  const std::size_t block = dukpt ? cipherEntry(dukptWorkingAlgorithm(cl)).blockSize
                                  : cl.key(Role::Dek)->cipher().blockSize();
  if (cl.mode == static_cast<std::int32_t>(BlockMode::Ecb) && !cl.iv.empty()) {
    throw excCL_MalformedParameter(u"mode ecb takes no -iv");
  }
  if (!cl.iv.empty() && cl.iv.size != block) {
    throw excCL_MalformedParameter(block == 8 ? u"IV must be 16 hex digits for a DES key"
                                              : u"IV must be 32 hex digits for an AES key");
  }
  if (decrypting && cl.dataPadding >= 0) {
    throw excCL_MalformedParameter(u"decrypt takes no -datapad");
  }
  const std::size_t length = cl.data->bytes().size();
  if (cl.dataPadding < 0 && (length == 0 || length % block != 0)) {
    throw excCL_MalformedParameter(
        block == 8 ? (decrypting ? u"data must be whole 8-byte blocks"
                                 : u"data must be whole 8-byte blocks, or give -datapad")
                   : (decrypting ? u"data must be whole 16-byte blocks"
                                 : u"data must be whole 16-byte blocks, or give -datapad"));
  }
}

// The data key of a command line: the DEK's schedule, or the DUKPT key derived for this
// transaction, held here and wiped with it.
class DataKeyInUse {
public:
  DataKeyInUse(const CommandLine &cl, bool decrypting) {
    if (const KeySlot *dek = cl.key(Role::Dek)) {
      requireUse(cl, Role::Dek, decrypting ? KeyUse::DecryptData : KeyUse::EncryptData);
      cipher_ = &dek->cipher();
      return;
    }
    const Secret<DukptKey> derived = dukptKeyOf(cl, dukptDataUsage(isResponse(cl)));
    cipher_ = &derived_.emplace(derived->algorithm, derived->span());
  }
  const Cipher &cipher() const { return *cipher_; }

private:
  std::optional<Cipher> derived_;
  const Cipher *cipher_ = nullptr;
};

BlockMode modeOf(const CommandLine &cl) {
  return cl.mode >= 0 ? static_cast<BlockMode>(cl.mode) : BlockMode::Cbc;
}

// The IV given, or zeros.
std::array<std::uint8_t, 16> ivOf(const CommandLine &cl) {
  std::array<std::uint8_t, 16> iv{};
  std::copy(cl.iv.span().begin(), cl.iv.span().end(), iv.begin());
  return iv;
}

// The text grows to its final size before any secret goes in, so that it leaves no copy behind.
void appendSecretHex(Text &answer, const SecretBuffer<std::uint8_t> &bytes) {
  answer.reserve(answer.size() + 2 * bytes.size());
  appendHex(answer, std::span(bytes.data(), bytes.size()));
}

} // namespace

void checkCalcMac(const CommandLine &cl) { checkMacWords(cl, false); }

void answerCalcMac(const CommandLine &cl, Text &answer) {
  const MacAlgorithm algorithm = macAlgorithmOf(cl);
  const MacKeyInUse key(cl, algorithm, false);
  const Digest mac = computeMessageMac(algorithm, key.key(), cl.data->bytes(), macPaddingOf(cl));
  const std::size_t length = cl.macLength >= 0 ? static_cast<std::size_t>(cl.macLength) : mac.size;
  appendHex(answer, mac.view().first(length));
}

void checkVerifyMac(const CommandLine &cl) { checkMacWords(cl, true); }

void answerVerifyMac(const CommandLine &cl, Text &answer) {
  const MacAlgorithm algorithm = macAlgorithmOf(cl);
  const MacKeyInUse key(cl, algorithm, true);
  std::array<std::uint8_t, 64> given{};
  hexToBytes(cl.macHex, given.data());
  answer += verifyMessageMac(algorithm, key.key(), cl.data->bytes(), macPaddingOf(cl),
                             std::span(given.data(), cl.macHex.size() / 2))
                ? u"Y"
                : u"N";
}

void checkEncrypt(const CommandLine &cl) { checkCipherWords(cl, false); }

void answerEncrypt(const CommandLine &cl, Text &answer) {
  const DataKeyInUse key(cl, false);
  const DataPadding padding =
      cl.dataPadding >= 0 ? static_cast<DataPadding>(cl.dataPadding) : DataPadding::None;
  const std::span<const std::uint8_t> message = cl.data->bytes();
  SecretBuffer<std::uint8_t> out(
      encipheredLength(message.size(), key.cipher().blockSize(), padding));
  const auto iv = ivOf(cl);
  encryptMessage(key.cipher(), modeOf(cl), std::span(iv).first(key.cipher().blockSize()), message,
                 padding, std::span(out.end(), out.capacity()));
  out.commit(out.capacity());
  appendSecretHex(answer, out);
}

void checkDecrypt(const CommandLine &cl) { checkCipherWords(cl, true); }

void answerDecrypt(const CommandLine &cl, Text &answer) {
  const DataKeyInUse key(cl, true);
  const std::span<const std::uint8_t> in = cl.data->bytes();
  SecretBuffer<std::uint8_t> out(in.size());
  const auto iv = ivOf(cl);
  decryptMessage(key.cipher(), modeOf(cl), std::span(iv).first(key.cipher().blockSize()), in,
                 std::span(out.end(), out.capacity()));
  out.commit(out.capacity());
  appendSecretHex(answer, out);
}

} // namespace tolvane
