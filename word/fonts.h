#pragma once
// The official Chinese font names and the free faces that stand in for them on Linux.
//
// Our fontconfig file (data/fontconfig/quillfold-fonts.conf) maps the names Chinese documents
// use (宋体, 黑体, 楷体_GB2312, 仿宋_GB2312, 方正小标宋简体…) to installed faces of the same
// class. Every LibreOffice run of ours loads it through writeFontConfig(); the same file answers
// which face a name gets here (matchFonts), for `quillfold fonts`, the window's help page and
// the batch's notice about stand-ins.

#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace word {

class Document;
class Package;

// The official names, in the order they are listed: Song, Xiaobiaosong, Hei, Kai, FangSong.
const std::vector<std::string>& officialFontNames();

// The text of our fontconfig file as built into the program.
std::string_view builtInFontConfig();
// The installed copy of our fontconfig file beside the program
// (<prefix>/share/quillfold/fontconfig/quillfold-fonts.conf), or "" when there is none.
std::string installedFontConfigPath();

// Writes into `folder` a fontconfig file "fonts.conf" that loads the system's configuration
// (with the user's own) and then ours: the installed copy, else the built-in text written
// beside it. Returns the path to give fontconfig (FONTCONFIG_FILE); "" when it could not be
// written (LibreOffice then uses the system's configuration alone).
std::string writeFontConfig(const std::string& folder);

// Which face a font name gets under the system's configuration plus ours.
struct FontMatch {
  std::string name;       // the name asked for
  bool installed = false; // a face of this very name is installed (it is the one used)
  std::string family;     // the face used: the installed one or the stand-in ("" if none)
  std::string style;      // its style, e.g. "Regular", "Bold"
  std::string file;       // its font file
};
// Resolves each name for Chinese text. Never throws; without fontconfig every entry is
// reported as not installed with an empty family.
std::vector<FontMatch> matchFonts(const std::vector<std::string>& names);

// matchFonts in two halves: the constructor builds the configuration (the costly half: it reads
// the configuration files and the font caches), match() resolves names under it. For a caller
// that can build it ahead of time, on another thread, and match only once it knows the names.
class FontMatcher {
public:
  FontMatcher();
  ~FontMatcher();
  FontMatcher(const FontMatcher&) = delete;
  FontMatcher& operator=(const FontMatcher&) = delete;
  std::vector<FontMatch> match(const std::vector<std::string>& names) const;

private:
  struct Config;
  std::unique_ptr<Config> config_;
};

// The font names the text of a package asks for: w:rFonts (ascii, hAnsi, eastAsia, cs) in the
// main story, styles, numbering, headers, footers, footnotes and endnotes.
std::set<std::string> fontsUsedIn(Package& package);
std::set<std::string> fontsUsedIn(Document& doc);

// The notice for a batch whose documents ask for official names that are not installed, naming
// the face that stands in for each; "" when every official name used is installed.
std::string standInNotice(const std::set<std::string>& usedNames);
// The same under a configuration built ahead of time.
std::string standInNotice(const std::set<std::string>& usedNames, const FontMatcher& matcher);

} // namespace word
