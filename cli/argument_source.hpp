#pragma once
// Where the walk draws its words from: the process arguments, or the words of a batch request.

#include <cstddef>
#include <span>
#include <string_view>

#include "base/text.hpp"

namespace tolvane {

// A word a source found ahead. Plain, so that room for many costs nothing until it is filled.
struct FoundWord {
  const char16_t *data;
  std::size_t size;
};

class ArgumentSource {
public:
  virtual ~ArgumentSource() = default;
  // Sets argument to the next one and returns true, or returns false when none is left. The
  // text viewed stays in place until the source is destroyed. Words a source found ahead (the
  // words of a plain request line, found at once) are handed out here without a call.
  bool next(std::u16string_view &argument) {
    if (taken_ != found_) {
      const FoundWord &word = ahead_[taken_++];
      argument = std::u16string_view(word.data, word.size);
      return true;
    }
    return !aheadAreAll_ && more(argument);
  }

protected:
  // The next argument, once the words found ahead are all taken.
  virtual bool more(std::u16string_view &argument) = 0;
  // Makes words[0, count) the next arguments, and the last ones; they must stay in place as long
  // as the source.
  void foundAll(const FoundWord *words, std::size_t count) {
    ahead_ = words;
    found_ = count;
    taken_ = 0;
    aheadAreAll_ = true;
  }

private:
  const FoundWord *ahead_ = nullptr;
  std::size_t found_ = 0;
  std::size_t taken_ = 0;
  bool aheadAreAll_ = false;
};

// Draws the decoded process arguments, one by one.
class ArgvArgumentSource final : public ArgumentSource {
public:
  explicit ArgvArgumentSource(std::span<const Text> args) : args_(args) {}

private:
  bool more(std::u16string_view &argument) override {
    if (position_ >= args_.size()) {
      return false;
    }
    argument = args_[position_++];
    return true;
  }

  std::span<const Text> args_;
  std::size_t position_ = 0;
};

} // namespace tolvane
