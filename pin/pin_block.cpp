#include "pin/pin_block.hpp"

#include "base/errors.hpp"

namespace tolvane {

void makePinField(NibbleBlock &out, std::u16string_view pin) {
  out.fill(0xFF);
  out[0] = static_cast<std::uint8_t>(pin.size());
  for (std::size_t i = 0; i < pin.size(); ++i) {
    setNibble(out, static_cast<int>(i) + 2, digitValue(pin[i]));
  }
}

void makePanField(NibbleBlock &out, std::u16string_view pan) {
  out.fill(0);
  if (pan.size() < 13) {
    return;
  }
  const std::size_t first = pan.size() - 13;
  for (std::size_t i = 0; i < 12; ++i) {
    setNibble(out, static_cast<int>(i) + 4, digitValue(pan[first + i]));
  }
}

Secret<NibbleBlock> makePinBlock(std::u16string_view pin, std::u16string_view pan,
                                 const Cipher *kpe) {
  Secret<NibbleBlock> pinField;
  Secret<NibbleBlock> panField;
  makePinField(*pinField, pin);
  makePanField(*panField, pan);
  Secret<NibbleBlock> block;
  xorBlocks(block->data(), pinField->data(), panField->data());
  if (kpe != nullptr) {
    kpe->encrypt(block->data(), block->data());
  }
  return block;
}

Secret<Text> decodePinBlock(const NibbleBlock &block, const Cipher *kpe, std::u16string_view pan) {
  Secret<NibbleBlock> field(block);
  if (kpe != nullptr) {
    kpe->decrypt(field->data(), field->data());
  }
  Secret<NibbleBlock> panField;
  makePanField(*panField, pan);
  xorBlocks(field->data(), field->data(), panField->data());

  if (getNibble(*field, 0) != 0) {
    throw excProblem(u"PIN Sanity; format");
  }
  const int length = getNibble(*field, 1);
  if (length < 4 || length > 14) {
    throw excProblem(u"PIN Sanity; length");
  }
  for (int i = length + 2; i < 16; ++i) {
    if (getNibble(*field, i) != 0xF) {
      throw excProblem(u"PIN Sanity; padding");
    }
  }
  Secret<Text> pin;
  pin->reserve(14); // never reallocated, so no PIN digits are left behind in freed memory
  for (int i = 2; i < length + 2; ++i) {
    const int digit = getNibble(*field, i);
    if (digit > 9) {
      throw excProblem(u"PIN Sanity; digits");
    }
    pin->push_back(static_cast<char16_t>(u'0' + digit));
  }
  return pin;
}

} // namespace tolvane
