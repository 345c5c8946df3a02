// Arguments as 16-bit text: UTF-8 decoding, the escape for bytes that are not UTF-8, and the
// exact inverse used to open a key file by the name the user typed.

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "cli/platform.hpp"

namespace tolvane {
namespace {

TEST(Arguments, DecodeUtf8AndEscapeEverythingElse) {
  struct Row {
    const char *bytes;
    Text units;
  };
  const Row rows[] = {
      {"-pan", u"-pan"},
      {"caf\xC3\xA9", u"caf\u00E9"},
      {"\xE2\x82\xAC", u"\u20AC"},
      {"\xF0\x9F\x98\x80", u"\xD83D\xDE00"},              // U+1F600 as a surrogate pair
      {"\xF4\x8F\xBF\xBF", u"\xDBFF\xDFFF"},              // U+10FFFF, the last code point
      {"a\xFF" "b", u"a\xDCFF" "b"},                      // a byte that never starts UTF-8
      {"\x80", u"\xDC80"},                                // a stray continuation byte
      {"\xC3", u"\xDCC3"},                                // truncated at the end
      {"\xE2\x82-", u"\xDCE2\xDC82-"},                    // truncated in the middle
      {"\xC0\xAF", u"\xDCC0\xDCAF"},                      // overlong '/'
      {"\xE0\x80\xAF", u"\xDCE0\xDC80\xDCAF"},            // overlong, three bytes
      {"\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},            // an encoded surrogate
      {"\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80"},  // above U+10FFFF
      {"\xF8\x88\x80\x80\x80", u"\xDCF8\xDC88\xDC80\xDC80\xDC80"},
  };
  for (std::size_t r = 0; r < std::size(rows); ++r) {
    const std::string bytes = rows[r].bytes;
    EXPECT_EQ(decodeArgument(bytes), rows[r].units) << "row " << r;
    EXPECT_EQ(encodeArgument(rows[r].units), bytes) << "row " << r;
  }
}

// Any file name, valid UTF-8 or not, must come back byte for byte, or -kpvfile would open a
// different file from the one named.
TEST(Arguments, EncodeInvertsDecodeForArbitraryBytes) {
  std::mt19937 random(7);
  // Bytes from the interesting ranges are drawn more often than plain ASCII.
  const unsigned char pool[] = {'a', '/', 0x80, 0x8F, 0xBF, 0xC2, 0xC3, 0xDF, 0xE0, 0xED,
                                0xEF, 0xF0, 0xF4, 0xF5, 0xFF, 0x9F, 0xA0, 0x90};
  std::uniform_int_distribution<std::size_t> pick(0, std::size(pool) - 1);
  for (int trial = 0; trial < 20000; ++trial) {
    std::string bytes;
    for (int i = trial % 9; i >= 0; --i) {
      bytes.push_back(static_cast<char>(pool[pick(random)]));
    }
    ASSERT_EQ(encodeArgument(decodeArgument(bytes)), bytes) << "trial " << trial;
  }
}

} // namespace
} // namespace tolvane
