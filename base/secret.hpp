#pragma once
// Key and PIN material clears itself by type: a Secret<T> overwrites its value when it is
// destroyed, and a SecretString its used part whenever it is cleared and when it is destroyed,
// so that no way out of a computation (a return, an exception) can leave a key, a key schedule,
// a PIN field or a typed value behind in released memory. The writes are ones the optimiser may
// not drop although the memory is about to be freed or go out of scope.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "base/text.hpp"

namespace tolvane {

// Zeroes size bytes at data with stores the optimiser may not drop, although the memory is about
// to be freed or go out of scope: the empty assembly statement after the stores takes the
// pointer and may read any memory, so the zeroes must be there. Inline, so that a small value
// of known size is wiped by a store or two. memset wants a valid pointer even for no bytes, and
// an empty value may have none.
inline void wipeBytes(void *data, std::size_t size) noexcept {
  auto *const bytes = static_cast<unsigned char *>(data);
  if (size - 16 <= 16) {
    // 16 to 32 bytes of a size known only when it runs (a request line) by two overlapping
    // stores, not a call.
    std::memset(bytes, 0, 16);
    std::memset(bytes + size - 16, 0, 16);
  } else if (size != 0) {
    std::memset(bytes, 0, size);
  } else {
    return;
  }
  __asm__ __volatile__("" : : "r"(data) : "memory");
}

// True when a and b hold the same bytes. Sizes are not secret, and unequal ones give false at
// once; otherwise the time taken does not depend on where, or whether, the bytes differ.
bool constantTimeEqual(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) noexcept;

// Overwrites every character from position from on with a blank, keeping the length.
void blankText(Text &text, std::size_t from = 0) noexcept;

inline void wipe(Text &text) noexcept { blankText(text); }
inline void wipe(std::string &bytes) noexcept { wipeBytes(bytes.data(), bytes.size()); }
inline void wipe(std::vector<Text> &texts) noexcept {
  for (Text &text : texts) {
    blankText(text);
  }
}

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

// A string reserved once at a capacity it never outgrows, so that it never moves and leaves a
// copy behind; clear() wipes what it held, and so does its destructor.
template <typename CharT> class SecretString {
public:
  explicit SecretString(std::size_t capacity) { value_.reserve(capacity); }
  SecretString(const SecretString &) = delete;
  SecretString &operator=(const SecretString &) = delete;
  ~SecretString() { clear(); }

  void clear() noexcept {
    if (value_.empty()) {
      return;
    }
    if (value_.size() <= 4) {
      // A short answer (Y, N, a PVV) by stores of its own: a call would cost more. Volatile, so
      // that they are neither dropped nor turned into that call.
      volatile CharT *const units = value_.data();
      for (std::size_t i = 0; i < value_.size(); ++i) {
        units[i] = CharT{};
      }
    } else {
      wipeBytes(value_.data(), value_.size() * sizeof(CharT));
    }
    value_.clear();
  }
  std::basic_string<CharT> &operator*() noexcept { return value_; }
  const std::basic_string<CharT> &operator*() const noexcept { return value_; }
  std::basic_string<CharT> *operator->() noexcept { return &value_; }
  const std::basic_string<CharT> *operator->() const noexcept { return &value_; }

private:
  std::basic_string<CharT> value_;
};

// A block of memory of fixed capacity, filled from the front; clear() wipes the part in use,
// and so does the destructor. Views of what it holds stay valid until it is cleared.
template <typename T>
requires std::is_trivially_copyable_v<T>
class SecretBuffer {
public:
  // The memory is not filled: what is never written costs nothing, and the pages an idle batch
  // never touches are never even mapped.
  explicit SecretBuffer(std::size_t capacity)
      : data_(std::make_unique_for_overwrite<T[]>(capacity)), capacity_(capacity) {}
  SecretBuffer(const SecretBuffer &) = delete;
  SecretBuffer &operator=(const SecretBuffer &) = delete;
  ~SecretBuffer() { clear(); }

  void clear() noexcept {
    wipeBytes(data_.get(), std::max(size_, extent_) * sizeof(T));
    size_ = extent_ = 0;
  }
  std::size_t size() const noexcept { return size_; }
  std::size_t capacity() const noexcept { return capacity_; }
  const T *data() const noexcept { return data_.get(); }
  T *data() noexcept { return data_.get(); }
  // Where the next element goes; commit(count) takes count elements written there. written
  // (count or more) says how far the writer went, so that what lies beyond the elements taken
  // is wiped too.
  T *end() noexcept { return data_.get() + size_; }
  void commit(std::size_t count, std::size_t written = 0) noexcept {
    extent_ = std::max(extent_, size_ + written);
    size_ += count;
  }
  // Forgets the elements from position on, wiping them.
  void truncate(std::size_t position) noexcept {
    wipeBytes(data_.get() + position, (size_ - position) * sizeof(T));
    size_ = position;
  }

private:
  std::unique_ptr<T[]> data_;
  std::size_t capacity_;
  std::size_t size_ = 0;
  std::size_t extent_ = 0;
};

} // namespace tolvane
