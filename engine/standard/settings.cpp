#include "engine/standard/settings.h"

#include "settings/keytable.h"

namespace engine::standard {

namespace {

// The member each key of the [standard] section fills (the key table holds the property names
// and defaults).
struct Binding {
  std::string_view key;
  bool Settings::*flag;
  std::string Settings::*font;
};

constexpr Binding kBindings[] = {
    {"title", &Settings::title, nullptr},
    {"addressee", &Settings::addressee, nullptr},
    {"headings", &Settings::headings, nullptr},
    {"attachment", &Settings::attachment, nullptr},
    {"signature", &Settings::signature, nullptr},
    {"note", &Settings::note, nullptr},
    {"record", &Settings::record, nullptr},
    {"docnumber", &Settings::docNumber, nullptr},
    {"pagenumbers", &Settings::pageNumbers, nullptr},
    {"titlefont", nullptr, &Settings::titleFont},
    {"bodyfont", nullptr, &Settings::bodyFont},
    {"heading1font", nullptr, &Settings::heading1Font},
    {"heading2font", nullptr, &Settings::heading2Font},
    {"heading3font", nullptr, &Settings::heading3Font},
    {"heading4font", nullptr, &Settings::heading4Font},
    {"pagenumberfont", nullptr, &Settings::pageNumberFont},
    {"recordfont", nullptr, &Settings::recordFont},
};

const Binding* bindingOf(std::string_view key) {
  for (const Binding& b : kBindings)
    if (b.key == key)
      return &b;
  return nullptr;
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
    for (const settings::KeyInfo& key : settings::standardKeys())
      out.push_back({key.property, key.defaultText});
    return out;
  }();
  return list;
}

Settings fromProperties(const std::function<std::string(std::string_view)>& value) {
  Settings s;
  for (const settings::KeyInfo& key : settings::standardKeys()) {
    const Binding* b = bindingOf(key.key);
    if (!b)
      continue;
    std::string text = value(key.property);
    if (b->flag)
      s.*(b->flag) = text != "0";
    else
      s.*(b->font) = text.empty() ? std::string(key.defaultText) : text;
  }
  return s;
}

} // namespace engine::standard
