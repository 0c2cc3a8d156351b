#include "app/cli/settings_command.h"

#include <charconv>
#include <cstdlib>
#include <ostream>

#include <fmt/format.h>

#include "app/cli/typeset_job.h"
#include "base/messages.h"
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
  return reportUsage(err, message);
}

// Opens the file for reading: its read error is a failure, its warning is printed.
bool readable(const settings::IniFile& ini, std::ostream& err) {
  if (!ini.readError().empty()) {
    fail(err, ini.readError());
    return false;
  }
  if (!ini.readWarning().empty())
    reportUsage(err, ini.readWarning());
  return true;
}

std::string listText(settings::ValueList list) {
  std::string text;
  int i = 0;
  for (const auto& entry : settings::listEntries(list))
    text += fmt::format("{}{} {}", text.empty() ? "" : "，", i++, entry.name);
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
    return reject(msg::kCliCheckTakes);
  case Conversion::Option:
    if (value == "0" || value == "1" || value == "2")
      return std::string(value);
    return reject(msg::kCliOptionTakes);
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
    return reject(
        msg::text(msg::kCliListTakes, listText(key.list),
                  key.conversion == Conversion::LineSpacing ? msg::kCliListFixedSpacing : ""));
  }
  case Conversion::Text:
    if (isNumberKey(key) && !decimal(value))
      return reject(msg::kCliNumberTakes);
    return std::string(value);
  }
  return std::string(value);
}

int settingsShow(const fs::path& file, std::ostream& out, std::ostream& err) {
  settings::IniFile ini(file);
  if (!readable(ini, err))
    return 1;
  out << "# " << terminalSafe(file.string())
      << (fs::exists(file) ? "" : msg::kCliSettingsShowMissing) << '\n';
  for (const auto& key : settings::keyTable())
    out << key.section << '/' << key.key << '='
        << terminalSafe(ini.get(key.section, key.key, key.defaultText)) << '\n';
  return 0;
}

int settingsGet(const fs::path& file, std::string_view sectionKey, std::ostream& out,
                std::ostream& err) {
  std::string_view section, key;
  if (!splitKey(sectionKey, section, key))
    return fail(err, msg::text(msg::kCliNotSectionKey, sectionKey));
  settings::IniFile ini(file);
  if (!readable(ini, err))
    return 1;
  if (const settings::KeyInfo* info = settings::findKey(section, key)) {
    out << terminalSafe(ini.get(info->section, info->key, info->defaultText)) << '\n';
    return 0;
  }
  if (ini.contains(section, key)) {
    out << terminalSafe(ini.get(section, key, "")) << '\n';
    return 0;
  }
  return fail(err, msg::text(msg::kCliNoSuchKey, sectionKey));
}

int settingsSet(const fs::path& file, std::string_view sectionKey, std::string_view value,
                bool force, std::ostream& out, std::ostream& err) {
  std::string_view section, key;
  if (!splitKey(sectionKey, section, key))
    return fail(err, msg::text(msg::kCliNotSectionKey, sectionKey));
  const settings::KeyInfo* info = settings::findKey(section, key);
  std::string stored(value);
  if (info) {
    section = info->section;
    key = info->key;
    std::string why;
    if (auto fitted = storedValueFor(*info, value, &why))
      stored = *fitted;
    else if (!force)
      return fail(err, msg::text(msg::kCliValueDoesNotFit, sectionKey, value, why));
  } else if (!force) {
    return fail(err, msg::text(msg::kCliNoSuchKeyForce, sectionKey));
  }
  settings::IniFile ini(file);
  if (auto result = ini.set(section, key, stored); !result)
    return fail(err, result.error);
  out << terminalSafe(section) << '/' << terminalSafe(key) << '=' << terminalSafe(stored) << '\n';
  return 0;
}

int settingsProperties(const fs::path& file, std::ostream& out, std::ostream& err) {
  settings::IniFile ini(file);
  if (!readable(ini, err))
    return 1;
  for (const auto& [name, value] : settings::loadEngineProperties(ini))
    out << name << '=' << terminalSafe(value) << '\n';
  return 0;
}

} // namespace quillfold::cli
