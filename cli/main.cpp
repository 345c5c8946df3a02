// Process entry: everything happens in runProcess, which tests can reach as a library call.

#include "cli/entry.hpp"
#include "cli/platform.hpp"

int main(int argc, char **argv) {
  // Before any argument is looked at, so that no dump or reader can ever see one.
  tolvane::forbidDumpsAndTracing();
  return tolvane::runProcess(argc, argv);
}
