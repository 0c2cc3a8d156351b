#pragma once
// Numbers written as text in settings: the one reading the engine and the settings file share.
//
// A number is decimal text: blanks (spaces, tabs) around it, an optional sign, digits with an
// optional '.' fraction and an optional exponent ("3", "-1.25", "+2", ".5", "1e1"). The decimal
// point is '.' whatever the locale. Anything else is no number: empty text, letters, "inf" and
// "nan", hexadecimal, thousands separators ("2,5"), inner blanks ("1 2"), two signs.

#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string_view>
#include <system_error>

namespace base {

// `text` without the spaces and tabs around it.
constexpr std::string_view trimBlanks(std::string_view text) {
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && blank(text.back()))
    text.remove_suffix(1);
  return text;
}

// True when `text` holds nothing but spaces and tabs.
constexpr bool isBlank(std::string_view text) {
  return trimBlanks(text).empty();
}

// `text` read as a number of type T (float or double), rounded to T as the C library rounds.
// Nothing when it is no number, or when its value lies beyond the range of T.
template <class T = double> std::optional<T> parseNumber(std::string_view text) {
  text = trimBlanks(text);
  // from_chars takes no '+': one in front of anything but a '-' is dropped.
  if (text.size() > 1 && text.front() == '+' && text[1] != '-')
    text.remove_prefix(1);
  T value = 0;
  auto [end, ec] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  // from_chars also reads "inf" and "nan"; they are no numbers here.
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() ||
      !std::isfinite(value))
    return std::nullopt;
  return value;
}

// `text` read as a decimal integer, strictly: digits with an optional '-', nothing around them
// (the counts the engine server and its clients exchange). Nothing otherwise or out of range.
inline std::optional<long long> parseWholeNumber(std::string_view text) {
  long long value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size())
    return std::nullopt;
  return value;
}

// `value` rounded to an integer, halves to the even neighbour (0.5 gives 0, 1.5 and 2.5 give 2,
// -0.5 gives 0), as a conversion from text to an integer rounds. Nothing when the integer lies
// outside [lo, hi].
template <class T> std::optional<int64_t> roundHalfEven(T value, int64_t lo, int64_t hi) {
  // nearbyint rounds in the current rounding mode, which is to nearest, halves to even.
  const double r = static_cast<double>(std::nearbyint(value));
  if (!(r >= static_cast<double>(lo) && r <= static_cast<double>(hi)))
    return std::nullopt;
  return static_cast<int64_t>(r);
}

} // namespace base
