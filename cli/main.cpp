// Process entry: everything happens in runProcess, which tests can reach as a library call.

#include "base/residue.hpp"
#include "cli/entry.hpp"
#include "cli/platform.hpp"

int main(int argc, char **argv) {
  // Before any argument is looked at, so that no dump or reader can ever see one.
  tolvane::forbidDumpsAndTracing();
  const int status = tolvane::runProcess(argc, argv);
  // Last, when every value has wiped itself: exit runs library code that may save the registers.
  tolvane::wipeVectorRegisters();
  return status;
}
