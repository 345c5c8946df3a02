// The whole program against an independent computation: random PANs, PINs, PVKIs and keys of
// every length run through the entry in-process (PVVs, PIN blocks both ways, key check values),
// compared with plain string handling on hex text and OpenSSL's DES, written apart from the
// program on purpose.

// OpenSSL 3 marks the DES_* functions deprecated; they are exactly the reference wanted here.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/des.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "cli/entry.hpp"

namespace tolvane {
namespace {

// E(K1) D(K2) E(K3) of one block, all as hex; a key of 16 digits is K||K||K, of 32 K1||K2||K1.
std::string ede(const std::string &block, std::string key) {
  while (key.size() < 48) {
    key += key.substr(0, 16);
  }
  DES_cblock bytes[4];
  auto *raw = reinterpret_cast<unsigned char *>(bytes);
  const std::string all = key + block;
  for (std::size_t i = 0; i < 32; ++i) {
    raw[i] = static_cast<unsigned char>(std::stoi(all.substr(2 * i, 2), nullptr, 16));
  }
  DES_key_schedule s[3];
  for (int i = 0; i < 3; ++i) {
    DES_set_key_unchecked(&bytes[i], &s[i]);
  }
  DES_ecb3_encrypt(&bytes[3], &bytes[3], &s[0], &s[1], &s[2], DES_ENCRYPT);
  std::string hex;
  for (int i = 24; i < 32; ++i) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02X", raw[i]);
    hex += pair;
  }
  return hex;
}

std::string run(std::initializer_list<std::string> args) {
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

TEST(CrossCheck, PvvAndPinBlocksMatchTheReference) {
  std::mt19937 random(1206);
  const auto text = [&](std::size_t n, std::size_t radix) {
    std::string s;
    while (s.size() < n) {
      s += "0123456789ABCDEF"[random() % radix];
    }
    return s;
  };
  for (std::size_t trial = 0; trial < 300; ++trial) {
    // Random PANs rarely pass the Luhn check, and the computations do not depend on it.
    const std::string pan = text(13 + random() % 7, 10), pin = text(4 + random() % 11, 10);
    const std::string pvki = std::to_string(random() % 7);
    const std::string kpv = text(16 * (1 + trial % 3), 16);
    const std::string kpe = text(16 * (1 + trial / 3 % 3), 16);
    std::string pvv;
    for (int pass = 0; pass < 2; ++pass) {
      for (char c :
           ede(pan.substr(pan.size() - 12, 11) + pvki + pin.substr(0, 4), kpv.substr(0, 32))) {
        if (pvv.size() < 4 && (c <= '9') == (pass == 0)) {
          pvv += static_cast<char>(pass == 0 ? c : c - 'A' + '0');
        }
      }
    }
    std::string field = std::string("0") + "0123456789ABCDE"[pin.size()] + pin;
    field.resize(16, 'F');
    const std::string panField = "0000" + pan.substr(pan.size() - 13, 12);
    std::string clear;
    for (std::size_t i = 0; i < 16; ++i) {
      clear += "0123456789ABCDEF"[std::stoi(field.substr(i, 1), nullptr, 16) ^
                                  std::stoi(panField.substr(i, 1), nullptr, 16)];
    }
    const std::string block = ede(clear, kpe);

    EXPECT_EQ(
        run({"-calcpvv", "-suppressluhn", "-pan", pan, "-pin", pin, "-pvki", pvki, "-kpv", kpv}),
        pvv)
        << "trial " << trial;
    EXPECT_EQ(run({"-calcpinblock", "-suppressluhn", "-pan", pan, "-pin", pin, "-kpe", kpe}), block)
        << "trial " << trial;
    EXPECT_EQ(run({"-kcv", "-kpe", kpe}), ede("0000000000000000", kpe).substr(0, 6))
        << "trial " << trial;
    EXPECT_EQ(
        run({"-uncalcpinblock", "-suppressluhn", "-pan", pan, "-pinblock", block, "-kpe", kpe}),
        pin)
        << "trial " << trial;
    EXPECT_EQ(run({"-verify", "-suppressluhn", "-pan", pan, "-pinblock", block, "-kpe", kpe,
                   "-pvki", pvki, "-pvv", pvv, "-kpv", kpv}),
              "Y")
        << "trial " << trial;
  }
}

} // namespace
} // namespace tolvane
