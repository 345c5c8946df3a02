#pragma once
// Where the walk draws its words from: the process arguments, or the words of a batch request.

#include <cstddef>
#include <span>
#include <string_view>

#include "base/text.hpp"

namespace tolvane {

class ArgumentSource {
public:
  virtual ~ArgumentSource() = default;
  // Sets argument to the next one and returns true, or returns false when none is left. The
  // text viewed stays in place until the source is destroyed.
  virtual bool next(std::u16string_view &argument) = 0;
};

// Draws the decoded process arguments, one by one.
class ArgvArgumentSource final : public ArgumentSource {
public:
  explicit ArgvArgumentSource(std::span<const Text> args) : args_(args) {}
  bool next(std::u16string_view &argument) override {
    if (position_ >= args_.size()) {
      return false;
    }
    argument = args_[position_++];
    return true;
  }

private:
  std::span<const Text> args_;
  std::size_t position_ = 0;
};

} // namespace tolvane
