#pragma once
// The little the program needs from the operating system: arguments as 16-bit text and
// reading a key file.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "pin/digits.hpp"

namespace tolvane {

// UTF-8 to UTF-16 code units; a character above U+FFFF becomes a surrogate pair. Every byte
// that is not part of a well-formed sequence (stray continuation, truncated or overlong form,
// encoded surrogate, value above U+10FFFF) becomes the single unit 0xDC00 + byte, so that no
// input is lost and encodeArgument gives the original bytes back.
Text decodeArgument(std::string_view bytes);

// The exact inverse of decodeArgument: used to turn a file name back into the bytes the
// user typed, whether or not they were valid UTF-8.
std::string encodeArgument(const Text &text);

// Reads up to capacity bytes from the start of the named file, until end of file or capacity,
// and closes it. nullopt when it cannot be opened or read as a file (missing, a directory,
// a read error). Pipes work, which keeps a key out of the process list.
std::optional<std::size_t> readFilePrefix(const Text &name, std::uint8_t *buffer,
                                          std::size_t capacity);

} // namespace tolvane
