#pragma once
// Finds English words in a text a person reads, allowing the names that stay as they are.

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <vector>

namespace qftest {

// Names that stay as they are in a Chinese text: programs, packages, formats, encodings, keys
// and environment variables, and the command line's own words (subcommands, modes, run modes).
inline const std::set<std::string> kAllowedWords = {
    "LibreOffice",
    "Word",
    "WPS",
    "CUPS",
    "PDF",
    "OOXML",
    "XML",
    "UTF-8",
    "UTF-16",
    "GB18030",
    "GBK",
    "Big5",
    "JPEG",
    "PNG",
    "GIF",
    "BMP",
    "MB",
    "Qt",
    "Quillfold",
    "quillfold",
    "quillfold-engine",
    "libreoffice-writer-nogui",
    "PATH",
    "TMPDIR",
    "NUL",
    "Shift",
    "Ctrl",
    "chmod",
    "YeMei",
    "YeMian",
    "ZiHao",
    "Standard",
    "font/fontsizezw",
    "typeset",
    "merge",
    "print",
    "printers",
    "settings",
    "show",
    "properties",
    "full",
    "header",
    "page",
    "size",
    "standard",
    "check",
    // The national standard's code (GB/T 9704-2012), as it is cited.
    "GB/T",
    // Formats and names of parts, units and systems a reason may name.
    "MiB",
    "zip",
    "RTF",
    "DOCTYPE",
    "WordprocessingML",
    "Content_Types",
    "Debian",
    "JSON",
    // The engine protocol's own members, named in its replies to programs.
    "Ready",
    "op",
    "set",
    "get",
    "setFiles",
    "names",
    "event",
};

// The words of `text` that are English: runs of ASCII letters (with the digits and marks that
// belong to a name) of two letters or more that are not an allowed name, a file name or
// extension (setup.ini, .docx), a command-line option (--dir) or a placeholder ({}).
inline std::vector<std::string> englishWords(const std::string& text) {
  auto nameChar = [](unsigned char c) {
    return std::isalnum(c) || c == '.' || c == '-' || c == '+' || c == '/' || c == '_';
  };
  std::vector<std::string> found;
  for (size_t i = 0; i < text.size();) {
    if (!nameChar(static_cast<unsigned char>(text[i]))) {
      ++i;
      continue;
    }
    size_t j = i;
    while (j < text.size() && nameChar(static_cast<unsigned char>(text[j])))
      ++j;
    std::string token = text.substr(i, j - i);
    i = j;
    while (!token.empty() && (token.back() == '.' || token.back() == '-' || token.back() == '/' ||
                              token.back() == '+'))
      token.pop_back();
    size_t longestRun = 0, run = 0;
    for (char c : token) {
      run = std::isalpha(static_cast<unsigned char>(c)) ? run + 1 : 0;
      longestRun = std::max(longestRun, run);
    }
    if (longestRun < 2 || kAllowedWords.count(token) || token.rfind("--", 0) == 0)
      continue;
    // A path (~/.local/share/fonts, /tmp).
    if (token.find('/') != std::string::npos && token.find('/') < 2)
      continue;
    // A file name or extension: letters after a dot, like .docx or setup.ini.
    size_t dot = token.rfind('.');
    if (dot != std::string::npos && dot + 1 < token.size() &&
        std::all_of(token.begin() + static_cast<long>(dot) + 1, token.end(),
                    [](unsigned char c) { return std::isalnum(c); }))
      continue;
    found.push_back(token);
  }
  return found;
}

} // namespace qftest
