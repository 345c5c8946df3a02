#include "pin/key_schedule.hpp"

#include <cassert>

namespace tolvane {

void fillSchedule(KeySchedule &schedule, std::span<const std::uint8_t> key) {
  assert(key.size() == 16 || key.size() == 24);
  if (key.size() == 24) {
    makeTripleKeySchedule(*schedule, key.data());
  } else {
    makeDoubleKeySchedule(*schedule, key.data());
  }
}

} // namespace tolvane
