// The EMV cryptogram commands: -calcarqc, -verifyarqc, -calcarpc and -emvkeys, with the checks
// on their words. Each setting comes from its own word or, left out, from the recipe -cvn names;
// a command that needs a setting neither gives refuses to run rather than guess one.

#include <algorithm>
#include <array>
#include <initializer_list>
#include <optional>
#include <string_view>

#include "base/digits.hpp"
#include "card/luhn.hpp"
#include "cli/commands.hpp"
#include "cli/errors.hpp"
#include "emv/card_key.hpp"
#include "emv/cryptogram.hpp"
#include "emv/recipe.hpp"
#include "emv/session_key.hpp"

namespace tolvane {

namespace {

constexpr std::size_t kLongestAcData = 256; // bytes; the option's rule keeps to it

template <typename Enum> std::optional<Enum> setting(std::int32_t value) {
  return value >= 0 ? std::optional<Enum>(static_cast<Enum>(value)) : std::nullopt;
}

CryptogramSettings settingsOf(const CommandLine &cl) {
  const CryptogramSettings given{setting<CardKeyOption>(cl.cardKeyOption),
                                 setting<SessionKeyMethod>(cl.sessionKey),
                                 setting<MacPadding>(cl.acPadding),
                                 setting<ArpcMethod>(cl.arpcMethod), setting<ArpcKey>(cl.arpcKey)};
  return withRecipe(given,
                    cl.cvn >= 0 ? &cryptogramRecipes()[static_cast<std::size_t>(cl.cvn)] : nullptr);
}

struct Needed {
  bool given;
  std::u16string_view word;
};

// The settings subject needs, those missing named: "calcarqc requires -skd and -acpad, or -cvn".
void requireSettings(std::u16string_view subject, std::initializer_list<Needed> settings) {
  Text missing;
  for (const Needed &needed : settings) {
    if (!needed.given) {
      missing += missing.empty() ? u"" : u" and ";
      missing += needed.word;
    }
  }
  if (!missing.empty()) {
    throw excCL_RequiredParameterMissing(Text(subject) + u" requires " + missing + u", or -cvn");
  }
}

bool hasCardKey(const CommandLine &cl) {
  return cl.key(Role::Imk) != nullptr || cl.key(Role::IccMk) != nullptr;
}

// A card's PAN: 12 to 19 digits, passing the Luhn check unless -suppressluhn.
void checkEmvPan(const CommandLine &cl) {
  if (cl.suppressLuhn) {
    if (!isEmvPan(cl.pan)) {
      throw excCL_MalformedParameter(u"PAN must be 12 to 19 digits");
    }
    return;
  }
  if (!isEmvPan(cl.pan) || !endsInLuhnDigit(cl.pan)) {
    throw excCL_MalformedParameter(u"PAN must be 12-19 digits which pass the Luhn check");
  }
}

// The card master key comes from the IMK and the card's PAN, or is the card's own key. A PAN
// given with the card's own key is still checked.
void checkCardKey(const CommandLine &cl) {
  const bool imk = cl.key(Role::Imk) != nullptr;
  if (imk && cl.key(Role::IccMk) != nullptr) {
    throw excCL_MalformedParameter(u"IMK and ICCMK must not be given together");
  }
  if (imk && cl.pan.empty()) {
    throw excCL_RequiredParameterMissing(u"IMK requires -pan");
  }
  if (!cl.pan.empty()) {
    checkEmvPan(cl);
  }
}

// The session key: its method, and the transaction's values the method takes.
void checkSessionKey(const CommandLine &cl, std::u16string_view subject,
                     const CryptogramSettings &settings) {
  requireSettings(subject, {{settings.sessionKey.has_value(), u"-skd"}});
  switch (*settings.sessionKey) {
  case SessionKeyMethod::None:
    return;
  case SessionKeyMethod::Emv:
    if (cl.atc.empty()) {
      throw excCL_RequiredParameterMissing(u"skd emv requires -atc");
    }
    return;
  case SessionKeyMethod::Mastercard:
    if (cl.atc.empty() || cl.un.empty()) {
      throw excCL_RequiredParameterMissing(u"skd mastercard requires -atc and -un");
    }
    return;
  }
}

void checkArqcWords(const CommandLine &cl, bool verifying) {
  if (!hasCardKey(cl) || cl.acData.empty() || (verifying && cl.arqc.empty())) {
    throw excCL_RequiredParameterMissing(
        verifying ? u"verifyarqc requires -arqc, -acdata, and one of -imk, -imkfile, -iccmk or "
                    u"-iccmkfile"
                  : u"calcarqc requires -acdata, and one of -imk, -imkfile, -iccmk or -iccmkfile");
  }
  checkCardKey(cl);
  const std::u16string_view command = verifying ? u"verifyarqc" : u"calcarqc";
  const CryptogramSettings settings = settingsOf(cl);
  requireSettings(command, {{settings.sessionKey.has_value(), u"-skd"},
                            {settings.padding.has_value(), u"-acpad"}});
  checkSessionKey(cl, command, settings);
}

Secret<DoubleDesKey> cardMasterKeyOf(const CommandLine &cl, const CryptogramSettings &settings) {
  const KeySlot *imk = cl.key(Role::Imk);
  if (imk == nullptr) {
    requireUse(cl, Role::IccMk, KeyUse::CardCryptograms);
    Secret<DoubleDesKey> key;
    const std::span<const std::uint8_t> own = cl.key(Role::IccMk)->bytes();
    std::copy(own.begin(), own.end(), key->begin());
    return key;
  }
  requireUse(cl, Role::Imk, KeyUse::DeriveCardKeys);
  return deriveCardMasterKey(imk->cipher(), cl.pan, cl.psn,
                             cardKeyOptionFor(cl.pan.size(), settings.cardKeyOption));
}

SessionKeyInputs sessionKeyInputsOf(const CommandLine &cl) {
  SessionKeyInputs inputs;
  std::copy_n(cl.atc.bytes.begin(), inputs.atc.size(), inputs.atc.begin());
  std::copy_n(cl.un.bytes.begin(), inputs.un.size(), inputs.un.begin());
  return inputs;
}

// The keys of the command line's cryptograms: the card master key and the session key.
struct Keys {
  explicit Keys(const CommandLine &cl, const CryptogramSettings &settings)
      : card(*cardMasterKeyOf(cl, settings)),
        session(*deriveSessionKey(card, *settings.sessionKey, sessionKeyInputsOf(cl))) {}

