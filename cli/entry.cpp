#include "cli/entry.hpp"

#include <vector>

#include "base/residue.hpp"
#include "base/secret.hpp"
#include "cli/batch.hpp"
#include "cli/key_roles.hpp"
#include "cli/platform.hpp"
#include "cli/run.hpp"
#include "cli/walk.hpp"

namespace tolvane {

int runTolvane(std::span<const Text> args, ByteSource &in, TextWriter &out, TextWriter &err) {
  KeyStore keys;
  const int status = guarded(out, err, [&] {
    const CommandLine commandLine = walkCommandLine(args, keys);
    if (commandLine.batch) {
      return runBatch(commandLine, in, out);
    }
    return runCommand(commandLine, out);
  });
  wipeStackBelow(); // where the command's frames were
  return status;
}

int runTolvane(std::span<const Text> args, TextWriter &out, TextWriter &err) {
  MemoryByteSource none({});
  return runTolvane(args, none, out, err);
}

int runProcess(int argc, char **argv) {
  ignoreWriteSignals();
  FdWriter out(1);
  FdWriter err(2);
  err.setUnitBuffered(true);
  err.tie(&out);

  int status = 1;
  FdByteSource in(0);
  Secret<std::vector<Text>> args;
  try {
    takeArguments(argc, argv, *args);
    status = runTolvane(*args, in, out, err);
  } catch (...) {
    err.write(u"Horror!  Unknown exception");
  }
  if (!out.flush()) {
    status = 1;
  }
  err.flush();
  return status;
}

} // namespace tolvane
