#include "word/internal/numbering.h"

#include "base/ascii.h"

#include "word/text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cstring>
#include <optional>
#include <set>
#include <string_view>
#include <unordered_map>

namespace word {

namespace {

constexpr const char* kWordNs = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
constexpr int kLevels = 9;
// Word does not count beyond this; larger values are shown in decimal by the formats that
// repeat characters (letters, roman), so a hostile start value cannot produce huge labels.
constexpr int kMaxRepeatedValue = 32767;

// ---------------------------------------------------------------------------------------------
// Namespace prefixes

// Prefixes of WordprocessingML names in one document: the element prefix ("w:" or "" when the
// namespace is the default one) and the attribute prefix (attributes are never in a default
// namespace, so they need a declared prefix; "" when none is declared).
struct WPrefix {
  std::string el = "w:";
  std::string at = "w:";
};

// Finds the prefix bound to the WordprocessingML namespace, looking at `node` and its
// ancestors (the nearest declaration wins). Falls back to the prefix of `node`'s own name,
// then to "w:".
WPrefix resolvePrefix(pugi::xml_node node) {
  std::string named;
  bool haveNamed = false, haveDefault = false;
  for (pugi::xml_node n = node; n && n.type() == pugi::node_element; n = n.parent()) {
    for (pugi::xml_attribute a : n.attributes()) {
      std::string_view name = a.name();
      if (std::strcmp(a.value(), kWordNs) != 0)
        continue;
      if (name == "xmlns") {
        if (!haveDefault && !haveNamed)
          haveDefault = true;
      } else if (name.size() > 6 && name.substr(0, 6) == "xmlns:" && !haveNamed) {
        named = std::string(name.substr(6)) + ":";
        haveNamed = true;
      }
    }
    if (haveNamed)
      break;
  }
  WPrefix p;
  if (haveNamed) {
    p.el = p.at = named;
    if (haveDefault)
      p.el.clear();
    return p;
  }
  if (haveDefault) {
    p.el.clear();
    p.at.clear();
    return p;
  }
  // No declaration in scope: trust the prefix the element itself carries.
  std::string_view own = node ? node.name() : "";
  auto colon = own.find(':');
  if (colon != std::string_view::npos)
    p.el = p.at = std::string(own.substr(0, colon + 1));
  return p;
}

// WordprocessingML names qualified with one document's prefixes.
struct Names {
  std::string key; // el + "|" + at, to reuse an instance for the same prefixes
  // elements
  std::string pPr, numPr, ilvl, numId, pStyle, style, basedOn, num, abstractNumId, abstractNum, lvl,
      start, numFmt, lvlText, lvlRestart, isLgl, suff, rPr, numStyleLink, styleLink, lvlOverride,
      startOverride;
  // attributes
  std::string val, aIlvl, aNumId, aAbstractNumId, styleId, type, isDefault, null, format;

