#pragma once
// What every command of the command line shares: exit statuses, the usage error, printing a
// reason safely on a terminal, and the check of an output folder.

#include <iosfwd>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quillfold::cli {

// Exit statuses of the command.
inline constexpr int kExitDone = 0; // every document typeset, nothing to report
// Nothing typeset: a wrong command line, an unusable settings file, or an output folder that
// cannot be created or written.
inline constexpr int kExitUsage = 1;
inline constexpr int kExitFailed = 2;  // at least one document failed
inline constexpr int kExitNotices = 3; // every document typeset, with warnings

// A mistake on the command line (or an unusable settings file): nothing was typeset.
class UsageError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// `text` safe to print on a terminal: control characters (a newline in a file name, the ESC of
// an ANSI sequence), C1 controls, bidirectional overrides and bytes that are not UTF-8 become
// visible escapes ("\n", "\x1b", "\u202e", "\xff"), so a name can neither forge a line nor
// reach the terminal as a command. Everything else is kept.
std::string terminalSafe(std::string_view text);

// Checks the output folder before a batch: creates it with its parents when missing and makes
// sure it is a folder that can be written. Throws UsageError with the reason otherwise.
void prepareOutputFolder(const std::string& folder);

// Prints "quillfold：`reason`" on `err`, made terminal-safe, and returns kExitUsage.
int reportUsage(std::ostream& err, std::string_view reason);

} // namespace quillfold::cli
