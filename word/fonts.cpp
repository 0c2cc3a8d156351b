#include "word/fonts.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include <fontconfig/fontconfig.h>
#include <unistd.h>

#include "base/messages.h"
#include "base/temp_folder.h"
#include "base/xml_escape.h"
#include "word/fontconfig_data.h"
#include "word/internal/access.h"
#include "word/package.h"

namespace word {

namespace fs = std::filesystem;

namespace {

std::string programFolder() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.parent_path().string();
}

// The system's configuration file (FONTCONFIG_FILE, else fontconfig's default).
// Read from the environment rather than asked of fontconfig: asking would load the whole
// default configuration into this process, which only needs the file's name.
std::string systemFontConfig() {
  if (const char* file = std::getenv("FONTCONFIG_FILE"); file && *file)
    return file;
  if (const char* dir = std::getenv("FONTCONFIG_PATH"); dir && *dir)
    return (fs::path(dir) / "fonts.conf").string();
  return "/etc/fonts/fonts.conf";
}

bool writeText(const fs::path& path, std::string_view text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  return static_cast<bool>(out);
}

struct ConfigDeleter {
  void operator()(FcConfig* c) const { FcConfigDestroy(c); }
};
struct PatternDeleter {
  void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
struct FontSetDeleter {
  void operator()(FcFontSet* s) const { FcFontSetDestroy(s); }
};
using PatternPtr = std::unique_ptr<FcPattern, PatternDeleter>;

std::string patternString(FcPattern* p, const char* object) {
  FcChar8* value = nullptr;
  if (FcPatternGetString(p, object, 0, &value) == FcResultMatch && value)
    return reinterpret_cast<const char*>(value);
  return {};
}

bool installedIn(FcConfig* config, const std::string& name) {
  PatternPtr pattern(FcPatternCreate());
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
  std::unique_ptr<FcFontSet, FontSetDeleter> fonts(FcFontList(config, pattern.get(), objects));
  FcObjectSetDestroy(objects);
  return fonts && fonts->nfont > 0;
}

FontMatch matchIn(FcConfig* config, const std::string& name) {
  FontMatch m;
  m.name = name;
  if (!config)
    return m;
  m.installed = installedIn(config, name);
  // The pattern LibreOffice asks with for Chinese text: the family and the language.
  PatternPtr pattern(FcPatternCreate());
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
  FcPatternAddString(pattern.get(), FC_LANG, reinterpret_cast<const FcChar8*>("zh-cn"));
  FcConfigSubstitute(config, pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());
  FcResult result = FcResultNoMatch;
  PatternPtr font(FcFontMatch(config, pattern.get(), &result));
  if (font) {
    m.family = patternString(font.get(), FC_FAMILY);
    m.style = patternString(font.get(), FC_STYLE);
    m.file = patternString(font.get(), FC_FILE);
  }
  return m;
}

} // namespace

const std::vector<std::string>& officialFontNames() {
  static const std::vector<std::string> names = {
      "宋体",        "SimSun", "新宋体", "NSimSun",     "方正小标宋简体",
      "小标宋",      "黑体",   "SimHei", "微软雅黑",    "楷体",
      "楷体_GB2312", "KaiTi",  "仿宋",   "仿宋_GB2312", "FangSong"};
  return names;
}

std::string_view builtInFontConfig() {
  return kBuiltInFontConfig;
}

std::string installedFontConfigPath() {
  const std::string folder = programFolder();
  if (folder.empty())
    return {};
  fs::path path =
      fs::path(folder) / ".." / "share" / "quillfold" / "fontconfig" / "quillfold-fonts.conf";
  std::error_code ec;
  if (fs::is_regular_file(path, ec))
    return fs::weakly_canonical(path, ec).string();
  return {};
}

std::string writeFontConfig(const std::string& folder) {
  std::string ours = installedFontConfigPath();
  if (ours.empty()) {
    ours = (fs::path(folder) / "quillfold-fonts.conf").string();
    if (!writeText(ours, builtInFontConfig()))
      return {};
  }
  const std::string wrapper = (fs::path(folder) / "fonts.conf").string();
  const std::string text = "<?xml version=\"1.0\"?>\n"
                           "<!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">\n"
                           "<fontconfig>\n"
                           "  <include ignore_missing=\"yes\">" +
                           base::xmlEscaped(systemFontConfig()) +
                           "</include>\n"
                           "  <include ignore_missing=\"yes\">" +
                           base::xmlEscaped(ours) +
                           "</include>\n"
                           "</fontconfig>\n";
  return writeText(wrapper, text) ? wrapper : std::string();
}

struct FontMatcher::Config {
  base::TempFolder scratch{"quillfold-fc"}; // a private folder for the configuration files
  std::unique_ptr<FcConfig, ConfigDeleter> config;
};

FontMatcher::FontMatcher() : config_(std::make_unique<Config>()) {
  if (config_->scratch.path().empty())
    return;
  const std::string file = writeFontConfig(config_->scratch.path());
  config_->config.reset(FcConfigCreate());
  if (file.empty() || !config_->config ||
      !FcConfigParseAndLoad(config_->config.get(), reinterpret_cast<const FcChar8*>(file.c_str()),
                            FcTrue) ||
      !FcConfigBuildFonts(config_->config.get()))
    config_->config.reset();
}

FontMatcher::~FontMatcher() = default;

std::vector<FontMatch> FontMatcher::match(const std::vector<std::string>& names) const {
  std::vector<FontMatch> matches;
  for (const auto& name : names)
    matches.push_back(matchIn(config_->config.get(), name));
  return matches;
}

std::vector<FontMatch> matchFonts(const std::vector<std::string>& names) {
  return FontMatcher().match(names);
}

std::set<std::string> fontsUsedIn(Package& package) {
  std::set<std::string> used;
  auto isTextPart = [](const std::string& name) {
    if (name.rfind("word/", 0) != 0 || name.find('/', 5) != std::string::npos || name.size() < 9 ||
        name.compare(name.size() - 4, 4, ".xml") != 0)
      return false;
    const std::string base = name.substr(5);
    return base == "styles.xml" || base == "numbering.xml" || base == "footnotes.xml" ||
           base == "endnotes.xml" || base.rfind("header", 0) == 0 || base.rfind("footer", 0) == 0;
  };
  std::vector<std::string> parts;
  const std::string main = package.mainPart();
  if (!main.empty())
    parts.push_back(main);
  for (const auto& name : package.names())
    if (isTextPart(name))
      parts.push_back(name);
  for (const auto& part : parts) {
    pugi::xml_document* doc = nullptr;
    try {
      doc = package.xml(part);
    } catch (...) {
      continue; // a part that cannot be read names no fonts
    }
    if (!doc)
      continue;
    // From the root element: what lies beside it (the templates of shared strings) is no
    // content.
    for (const auto& hit :
         doc->document_element().select_nodes("descendant-or-self::*[local-name()='rFonts']"))
      for (const char* attr : {"w:ascii", "w:hAnsi", "w:eastAsia", "w:cs"}) {
        std::string value = hit.node().attribute(attr).value();
        if (!value.empty())
          used.insert(value);
      }
  }
  return used;
}

std::set<std::string> fontsUsedIn(Document& doc) {
  return fontsUsedIn(packageOf(doc));
}

std::string standInNotice(const std::set<std::string>& usedNames, const FontMatcher& matcher) {
  std::vector<std::string> asked;
  for (const auto& name : officialFontNames())
    if (usedNames.count(name))
      asked.push_back(name);
  if (asked.empty())
    return {};
  std::string items;
  for (const auto& m : matcher.match(asked)) {
    if (m.installed)
      continue;
    if (!items.empty())
      items += msg::kListSeparator;
    items += msg::text(msg::kFontStandInItem, m.name,
                       m.family.empty() ? std::string(msg::kFontNoFace) : m.family);
  }
  return items.empty() ? std::string() : msg::text(msg::kFontStandIns, items);
}

std::string standInNotice(const std::set<std::string>& usedNames) {
  for (const auto& name : officialFontNames())
    if (usedNames.count(name))
      return standInNotice(usedNames, FontMatcher());
  return {};
}

} // namespace word
