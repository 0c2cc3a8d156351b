#pragma once
// `quillfold check`: which measurable clauses of the national layout standard for official
// documents each document breaks. Documents are read, never changed; legacy formats go through
// LibreOffice in one start, as for typeset.

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

namespace quillfold::cli {

struct CheckCommand {
  std::vector<std::string> files;
  std::filesystem::path settings; // setup.ini ([standard]); empty = the default settings file
  bool json = false;
};

// Checks every file and prints its findings (JSON: one object per document, then a summary).
// Returns 0 when every document conforms, 3 when one does not, 2 when one cannot be read (2
// wins over 3), kExitUsage for an unusable settings file.
int runCheck(const CheckCommand& command, std::ostream& out, std::ostream& err);

} // namespace quillfold::cli