  explicit Names(const WPrefix& p) : key(p.el + "|" + p.at) {
    auto e = [&](const char* local) { return p.el + local; };
    auto a = [&](const char* local) { return p.at + local; };
    pPr = e("pPr");
    numPr = e("numPr");
    ilvl = e("ilvl");
    numId = e("numId");
    pStyle = e("pStyle");
    style = e("style");
    basedOn = e("basedOn");
    num = e("num");
    abstractNumId = e("abstractNumId");
    abstractNum = e("abstractNum");
    lvl = e("lvl");
    start = e("start");
    numFmt = e("numFmt");
    lvlText = e("lvlText");
    lvlRestart = e("lvlRestart");
    isLgl = e("isLgl");
    suff = e("suff");
    rPr = e("rPr");
    numStyleLink = e("numStyleLink");
    styleLink = e("styleLink");
    lvlOverride = e("lvlOverride");
    startOverride = e("startOverride");
    val = a("val");
    aIlvl = a("ilvl");
    aNumId = a("numId");
    aAbstractNumId = a("abstractNumId");
    styleId = a("styleId");
    type = a("type");
    isDefault = a("default");
    null = a("null");
    format = a("format");
  }
};

// ---------------------------------------------------------------------------------------------
// Attribute values

// ST_DecimalNumber, clamped to int. Leading '+' and surrounding spaces are tolerated.
std::optional<long long> parseInt(const char* s) {
  std::string_view v(s);
  while (!v.empty() && (v.front() == ' ' || v.front() == '\t'))
    v.remove_prefix(1);
  while (!v.empty() && (v.back() == ' ' || v.back() == '\t'))
    v.remove_suffix(1);
  if (!v.empty() && v.front() == '+')
    v.remove_prefix(1);
  if (v.empty())
    return std::nullopt;
  long long out = 0;
  auto [ptr, ec] = std::from_chars(v.data(), v.data() + v.size(), out);
  if (ec == std::errc::result_out_of_range) {
    return v.front() == '-' ? static_cast<long long>(INT_MIN) : static_cast<long long>(INT_MAX);
  }
  if (ec != std::errc() || ptr != v.data() + v.size())
    return std::nullopt;
  return std::clamp<long long>(out, INT_MIN, INT_MAX);
}

std::optional<long long> intVal(pugi::xml_node el, const std::string& attr) {
  if (!el)
    return std::nullopt;
  pugi::xml_attribute a = el.attribute(attr.c_str());
  if (!a)
    return std::nullopt;
  return parseInt(a.value());
}

// ST_OnOff value of an attribute that is present.
bool isOn(pugi::xml_attribute a) {
  std::string_view v = a.value();
  return !(v == "0" || v == "false" || v == "off");
}

// An ST_OnOff property element: present without a value means on.
bool onOff(pugi::xml_node el, const std::string& attr) {
  if (!el)
    return false;
  pugi::xml_attribute a = el.attribute(attr.c_str());
  return !a || isOn(a);
}

std::string_view localName(pugi::xml_node n) {
  std::string_view name = n.name();
  auto colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// ---------------------------------------------------------------------------------------------
// Number formats

std::string decimal(long long n) {
  return std::to_string(n);
}

std::string roman(int n, bool upper) {
  if (n <= 0 || n > kMaxRepeatedValue)
    return decimal(n);
  static constexpr std::pair<int, const char*> table[] = {
      {1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"}, {90, "xc"}, {50, "l"},
      {40, "xl"},  {10, "x"},   {9, "ix"},  {5, "v"},    {4, "iv"},  {1, "i"}};
  std::string out;
  for (const auto& [value, text] : table) {
    while (n >= value) {
      out += text;
      n -= value;
    }
  }
  if (upper) {
    for (char& c : out)
      c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

// a..z, then aa..zz, aaa..: the letter repeated once more for every round of the alphabet.
std::string letters(int n, bool upper) {
  if (n <= 0 || n > kMaxRepeatedValue)
    return decimal(n);
  char c = static_cast<char>((upper ? 'A' : 'a') + (n - 1) % 26);
  return std::string(static_cast<size_t>((n - 1) / 26 + 1), c);
}

std::string codepointRange(int n, char32_t first, int count) {
  if (n < 1 || n > count)
    return decimal(n);
  return toUtf8(first + static_cast<char32_t>(n - 1));
}

constexpr const char* kCnDigits[10] = {"〇", "一", "二", "三", "四", "五", "六", "七", "八", "九"};
constexpr const char* kCnLegalDigits[10] = {"零", "壹", "贰", "叁", "肆",
                                            "伍", "陆", "柒", "捌", "玖"};
constexpr const char* kTwLegalDigits[10] = {"零", "壹", "貳", "參", "肆",
                                            "伍", "陸", "柒", "捌", "玖"};

std::string digitByDigit(long long n, const char* const* digits) {
  std::string s = std::to_string(n), out;
  for (char c : s)
    out += c == '-' ? "-" : digits[c - '0'];
  return out;
}

struct CjkUnits {
  const char* const* digits; // [0] is the zero written between non-zero places
  const char* ten;
  const char* hundred;
  const char* thousand;
  const char* wan;
  const char* yi;
  bool bareTen; // 10..19 at the start are written 十, 十一 rather than 一十, 一十一
};

// Positional CJK numbers: 一百〇一, 一千〇一十, 十一万, with one zero for every run of zeros
// between non-zero places.
std::string cjkPositional(long long n, const CjkUnits& u) {
  if (n < 0)
    return decimal(n);
  if (n == 0)
    return u.digits[0];
  const long long groups[3] = {n / 100000000, (n / 10000) % 10000, n % 10000};
  const char* groupUnits[3] = {u.yi, u.wan, ""};
  const char* placeUnits[4] = {"", u.ten, u.hundred, u.thousand};
  std::string out;
  bool pendingZero = false;
  for (int g = 0; g < 3; ++g) {
    long long value = groups[g];
    if (value == 0) {
      if (!out.empty())
        pendingZero = true;
      continue;
    }
    if (!out.empty() && (pendingZero || value < 1000))
      out += u.digits[0];
    pendingZero = false;
    bool started = false, zero = false;
    for (int place = 3; place >= 0; --place) {
      long long divisor = 1;
      for (int i = 0; i < place; ++i)
        divisor *= 10;
      int d = static_cast<int>((value / divisor) % 10);
      if (d == 0) {
        if (started)
          zero = true;
        continue;
      }
      if (zero) {
        out += u.digits[0];
        zero = false;
      }
      if (!(u.bareTen && place == 1 && d == 1 && out.empty()))
        out += u.digits[d];
      out += placeUnits[place];
      started = true;
    }
    out += groupUnits[g];
  }
  return out;
}

// 一..九十九 with 十; from 100 on, digit by digit (一〇〇, 一〇一).
std::string chineseCounting(int n) {
  if (n < 0)
    return decimal(n);
  if (n >= 100)
    return digitByDigit(n, kCnDigits);
  if (n < 10)
    return kCnDigits[n];
  std::string out;
  if (n >= 20)
    out += kCnDigits[n / 10];
  out += "十";
  if (n % 10)
    out += kCnDigits[n % 10];
  return out;
}

std::string decimalFullWidth(int n) {
  std::string out;
  for (char c : std::to_string(n))
    out += toUtf8(c == '-' ? U'－' : static_cast<char32_t>(U'０' + (c - '0')));
  return out;
}

// The displayed number of a level that is "legal": decimal unless the level shows no number.
bool showsNumber(const std::string& fmt) {
  return fmt != "bullet" && fmt != "none";
}

} // namespace

namespace {

// Characters of a script's alphabet for 1..size; the next rounds repeat the character once more
// each time (as Word does with letters: a..z, aa..zz).
std::string repeatedFromList(int n, const std::vector<std::string>& list) {
  const int size = static_cast<int>(list.size());
  if (n <= 0 || n > kMaxRepeatedValue)
    return decimal(n);
  std::string out;
  for (int i = 0; i <= (n - 1) / size; ++i)
    out += list[static_cast<size_t>((n - 1) % size)];
  return out;
}

// Characters from a list for 1..size, decimal outside (Word does not cycle these).
std::string repeatedFromListOrDecimal(int n, const std::vector<std::string>& list) {
  if (n >= 1 && n <= static_cast<int>(list.size()))
    return list[static_cast<size_t>(n - 1)];
  return decimal(n);
}

// The characters of a UTF-8 string, one entry each.
std::vector<std::string> chars(std::string_view s) {
  std::vector<std::string> out;
  for (char32_t c : toU32(s))
    out.push_back(toUtf8(c));
  return out;
}

// Digits of n in another script's digit characters (index 0 is zero).
std::string scriptDigits(long long n, std::string_view digits) {
  std::vector<std::string> d = chars(digits);
  std::string out;
  for (char c : std::to_string(n))
    out += c == '-' ? "-" : d[static_cast<size_t>(c - '0')];
  return out;
}

// CJK counting that leaves out zeros and, where `omitOne`, the 一 before 十/百/千 (and before
// 万 when `omitOneWan`): Japanese 百一, 千十; Korean 백일, 만.
std::string cjkCompact(long long n, const std::vector<std::string>& digits,
                       const std::array<const char*, 3>& places,
                       const std::array<const char*, 2>& groups, bool omitOne, bool omitOneWan) {
  if (n <= 0)
    return n == 0 ? digits[0] : decimal(n);
  const long long parts[3] = {n / 100000000, (n / 10000) % 10000, n % 10000};
  const char* groupUnit[3] = {groups[1], groups[0], ""};
  std::string out;
  for (int g = 0; g < 3; ++g) {
    long long v = parts[g];
    if (v == 0)
      continue;
    if (g == 1 && v == 1 && omitOneWan) {
      out += groupUnit[g];
      continue;
    }
    const long long div[4] = {1000, 100, 10, 1};
    for (int k = 0; k < 4; ++k) {
      int d = static_cast<int>((v / div[k]) % 10);
      if (d == 0)
        continue;
      if (!(d == 1 && k < 3 && omitOne))
        out += digits[static_cast<size_t>(d)];
      if (k < 3)
        out += places[static_cast<size_t>(k)];
    }
    out += groupUnit[g];
  }
  return out;
}

const char* const kEnglishOnes[] = {"",        "one",     "two",       "three",    "four",
                                    "five",    "six",     "seven",     "eight",    "nine",
                                    "ten",     "eleven",  "twelve",    "thirteen", "fourteen",
                                    "fifteen", "sixteen", "seventeen", "eighteen", "nineteen"};
const char* const kEnglishTens[] = {"",      "",      "twenty",  "thirty", "forty",
                                    "fifty", "sixty", "seventy", "eighty", "ninety"};

// English cardinal words, lower case: "twenty-one", "one hundred one", "two thousand".
std::string englishCardinal(long long n) {
  if (n == 0)
    return "zero";
  std::string out;
  auto add = [&](const std::string& w) { out += (out.empty() ? "" : " ") + w; };
  auto below1000 = [&](int v) {
    if (v >= 100) {
      add(std::string(kEnglishOnes[v / 100]) + " hundred");
      v %= 100;
    }
    if (v >= 20) {
      std::string w = kEnglishTens[v / 10];
      if (v % 10)
        w += std::string("-") + kEnglishOnes[v % 10];
      add(w);
    } else if (v > 0) {
      add(kEnglishOnes[v]);
    }
  };
  if (n >= 1000000) {
    below1000(static_cast<int>(n / 1000000 % 1000));
    add("million");
    n %= 1000000;
  }
  if (n >= 1000) {
    below1000(static_cast<int>(n / 1000));
    add("thousand");
    n %= 1000;
  }
  below1000(static_cast<int>(n));
  return out;
}

std::string capitalised(std::string s) {
  if (!s.empty())
    s[0] = base::upperAscii(s[0]);
  return s;
}

// "first", "twenty-first", "one hundredth".
std::string englishOrdinal(long long n) {
  static const std::pair<const char*, const char*> irregular[] = {
      {"one", "first"},    {"two", "second"}, {"three", "third"},   {"five", "fifth"},
      {"eight", "eighth"}, {"nine", "ninth"}, {"twelve", "twelfth"}};
  std::string words = englishCardinal(n);
  size_t cut = words.find_last_of(" -");
  std::string head = cut == std::string::npos ? std::string() : words.substr(0, cut + 1);
  std::string last = cut == std::string::npos ? words : words.substr(cut + 1);
  for (const auto& [from, to] : irregular)
    if (last == from)
      return head + to;
  if (last.back() == 'y')
    return head + last.substr(0, last.size() - 1) + "ieth";
  return head + last + "th";
}

std::string ordinalSuffix(long long n) {
  long long m100 = n % 100, m10 = n % 10;
  const char* suffix = (m100 >= 11 && m100 <= 13) ? "th"
                       : m10 == 1                 ? "st"
                       : m10 == 2                 ? "nd"
                       : m10 == 3                 ? "rd"
                                                  : "th";
  return decimal(n) + suffix;
}

// Native Korean numbers to 99 (하나, 열하나, 스물); Sino-Korean beyond.
std::string koreanCounting(int n) {
  static const std::vector<std::string> ones = {"",     "하나", "둘",   "셋",   "넷",
                                                "다섯", "여섯", "일곱", "여덟", "아홉"};
  static const std::vector<std::string> tens = {"",   "열",   "스물", "서른", "마흔",
                                                "쉰", "예순", "일흔", "여든", "아흔"};
  if (n <= 0 || n >= 100)
    return cjkCompact(n, chars("영일이삼사오육칠팔구"), {"천", "백", "십"}, {"만", "억"}, true,
                      true);
  return tens[static_cast<size_t>(n / 10)] + ones[static_cast<size_t>(n % 10)];
}

// Vietnamese numbers to 999 (một, mười một, hai mươi mốt, một trăm linh năm).
std::string vietnameseCounting(int n) {
  static const char* const d[] = {"không", "một", "hai", "ba",  "bốn",
                                  "năm",   "sáu", "bảy", "tám", "chín"};
  if (n <= 0 || n >= 1000)
    return decimal(n);
  std::string out;
  auto add = [&](const std::string& w) { out += (out.empty() ? "" : " ") + w; };
  int h = n / 100, t = n / 10 % 10, u = n % 10;
  if (h)
    add(std::string(d[h]) + " trăm");
  if (t == 0 && u && h)
    add("linh");
  if (t == 1)
    add("mười");
  else if (t > 1)
    add(std::string(d[t]) + " mươi");
  if (u) {
    if (u == 1 && t > 1)
      add("mốt");
    else if (u == 5 && t >= 1)
      add("lăm");
    else
      add(d[u]);
  }
  return out;
}

// Thai numbers to 99 in words (หนึ่ง, สิบเอ็ด, ยี่สิบ); Thai digits beyond.
std::string thaiCounting(int n) {
  static const char* const d[] = {"", "หนึ่ง", "สอง", "สาม", "สี่", "ห้า", "หก", "เจ็ด", "แปด", "เก้า"};
  if (n <= 0 || n >= 100)
    return scriptDigits(n, "๐๑๒๓๔๕๖๗๘๙");
  int t = n / 10, u = n % 10;
  std::string out;
  if (t == 2)
    out += "ยี่";
  else if (t > 2)
    out += d[t];
  if (t)
    out += "สิบ";
  if (u)
    out += (u == 1 && t) ? "เอ็ด" : d[u];
  return out;
}

// Hebrew numerals (gematria) to 999, with 15 and 16 written טו and טז.
std::string hebrewNumeral(int n) {
  if (n <= 0 || n >= 1000)
    return decimal(n);
  static const std::vector<std::string> hundreds = {"",   "ק",  "ר",  "ש",  "ת",
                                                    "תק", "תר", "תש", "תת", "תתק"};
  static const std::vector<std::string> tens = {"", "י", "כ", "ל", "מ", "נ", "ס", "ע", "פ", "צ"};
  static const std::vector<std::string> ones = {"", "א", "ב", "ג", "ד", "ה", "ו", "ז", "ח", "ט"};
  std::string out = hundreds[static_cast<size_t>(n / 100)];
  int rest = n % 100;
  if (rest == 15)
    return out + "טו";
  if (rest == 16)
    return out + "טז";
  return out + tens[static_cast<size_t>(rest / 10)] + ones[static_cast<size_t>(rest % 10)];
}

std::string hindiCounting(int n) {
  static const char* const words[] = {"",   "एक",  "दो", "तीन", "चार", "पाँच",
                                      "छह", "सात", "आठ", "नौ",  "दस"};
  if (n >= 1 && n <= 10)
    return words[n];
  return scriptDigits(n, "०१२३४५६७८९");
}

using Formatter = std::string (*)(int);

const std::unordered_map<std::string_view, Formatter>& formatters() {
  static const std::unordered_map<std::string_view, Formatter> table = {
      {"decimal", [](int n) { return decimal(n); }},
      {"decimalHalfWidth", [](int n) { return decimal(n); }},
      {"bullet", [](int) { return std::string(); }},
      {"none", [](int) { return std::string(); }},
      {"decimalZero", [](int n) { return n >= 0 && n < 10 ? "0" + decimal(n) : decimal(n); }},
      {"decimalFullWidth", [](int n) { return decimalFullWidth(n); }},
      {"decimalFullWidth2", [](int n) { return decimalFullWidth(n); }},
      {"decimalEnclosedCircle", [](int n) { return codepointRange(n, U'①', 20); }},
      {"decimalEnclosedCircleChinese", [](int n) { return codepointRange(n, U'①', 20); }},
      {"decimalEnclosedFullstop", [](int n) { return codepointRange(n, U'⒈', 20); }},
      {"decimalEnclosedParen", [](int n) { return codepointRange(n, U'⑴', 20); }},
      {"ideographEnclosedCircle", [](int n) { return codepointRange(n, U'㊀', 10); }},
      {"ideographDigital", [](int n) { return n < 0 ? decimal(n) : digitByDigit(n, kCnDigits); }},
      {"taiwaneseDigital", [](int n) { return n < 0 ? decimal(n) : digitByDigit(n, kCnDigits); }},
      {"japaneseDigitalTenThousand",
       [](int n) {
         if (n < 10000)
           return n < 0 ? decimal(n) : digitByDigit(n, kCnDigits);
         std::string low = digitByDigit(n % 10000 + 10000, kCnDigits);
         return digitByDigit(n / 10000, kCnDigits) + "万" + low.substr(std::string("一").size());
       }},
      {"chineseCounting", [](int n) { return chineseCounting(n); }},
      {"chineseCountingThousand",
       [](int n) {
         return cjkPositional(n, {kCnDigits, "十", "百", "千", "万", "亿", true});
       }},
      {"taiwaneseCounting",
       [](int n) {
         return cjkPositional(n, {kCnDigits, "十", "百", "千", "萬", "億", true});
       }},
      {"taiwaneseCountingThousand",
       [](int n) {
         return cjkPositional(n, {kCnDigits, "十", "百", "千", "萬", "億", true});
       }},
      {"chineseLegalSimplified",
       [](int n) {
         return cjkPositional(n, {kCnLegalDigits, "拾", "佰", "仟", "万", "亿", false});
       }},
      {"ideographLegalTraditional",
       [](int n) {
         return cjkPositional(n, {kTwLegalDigits, "拾", "佰", "仟", "萬", "億", false});
       }},
      {"japaneseCounting",
       [](int n) {
         return cjkCompact(n, chars("〇一二三四五六七八九"), {"千", "百", "十"}, {"万", "億"}, true,
                           false);
       }},
      {"japaneseLegal",
       [](int n) {
         return cjkCompact(n, chars("〇壱弐参四伍六七八九"), {"阡", "百", "拾"}, {"萬", "億"},
                           false, false);
       }},
      {"koreanDigital",
       [](int n) { return n < 0 ? decimal(n) : scriptDigits(n, "영일이삼사오육칠팔구"); }},
      {"koreanDigital2",
       [](int n) { return n < 0 ? decimal(n) : scriptDigits(n, "零一二三四五六七八九"); }},
      {"koreanLegal",
       [](int n) {
         return cjkCompact(n, chars("영일이삼사오육칠팔구"), {"천", "백", "십"}, {"만", "억"}, true,
                           true);
       }},
      {"koreanCounting", [](int n) { return koreanCounting(n); }},
      {"ideographTraditional",
       [](int n) { return repeatedFromListOrDecimal(n, chars("甲乙丙丁戊己庚辛壬癸")); }},
      {"ideographZodiac",
       [](int n) { return repeatedFromListOrDecimal(n, chars("子丑寅卯辰巳午未申酉戌亥")); }},
      {"ideographZodiacTraditional",
       [](int n) {
         if (n < 1 || n > 60)
           return decimal(n);
         static const auto stems = chars("甲乙丙丁戊己庚辛壬癸");
         static const auto branches = chars("子丑寅卯辰巳午未申酉戌亥");
         return stems[static_cast<size_t>((n - 1) % 10)] +
                branches[static_cast<size_t>((n - 1) % 12)];
       }},
      {"lowerLetter", [](int n) { return letters(n, false); }},
      {"upperLetter", [](int n) { return letters(n, true); }},
      {"lowerRoman", [](int n) { return roman(n, false); }},
      {"upperRoman", [](int n) { return roman(n, true); }},
      {"ordinal", [](int n) { return n <= 0 ? decimal(n) : ordinalSuffix(n); }},
      {"cardinalText", [](int n) { return n < 0 ? decimal(n) : capitalised(englishCardinal(n)); }},
      {"ordinalText", [](int n) { return n <= 0 ? decimal(n) : capitalised(englishOrdinal(n)); }},
      {"dollarText",
       [](int n) { return n < 0 ? decimal(n) : capitalised(englishCardinal(n)) + " and 00/100"; }},
      {"hex",
       [](int n) {
         if (n < 0)
           return decimal(n);
         char buf[16];
         std::snprintf(buf, sizeof buf, "%X", static_cast<unsigned>(n));
         return std::string(buf);
       }},
      {"chicago",
       [](int n) {
         return repeatedFromList(n, {"*", "†", "‡", "§"});
       }},
      {"numberInDash", [](int n) { return "- " + decimal(n) + " -"; }},
      {"aiueo",
       [](int n) {
         static const auto list = chars("ｱｲｳｴｵｶｷｸｹｺｻｼｽｾｿﾀﾁﾂﾃﾄﾅﾆﾇﾈﾉﾊﾋﾌﾍﾎﾏﾐﾑﾒﾓﾔﾕﾖﾗﾘﾙﾚﾛﾜｦﾝ");
         return repeatedFromList(n, list);
       }},
      {"aiueoFullWidth",
       [](int n) {
         static const auto list =
             chars("アイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨ"
                   "ラリルレロワヲン");
         return repeatedFromList(n, list);
       }},
      {"iroha",
       [](int n) {
         static const auto list = chars("ｲﾛﾊﾆﾎﾍﾄﾁﾘﾇﾙｦﾜｶﾖﾀﾚｿﾂﾈﾅﾗﾑｳヰﾉｵｸﾔﾏｹﾌｺｴﾃｱｻｷﾕﾒﾐｼヱﾋﾓｾｽ");
         return repeatedFromList(n, list);
       }},
      {"irohaFullWidth",
       [](int n) {
         static const auto list =
             chars("イロハニホヘトチリヌルヲワカヨタレソツネナラムウヰノオクヤマケフコエテアサキ"
                   "ユメミシヱヒモセス");
         return repeatedFromList(n, list);
       }},
      {"ganada", [](int n) { return repeatedFromList(n, chars("가나다라마바사아자차카타파하")); }},
      {"chosung", [](int n) { return repeatedFromList(n, chars("ㄱㄴㄷㄹㅁㅂㅅㅇㅈㅊㅋㅌㅍㅎ")); }},
      {"vietnameseCounting", [](int n) { return vietnameseCounting(n); }},
      {"russianLower",
       [](int n) { return repeatedFromList(n, chars("абвгдежзиклмнопрстуфхцчшщэюя")); }},
      {"russianUpper",
       [](int n) { return repeatedFromList(n, chars("АБВГДЕЖЗИКЛМНОПРСТУФХЦЧШЩЭЮЯ")); }},
      {"hebrew1", [](int n) { return hebrewNumeral(n); }},
      {"hebrew2", [](int n) { return repeatedFromList(n, chars("אבגדהוזחטיכלמנסעפצקרשת")); }},
      {"arabicAlpha",
       [](int n) {
         return repeatedFromList(n, {"أ", "ب", "ت", "ث", "ج", "ح",  "خ", "د", "ذ", "ر",
                                     "ز", "س", "ش", "ص", "ض", "ط",  "ظ", "ع", "غ", "ف",
                                     "ق", "ك", "ل", "م", "ن", "هـ", "و", "ي"});
       }},
      {"arabicAbjad",
       [](int n) {
         return repeatedFromList(n, {"أ", "ب", "ج", "د", "هـ", "و", "ز", "ح", "ط", "ي",
                                     "ك", "ل", "م", "ن", "س",  "ع", "ف", "ص", "ق", "ر",
                                     "ش", "ت", "ث", "خ", "ذ",  "ض", "ظ", "غ"});
       }},
      {"hindiVowels",
       [](int n) {
         return repeatedFromList(
             n, {"अ", "आ", "इ", "ई", "उ", "ऊ", "ऋ", "ए", "ऐ", "ओ", "औ", "अं", "अः"});
       }},
      {"hindiConsonants",
       [](int n) { return repeatedFromList(n, chars("कखगघङचछजझञटठडढणतथदधनपफबभमयरलवशषसह")); }},
      {"hindiNumbers", [](int n) { return scriptDigits(n, "०१२३४५६७८९"); }},
      {"hindiCounting", [](int n) { return hindiCounting(n); }},
      {"thaiLetters",
       [](int n) {
         return repeatedFromList(n, chars("กขคฆงจฉชซฌญฎฏฐฑฒณดตถทธนบปผฝพฟภมยรลวศษสหฬอฮ"));
       }},
      {"thaiNumbers", [](int n) { return scriptDigits(n, "๐๑๒๓๔๕๖๗๘๙"); }},
      {"thaiCounting", [](int n) { return thaiCounting(n); }},
      {"bahtText", [](int n) { return n < 0 ? decimal(n) : thaiCounting(n) + "บาทถ้วน"; }},
  };
  return table;
}

} // namespace

bool isKnownNumberFormat(const std::string& numFmt) {
  return numFmt.empty() || formatters().count(numFmt) > 0;
}

std::string formatListNumber(int n, const std::string& numFmt) {
  if (numFmt.empty())
    return decimal(n);
  auto it = formatters().find(numFmt);
  return it == formatters().end() ? decimal(n) : it->second(n);
}

// ---------------------------------------------------------------------------------------------
// ListNumberer

namespace {

// The width of a custom format that pads decimal numbers with zeros ("001, 002, 003, ..."
// gives 3), or 0 for any other custom format.
int paddedWidth(std::string_view format) {
  std::string_view first = format.substr(0, format.find(','));
  while (!first.empty() && first.front() == ' ')
    first.remove_prefix(1);
  while (!first.empty() && first.back() == ' ')
    first.remove_suffix(1);
  if (first.size() < 2 || first.size() > 9 || first.back() != '1' ||
      first.find_first_not_of('0') != first.size() - 1)
    return 0;
  return static_cast<int>(first.size());
}

// One level as a w:num shows it: the abstract level with the num's override applied.
struct LevelDef {
  bool present = false;
  long long start = 0;
  std::string fmt = "decimal";
  int pad = 0; // custom "01, 02, 03, ..." formats: decimal padded with zeros to this width
  std::string text;
  std::optional<long long> restart; // w:lvlRestart as written
  bool legal = false;
  std::string suffix = "\t";
  std::string pStyle;
  pugi::xml_node rPr;

  // The 0-based level below which a use of any level restarts this one; 0 = never restarts.
  int restartBelow(int ilvl) const {
    if (!restart)
      return ilvl;
    if (*restart <= 0)
      return 0;
    return *restart > ilvl ? ilvl : static_cast<int>(*restart);
  }
};

struct Counter {
  long long value = 0;
  bool active = false; // false: never used since the list (or its parent level) started
};

struct Group;

struct NumInfo {
  Group* group = nullptr;
  std::array<LevelDef, kLevels> levels;
  std::array<bool, kLevels> ownCounter{}; // a start override: this num counts the level alone
  std::array<Counter, kLevels> own;
};

// The counters of one abstract definition, shared by the nums without start overrides.
struct Group {
  std::array<Counter, kLevels> shared;
  std::vector<NumInfo*> members;
};

} // namespace

struct ListNumberer::Impl {
  const pugi::xml_document* numbering = nullptr;
  const pugi::xml_document* styles = nullptr;
  std::unique_ptr<Names> nn, sn; // names in numbering.xml and styles.xml
  std::unique_ptr<Names> pn;     // names in the paragraphs' document (last one seen)

  std::unordered_map<long long, pugi::xml_node> nums, abstracts;
  std::unordered_map<std::string, pugi::xml_node> paraStyles, numberingStyles;
  pugi::xml_node defaultParaStyle;

  std::unordered_map<long long, std::unique_ptr<NumInfo>> numInfos; // null: unusable numId
  std::unordered_map<const void*, std::unique_ptr<Group>> groups;

  Impl(const pugi::xml_document* numberingDoc, const pugi::xml_document* stylesDoc)
      : numbering(numberingDoc), styles(stylesDoc) {
    if (numbering) {
      pugi::xml_node root = numbering->document_element();
      nn = std::make_unique<Names>(resolvePrefix(root));
      for (pugi::xml_node c : root.children()) {
        if (nn->num == c.name()) {
          if (auto id = intVal(c, nn->aNumId))
            nums.emplace(*id, c);
        } else if (nn->abstractNum == c.name()) {
          if (auto id = intVal(c, nn->aAbstractNumId))
            abstracts.emplace(*id, c);
        }
      }
    }
    if (styles) {
      pugi::xml_node root = styles->document_element();
      sn = std::make_unique<Names>(resolvePrefix(root));
      for (pugi::xml_node s : root.children(sn->style.c_str())) {
        std::string id = s.attribute(sn->styleId.c_str()).value();
        std::string_view type = s.attribute(sn->type.c_str()).value();
        if (type.empty() || type == "paragraph") {
          if (!id.empty())
            paraStyles.emplace(id, s);
          pugi::xml_attribute def = s.attribute(sn->isDefault.c_str());
          if (!defaultParaStyle && def && isOn(def))
            defaultParaStyle = s;
        } else if (type == "numbering" && !id.empty()) {
          numberingStyles.emplace(id, s);
        }
      }
    }
  }

  const Names& paragraphNames(pugi::xml_node p) {
    WPrefix prefix = resolvePrefix(p);
    if (!pn || pn->key != prefix.el + "|" + prefix.at)
      pn = std::make_unique<Names>(prefix);
    return *pn;
  }

  // The abstract definition a num uses, following w:numStyleLink to the numbering style's
  // own definition (the one carrying w:styleLink).
  pugi::xml_node abstractOf(pugi::xml_node num, int depth = 0) {
    auto id = intVal(num.child(nn->abstractNumId.c_str()), nn->val);
    if (!id)
      return {};
    auto it = abstracts.find(*id);
    if (it == abstracts.end())
      return {};
    pugi::xml_node abs = it->second;
    pugi::xml_node link = abs.child(nn->numStyleLink.c_str());
    if (!link)
      return abs;
    std::string styleId = link.attribute(nn->val.c_str()).value();
    if (depth < 8 && sn) {
      auto st = numberingStyles.find(styleId);
      if (st != numberingStyles.end()) {
        pugi::xml_node numPr = st->second.child(sn->pPr.c_str()).child(sn->numPr.c_str());
        if (auto linked = intVal(numPr.child(sn->numId.c_str()), sn->val)) {
          auto n = nums.find(*linked);
          if (n != nums.end() && n->second != num) {
            if (pugi::xml_node target = abstractOf(n->second, depth + 1))
              return target;
          }
        }
      }
    }
    // No usable numbering style: the definition that names the style through w:styleLink.
    for (const auto& [aid, other] : abstracts) {
      (void)aid;
      if (styleId == other.child(nn->styleLink.c_str()).attribute(nn->val.c_str()).value())
        return other;
    }
    return abs;
  }

  // Reads one level element into `d`. Properties missing from `lvl` keep the value `d` already
  // has, so an override level that is only partly written inherits the rest from the abstract
  // level.
  void readLevel(pugi::xml_node lvl, LevelDef& d) {
    const Names& n = *nn;
    d.present = true;
    if (auto v = intVal(lvl.child(n.start.c_str()), n.val))
      d.start = *v;
    pugi::xml_node fmt = lvl.child(n.numFmt.c_str());
    int pad = 0;
    if (!fmt) {
      // Word 2010 writes custom formats inside mc:AlternateContent with a fallback. The
      // zero-padded ones ("01, 02, 03, ...") are shown as such; others take the fallback.
      for (pugi::xml_node alt : lvl.children()) {
        if (localName(alt) != "AlternateContent")
          continue;
        for (pugi::xml_node branch : alt.children()) {
          pugi::xml_node f = branch.child(n.numFmt.c_str());
          if (!f)
            continue;
          if (localName(branch) == "Choice" &&
              std::string_view(f.attribute(n.val.c_str()).value()) == "custom")
            pad = paddedWidth(f.attribute(n.format.c_str()).value());
          else if (localName(branch) == "Fallback")
            fmt = f;
        }
      }
    }
    if (fmt)
      d.fmt = fmt.attribute(n.val.c_str()).value();
    if (pad > 0) {
      d.fmt = "decimal";
      d.pad = pad;
    }
    if (pugi::xml_node t = lvl.child(n.lvlText.c_str())) {
      pugi::xml_attribute null = t.attribute(n.null.c_str());
      d.text = null && isOn(null) ? std::string() : std::string(t.attribute(n.val.c_str()).value());
    }
    if (pugi::xml_node r = lvl.child(n.lvlRestart.c_str()))
      d.restart = intVal(r, n.val);
    if (pugi::xml_node l = lvl.child(n.isLgl.c_str()))
      d.legal = onOff(l, n.val);
    if (pugi::xml_node s = lvl.child(n.suff.c_str())) {
      std::string_view v = s.attribute(n.val.c_str()).value();
      d.suffix = v == "space" ? " " : v == "nothing" ? "" : "\t";
    }
    if (pugi::xml_node ps = lvl.child(n.pStyle.c_str()))
      d.pStyle = ps.attribute(n.val.c_str()).value();
    if (pugi::xml_node r = lvl.child(n.rPr.c_str()))
      d.rPr = r;
  }

  static pugi::xml_node levelNode(pugi::xml_node parent, const std::string& lvlName,
                                  const std::string& ilvlAttr, int ilvl) {
    for (pugi::xml_node l : parent.children(lvlName.c_str())) {
      auto v = intVal(l, ilvlAttr);
      if (v && *v == ilvl)
        return l;
    }
    return {};
  }

  NumInfo* info(long long numId) {
    auto found = numInfos.find(numId);
    if (found != numInfos.end())
      return found->second.get();
    std::unique_ptr<NumInfo> made;
    auto it = nums.find(numId);
    if (it != nums.end()) {
      pugi::xml_node num = it->second;
      if (pugi::xml_node abs = abstractOf(num)) {
        made = std::make_unique<NumInfo>();
        const Names& n = *nn;
        for (int i = 0; i < kLevels; ++i) {
          LevelDef& d = made->levels[static_cast<size_t>(i)];
          if (pugi::xml_node l = levelNode(abs, n.lvl, n.aIlvl, i))
            readLevel(l, d);
          if (pugi::xml_node o = levelNode(num, n.lvlOverride, n.aIlvl, i)) {
            if (pugi::xml_node l = o.child(n.lvl.c_str()))
              readLevel(l, d);
            if (auto s = intVal(o.child(n.startOverride.c_str()), n.val)) {
              d.start = *s;
              made->ownCounter[static_cast<size_t>(i)] = true;
            }
          }
        }
        auto& group = groups[abs.internal_object()];
        if (!group)
          group = std::make_unique<Group>();
        made->group = group.get();
        group->members.push_back(made.get());
      }
    }
    NumInfo* raw = made.get();
    numInfos.emplace(numId, std::move(made));
    return raw;
  }

  Counter& counter(NumInfo& ni, int ilvl) {
    auto i = static_cast<size_t>(ilvl);
    return ni.ownCounter[i] ? ni.own[i] : ni.group->shared[i];
  }

  // Counts one paragraph at `ilvl` of `ni` and restarts the deeper levels it governs, in the
  // shared counters and in every num of the same definition counting on its own.
  void advance(NumInfo& ni, int ilvl) {
    Counter& c = counter(ni, ilvl);
    if (c.active) {
      if (c.value < INT_MAX)
        ++c.value;
    } else {
      c.value = ni.levels[static_cast<size_t>(ilvl)].start;
      c.active = true;
    }
    for (int m = ilvl + 1; m < kLevels; ++m) {
      auto mi = static_cast<size_t>(m);
      if (ilvl < ni.levels[mi].restartBelow(m))
        ni.group->shared[mi].active = false;
      for (NumInfo* other : ni.group->members) {
        if (other->ownCounter[mi] && ilvl < other->levels[mi].restartBelow(m))
          other->own[mi].active = false;
      }
    }
  }

  std::set<std::string> unknownFormats; // formats shown in decimal for want of knowing them

  long long shownValue(NumInfo& ni, int ilvl) {
    const Counter& c = counter(ni, ilvl);
    return c.active ? c.value : ni.levels[static_cast<size_t>(ilvl)].start;
  }

  // lvlText with %1..%9 replaced by the levels' numbers. A reference to a deeper level than
  // the paragraph's makes Word drop the whole text.
  std::string labelText(NumInfo& ni, int ilvl) {
    const LevelDef& d = ni.levels[static_cast<size_t>(ilvl)];
    if (d.fmt == "bullet")
      return d.text;
    std::string out;
    const std::string& t = d.text;
    for (size_t i = 0; i < t.size(); ++i) {
      if (t[i] == '%' && i + 1 < t.size() && t[i + 1] >= '1' && t[i + 1] <= '9') {
        int ref = t[i + 1] - '1';
        ++i;
        if (ref > ilvl)
          return {};
        const LevelDef& rd = ni.levels[static_cast<size_t>(ref)];
        std::string fmt = rd.fmt;
        if (d.legal && showsNumber(fmt) && fmt != "decimalZero")
          fmt = "decimal";
        if (!isKnownNumberFormat(fmt))
          unknownFormats.insert(fmt);
        std::string number = formatListNumber(static_cast<int>(shownValue(ni, ref)), fmt);
        if (rd.pad > 0 && fmt == "decimal" && number.size() < static_cast<size_t>(rd.pad) &&
            number[0] != '-')
          number.insert(0, static_cast<size_t>(rd.pad) - number.size(), '0');
        out += number;
      } else {
        out += t[i];
      }
    }
    return out;
  }

  struct NumRef {
    std::optional<long long> numId, ilvl;
    bool fromStyle = false;
  };

  // numId and ilvl from the paragraph's own properties, then from its style chain.
  NumRef numberingOf(pugi::xml_node p, std::vector<std::string>& chain) {
    const Names& pnm = paragraphNames(p);
    NumRef ref;
    pugi::xml_node pPr = p.child(pnm.pPr.c_str());
    if (pugi::xml_node numPr = pPr.child(pnm.numPr.c_str())) {
      ref.numId = intVal(numPr.child(pnm.numId.c_str()), pnm.val);
      ref.ilvl = intVal(numPr.child(pnm.ilvl.c_str()), pnm.val);
    }
    if (!sn)
      return ref;
    // No w:pStyle, or one naming a missing style: the default paragraph style applies.
    pugi::xml_node style = defaultParaStyle;
    if (pugi::xml_node ps = pPr.child(pnm.pStyle.c_str())) {
      auto it = paraStyles.find(ps.attribute(pnm.val.c_str()).value());
      if (it != paraStyles.end())
        style = it->second;
    }
    std::set<const void*> seen;
    while (style && seen.insert(style.internal_object()).second && seen.size() <= 64) {
      chain.push_back(style.attribute(sn->styleId.c_str()).value());
      if (pugi::xml_node numPr = style.child(sn->pPr.c_str()).child(sn->numPr.c_str())) {
        if (!ref.numId) {
          if ((ref.numId = intVal(numPr.child(sn->numId.c_str()), sn->val)))
            ref.fromStyle = true;
        }
        if (!ref.ilvl)
          ref.ilvl = intVal(numPr.child(sn->ilvl.c_str()), sn->val);
      }
      auto it =
          paraStyles.find(style.child(sn->basedOn.c_str()).attribute(sn->val.c_str()).value());
      style = it == paraStyles.end() ? pugi::xml_node() : it->second;
    }
    return ref;
  }

  bool next(pugi::xml_node p, ListLabel& out) {
    if (!numbering || !p)
      return false;
    std::vector<std::string> chain;
    NumRef ref = numberingOf(p, chain);
    if (!ref.numId || *ref.numId == 0)
      return false;
    NumInfo* ni = info(*ref.numId);
    if (!ni)
      return false;
    int ilvl = 0;
    if (ref.ilvl) {
      ilvl = static_cast<int>(std::clamp<long long>(*ref.ilvl, 0, kLevels - 1));
    } else {
      // A style giving only numId: its level is the one linked to the style (w:pStyle).
      bool linked = false;
      for (const std::string& id : chain) {
        for (int i = 0; i < kLevels && !linked && !id.empty(); ++i) {
          if (ni->levels[static_cast<size_t>(i)].pStyle == id) {
            ilvl = i;
            linked = true;
          }
        }
        if (linked)
          break;
      }
    }
    const LevelDef& d = ni->levels[static_cast<size_t>(ilvl)];
    if (!d.present)
      return false;
    advance(*ni, ilvl);
    std::string text = labelText(*ni, ilvl);
    if (text.empty())
      return false;
    out.text = std::move(text);
    out.suffix = d.suffix;
    out.lvlRPr = d.rPr;
    return true;
  }
};

ListNumberer::ListNumberer(const pugi::xml_document* numbering, const pugi::xml_document* styles)
    : impl_(std::make_shared<Impl>(numbering, styles)) {}

bool ListNumberer::next(pugi::xml_node p, ListLabel& out) {
  return impl_->next(p, out);
}

std::vector<std::string> ListNumberer::unknownFormats() const {
  return {impl_->unknownFormats.begin(), impl_->unknownFormats.end()};
}

bool ListNumberer::hasDirectNumbering(pugi::xml_node p) {
  if (!p)
    return false;
  Names n(resolvePrefix(p));
  return static_cast<bool>(p.child(n.pPr.c_str()).child(n.numPr.c_str()).child(n.numId.c_str()));
}

} // namespace word
