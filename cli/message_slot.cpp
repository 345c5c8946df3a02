#include "cli/message_slot.hpp"

#include <algorithm>

#include "base/digits.hpp"
#include "cli/errors.hpp"
#include "cli/platform.hpp"

namespace tolvane {

namespace {

// Small messages share one size of buffer, so that a batch allocates once.
constexpr std::size_t kSmallestBuffer = 4096;

} // namespace

std::uint8_t *MessageSlot::prepare(std::size_t capacity) {
  if (!buffer_ || buffer_->capacity() < capacity) {
    buffer_.emplace(std::max(capacity, kSmallestBuffer));
  }
  buffer_->clear();
  return buffer_->end();
}

void MessageSlot::assignHex(std::u16string_view hex) {
  hexToBytes(hex, prepare(hex.size() / 2));
  buffer_->commit(hex.size() / 2);
}

void MessageSlot::assignFile(std::u16string_view name, bool inBatch) {
  // One byte more than the limit tells a file that is too long, without reading the rest.
  std::uint8_t *const into = prepare(kLongestDataFile + 1);
  int error = 0;
  const auto read = readFilePrefix(name, into, kLongestDataFile + 1, inBatch, &error,
                                   u"a data file cannot be the standard input of a batch");
  if (!read) {
    throw excCL_MalformedParameter(Text(u"could not open data file ") + Text(name) + u": " +
                                   fileErrorText(error));
  }
  buffer_->commit(*read);
  if (*read > kLongestDataFile) {
    buffer_->clear();
    throw excCL_MalformedParameter(u"data file must be 1 MiB or less");
  }
}

} // namespace tolvane
