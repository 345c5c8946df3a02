// Process entry: everything happens in runProcess, which tests can reach as a library call.

#include "cli/entry.hpp"

int main(int argc, char **argv) { return tolvane::runProcess(argc, argv); }
