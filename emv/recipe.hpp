#pragma once
// The schemes' cryptogram versions as recipes: each names the settings its cryptograms are made
// with, so that a user names the version instead of piecing the settings together. A setting
// given on its own wins over the recipe's; a cryptogram is never made on a setting that neither
// gives.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "crypto/mac.hpp"
#include "emv/card_key.hpp"
#include "emv/session_key.hpp"

namespace tolvane {

enum class ArpcMethod : std::uint8_t { One = 1, Two = 2 };
// The key of ARPC method 1; method 2 is always made under the session key.
enum class ArpcKey : std::uint8_t { CardMasterKey, SessionKey };

struct CryptogramSettings {
  // None: by the PAN's length (cardKeyOptionFor), as EMV prescribes.
  std::optional<CardKeyOption> cardKeyOption;
  std::optional<SessionKeyMethod> sessionKey;
  std::optional<MacPadding> padding;
  std::optional<ArpcMethod> arpcMethod;
  std::optional<ArpcKey> arpcKey; // none in a recipe of method 2
};

struct CryptogramRecipe {
  std::u16string_view name; // as -cvn takes it: the scheme and its cryptogram version number
  CryptogramSettings settings;
};

// Every recipe, in the order users see them listed.
std::span<const CryptogramRecipe> cryptogramRecipes();

// given, with each setting it lacks taken from recipe (which may be null).
CryptogramSettings withRecipe(const CryptogramSettings &given, const CryptogramRecipe *recipe);

} // namespace tolvane
