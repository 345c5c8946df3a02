#pragma once
// Erasing secrets (keys, PINs, PANs) with writes the optimiser may not drop because the
// memory is about to be freed or go out of scope.

#include <cstddef>
#include <string>
#include <vector>
#include <cstdint>

namespace tolvane {

void wipeBytes(void *data, std::size_t size) noexcept;

template <typename T> void wipeObject(T &object) noexcept { wipeBytes(&object, sizeof object); }

// Overwrites every character from position from on with a blank, keeping the length.
void blankText(std::u16string &text, std::size_t from = 0) noexcept;

inline void wipeBytes(std::vector<std::uint8_t> &bytes) noexcept {
  wipeBytes(bytes.data(), bytes.size());
}

} // namespace tolvane
