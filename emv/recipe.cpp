#include "emv/recipe.hpp"

namespace tolvane {

namespace {

using K = SessionKeyMethod;
using P = MacPadding;
using M = ArpcMethod;

constexpr std::optional<CardKeyOption> kByPan{};
constexpr std::optional<ArpcKey> kNoKey{};

// One row per cryptogram version. Visa derives the card master key by the PAN's length;
// Mastercard and Interac personalise their cards with option A whatever the PAN.
constexpr CryptogramRecipe kRecipes[] = {
    {u"visa10", {kByPan, K::None, P::Zeros, M::One, ArpcKey::CardMasterKey}},
    {u"visa18", {kByPan, K::Emv, P::Bit, M::Two, kNoKey}},
    {u"visa22", {kByPan, K::Emv, P::Bit, M::Two, kNoKey}},
    {u"mc16", {CardKeyOption::A, K::Mastercard, P::Bit, M::One, ArpcKey::CardMasterKey}},
    {u"mc17", {CardKeyOption::A, K::Mastercard, P::Bit, M::One, ArpcKey::CardMasterKey}},
    {u"mc20", {CardKeyOption::A, K::Emv, P::Bit, M::One, ArpcKey::SessionKey}},
    {u"mc21", {CardKeyOption::A, K::Emv, P::Bit, M::One, ArpcKey::SessionKey}},
    {u"interac133", {CardKeyOption::A, K::Mastercard, P::Bit, M::One, ArpcKey::SessionKey}},
};

template <typename T> std::optional<T> either(std::optional<T> given, std::optional<T> fallback) {
  return given ? given : fallback;
}

} // namespace

std::span<const CryptogramRecipe> cryptogramRecipes() { return kRecipes; }

CryptogramSettings withRecipe(const CryptogramSettings &given, const CryptogramRecipe *recipe) {
  if (recipe == nullptr) {
    return given;
  }
  const CryptogramSettings &r = recipe->settings;
  return {either(given.cardKeyOption, r.cardKeyOption), either(given.sessionKey, r.sessionKey),
          either(given.padding, r.padding), either(given.arpcMethod, r.arpcMethod),
          either(given.arpcKey, r.arpcKey)};
}

} // namespace tolvane
