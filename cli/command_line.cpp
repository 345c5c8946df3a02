#include "cli/command_line.hpp"

#include <algorithm>

#include "base/digits.hpp"
#include "base/errors.hpp"
#include "cli/errors.hpp"

namespace tolvane {

void CommandLine::checkFully() const {
  if (checkCommand == nullptr) {
    throw excCL_RequiredParameterMissing(
        u"one of -verify, -calcpvv, or -calcpinblock must be specified");
  }
  checkCommand(*this);
  if (!anyGuard) {
    return;
  }
  for (const KeyRole &role : kKeyRoles) {
    if (!guards[static_cast<std::size_t>(role.role)].empty() && key(role.role) == nullptr) {
      throw excCL_RequiredParameterMissing(guardWithoutKeyMessage(role.role));
    }
    if (!guards[static_cast<std::size_t>(role.role)].empty() && key(role.role)->isHmac()) {
      throw excCL_MalformedParameter(guardOfHmacKeyMessage(role.role));
    }
  }
}

void CommandLine::checkGuards() const {
  for (const KeyRole &role : kKeyRoles) {
    const std::u16string_view expected = guards[static_cast<std::size_t>(role.role)];
    if (expected.empty()) {
      continue;
    }
    // The guard names the first bytes of the check value; whether they match tells nothing
    // more than the answer would, but the comparison is made in constant time all the same.
    std::array<std::uint8_t, 5> guard{};
    hexToBytes(expected, guard.data());
    const CheckValue &actual = key(role.role)->checkValue();
    const std::size_t count = std::min(expected.size() / 2, actual.size);
    if (count != expected.size() / 2 ||
        !constantTimeEqual(std::span(guard.data(), count), std::span(actual.bytes.data(), count))) {
      throw excProblem(guardMismatchMessage(role.role));
    }
  }
}

} // namespace tolvane
