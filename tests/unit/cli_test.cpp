// What the program's output cannot show of the front end: the UTF-8 edge forms of argument
// decoding and its exact inverse, the error stream's buffering and tie, the narrow text of
// an error, and a data file of exactly the largest size.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/entry.hpp"
#include "cli/errors.hpp"
#include "cli/platform.hpp"
#include "cli/writer.hpp"

namespace tolvane {
namespace {

TEST(Arguments, DecodeUtf8EscapeEverythingElseAndEncodeBack) {
  struct Row {
    const char *bytes;
    Text units;
  };
  const Row rows[] = {
      {"caf\xC3\xA9", u"caf\u00E9"},
      {"\xF0\x9F\x98\x80", u"\xD83D\xDE00"}, // U+1F600 as a surrogate pair
      {"\xF4\x8F\xBF\xBF", u"\xDBFF\xDFFF"}, // U+10FFFF, the last code point
      {"a\xFF"
       "b",
       u"a\xDCFF"
       "b"},                                             // a byte that never starts UTF-8
      {"\x80", u"\xDC80"},                               // a stray continuation byte
      {"\xE2\x82-", u"\xDCE2\xDC82-"},                   // truncated in the middle
      {"\xC0\xAF", u"\xDCC0\xDCAF"},                     // overlong '/'
      {"\xE0\x80\xAF", u"\xDCE0\xDC80\xDCAF"},           // overlong, three bytes
      {"\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},           // an encoded surrogate
      {"\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80"}, // above U+10FFFF
  };
  for (const Row &row : rows) {
    Text decoded;
    decodeArgument(row.bytes, decoded);
    EXPECT_EQ(decoded, row.units) << row.bytes;
    EXPECT_EQ(encodeArgument(row.units), row.bytes);
  }
}

TEST(TextWriter, ErrorsAreUnitBufferedAndFlushTheAnswerFirst) {
  StringWriter out;
  StringWriter err;
  err.setUnitBuffered(true);
  err.tie(&out);
  out.write(u"answer");
  EXPECT_EQ(out.bytes(), "");
  err.write(u"error");
  EXPECT_EQ(out.bytes(), "answer");
  EXPECT_EQ(err.bytes(), "error");
}

TEST(Errors, WhatGivesTheNarrowTextUpToTheFirstWideCharacter) {
  const excProblem e(u"caf\u00E9\u0100cd");
  EXPECT_EQ(std::string(e.what()), "caf\xE9");
  EXPECT_EQ(e.narrowText, std::string("caf\xE9\0\0\0", 7)) << "nothing converted after U+0100";
  EXPECT_EQ(static_cast<const void *>(e.what()), e.narrowText.c_str()) << "second call: the copy";
}

// A newcomer's first guesses reach the list of every word: --help and -h are -helpall.
TEST(Usage, HelpWordsOfOtherToolsGiveTheListOfEveryWord) {
  const auto run = [](const char16_t *word, int &status) {
    const Text args[] = {u"tolvane", word};
    StringWriter out;
    StringWriter err;
    status = runTolvane(args, out, err);
    return out.bytes() + err.bytes();
  };
  int status = -1;
  const std::string every = run(u"-helpall", status);
  ASSERT_EQ(status, 0);
  for (const char16_t *word : {u"--help", u"-h"}) {
    int other = -1;
    EXPECT_EQ(run(word, other), every);
    EXPECT_EQ(other, 0);
  }
}

// A file of 1 MiB is the message whole (its MAC is that of its bytes, which a cut would change);
// one byte more is refused.
TEST(DataFile, TheLargestIsReadWholeAndOneByteMoreRefused) {
  const std::string path = ::testing::TempDir() + "tolvane_data_file";
  std::vector<char> bytes(1024 * 1024, 'A');
  bytes.back() = 'B';
  const auto run = [&](std::size_t size) {
    std::FILE *file = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, size, file);
    std::fclose(file);
    const std::vector<Text> args = {
        u"tolvane", u"-calcmac",    u"-makhmac",  u"0B",
        u"-macalg", u"hmac-sha256", u"-datafile", Text(path.begin(), path.end())};
    StringWriter out, err;
    const int status = runTolvane(args, out, err);
    out.flush();
    err.flush();
    return std::to_string(status) + " " + out.bytes() + err.bytes();
  };
  const std::string whole = run(bytes.size());
  bytes.back() = 'A';
  EXPECT_NE(run(bytes.size()), whole);
  bytes.push_back('A');
  EXPECT_EQ(run(bytes.size()),
            "1 Command line problem:  data file must be 1 MiB or less\r\nuse -help for usage "
            "information");
  EXPECT_EQ(whole.substr(0, 2), "0 ");
  std::remove(path.c_str());
}

} // namespace
} // namespace tolvane
