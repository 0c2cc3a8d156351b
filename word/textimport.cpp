#include "word/textimport.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <uchardet/uchardet.h>
#include <unistd.h>

#include "base/ascii.h"
#include "base/encoding.h"
#include "base/messages.h"
#include "base/system_error.h"
#include "word/error.h"
#include "word/text.h"

namespace word {

namespace {

// Text files larger than this are refused: a document of that size is not a letter or a
// report, and the whole text is held in memory several times while the package is built.
constexpr off_t kMaxTextFileSize = 128 << 20;

bool startsWith(const std::string& s, std::string_view prefix) {
  return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

// Decodes UTF-16 from bytes[offset..]. Returns false when the byte count is odd or a surrogate
// is unpaired.
bool decodeUtf16(const std::string& bytes, size_t offset, bool bigEndian, std::u32string& out) {
  if ((bytes.size() - offset) % 2 != 0)
    return false;
  out.clear();
  out.reserve((bytes.size() - offset) / 2);
  auto unit = [&](size_t i) -> char32_t {
    auto b0 = static_cast<unsigned char>(bytes[i]);
    auto b1 = static_cast<unsigned char>(bytes[i + 1]);
    return bigEndian ? char32_t(b0 << 8 | b1) : char32_t(b1 << 8 | b0);
  };
  for (size_t i = offset; i < bytes.size(); i += 2) {
    char32_t u = unit(i);
    if (u >= 0xD800 && u <= 0xDBFF) {
      if (i + 3 >= bytes.size())
        return false;
      char32_t low = unit(i + 2);
      if (low < 0xDC00 || low > 0xDFFF)
        return false;
      out.push_back(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
      i += 2;
    } else if (u >= 0xDC00 && u <= 0xDFFF) {
      return false;
    } else {
      out.push_back(u);
    }
  }
  return true;
}

// Characters expected in Chinese or Western text: line ends and tabs, ASCII, Latin, Greek and
// Cyrillic, punctuation and symbols, CJK (with kana, bopomofo and Hangul), full-width forms
// and everything beyond the BMP.
bool plausibleCharacter(char32_t c) {
  return c == '\t' || c == '\n' || c == '\r' || (c >= 0x20 && c < 0x7F) ||
         (c >= 0xA0 && c < 0x250) || (c >= 0x370 && c < 0x530) || (c >= 0x2000 && c < 0x2C00) ||
         (c >= 0x3000 && c < 0xA000) || (c >= 0xAC00 && c < 0xD7A4) ||
         (c >= 0xF900 && c < 0xFB00) || (c >= 0xFE30 && c < 0xFE50) ||
         (c >= 0xFF00 && c < 0xFFF0) || c == 0xFEFF || c >= 0x10000;
}

// Decodes UTF-16 without a byte order mark when the bytes look like it. Text in an 8-bit
// encoding has no zero bytes at all; UTF-16 text has one in every code unit below U+0100
// (ASCII, line ends), always on the high-byte side, while the low-byte side has a zero only
// for the rare U+xx00 character. The byte order with more zeros on its high-byte side is tried;
// it is taken when nearly every decoded character is one expected in text (the other byte
// order turns most Chinese characters into unassigned or unusual code points). `strict` (the
// bytes are also valid UTF-8) further asks for the zero pattern of mostly Latin text.
bool decodeUtf16WithoutBom(const std::string& bytes, bool strict, DecodedText& result) {
  if (bytes.size() < 2 || bytes.size() % 2 != 0)
    return false;
  size_t zeroEven = 0, zeroOdd = 0;
  for (size_t i = 0; i < bytes.size(); ++i)
    if (bytes[i] == 0)
      ++(i % 2 == 0 ? zeroEven : zeroOdd);
  if (zeroEven == zeroOdd)
    return false;
  // Little-endian puts the high byte at odd positions.
  const bool bigEndian = zeroEven > zeroOdd;
  const size_t high = std::max(zeroEven, zeroOdd), low = std::min(zeroEven, zeroOdd);
  const size_t units = bytes.size() / 2;
  if (strict && (high * 4 < units || low * 4 > high))
    return false;
  std::u32string text;
  if (!decodeUtf16(bytes, 0, bigEndian, text))
    return false;
  size_t plausible = 0;
  for (char32_t c : text)
    plausible += plausibleCharacter(c) ? 1 : 0;
  if (plausible * 10 < text.size() * 9)
    return false;
  result.utf8 = toUtf8(text);
  result.encoding = bigEndian ? "UTF-16BE" : "UTF-16LE";
  return true;
}

// What uchardet takes the bytes for, upper-cased ("" when it cannot tell).
std::string uchardetGuess(const std::string& bytes) {
  uchardet_t ud = uchardet_new();
  if (!ud)
    return {};
  std::string guess;
  if (uchardet_handle_data(ud, bytes.data(), bytes.size()) == 0) {
    uchardet_data_end(ud);
    if (const char* cs = uchardet_get_charset(ud))
      guess = cs;
  }
  uchardet_delete(ud);
  return base::upperAscii(guess);
}

// True when nearly every double-byte character lies in GB2312's symbol and hanzi rows (lead
// 0xA1-0xA9 or 0xB0-0xF7, trail 0xA1-0xFE), as in text written in simplified Chinese. Big5
// text read as GBK falls outside them for every character whose trail byte is below 0xA1
// (about half of them).
bool looksLikeGb2312(const std::string& bytes) {
  size_t pairs = 0, inside = 0;
  for (size_t i = 0; i + 1 < bytes.size(); ++i) {
    auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x81)
      continue;
    auto trail = static_cast<unsigned char>(bytes[i + 1]);
    ++pairs;
    if (((lead >= 0xA1 && lead <= 0xA9) || (lead >= 0xB0 && lead <= 0xF7)) && trail >= 0xA1 &&
        trail <= 0xFE)
      ++inside;
    ++i;
  }
  return pairs > 0 && inside * 100 >= pairs * 98;
}

// True when every byte above ASCII starts a Big5 pair: lead 0x81-0xFE, trail 0x40-0x7E or
// 0xA1-0xFE (iconv passes a lone 0x80 through, which no Big5 text holds).
bool wellFormedBig5(const std::string& bytes) {
  for (size_t i = 0; i < bytes.size(); ++i) {
    auto lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80)
      continue;
    if (lead == 0x80 || lead == 0xFF || i + 1 >= bytes.size())
      return false;
    auto trail = static_cast<unsigned char>(bytes[++i]);
    if (!((trail >= 0x40 && trail <= 0x7E) || (trail >= 0xA1 && trail <= 0xFE)))
      return false;
  }
  return true;
}

// Decodes bytes that are neither UTF-8 nor UTF-16: GB18030 or Big5, told apart by uchardet,
// with the GB2312 repertoire as a second opinion. `confident` is false when neither tells.
bool decodeChinese(const std::string& bytes, DecodedText& result) {
  std::string gb, big5;
  const bool gbOk = base::convertToUtf8(bytes, "GB18030", gb);
  // CP950 is Big5 as Windows writes it (with its extensions); BIG5-HKSCS reads Hong Kong text.
  const bool big5Ok = wellFormedBig5(bytes) && (base::convertToUtf8(bytes, "CP950", big5) ||
                                                base::convertToUtf8(bytes, "BIG5-HKSCS", big5));
  const std::string guess = uchardetGuess(bytes);
  const bool saysBig5 = guess.rfind("BIG5", 0) == 0 || guess == "EUC-TW";
  const bool saysGb =
      guess == "GB18030" || guess == "GB2312" || guess == "GBK" || guess == "HZ-GB-2312";
  auto take = [&](bool isBig5, bool confident) {
    result.utf8 = std::move(isBig5 ? big5 : gb);
    result.encoding = isBig5 ? "Big5" : "GB18030";
    result.confident = confident;
    return true;
  };
  if (saysBig5 && big5Ok)
    return take(true, true);
  if (gbOk && (saysGb || looksLikeGb2312(bytes)))
    return take(false, true);
  // Bytes Big5 cannot hold (GBK trail bytes, GB18030 four-byte sequences) are Chinese in
  // GB18030 unless uchardet takes them for another script altogether.
  if (gbOk && !big5Ok)
    return take(false, guess.empty() || saysGb);
  if (big5Ok && !gbOk)
    return take(true, false);
  if (gbOk)
    return take(false, false);
  return false;
}

// Characters that cannot stand in a w:t: C0 and C1 controls, DEL, and the non-characters
// U+FFFE/U+FFFF that XML forbids. Tab is handled by the caller.
bool droppedCharacter(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0xFFFE || c == 0xFFFF;
}

const char* const kW = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
const char* const kR = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
const char* const kRelsNs = "http://schemas.openxmlformats.org/package/2006/relationships";
const char* const kTypesNs = "http://schemas.openxmlformats.org/package/2006/content-types";
const char* const kRelBase = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

pugi::xml_node startDocument(pugi::xml_document& doc, const char* root) {
  auto decl = doc.append_child(pugi::node_declaration);
  decl.append_attribute("version") = "1.0";
  decl.append_attribute("encoding") = "UTF-8";
  decl.append_attribute("standalone") = "yes";
  return doc.append_child(root);
}

std::string toXmlString(const pugi::xml_document& doc) {
  std::ostringstream os;
  doc.save(os, "", pugi::format_raw, pugi::encoding_utf8);
  return os.str();
}

// Adds <name w:val="value"/> under `parent`.
pugi::xml_node addVal(pugi::xml_node parent, const char* name, const char* value) {
  auto n = parent.append_child(name);
  n.append_attribute("w:val") = value;
  return n;
}

std::string contentTypesXml() {
  pugi::xml_document doc;
  auto types = startDocument(doc, "Types");
  types.append_attribute("xmlns") = kTypesNs;
  auto addDefault = [&](const char* ext, const char* type) {
    auto d = types.append_child("Default");
    d.append_attribute("Extension") = ext;
    d.append_attribute("ContentType") = type;
  };
  auto addOverride = [&](const char* part, const char* type) {
    auto o = types.append_child("Override");
    o.append_attribute("PartName") = part;
    o.append_attribute("ContentType") = type;
  };
  addDefault("rels", "application/vnd.openxmlformats-package.relationships+xml");
  addDefault("xml", "application/xml");
  addOverride("/word/document.xml",
              "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml");
  addOverride("/word/styles.xml",
              "application/vnd.openxmlformats-officedocument.wordprocessingml.styles+xml");
  addOverride("/word/settings.xml",
              "application/vnd.openxmlformats-officedocument.wordprocessingml.settings+xml");
  return toXmlString(doc);
}

std::string relationshipsXml(const std::vector<std::pair<const char*, const char*>>& rels) {
  pugi::xml_document doc;
  auto root = startDocument(doc, "Relationships");
  root.append_attribute("xmlns") = kRelsNs;
  int id = 1;
  for (const auto& [type, target] : rels) {
    auto r = root.append_child("Relationship");
    r.append_attribute("Id") = ("rId" + std::to_string(id++)).c_str();
    r.append_attribute("Type") = (std::string(kRelBase) + type).c_str();
    r.append_attribute("Target") = target;
  }
  return toXmlString(doc);
}

// Appends the runs of one line: text pieces in w:t, tabs as w:tab, other controls dropped.
void appendParagraph(pugi::xml_node body, const std::string& line) {
  auto p = body.append_child("w:p");
  std::u32string text = toU32(line);
  pugi::xml_node run;
  std::u32string piece;
  auto ensureRun = [&] {
    if (!run)
      run = p.append_child("w:r");
  };
  auto flush = [&] {
    if (piece.empty())
      return;
    ensureRun();
    auto t = run.append_child("w:t");
    t.append_attribute("xml:space") = "preserve";
    t.text().set(toUtf8(piece).c_str());
    piece.clear();
  };
  for (char32_t c : text) {
    if (c == U'\t') {
      flush();
      ensureRun();
      run.append_child("w:tab");
    } else if (!droppedCharacter(c)) {
      piece.push_back(c);
    }
  }
  flush();
}

std::string documentXml(const std::vector<std::string>& paragraphs) {
  pugi::xml_document doc;
  auto root = startDocument(doc, "w:document");
  root.append_attribute("xmlns:w") = kW;
  root.append_attribute("xmlns:r") = kR;
  auto body = root.append_child("w:body");
  if (paragraphs.empty())
    appendParagraph(body, {});
  for (const auto& line : paragraphs)
    appendParagraph(body, line);

  // A4 portrait with the margins of a blank Chinese Word document (2.54 cm top and bottom,
  // 3.17 cm left and right) and its document grid.
  auto sect = body.append_child("w:sectPr");
  auto pgSz = sect.append_child("w:pgSz");
  pgSz.append_attribute("w:w") = "11906";
  pgSz.append_attribute("w:h") = "16838";
  auto pgMar = sect.append_child("w:pgMar");
  pgMar.append_attribute("w:top") = "1440";
  pgMar.append_attribute("w:right") = "1800";
  pgMar.append_attribute("w:bottom") = "1440";
  pgMar.append_attribute("w:left") = "1800";
  pgMar.append_attribute("w:header") = "851";
  pgMar.append_attribute("w:footer") = "992";
  pgMar.append_attribute("w:gutter") = "0";
  sect.append_child("w:cols").append_attribute("w:space") = "425";
  auto grid = sect.append_child("w:docGrid");
  grid.append_attribute("w:type") = "lines";
  grid.append_attribute("w:linePitch") = "312";
  return toXmlString(doc);
}

std::string stylesXml() {
  pugi::xml_document doc;
  auto root = startDocument(doc, "w:styles");
  root.append_attribute("xmlns:w") = kW;

  auto defaults = root.append_child("w:docDefaults");
  auto rPr = defaults.append_child("w:rPrDefault").append_child("w:rPr");
  auto fonts = rPr.append_child("w:rFonts");
  fonts.append_attribute("w:ascii") = "Times New Roman";
  fonts.append_attribute("w:eastAsia") = "宋体";
  fonts.append_attribute("w:hAnsi") = "Times New Roman";
  fonts.append_attribute("w:cs") = "Times New Roman";
  addVal(rPr, "w:kern", "2");
  addVal(rPr, "w:sz", "21");
  addVal(rPr, "w:szCs", "21");
  auto lang = addVal(rPr, "w:lang", "en-US");
  lang.append_attribute("w:eastAsia") = "zh-CN";
  lang.append_attribute("w:bidi") = "ar-SA";
  defaults.append_child("w:pPrDefault");

  auto style = [&](const char* type, const char* id, const char* name) {
    auto s = root.append_child("w:style");
    s.append_attribute("w:type") = type;
    s.append_attribute("w:default") = "1";
    s.append_attribute("w:styleId") = id;
    addVal(s, "w:name", name);
    return s;
  };
  auto normal = style("paragraph", "Normal", "Normal");
  normal.append_child("w:qFormat");
  auto pPr = normal.append_child("w:pPr");
  addVal(pPr, "w:widowControl", "0");
  addVal(pPr, "w:jc", "both");

  auto dpf = style("character", "DefaultParagraphFont", "Default Paragraph Font");
  addVal(dpf, "w:uiPriority", "1");
  dpf.append_child("w:semiHidden");
  dpf.append_child("w:unhideWhenUsed");

  auto table = style("table", "TableNormal", "Normal Table");
  addVal(table, "w:uiPriority", "99");
  table.append_child("w:semiHidden");
  table.append_child("w:unhideWhenUsed");
  auto tblPr = table.append_child("w:tblPr");
  auto ind = tblPr.append_child("w:tblInd");
  ind.append_attribute("w:w") = "0";
  ind.append_attribute("w:type") = "dxa";
  auto mar = tblPr.append_child("w:tblCellMar");
  for (const char* side : {"w:top", "w:left", "w:bottom", "w:right"}) {
    auto m = mar.append_child(side);
    m.append_attribute("w:w") = (side[2] == 'l' || side[2] == 'r') ? "108" : "0";
    m.append_attribute("w:type") = "dxa";
  }

  auto noList = style("numbering", "NoList", "No List");
  addVal(noList, "w:uiPriority", "99");
  noList.append_child("w:semiHidden");
  noList.append_child("w:unhideWhenUsed");
  return toXmlString(doc);
}

std::string settingsXml() {
  pugi::xml_document doc;
  auto root = startDocument(doc, "w:settings");
  root.append_attribute("xmlns:w") = kW;
  root.append_child("w:zoom").append_attribute("w:percent") = "100";
  addVal(root, "w:defaultTabStop", "420");
  addVal(root, "w:drawingGridVerticalSpacing", "156");
  addVal(root, "w:displayHorizontalDrawingGridEvery", "0");
  addVal(root, "w:displayVerticalDrawingGridEvery", "2");
  addVal(root, "w:characterSpacingControl", "compressPunctuation");
  auto compat = root.append_child("w:compat");
  compat.append_child("w:spaceForUL");
  compat.append_child("w:balanceSingleByteDoubleByteWidth");
  compat.append_child("w:doNotLeaveBackslashAlone");
  compat.append_child("w:ulTrailSpace");
  compat.append_child("w:doNotExpandShiftReturn");
  compat.append_child("w:adjustLineHeightInTable");
  compat.append_child("w:useFELayout");
  auto mode = compat.append_child("w:compatSetting");
  mode.append_attribute("w:name") = "compatibilityMode";
  mode.append_attribute("w:uri") = "http://schemas.microsoft.com/office/word";
  mode.append_attribute("w:val") = "15";
  auto lang = addVal(root, "w:themeFontLang", "en-US");
  lang.append_attribute("w:eastAsia") = "zh-CN";
  return toXmlString(doc);
}

} // namespace

DecodedText decodeText(const std::string& bytes) {
  DecodedText result;
  if (startsWith(bytes, "\xEF\xBB\xBF")) {
    result.utf8 = bytes.substr(3);
    if (!isValidUtf8(result.utf8))
      throw DocumentError(msg::text(msg::kTextBadBom, "UTF-8"));
    result.encoding = "UTF-8 BOM";
    return result;
  }
  for (bool bigEndian : {false, true}) {
    if (!startsWith(bytes, bigEndian ? "\xFE\xFF" : "\xFF\xFE"))
      continue;
    result.encoding = bigEndian ? "UTF-16BE" : "UTF-16LE";
    std::u32string text;
    if (!decodeUtf16(bytes, 2, bigEndian, text))
      throw DocumentError(msg::text(msg::kTextBadBom, result.encoding));
    result.utf8 = toUtf8(text);
    return result;
  }
  const bool utf8 = isValidUtf8(bytes);
  const bool hasZero = bytes.find('\0') != std::string::npos;
  // Valid UTF-8 wins unless it holds zero bytes laid out like UTF-16 (ASCII text in UTF-16 is
  // also valid UTF-8, full of U+0000).
  if (utf8 && !hasZero) {
    result.utf8 = bytes;
    result.encoding = "UTF-8";
    return result;
  }
  if (hasZero) {
    if (decodeUtf16WithoutBom(bytes, utf8, result))
      return result;
    if (utf8) {
      result.utf8 = bytes;
      result.encoding = "UTF-8";
      return result;
    }
  }
  if (!decodeChinese(bytes, result))
    throw DocumentError(msg::kTextNoEncoding);
  return result;
}

std::vector<std::string> splitLines(const std::string& utf8) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < utf8.size(); ++i) {
    char c = utf8[i];
    if (c != '\r' && c != '\n')
      continue;
    lines.push_back(utf8.substr(start, i - start));
    if (c == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n')
      ++i;
    start = i + 1;
  }
  if (start < utf8.size())
    lines.push_back(utf8.substr(start));
  return lines;
}

