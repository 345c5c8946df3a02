// The whole program against an independent computation: random PANs, PINs, PVKIs and keys
// run through the entry in-process, compared with a reference that uses OpenSSL's DES.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "cli/entry.hpp"
#include "openssl_reference.hpp"

namespace tolvane {
namespace {

std::string runProgram(const std::vector<std::string> &args) {
  std::vector<Text> argv{u"tolvane"};
  for (const auto &a : args) {
    argv.emplace_back(a.begin(), a.end());
  }
  StringWriter out;
  StringWriter err;
  EXPECT_EQ(runTolvane(argv, out, err), 0) << err.bytes();
  out.flush();
  return out.bytes();
}

std::string randomDigits(std::mt19937 &random, std::size_t n) {
  std::uniform_int_distribution<int> digit(0, 9);
  std::string s;
  while (s.size() < n) {
    s += static_cast<char>('0' + digit(random));
  }
  return s;
}

std::string randomHex(std::mt19937 &random, std::size_t n) {
  std::uniform_int_distribution<int> nibble(0, 15);
  std::string s;
  while (s.size() < n) {
    s += "0123456789ABCDEF"[nibble(random)];
  }
  return s;
}

TEST(CrossCheck, PvvAndEncipheredPinBlocksMatchTheReference) {
  std::mt19937 random(1206);
  std::uniform_int_distribution<std::size_t> panLength(13, 19);
  std::uniform_int_distribution<std::size_t> pinLength(4, 14);
  std::uniform_int_distribution<int> pvkiValue(0, 6);
  const std::size_t keyLengths[] = {16, 32, 48};
  for (int trial = 0; trial < 300; ++trial) {
    // Random PANs rarely pass the Luhn check, and the computations do not depend on it.
    const std::string pan = randomDigits(random, panLength(random));
    const std::string pin = randomDigits(random, pinLength(random));
    const std::string pvki = std::to_string(pvkiValue(random));
    const std::string kpv = randomHex(random, keyLengths[trial % 3]);
    const std::string kpe = randomHex(random, keyLengths[(trial / 3) % 3]);

    auto kpvBytes = reference::fromHex(kpv);
    if (kpvBytes.size() == 8) {
      kpvBytes.insert(kpvBytes.end(), kpvBytes.begin(), kpvBytes.end());
    }
    auto kpeBytes = reference::fromHex(kpe);
    if (kpeBytes.size() == 8) {
      kpeBytes.insert(kpeBytes.end(), kpeBytes.begin(), kpeBytes.end());
    }
    const std::string pvv = reference::pvv(pan, std::stoi(pvki), pin, kpvBytes);
    const std::string block = reference::pinBlock(pin, pan, kpeBytes);

    EXPECT_EQ(runProgram({"-calcpvv", "-suppressluhn", "-pan", pan, "-pin", pin, "-pvki", pvki,
                          "-kpv", kpv}),
              pvv)
        << "trial " << trial;
    EXPECT_EQ(runProgram({"-calcpinblock", "-suppressluhn", "-pan", pan, "-pin", pin, "-kpe", kpe}),
              block)
        << "trial " << trial;
    EXPECT_EQ(runProgram({"-uncalcpinblock", "-suppressluhn", "-pan", pan, "-pinblock", block,
                          "-kpe", kpe}),
              pin)
        << "trial " << trial;
    EXPECT_EQ(runProgram({"-verify", "-suppressluhn", "-pan", pan, "-pinblock", block, "-kpe", kpe,
                          "-pvki", pvki, "-pvv", pvv, "-kpv", kpv}),
              "Y")
        << "trial " << trial;
  }
}

} // namespace
} // namespace tolvane
