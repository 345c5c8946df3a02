#include "pin/key_schedule.hpp"

#include <array>
#include <cassert>

#include "pin/digits.hpp"

namespace tolvane {

void fillSchedule(KeySchedule &schedule, std::span<const std::uint8_t> key) {
  assert(key.size() == 16 || key.size() == 24);
  if (key.size() == 24) {
    makeTripleKeySchedule(*schedule, key.data());
  } else {
    makeDoubleKeySchedule(*schedule, key.data());
  }
}

Text keyCheckValue(std::span<const std::uint8_t> key) {
  KeySchedule schedule;
  fillSchedule(schedule, key);
  std::array<std::uint8_t, 8> block{};
  encryptBlock(*schedule, block.data(), block.data());
  Text hex(6, u'0');
  for (std::size_t i = 0; i < 3; ++i) {
    byteToHexPair(block[i], &hex[2 * i]);
  }
  return hex;
}

} // namespace tolvane