  CryptogramKey card;
  CryptogramKey session;
};

// The transaction data as bytes, held in buffer.
using AcData = std::array<std::uint8_t, kLongestAcData>;
std::span<const std::uint8_t> acDataOf(const CommandLine &cl, AcData &buffer) {
  hexToBytes(cl.acData, buffer.data());
  return std::span(buffer.data(), cl.acData.size() / 2);
}

// One line of -emvkeys: the name, blanks to the column of the keys, the key and its check value.
void appendKeyLine(Text &answer, std::u16string_view name, const CryptogramKey &key) {
  constexpr std::size_t kColumn = 17; // two blanks after the longer name
  answer += name;
  answer.append(kColumn - name.size(), u' ');
  appendHex(answer, key.bytes());
  answer += u"  KCV ";
  const CheckValue value = keyCheckValue(key.whole());
  appendHex(answer, std::span(value.bytes.data(), value.size));
  answer += u'\n';
}

} // namespace

void checkCalcArqc(const CommandLine &cl) { checkArqcWords(cl, false); }

void answerCalcArqc(const CommandLine &cl, Text &answer) {
  const CryptogramSettings settings = settingsOf(cl);
  const Keys keys(cl, settings);
  Secret<AcData> data;
  appendHex(answer,
            *Secret<Cryptogram>(computeArqc(keys.session, acDataOf(cl, *data), *settings.padding)));
}

void checkVerifyArqc(const CommandLine &cl) { checkArqcWords(cl, true); }

void answerVerifyArqc(const CommandLine &cl, Text &answer) {
  const CryptogramSettings settings = settingsOf(cl);
  const Keys keys(cl, settings);
  Secret<AcData> data;
  answer += verifyArqc(keys.session, acDataOf(cl, *data), *settings.padding, cl.arqc.span()) ? u"Y"
                                                                                             : u"N";
}

void checkCalcArpc(const CommandLine &cl) {
  if (!hasCardKey(cl) || cl.arqc.empty()) {
    throw excCL_RequiredParameterMissing(
        u"calcarpc requires -arqc, and one of -imk, -imkfile, -iccmk or -iccmkfile");
  }
  checkCardKey(cl);
  const CryptogramSettings settings = settingsOf(cl);
  requireSettings(u"calcarpc", {{settings.arpcMethod.has_value(), u"-arpcmethod"}});
  if (*settings.arpcMethod == ArpcMethod::Two) {
    if (cl.csu.empty()) {
      throw excCL_RequiredParameterMissing(u"ARPC method 2 requires -csu");
    }
    checkSessionKey(cl, u"ARPC method 2", settings);
    return;
  }
  if (cl.arc.empty()) {
    throw excCL_RequiredParameterMissing(u"ARPC method 1 requires -arc");
  }
  requireSettings(u"ARPC method 1", {{settings.arpcKey.has_value(), u"-arpckey"}});
  if (*settings.arpcKey == ArpcKey::SessionKey) {
    checkSessionKey(cl, u"arpckey sk", settings);
  }
}

// Method 2 is made under the session key whatever -arpckey says: it applies to method 1 alone.
void answerCalcArpc(const CommandLine &cl, Text &answer) {
  const CryptogramSettings settings = settingsOf(cl);
  const bool method1 = *settings.arpcMethod == ArpcMethod::One;
  if (method1 && *settings.arpcKey == ArpcKey::CardMasterKey) {
    const CryptogramKey card(*cardMasterKeyOf(cl, settings));
    appendHex(answer,
              *Secret<Cryptogram>(computeArpcMethod1(card.whole(), cl.arqc.span(), cl.arc.span())));
    return;
  }
  const Keys keys(cl, settings);
  if (method1) {
    appendHex(answer, *Secret<Cryptogram>(
                          computeArpcMethod1(keys.session.whole(), cl.arqc.span(), cl.arc.span())));
  } else {
    appendHex(answer, *Secret<ShortArpc>(computeArpcMethod2(keys.session, cl.arqc.span(),
                                                            cl.csu.span(), cl.propAuth.span())));
  }
}

void checkEmvKeys(const CommandLine &cl) {
  if (!hasCardKey(cl)) {
    throw excCL_RequiredParameterMissing(
        u"emvkeys requires one of -imk, -imkfile, -iccmk or -iccmkfile");
  }
  checkCardKey(cl);
  checkSessionKey(cl, u"emvkeys", settingsOf(cl));
}

void answerEmvKeys(const CommandLine &cl, Text &answer) {
  // Room for both lines at once: a text that grew would leave the first key behind in the
  // memory it gave back.
  answer.reserve(answer.size() + 256);
  const Keys keys(cl, settingsOf(cl));
  appendKeyLine(answer, u"card master key", keys.card);
  appendKeyLine(answer, u"session key", keys.session);
}

} // namespace tolvane
