// The card-number commands: the Luhn verdict and the repaired check digit.

#include "card/luhn.hpp"
#include "cli/commands.hpp"
#include "cli/errors.hpp"

namespace tolvane {

void checkVerifyPan(const CommandLine &cl) {
  if (cl.pan.empty()) {
    throw excCL_RequiredParameterMissing(u"verifypan requires -pan");
  }
}

void answerVerifyPan(const CommandLine &cl, Text &answer) {
  answer += luhnCheck(cl.pan) ? u"Y" : u"N";
}

void checkFixPan(const CommandLine &cl) {
  if (cl.pan.empty()) {
    throw excCL_RequiredParameterMissing(u"fixpan requires -pan");
  }
  if (cl.pan.size() < 2) {
    throw excCL_MalformedParameter(u"fixpan requires at least two pan digits");
  }
}

// Whatever the last character was, it is replaced by the right check digit.
void answerFixPan(const CommandLine &cl, Text &answer) {
  const std::u16string_view kept = cl.pan.substr(0, cl.pan.size() - 1);
  answer += kept;
  answer.push_back(static_cast<char16_t>(u'0' + luhnCheckDigit(kept)));
}

} // namespace tolvane
