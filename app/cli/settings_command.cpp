#include "app/cli/settings_command.h"

#include <charconv>
#include <cstdlib>
#include <ostream>

#include <fmt/format.h>

#include "settings/settings.h"

namespace fs = std::filesystem;

namespace quillfold::cli {

namespace {

// Keys whose engine property is read as a number (centimetres, points or lines).
bool isNumberKey(const settings::KeyInfo& key) {
  static const std::string_view kNumbers[] = {"上边距",   "下边距",   "左边距", "右边距",
                                              "页眉边距", "页脚边距", "装订线", "左缩进",
                                              "右缩进",   "段前",     "段后"};
  for (auto name : kNumbers)
    if (key.property == name)
      return true;
  return false;
}

bool splitKey(std::string_view sectionKey, std::string_view& section, std::string_view& key) {
  size_t slash = sectionKey.find('/');
  if (slash == std::string_view::npos || slash == 0 || slash + 1 == sectionKey.size())
    return false;
  section = sectionKey.substr(0, slash);
  key = sectionKey.substr(slash + 1);
  return true;
}

std::optional<int> wholeNumber(std::string_view text) {
  int value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size())
    return std::nullopt;
  return value;
}

// Decimal number test: the same forms the settings conversions accept.
std::optional<double> decimal(std::string_view text) {
  if (!settings::roundedNumber(text))
    return std::nullopt;
  std::string s(text);
  return std::strtod(s.c_str(), nullptr);
}

int fail(std::ostream& err, const std::string& message) {
  err << "quillfold: " << message << '\n';
  return 1;
}

std::string listText(settings::ValueList list) {
  std::string text;
  int i = 0;
  for (const auto& entry : settings::listEntries(list))
    text += fmt::format("{}{} {}", text.empty() ? "" : ", ", i++, entry.name);
  return text;
}

} // namespace

std::optional<std::string> storedValueFor(const settings::KeyInfo& key, std::string_view value,
                                          std::string* why) {
  using settings::Conversion;
  auto reject = [&](std::string reason) -> std::optional<std::string> {
    if (why)
      *why = std::move(reason);
    return std::nullopt;
  };
  switch (key.conversion) {
  case Conversion::Check:
    if (value == "0" || value == "1")
      return std::string(value);
    return reject("a check box takes 0 or 1");
  case Conversion::Option:
    if (value == "0" || value == "1" || value == "2")
      return std::string(value);
    return reject("the watermark option takes 0 (none), 1 (picture) or 2 (text)");
  case Conversion::Index:
  case Conversion::IndexToName:
  case Conversion::IndexToSize:
  case Conversion::LineSpacing: {
    auto entries = settings::listEntries(key.list);
    if (auto n = wholeNumber(value); n && *n >= -1 && *n < static_cast<int>(entries.size()))
      if (key.conversion != Conversion::LineSpacing || *n < 3)
        return std::string(value);
    for (size_t i = 0; i < entries.size(); ++i)
      if (entries[i].name == value && !(key.conversion == Conversion::LineSpacing && i == 3))
        return std::to_string(i);
    if (key.conversion == Conversion::LineSpacing)
      if (auto d = decimal(value); d && *d > 2)
        return std::string(value);
    return reject(fmt::format(
        "this list takes a position or a name: {}{}", listText(key.list),
        key.conversion == Conversion::LineSpacing ? "; or a fixed spacing in points above 2" : ""));
  }
  case Conversion::Text:
    if (isNumberKey(key) && !decimal(value))
      return reject("this key takes a number");
    return std::string(value);
  }
  return std::string(value);
}

int settingsShow(const fs::path& file, std::ostream& out, std::ostream& err) {
  settings::IniFile ini(file);
  if (!ini.readError().empty())
    return fail(err, fmt::format("cannot read {}: {}", file.string(), ini.readError()));
  out << "# " << file.string() << (fs::exists(file) ? "" : " (missing: defaults shown)") << '\n';
  for (const auto& key : settings::keyTable())
    out << key.section << '/' << key.key << '=' << ini.get(key.section, key.key, key.defaultText)
        << '\n';
  return 0;
}

int settingsGet(const fs::path& file, std::string_view sectionKey, std::ostream& out,
                std::ostream& err) {
  std::string_view section, key;
  if (!splitKey(sectionKey, section, key))
    return fail(err, fmt::format("“{}” is not SECTION/KEY", sectionKey));
  settings::IniFile ini(file);
  if (!ini.readError().empty())
    return fail(err, fmt::format("cannot read {}: {}", file.string(), ini.readError()));
  if (const settings::KeyInfo* info = settings::findKey(section, key)) {
    out << ini.get(info->section, info->key, info->defaultText) << '\n';
    return 0;
  }
  if (ini.contains(section, key)) {
    out << ini.get(section, key, "") << '\n';
    return 0;
  }
  return fail(err, fmt::format("no key {} (quillfold settings show lists the keys)", sectionKey));
}

int settingsSet(const fs::path& file, std::string_view sectionKey, std::string_view value,
                bool force, std::ostream& out, std::ostream& err) {
  std::string_view section, key;
  if (!splitKey(sectionKey, section, key))
    return fail(err, fmt::format("“{}” is not SECTION/KEY", sectionKey));
  const settings::KeyInfo* info = settings::findKey(section, key);
  std::string stored(value);
  if (info) {
    section = info->section;
    key = info->key;
    std::string why;
    if (auto fitted = storedValueFor(*info, value, &why))
      stored = *fitted;
    else if (!force)
      return fail(err, fmt::format("{}: “{}” does not fit: {} (--force writes it anyway)",
                                   sectionKey, value, why));
  } else if (!force) {
    return fail(err, fmt::format("no key {} (quillfold settings show lists the keys; --force "
                                 "writes it anyway)",
                                 sectionKey));
  }
  settings::IniFile ini(file);
  if (auto result = ini.set(section, key, stored); !result)
    return fail(err, result.error);
  out << section << '/' << key << '=' << stored << '\n';
  return 0;
}

int settingsProperties(const fs::path& file, std::ostream& out, std::ostream& err) {
  settings::IniFile ini(file);
  if (!ini.readError().empty())
    return fail(err, fmt::format("cannot read {}: {}", file.string(), ini.readError()));
  for (const auto& [name, value] : settings::loadEngineProperties(ini))
    out << name << '=' << value << '\n';
  return 0;
}

} // namespace quillfold::cli
