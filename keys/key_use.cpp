#include "keys/key_use.hpp"

namespace tolvane {

namespace {

// Indexed by KeyUse. The PIN verification usages: V2 is the Visa PVV, V1 IBM 3624, V0 any. E0
// is the issuer's key for application cryptograms: X for the master key that only derives, X or
// C for a card's own key, which derives session keys or computes and verifies under itself.
// Mode N (no special restriction) is left out on purpose: an operation is granted only by a
// mode that names it. MACs: M0 or M1 for ISO 9797-1 algorithm 1, M3 the retail MAC, M6 CMAC,
// M7 HMAC; D0 enciphers data.
// Characters, not pointers, so that the table needs no relocation when the program starts.
struct RuleText {
  char16_t usages[5];
  char16_t modes[3];
  char16_t operation[24];
};
constexpr RuleText kRules[] = {
    {u"P0", u"EB", u"make a PIN block"},    {u"P0", u"DB", u"read a PIN block"},
    {u"V2V0", u"GC", u"compute a PVV"},     {u"V2V0", u"VC", u"verify a PVV"},
    {u"V1V0", u"GC", u"compute an offset"}, {u"V1V0", u"VC", u"verify an offset"},
    {u"C0", u"GC", u"compute a CVV"},       {u"C0", u"VC", u"verify a CVV"},
    {u"B0", u"X", u"derive DUKPT keys"},    {u"E0", u"X", u"derive card keys"},
    {u"E0", u"XC", u"make cryptograms"},    {u"M0M1", u"GC", u"compute a CBC-MAC"},
    {u"M0M1", u"VC", u"verify a CBC-MAC"},  {u"M3", u"GC", u"compute a retail MAC"},
    {u"M3", u"VC", u"verify a retail MAC"}, {u"M6", u"GC", u"compute a CMAC"},
    {u"M6", u"VC", u"verify a CMAC"},       {u"M7", u"GC", u"compute an HMAC"},
    {u"M7", u"VC", u"verify an HMAC"},      {u"D0", u"EB", u"encrypt data"},
    {u"D0", u"DB", u"decrypt data"},
};

static_assert(std::size(kRules) == static_cast<std::size_t>(KeyUse::DecryptData) + 1,
              "one rule per KeyUse, in its order");

bool among(std::u16string_view list, std::u16string_view item, std::size_t width) {
  for (std::size_t at = 0; at + width <= list.size(); at += width) {
    if (list.substr(at, width) == item) {
      return true;
    }
  }
  return false;
}

} // namespace

KeyUseRule keyUseRule(KeyUse use) {
  const RuleText &rule = kRules[static_cast<std::size_t>(use)];
  return {rule.usages, rule.modes, rule.operation};
}

KeyUse macKeyUse(MacAlgorithm algorithm, bool verifying) {
  switch (algorithm) {
  case MacAlgorithm::Iso9797Alg1:
    return verifying ? KeyUse::VerifyMacIso1 : KeyUse::ComputeMacIso1;
  case MacAlgorithm::Iso9797Alg3:
    return verifying ? KeyUse::VerifyMacIso3 : KeyUse::ComputeMacIso3;
  case MacAlgorithm::Cmac:
    return verifying ? KeyUse::VerifyCmac : KeyUse::ComputeCmac;
  case MacAlgorithm::HmacSha224:
  case MacAlgorithm::HmacSha256:
  case MacAlgorithm::HmacSha384:
  case MacAlgorithm::HmacSha512:
    break;
  }
  return verifying ? KeyUse::VerifyHmac : KeyUse::ComputeHmac;
}

bool blockAllowsHash(const KeyBlock &block, MacAlgorithm algorithm, std::u16string_view &hmName) {
  // The hash codes of the HM optional block, in the order of the HMAC algorithms.
  constexpr std::u16string_view kHashCodes[] = {u"20", u"21", u"22", u"23"};
  const auto hash =
      static_cast<std::size_t>(algorithm) - static_cast<std::size_t>(MacAlgorithm::HmacSha224);
  std::u16string_view rest = block.optionalBlocks();
  for (OptionalBlock optional; takeOptionalBlock(rest, optional);) {
    if (optional.id == u"HM") {
      hmName = optional.data;
      return hash < std::size(kHashCodes) && optional.data == kHashCodes[hash];
    }
  }
  return true;
}

bool allows(const KeyBlock &block, KeyUse use) {
  const KeyUseRule rule = keyUseRule(use);
  const char16_t mode = block.mode();
  return among(rule.usages, block.usage(), 2) && among(rule.modes, {&mode, 1}, 1);
}

bool mayNarrowMode(char16_t from, char16_t to) {
  return from == to || (from == u'B' && (to == u'E' || to == u'D')) ||
         (from == u'C' && (to == u'G' || to == u'V'));
}

bool mayTightenExport(char16_t from, char16_t to) {
  constexpr std::u16string_view kLoosestFirst = u"SEN";
  return kLoosestFirst.find(to) >= kLoosestFirst.find(from);
}

bool exportable(const KeyBlock &block) { return block.exportability() != u'N'; }

} // namespace tolvane
