#include "pin/pin_block.hpp"

#include "cli/errors.hpp"
#include "des/des.hpp"
#include "pin/wipe.hpp"

namespace tolvane {

namespace {

enum class Direction { Encrypt, Decrypt };

void applyKpe(NibbleBlock &block, std::span<const std::uint8_t> kpe, Direction direction) {
  DesKeySchedule schedule;
  if (kpe.size() == 24) {
    makeTripleKeySchedule(schedule, kpe.data());
  } else {
    makeDoubleKeySchedule(schedule, kpe.data());
  }
  if (direction == Direction::Encrypt) {
    encryptBlock(schedule, block.data(), block.data());
  } else {
    decryptBlock(schedule, block.data(), block.data());
  }
  wipeObject(schedule);
}

} // namespace

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

NibbleBlock makePinBlock(std::u16string_view pin, std::u16string_view pan,
                         std::span<const std::uint8_t> kpe) {
  NibbleBlock pinField;
  NibbleBlock panField;
  makePinField(pinField, pin);
  makePanField(panField, pan);
  NibbleBlock block;
  xorBlocks(block.data(), pinField.data(), panField.data());
  wipeObject(pinField);
  wipeObject(panField);
  if (!kpe.empty()) {
    applyKpe(block, kpe, Direction::Encrypt);
  }
  return block;
}

Text decodePinBlock(const Text &pinBlockHex, std::span<const std::uint8_t> kpe,
                    std::u16string_view pan) {
  NibbleBlock field = hexToBlock(pinBlockHex);
  if (!kpe.empty()) {
    applyKpe(field, kpe, Direction::Decrypt);
  }
  NibbleBlock panField;
  makePanField(panField, pan);
  xorBlocks(field.data(), field.data(), panField.data());
  wipeObject(panField);

  // The clear field is wiped whichever way this ends, so read it into locals first.
  const char16_t *problem = nullptr;
  Text pin;
  pin.reserve(14); // never reallocated, so no PIN digits are left behind in freed memory
  const int length = getNibble(field, 1);
  if (getNibble(field, 0) != 0) {
    problem = u"PIN Sanity; format";
  } else if (length < 4 || length > 14) {
    problem = u"PIN Sanity; length";
  } else {
    for (int i = length + 2; i < 16 && problem == nullptr; ++i) {
      if (getNibble(field, i) != 0xF) {
        problem = u"PIN Sanity; padding";
      }
    }
    for (int i = 2; i < length + 2 && problem == nullptr; ++i) {
      const int digit = getNibble(field, i);
      if (digit > 9) {
        problem = u"PIN Sanity; digits";
      } else {
        pin.push_back(static_cast<char16_t>(u'0' + digit));
      }
    }
  }
  wipeObject(field);
  if (problem != nullptr) {
    blankText(pin);
    throw excProblem(problem);
  }
  return pin;
}

} // namespace tolvane
