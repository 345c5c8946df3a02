// The entry in-process: how each class of failure is worded, and that an answer which cannot
// be written is a failure.

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "cli/entry.hpp"
#include "cli/errors.hpp"

namespace tolvane {
namespace {

struct RunResult {
  int status;
  std::string out;
  std::string err;
};

RunResult run(std::initializer_list<Text> args, std::size_t outCapacity = std::string::npos) {
  std::vector<Text> v{u"tolvane"};
  v.insert(v.end(), args);
  StringWriter out(outCapacity);
  StringWriter err;
  err.setUnitBuffered(true);
  err.tie(&out);
  const int status = runTolvane(v, out, err);
  out.flush();
  return {status, out.bytes(), err.bytes()};
}

TEST(Entry, AnswerThatCannotBeWrittenIsAFailure) {
  const RunResult full = run({u"-verifypan", u"-pan", u"7903546128704652"}, 0);
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.err, "Horror!  Unknown exception");

  const RunResult ok = run({u"-verifypan", u"-pan", u"7903546128704652"});
  EXPECT_EQ(ok.status, 0);
  EXPECT_EQ(ok.out, "Y");
  EXPECT_EQ(ok.err, "");
}

TEST(Entry, ProblemsAndCommandLineErrorsAreWordedByClass) {
  const RunResult problem = run({u"-uncalcpinblock", u"-pan", u"0000000000000", u"-pinblock",
                           u"1FFFFFFFFFFFFFFF"});
  EXPECT_EQ(problem.status, 1);
  EXPECT_EQ(problem.out, "");
  EXPECT_EQ(problem.err, "problem:  PIN Sanity; format");

  const RunResult usage = run({u"-frob"});
  EXPECT_EQ(usage.err, "Command line problem:  -frob\r\nuse -help for usage information");
}

TEST(Errors, WhatGivesTheNarrowTextUpToTheFirstWideCharacter) {
  struct Row {
    const char16_t *text;
    std::string narrow;
  };
  const Row rows[] = {
      {u"PIN Sanity; format", "PIN Sanity; format"},
      {u"", ""},
      {nullptr, ""},
      {u"caf\u00E9", "caf\xE9"},
      {u"ab\u20ACcd", "ab"},
  };
  for (std::size_t r = 0; r < std::size(rows); ++r) {
    const excProblem e(rows[r].text);
    EXPECT_EQ(std::string(e.what()), rows[r].narrow) << "row " << r;
    EXPECT_EQ(std::string(e.what()), rows[r].narrow) << "row " << r << ", second call";
  }
}

} // namespace
} // namespace tolvane
