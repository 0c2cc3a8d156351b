#pragma once
// Finding and ending the processes this program started, and only those.
//
// Every process we start carries a marker in its environment ("NAME=token", with a token that
// is new for each run of the program); programs it starts in turn (LibreOffice started by the
// engine server) inherit it, even after their parent has died and they were handed to init.
// The sweep looks for that exact entry in /proc/<pid>/environ, so it never touches a Word,
// LibreOffice or any other window the user opened outside the program.

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace app {

// The marker of this run of the program: "QUILLFOLD_OWNER=<pid>-<random>". Made on first call
// and put into this process's environment, so that every child inherits it. Call it early in
// main(), before threads start.
const std::string& ownerMarker();

// A new marker "<name>=<pid>-<random>" for a narrower group (the engine server's processes).
std::string newMarker(const std::string& name);

// The processes (other than this one) of this user whose environment holds `marker` exactly.
std::vector<pid_t> processesWithMarker(const std::string& marker);

// Ends the processes marked with `marker`: SIGTERM, then SIGKILL for those still there after
// `grace`. Our own children among them are reaped. Returns how many were found.
int endMarkedProcesses(const std::string& marker,
                       std::chrono::milliseconds grace = std::chrono::milliseconds(1500));

} // namespace app
