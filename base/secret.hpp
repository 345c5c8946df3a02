#pragma once
// Key and PIN material clears itself: a Secret<T> overwrites its value when it is destroyed,
// so that no way out of a computation (a return, an exception) can leave a key, a key
// schedule, a PIN field or a typed value behind in released memory. The writes are ones the
// optimiser may not drop although the memory is about to be freed or go out of scope.

#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>
#include <utility>

#include "base/text.hpp"

namespace tolvane {

void wipeBytes(void *data, std::size_t size) noexcept;

// True when a and b hold the same bytes. Sizes are not secret, and unequal ones give false at
// once; otherwise the time taken does not depend on where, or whether, the bytes differ.
bool constantTimeEqual(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) noexcept;

// Overwrites every character from position from on with a blank, keeping the length.
void blankText(Text &text, std::size_t from = 0) noexcept;

inline void wipe(Text &text) noexcept { blankText(text); }

template <typename T>
requires std::is_trivially_copyable_v<T>
void wipe(T &value) noexcept { wipeBytes(&value, sizeof value); }

template <typename T> class Secret {
public:
  Secret() = default;
  explicit Secret(T value) : value_(std::move(value)) {}
  Secret(const Secret &) = default;
  Secret &operator=(const Secret &other) {
    if (this != &other) {
      wipe(value_); // the old value is released by the assignment
      value_ = other.value_;
    }
    return *this;
  }
  ~Secret() { wipe(value_); }

  T &operator*() noexcept { return value_; }
  const T &operator*() const noexcept { return value_; }
  T *operator->() noexcept { return &value_; }
  const T *operator->() const noexcept { return &value_; }

private:
  T value_{};
};

} // namespace tolvane
