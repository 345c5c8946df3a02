// Process entry: decode the arguments, run, flush, return the status.

#include <csignal>
#include <cstring>
#include <vector>

#include "cli/entry.hpp"
#include "cli/platform.hpp"
#include "cli/writer.hpp"
#include "pin/wipe.hpp"

int main(int argc, char **argv) {
  // A closed pipe must become a failed write reported with status 1, not a silent death.
  std::signal(SIGPIPE, SIG_IGN);

  tolvane::FdWriter out(1);
  tolvane::FdWriter err(2);
  err.setUnitBuffered(true);
  err.tie(&out);

  int status = 1;
  std::vector<tolvane::Text> args;
  try {
    args.reserve(static_cast<std::size_t>(argc));
    for (int i = 0; i < argc; ++i) {
      args.push_back(tolvane::decodeArgument(argv[i]));
      // Keys and PINs should not linger in the process's visible command line.
      if (i > 0) {
        std::memset(argv[i], 0, std::strlen(argv[i]));
      }
    }
    status = tolvane::runTolvane(args, out, err);
  } catch (...) {
    err.write(u"Horror!  Unknown exception");
  }
  for (auto &arg : args) {
    tolvane::blankText(arg);
  }
  if (!out.flush()) {
    status = 1;
  }
  err.flush();
  return status;
}
