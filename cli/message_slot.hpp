#pragma once
// The message of the MAC and data commands, as -data (hex) or -datafile (raw bytes) gives it,
// held in memory that is wiped when the message is replaced or the slot destroyed. The memory
// is kept for the next message that fits, so that a batch's requests reuse it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "base/secret.hpp"

namespace tolvane {

// The largest -datafile: a larger file is refused, and no byte past this and one more is read.
inline constexpr std::size_t kLongestDataFile = std::size_t{1024} * 1024;

class MessageSlot {
public:
  MessageSlot() = default;
  MessageSlot(const MessageSlot &) = delete;
  MessageSlot &operator=(const MessageSlot &) = delete;

  std::span<const std::uint8_t> bytes() const {
    return buffer_ ? std::span(buffer_->data(), buffer_->size()) : std::span<const std::uint8_t>();
  }
  // Checked hex text (an even number of hex digits, possibly none) as the message.
  void assignHex(std::u16string_view hex);
  // The file's bytes as the message. Throws excCL_MalformedParameter when the file cannot be
  // read or holds more than kLongestDataFile bytes; in a batch (inBatch), for its standard input.
  void assignFile(std::u16string_view name, bool inBatch);
  // Wipes the message; the memory stays for the next.
  void clear() {
    if (buffer_) {
      buffer_->clear();
    }
  }

private:
  // Room for capacity bytes, the old message wiped.
  std::uint8_t *prepare(std::size_t capacity);

  std::optional<SecretBuffer<std::uint8_t>> buffer_;
};

} // namespace tolvane
