// Known answers of the hashes and of HMAC over them, read from sha_vectors.txt. Every digest is
// computed in one call and again fed in pieces of growing length, so that every way a piece can
// meet a block boundary comes up; every MAC is verified whole, cut short and altered.

#include "crypto/hmac.hpp"
#include "sha/sha.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>

#include "support/hex.hpp"

namespace tolvane {
namespace {

// Hex, or XX*N for the byte XX N times over.
Bytes bytesOf(const std::string &text) {
  const std::size_t star = text.find('*');
  if (star == std::string::npos) {
    return fromHex(text);
  }
  return Bytes(std::stoul(text.substr(star + 1)), fromHex(text.substr(0, star))[0]);
}

// An empty piece first, then pieces of 1, 2, 3... bytes.
Digest hashInPieces(const HashAlgorithm &algorithm, const Bytes &message) {
  HashContext context;
  algorithm.init(context);
  algorithm.update(context, {});
  const std::span<const std::uint8_t> all(message);
  for (std::size_t at = 0, piece = 1; at < all.size(); at += piece, ++piece) {
    algorithm.update(context, all.subspan(at, std::min(piece, all.size() - at)));
  }
  Digest digest;
  digest.size = algorithm.digestSize;
  algorithm.finish(context, digest.bytes.data());
  return digest;
}

TEST(Sha, KnownDigestsAndMacs) {
  std::ifstream file(TOLVANE_SHA_VECTORS);
  ASSERT_TRUE(file.is_open()) << "cannot read " << TOLVANE_SHA_VECTORS;
  std::string line, name, key, message, expected;
  int rows = 0;
  for (int number = 1; std::getline(file, line); ++number) {
    if (line.empty() || line[0] == '#') {
      continue;
    }
    std::istringstream(line) >> name >> key >> message >> expected;
    const std::string where = name + ", line " + std::to_string(number);
    const auto row = std::find_if(hashAlgorithms.begin(), hashAlgorithms.end(),
                                  [&](const HashAlgorithm &a) { return a.name == name; });
    ASSERT_NE(row, hashAlgorithms.end()) << where;
    ++rows;
    const Bytes text = bytesOf(message);
    if (key == "-") {
      EXPECT_EQ(toHex(computeHash(*row, text).view()), expected) << where;
      EXPECT_EQ(toHex(hashInPieces(*row, text).view()), expected) << where << ", in pieces";
      continue;
    }
    const HmacKey hmac(*row, bytesOf(key));
    EXPECT_EQ(toHex(hmac.compute(text).view()).substr(0, expected.size()), expected) << where;

    // Whole or cut to 4 bytes it verifies; cut to 3, with a byte too many, or with a bit flipped
    // at either end, it does not.
    Bytes mac = fromHex(expected);
    EXPECT_TRUE(verifyHmac(hmac, text, mac)) << where;
    EXPECT_TRUE(verifyHmac(hmac, text, std::span(mac).first(4))) << where;
    EXPECT_FALSE(verifyHmac(hmac, text, std::span(mac).first(3))) << where;
    for (const std::size_t i : {std::size_t{0}, mac.size() - 1}) {
      mac[i] ^= 0x01;
      EXPECT_FALSE(verifyHmac(hmac, text, mac)) << where << ", byte " << i << " flipped";
      mac[i] ^= 0x01;
    }
    if (mac.size() == row->digestSize) {
      mac.push_back(0);
      EXPECT_FALSE(verifyHmac(hmac, text, mac)) << where << ", a byte too many";
    }
  }
  EXPECT_GT(rows, 0);
}

} // namespace
} // namespace tolvane
