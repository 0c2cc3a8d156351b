#pragma once
// Starting a child program, and the file creation mask children and new files get.
//
// A child starts clean: in a process group of its own (so a terminal's Ctrl+C reaches only
// this program, which then ends the child in order, and the whole group can be ended at once),
// with no signal blocked and the default action for the signals the parent may ignore or
// handle, and with no descriptor of the parent open but the standard ones it is given.

#include <string>
#include <sys/types.h>
#include <vector>

namespace base {

struct SpawnOptions {
  // The program and its arguments. A program name without '/' is looked up in PATH.
  std::vector<std::string> argv;
  // The standard input: a descriptor to give the child (-1: the parent's), or a path to open
  // for reading when `stdinPath` is not empty.
  int stdinFd = -1;
  std::string stdinPath;
  // The standard output: likewise, a descriptor or a file to create (mode 0600, truncated).
  int stdoutFd = -1;
  std::string stdoutPath;
  // The standard error goes where the standard output goes (else it is the parent's).
  bool stderrToStdout = false;
  // The environment is the parent's with these "NAME=value" entries set (each replaces any
  // entry of that name) and the names in `unsetEnv` removed.
  std::vector<std::string> setEnv;
  std::vector<std::string> unsetEnv;
};

// Starts the child. Returns its process id (also its process group id), or -1 with `error`
// set to the errno when it could not be started.
pid_t spawnProcess(const SpawnOptions& options, int& error);

// The process's file creation mask (umask), read once from /proc/self/status: umask() cannot
// read it without setting it, which would race with threads creating files. Nothing in this
// program changes it; 022 when it cannot be read.
mode_t fileCreationMask();

} // namespace base
