#include "pin/pin_field.hpp"

#include <algorithm>

#include "base/errors.hpp"
#include "base/secret.hpp"

namespace tolvane {

void makePanField(std::span<std::uint8_t, 8> out, std::u16string_view pan) {
  // The twelve digits left of the check digit, right-aligned: a shorter PAN (possible only with
  // the Luhn check suppressed, or through a translation from format 4) is preceded by zeros.
  std::uint64_t nibbles = 0;
  if (!pan.empty()) {
    const std::u16string_view digits = pan.substr(0, pan.size() - 1);
    for (const char16_t c : digits.substr(digits.size() > 12 ? digits.size() - 12 : 0)) {
      nibbles = nibbles << 4 | (static_cast<unsigned>(digitValue(c)) & 0xFu);
    }
  }
  storeNibbles(nibbles, out.data());
}

void sealIsoBlock(PinBlock &out, std::u16string_view pan, bool bindsPan, const Cipher *key) {
  out.size = 8;
  if (bindsPan) {
    Secret<NibbleBlock> panField;
    makePanField(*panField, pan);
    xorBlocks(out.bytes.data(), out.bytes.data(), panField->data());
  }
  if (key != nullptr) {
    key->encrypt(out.bytes.data(), out.bytes.data());
  }
}

void openIsoBlock(const PinBlock &block, std::u16string_view pan, bool bindsPan, const Cipher *key,
                  NibbleBlock &field) {
  std::copy_n(block.bytes.begin(), field.size(), field.begin());
  if (key != nullptr) {
    key->decrypt(field.data(), field.data());
  }
  if (bindsPan) {
    Secret<NibbleBlock> panField;
    makePanField(*panField, pan);
    xorBlocks(field.data(), field.data(), panField->data());
  }
}

void readPinField(std::span<const std::uint8_t> field, int control, int maxLength, int fillLow,
                  int fillHigh, Text &pin) {
  const std::uint64_t nibbles = loadNibbles(field.data());
  const auto nibble = [nibbles](int i) { return static_cast<int>(nibbles >> (60 - 4 * i) & 0xF); };
  if (nibble(0) != control) {
    throw excProblem(u"PIN Sanity; format");
  }
  const int length = nibble(1);
  if (length < 4 || length > maxLength) {
    throw excProblem(u"PIN Sanity; length");
  }
  for (int i = length + 2; i < 16; ++i) {
    if (nibble(i) < fillLow || nibble(i) > fillHigh) {
      throw excProblem(u"PIN Sanity; padding");
    }
  }
  pin.reserve(pin.size() + 14); // never reallocated, so no PIN digits are left in freed memory
  for (int i = 2; i < length + 2; ++i) {
    const int digit = nibble(i);
    if (digit > 9) {
      throw excProblem(u"PIN Sanity; digits");
    }
    pin.push_back(static_cast<char16_t>(u'0' + digit));
  }
}

} // namespace tolvane
