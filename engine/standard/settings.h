#pragma once
// The settings of the standard run and its check: which elements are handled and the font of
// each kind of text. The measures (sizes, margins, lines and characters) are the standard's
// own and not settings. The engine receives them as text properties like its other settings;
// setup.ini keeps them in its [standard] section.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace engine::standard {

struct Settings {
  // Elements to lay out (and to check). The page, the body and its grid are always handled.
  bool title = true;
  bool addressee = true;
  bool headings = true;
  bool attachment = true;
  bool signature = true; // signature and date
  bool note = true;
  bool record = true; // 抄送 and 印发 lines of the closing block
  bool docNumber = true;
  bool pageNumbers = true;
  // Fonts.
  std::string titleFont = "方正小标宋简体";
  std::string bodyFont = "仿宋_GB2312";
  std::string heading1Font = "黑体";
  std::string heading2Font = "楷体_GB2312";
  std::string heading3Font = "仿宋_GB2312";
  std::string heading4Font = "仿宋_GB2312";
  std::string pageNumberFont = "宋体";
  std::string recordFont = "仿宋_GB2312";

  // The font of heading level 1 … 4.
  const std::string& headingFont(int level) const;
};

// One engine property of the standard run: its name (Chinese, as the engine's other
// properties) and its default text ("1"/"0" for the switches, a font name for the fonts).
struct PropertyInfo {
  std::string_view name;
  std::string_view defaultText;
};

// The properties in order (the [standard] rows of the settings key table): the nine switches,
// then the eight fonts.
const std::vector<PropertyInfo>& properties();

// Settings from property texts: `value(name)` gives the text of each property of properties().
// A switch is off only for exactly "0"; an empty font name gives the default font. The member
// defaults above are the key table's defaults (a test holds them equal).
Settings fromProperties(const std::function<std::string(std::string_view)>& value);

} // namespace engine::standard
