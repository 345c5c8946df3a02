// The parsed record: which error class each refusal is (the report text alone does not show
// it), the values stored, and the scrubbing of what the user typed.

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

TEST(CommandLine, StoresValuesAsTyped) {
  const auto args = argv({u"-verify", u"-pvki", u"06", u"-pvv", u"0049", u"-pinblock",
                          u"0412ac89abcdef67", u"-pan", kPan, u"-kpv", u"0123456789abcdef",
                          u"-kpe", kKey + u"89ABCDEF01234567"});
  const CommandLine cl(static_cast<std::int32_t>(args.size()), args.data());
  EXPECT_EQ(cl.command, Command::Verify);
  EXPECT_EQ(cl.pvki, 6);
  EXPECT_EQ(cl.pvv, u"0049");
  EXPECT_EQ(cl.pinBlockHex, u"0412ac89abcdef67");
  EXPECT_EQ(cl.pan, kPan);
  // A single key is stored twice so that the two-key schedule is single DES.
  EXPECT_EQ(cl.kpv, (KeyList{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF,
                             0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}));
  ASSERT_EQ(cl.kpe.size(), 24u);
  EXPECT_EQ(cl.kpe[16], 0x89);
  EXPECT_EQ(cl.kpe[23], 0x67);
}

TEST(CommandLine, PvkiAbsentIsMinusOneAndEmptyIsZero) {
  const auto absent = argv({u"-verifypan", u"-pan", kPan});
  EXPECT_EQ(CommandLine(static_cast<std::int32_t>(absent.size()), absent.data()).pvki, -1);
  const auto empty = argv({u"-verifypan", u"-pan", kPan, u"-pvki", u""});
  EXPECT_EQ(CommandLine(static_cast<std::int32_t>(empty.size()), empty.data()).pvki, 0);
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

} // namespace
} // namespace tolvane
