#include "engine/standard/settings.h"

namespace engine::standard {

namespace {

// Each property with the member it fills.
struct Binding {
  PropertyInfo info;
  bool Settings::*flag;
  std::string Settings::*font;
};

const std::vector<Binding>& bindings() {
  static const std::vector<Binding> list = {
      {{"国标标题", "1"}, &Settings::title, nullptr},
      {{"国标主送机关", "1"}, &Settings::addressee, nullptr},
      {{"国标层次标题", "1"}, &Settings::headings, nullptr},
      {{"国标附件说明", "1"}, &Settings::attachment, nullptr},
      {{"国标落款", "1"}, &Settings::signature, nullptr},
      {{"国标附注", "1"}, &Settings::note, nullptr},
      {{"国标版记", "1"}, &Settings::record, nullptr},
      {{"国标发文字号", "1"}, &Settings::docNumber, nullptr},
      {{"国标页码", "1"}, &Settings::pageNumbers, nullptr},
      {{"国标标题字体", "方正小标宋简体"}, nullptr, &Settings::titleFont},
      {{"国标正文字体", "仿宋_GB2312"}, nullptr, &Settings::bodyFont},
      {{"国标一级标题字体", "黑体"}, nullptr, &Settings::heading1Font},
      {{"国标二级标题字体", "楷体_GB2312"}, nullptr, &Settings::heading2Font},
      {{"国标三级标题字体", "仿宋_GB2312"}, nullptr, &Settings::heading3Font},
      {{"国标四级标题字体", "仿宋_GB2312"}, nullptr, &Settings::heading4Font},
      {{"国标页码字体", "宋体"}, nullptr, &Settings::pageNumberFont},
      {{"国标版记字体", "仿宋_GB2312"}, nullptr, &Settings::recordFont},
  };
  return list;
}

} // namespace

const std::string& Settings::headingFont(int level) const {
  switch (level) {
  case 1:
    return heading1Font;
  case 2:
    return heading2Font;
  case 3:
    return heading3Font;
  default:
    return heading4Font;
  }
}

const std::vector<PropertyInfo>& properties() {
  static const std::vector<PropertyInfo> list = [] {
    std::vector<PropertyInfo> out;
    for (const Binding& b : bindings())
      out.push_back(b.info);
    return out;
  }();
  return list;
}

Settings fromProperties(const std::function<std::string(std::string_view)>& value) {
  Settings s;
  for (const Binding& b : bindings()) {
    std::string text = value(b.info.name);
    if (b.flag)
      s.*b.flag = text != "0";
    else
      s.*b.font = text.empty() ? std::string(b.info.defaultText) : text;
  }
  return s;
}

} // namespace engine::standard
