// decodePinBlock on any block, key and PAN: it returns a PIN of 4 to 14 digits or throws one
// of the four sanity problems, and a PIN it returns makes the same block again.
//
// Input: byte 0 picks the KPE length by its value mod 3 (none, 16 or 24 bytes, so '0', '1'
// and '2' read as what they say); the next 16 bytes are the block's hex digits (an ASCII hex
// digit of either case stands for itself, any other byte picks one of the 22 hex digits of
// both cases); then the KPE bytes; the rest, decoded as the platform decodes an argument, is
// the PAN. Bytes past the end of the input read as zero.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cli/errors.hpp"
#include "cli/platform.hpp"
#include "fuzz/report.hpp"
#include "pin/pin_block.hpp"

namespace tolvane::fuzz {
namespace {

constexpr std::string_view kHexDigits = "0123456789ABCDEFabcdef";

constexpr std::array<std::u16string_view, 4> kSanityTexts = {
    u"PIN Sanity; format", u"PIN Sanity; length", u"PIN Sanity; padding", u"PIN Sanity; digits"};

class Input {
public:
  Input(const std::uint8_t *data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t next() { return position_ < size_ ? data_[position_++] : 0; }
  std::string_view rest() const {
    const std::size_t from = std::min(position_, size_);
    return {reinterpret_cast<const char *>(data_) + from, size_ - from};
  }

private:
  const std::uint8_t *data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

std::string showKey(const std::vector<std::uint8_t> &key) {
  static constexpr char kUpper[] = "0123456789ABCDEF";
  std::string shown = "\"";
  for (std::uint8_t byte : key) {
    shown.push_back(kUpper[byte >> 4]);
    shown.push_back(kUpper[byte & 0x0F]);
  }
  return shown + "\"";
}

} // namespace
} // namespace tolvane::fuzz

// libFuzzer looks the entry up by this name.
// NOLINTNEXTLINE(readability-identifier-naming)
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  using namespace tolvane;
  using namespace tolvane::fuzz;
  Input input(data, size);

  static constexpr std::array<std::size_t, 3> kKeySizes = {0, 16, 24};
  const std::size_t keySize = kKeySizes[input.next() % 3];
  Text hex;
  for (int i = 0; i < 16; ++i) {
    const std::uint8_t byte = input.next();
    const bool isHex = kHexDigits.find(static_cast<char>(byte)) != std::string_view::npos;
    hex.push_back(static_cast<char16_t>(isHex ? byte : kHexDigits[byte % kHexDigits.size()]));
  }
  std::vector<std::uint8_t> kpe;
  for (std::size_t i = 0; i < keySize; ++i) {
    kpe.push_back(input.next());
  }
  const Text pan = decodeArgument(input.rest());

  const auto violation = [&](const std::string &what, const Text &outcome) {
    reportViolation(what + "\nblock: " + showText(hex) + "\nkpe: " + showKey(kpe) +
                    "\npan: " + showText(pan) + "\noutcome: " + showText(outcome));
  };

  Text outcome;
  bool decoded = false;
  try {
    outcome = decodePinBlock(hex, kpe, pan);
    decoded = true;
  } catch (const excProblem &problem) {
    outcome = problem.text;
  } catch (...) {
    violation("decodePinBlock threw something other than excProblem", u"");
  }

  if (decoded) {
    if (outcome.size() < 4 || outcome.size() > 14 ||
        !std::all_of(outcome.begin(), outcome.end(),
                     [](char16_t c) { return c >= u'0' && c <= u'9'; })) {
      violation("returned PIN is not 4 to 14 decimal digits", outcome);
    }
    // The PAN field is the same function of the PAN in both directions, so the round trip
    // holds for any PAN, not only for valid card numbers.
    if (makePinBlock(outcome, pan, kpe) != hexToBlock(hex)) {
      violation("returned PIN does not make the same block again", outcome);
    }
  } else if (std::find(kSanityTexts.begin(), kSanityTexts.end(), outcome) == kSanityTexts.end()) {
    violation("excProblem with a text other than the four sanity failures", outcome);
  }

  return 0;
}
