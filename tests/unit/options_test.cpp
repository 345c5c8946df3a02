// The parsed record: which error class each refusal is (the report text alone does not show
// it), the scrubbing of what the user typed, and the narrow text of an error.

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "cli/errors.hpp"
#include "cli/options.hpp"

namespace tolvane {
namespace {

std::vector<Text> argv(std::initializer_list<Text> args) {
  std::vector<Text> v{u"tolvane"};
  v.insert(v.end(), args);
  return v;
}

enum class Kind { Help, Unrecognized, Malformed, Missing };

Kind kindOf(const excCmdLine &e) {
  if (dynamic_cast<const excCL_Help *>(&e)) {
    return Kind::Help;
  }
  if (dynamic_cast<const excCL_UnrecognizedOption *>(&e)) {
    return Kind::Unrecognized;
  }
  if (dynamic_cast<const excCL_MalformedParameter *>(&e)) {
    return Kind::Malformed;
  }
  return Kind::Missing;
}

const Text kPan = u"7903546128704652";
const Text kKey = u"0123456789ABCDEFFEDCBA9876543210";

TEST(CommandLine, EachRefusalHasItsClassAndText) {
  struct Row {
    std::vector<Text> args;
    Kind kind;
    Text text;
  };
  const Row rows[] = {
      {argv({}), Kind::Missing, u"one of -verify, -calcpvv, or -calcpinblock must be specified"},
      {argv({u"-help"}), Kind::Help, u""},
      {argv({u"-frob"}), Kind::Unrecognized, u"-frob"},
      {argv({u"-verifypan\r"}), Kind::Missing, u"verifypan requires -pan"},
      {argv({u"-pin"}), Kind::Missing, u"missing PIN"},
      {argv({u"-pin", u"123"}), Kind::Malformed, u"PIN must be 4 to 14 digits"},
      {argv({u"-kpv", u"0123"}), Kind::Malformed, u"KPV must be 48, 32 or 16 hex digits"},
      {argv({u"-kpe", u"0123456789ABCDEG"}), Kind::Malformed, u"KPE must be 48, 32 or 16 hex digits"},
      {argv({u"-kpvfile", u"/nonexistent/key"}), Kind::Malformed, u"could not open key file"},
      {argv({u"-calcpinblock", u"-pin", u"1234", u"-pan", u"12"}), Kind::Malformed,
       u"PAN must be 13-19 digits which pass the Luhn check"},
      {argv({u"-fixpan", u"-pan", u"1"}), Kind::Malformed, u"fixpan requires at least two pan digits"},
      {argv({u"-calcpvv", u"-pan", kPan}), Kind::Missing,
       u"calcpvv requires -pan, -pvki, -pin, and either of -kpv or -kpvfile"},
  };
  for (std::size_t r = 0; r < std::size(rows); ++r) {
    const auto &row = rows[r];
    try {
      CommandLine cl(static_cast<std::int32_t>(row.args.size()), row.args.data());
      ADD_FAILURE() << "row " << r << ": accepted";
    } catch (const excCmdLine &e) {
      EXPECT_EQ(kindOf(e), row.kind) << "row " << r;
      EXPECT_EQ(e.text, row.text) << "row " << r;
    }
  }
}

TEST(CommandLine, HelpCarriesWhichTextWasAskedFor) {
  for (const bool all : {false, true}) {
    const auto args = argv({all ? u"-help2" : u"-help", u"-frob"});
    try {
      CommandLine cl(static_cast<std::int32_t>(args.size()), args.data());
      ADD_FAILURE() << "accepted";
    } catch (const excCL_Help &e) {
      EXPECT_EQ(e.showAll, all);
      EXPECT_TRUE(e.text.empty());
    }
  }
}

TEST(CommandLine, ScrubBlanksTextsAndZeroesKeys) {
  const auto args = argv({u"-calcpvv", u"-pin", u"12345", u"-pan", kPan, u"-pvki", u"3",
                          u"-pvv", u"1234", u"-pinblock", u"0412AC89ABCDEF67", u"-kpv",
                          kKey, u"-kpe", kKey});
  CommandLine cl(static_cast<std::int32_t>(args.size()), args.data());
  cl.scrub();
  EXPECT_EQ(cl.pin, Text(5, u' '));
  EXPECT_EQ(cl.pan, Text(16, u' '));
  EXPECT_EQ(cl.pvv, Text(4, u' '));
  EXPECT_EQ(cl.pinBlockHex, Text(16, u' '));
  EXPECT_EQ(cl.pvki, 0);
  EXPECT_EQ(cl.kpv, KeyList(16, 0));
  EXPECT_EQ(cl.kpe, KeyList(16, 0));
}

TEST(Errors, WhatGivesTheNarrowTextUpToTheFirstWideCharacter) {
  struct Row {
    const char16_t *text;
    std::string narrow;
  };
  const Row rows[] = {
      {u"PIN Sanity; format", "PIN Sanity; format"},
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
