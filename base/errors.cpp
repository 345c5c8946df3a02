#include "base/errors.hpp"

#include "base/secret.hpp"

namespace tolvane {

excWithText::~excWithText() {
  blankText(text);
  wipeBytes(narrowText.data(), narrowText.size());
}

const char *excWithText::what() const noexcept {
  // narrowText is sized once and then only overwritten in place, so this cannot throw after
  // the first call; the first call may, like any allocation, and then the empty text stands.
  if (!text.empty() && narrowText.empty()) {
    try {
      narrowText.assign(text.size(), '\0');
    } catch (...) {
      return "";
    }
    for (std::size_t i = 0; i < text.size() && text[i] < 256; ++i) {
      narrowText[i] = static_cast<char>(text[i]);
    }
  }
  return narrowText.c_str();
}

} // namespace tolvane