std::unique_ptr<Package> makeTextPackage(const std::vector<std::string>& paragraphs) {
  std::vector<std::pair<std::string, std::string>> entries;
  entries.emplace_back("[Content_Types].xml", contentTypesXml());
  entries.emplace_back("_rels/.rels", relationshipsXml({{"officeDocument", "word/document.xml"}}));
  entries.emplace_back("word/document.xml", documentXml(paragraphs));
  entries.emplace_back("word/_rels/document.xml.rels",
                       relationshipsXml({{"styles", "styles.xml"}, {"settings", "settings.xml"}}));
  entries.emplace_back("word/styles.xml", stylesXml());
  entries.emplace_back("word/settings.xml", settingsXml());
  return Package::fromEntries(std::move(entries));
}

std::unique_ptr<Package> importTextFile(const std::string& path, std::string* encoding,
                                        bool* confident) {
  auto fail = [&](const std::string& reason) { return DocumentError(path, "", reason); };
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0)
    throw fail(msg::text(msg::kFileUnreadable, msg::systemError(errno)));
  std::string bytes;
  struct stat st {};
  std::string error;
  if (::fstat(fd, &st) != 0) {
    error = msg::text(msg::kFileUnreadable, msg::systemError(errno));
  } else if (!S_ISREG(st.st_mode)) {
    error = msg::kFileNotRegular;
  } else if (st.st_size > kMaxTextFileSize) {
    error = msg::kTextTooLarge;
  } else {
    bytes.resize(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (error.empty()) {
      if (done == bytes.size())
        bytes.resize(bytes.size() + 65536); // the file grew
      ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR)
        continue;
      if (n < 0)
        error = msg::text(msg::kFileUnreadable, msg::systemError(errno));
      if (n <= 0)
        break;
      done += static_cast<size_t>(n);
      if (done > static_cast<size_t>(kMaxTextFileSize))
        error = msg::kTextTooLarge;
    }
    bytes.resize(done);
  }
  ::close(fd);
  if (!error.empty())
    throw fail(error);
  try {
    DecodedText text = decodeText(bytes);
    if (encoding)
      *encoding = text.encoding;
    if (confident)
      *confident = text.confident;
    return makeTextPackage(splitLines(text.utf8));
  } catch (const DocumentError& e) {
    throw e.withFile(path);
  }
}

} // namespace word
