#include "app/gui/settings_controls.h"

namespace app::gui {

namespace {

// clang-format off
constexpr SettingsControl kControls[] = {
    // section       key                control
    {"font",         "fontnamezw",      "cbFontZw"},
    {"font",         "fontsizezw",      "cbFontSizeZw"},
    {"font",         "fontnamebt",      "cbFontBt"},
    {"font",         "fontsizebt",      "cbFontSizeBt"},
    {"font",         "fontboldzw",      "chkBzw"},
    {"font",         "fontboldbt",      "chkB"},
    {"font",         "firstparagraph",  "chkBt"},
    {"font",         "btAlign",         "cbBtAlign"},
    {"font",         "fontJJ",          "cbFontJJ"},
    {"shuiyin",      "txtfontname",     "cbShuiYinFontName"},
    {"shuiyin",      "txt",             "txtShuiYin"},
    {"shuiyin",      "jpg",             "txtJpg"},
    {"shuiyin",      "txtstyle",        "cbShuiYinStyle"},
    {"shuiyin",      "op",              "op1,op2,op3"},
    {"shuiyin",      "color",           "cbColor"},
    {"pageinfo",     "PageSize",        "cboPageSize"},
    {"pageinfo",     "Orientation",     "cboPageO"},
    {"pageinfo",     "TopMargin",       "txtPageTop"},
    {"pageinfo",     "BottomMargin",    "txtPageBottom"},
    {"pageinfo",     "LeftMargin",      "txtPageLeft"},
    {"pageinfo",     "RightMargin",     "txtPageRight"},
    {"pageinfo",     "Gutter",          "txtGutter"},
    {"pageinfo",     "GutterPos",       "cboGutterPos"},
    {"pageinfo",     "HeaderDistance",  "txtHeaderDistance"},
    {"pageinfo",     "FooterDistance",  "txtFooterDistance"},
    {"headerfooter", "useheader",       "chkUseHeader"},
    {"headerfooter", "usefooter",       "chkUseFooter"},
    {"headerfooter", "header",          "txtYeMei"},
    {"headerfooter", "headeralign",     "cbAlign"},
    {"headerfooter", "headerfontname",  "cbFontYm"},
    {"headerfooter", "headerfontsize",  "cbFontSizeYm"},
    {"headerfooter", "numberstyle",     "cbStyle"},
    {"headerfooter", "numberalign",     "cbAlignYj"},
    {"headerfooter", "zhyemei",         "chkZHYeMei"},
    {"paragraph",    "LineSpacingRule", "cbHangJu,txtBang"},
    {"paragraph",    "LeftIndent",      "txtLeft"},
    {"paragraph",    "RightIndent",     "txtRight"},
    {"paragraph",    "LineUnitBefore",  "txtDuanQian"},
    {"paragraph",    "LineUnitAfter",   "txtDuanHou"},
    {"tool",         "BiaoDian",        "chkBiaoDian"},
    {"tool",         "KongGe",          "chkKongGe"},
    {"tool",         "KongHang",        "chkKongHang"},
    {"tool",         "TouKongGe",       "chkTouKongGe"},
    {"tool",         "XiaoKuoHao",      "chkXiaoKuoHao"},
    {"tool",         "FenLan",          "chkFenLan"},
    {"tool",         "JuHao",           "chkJuHao"},
};
// clang-format on

static_assert(std::size(kControls) == settings::kEnginePropertyCount,
              "every engine setting has its control");

} // namespace

std::span<const SettingsControl> settingsControls() {
  return kControls;
}

const SettingsControl* controlOf(const settings::KeyInfo& key) {
  for (const SettingsControl& row : kControls)
    if (row.section == key.section && row.key == key.key)
      return &row;
  return nullptr;
}

std::vector<const settings::KeyInfo*> saveOrder(std::string_view section) {
  std::vector<const settings::KeyInfo*> keys;
  for (const SettingsControl& row : kControls)
    if (row.section == section)
      if (const settings::KeyInfo* key = settings::findKey(row.section, row.key))
        keys.push_back(key);
  return keys;
}

std::vector<std::string_view> loadOrder(std::string_view section) {
  if (section == "shuiyin")
    return {"txtfontname", "txtstyle", "jpg", "txt", "op", "color"};
  if (section == "tool")
    return {"biaodian", "kongge", "konghang", "toukongge", "xiaokuohao", "fenlan", "juhao"};
  std::vector<std::string_view> keys;
  for (const SettingsControl& row : kControls)
    if (row.section == section)
      keys.push_back(row.key);
  return keys;
}

std::optional<int> controlState(const settings::KeyInfo& key, std::string_view stored) {
  using settings::Conversion;
  switch (key.conversion) {
  case Conversion::Text:
    return std::nullopt;
  case Conversion::Index:
  case Conversion::IndexToName:
  case Conversion::IndexToSize:
    return settings::storedPosition(key, stored);
  case Conversion::Check: {
    std::optional<int> n = settings::roundedNumber(stored);
    if (n && (*n == 0 || *n == 1))
      return n;
    return std::nullopt;
  }
  case Conversion::Option:
    if (stored == "0")
      return 0;
    if (stored == "1")
      return 1;
    return 2;
  case Conversion::LineSpacing:
    if (settings::isFixedLineSpacing(stored))
      return 3;
    return settings::storedPosition(key, stored);
  }
  return std::nullopt;
}

} // namespace app::gui
