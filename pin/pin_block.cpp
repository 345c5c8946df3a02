#include "pin/pin_block.hpp"

#include "keys/key_strength.hpp"

namespace tolvane {

// Each format file defines its row.
extern const PinBlockFormat kFormat0, kFormat1, kFormat2, kFormat3, kFormat4;

namespace {

constexpr const PinBlockFormat *kFormats[] = {&kFormat0, &kFormat1, &kFormat2, &kFormat3,
                                              &kFormat4};

} // namespace

std::span<const PinBlockFormat *const> pinBlockFormats() { return kFormats; }

bool mayTranslate(const PinBlockFormat &from, const PinBlockFormat &to) {
  return from.translatable && to.translatable && (to.bindsPan || !from.bindsPan);
}

TranslationKeyProblem translationKeyProblem(const Cipher *from,
                                            std::span<const std::uint8_t> fromKey, const Cipher *to,
                                            std::span<const std::uint8_t> toKey) {
  if (to == nullptr || to->family() != CipherFamily::Des) {
    return TranslationKeyProblem::None;
  }
  if (hasWeakDesPart(toKey)) {
    return TranslationKeyProblem::WeakDes;
  }
  const bool fromSingle =
      from != nullptr && from->family() == CipherFamily::Des && isSingleDesInEffect(fromKey);
  if (isSingleDesInEffect(toKey) && !fromSingle) {
    return TranslationKeyProblem::SingleDes;
  }
  return TranslationKeyProblem::None;
}

const PinBlockFormat *findPinBlockFormat(int number) {
  for (const PinBlockFormat *format : kFormats) {
    if (format->number == number) {
      return format;
    }
  }
  return nullptr;
}

Secret<PinBlock> makePinBlock(const PinBlockFormat &format, std::u16string_view pin,
                              std::u16string_view pan, const Cipher *key, RandomSource &random) {
  Secret<PinBlock> block;
  format.make(*block, pin, pan, key, random);
  return block;
}

Secret<Text> decodePinBlock(const PinBlockFormat &format, const PinBlock &block,
                            std::u16string_view pan, const Cipher *key) {
  Secret<Text> pin;
  format.decode(block, pan, key, *pin);
  return pin;
}

} // namespace tolvane
