#include "pin/key_schedule.hpp"

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
  NibbleBlock block{};
  encryptBlock(*schedule, block.data(), block.data());
  return blockToHex(block).substr(0, 6);
}

} // namespace tolvane
