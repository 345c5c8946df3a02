// The output streams: byte conversion, CR LF, the failed state, and the order of the two
// streams.

#include <gtest/gtest.h>

#include <string>

#include "cli/writer.hpp"
#include "pin/digits.hpp"

namespace tolvane {
namespace {

TEST(TextWriter, ConvertsUnitsToBytesUntilOneCannotBeCarried) {
  struct Row {
    Text text;
    std::string bytes;
    bool failed;
  };
  const Row rows[] = {
      {u"Y", "Y", false},
      {u"a\nb", "a\r\nb", false},
      {u"\n\n", "\r\n\r\n", false},
      {u"caf\u00E9", "caf\xE9", false},
      {u"\u00FF", "\xFF", false},
      {u"ab\u0100cd", "ab", true},
      {u"\u20AC", "", true},
      {u"x\xDC80y", "x", true},
      // Longer than the buffer, so that it is handed on in several pieces.
      {Text(5000, u'7'), std::string(5000, '7'), false},
  };
  for (std::size_t r = 0; r < std::size(rows); ++r) {
    StringWriter out;
    out.write(rows[r].text);
    out.write(u"more");
    EXPECT_EQ(out.flush(), !rows[r].failed) << "row " << r;
    EXPECT_EQ(out.bytes(), rows[r].failed ? rows[r].bytes : rows[r].bytes + "more") << "row " << r;
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

TEST(TextWriter, SinkFailureIsReportedAndStopsTheStream) {
  StringWriter out(3);
  out.write(u"abcdef");
  EXPECT_FALSE(out.flush());
  EXPECT_TRUE(out.failed());
  out.write(u"gh");
  EXPECT_FALSE(out.flush());
  EXPECT_EQ(out.bytes(), "abc");
}

} // namespace
} // namespace tolvane
