#pragma once
// Plain-text documents: encoding detection and conversion to a new OOXML package.

#include <memory>
#include <string>
#include <vector>

#include "word/package.h"

namespace word {

// Result of decoding a text file.
struct DecodedText {
  std::string utf8;      // the text in UTF-8, BOM removed
  std::string encoding;  // "UTF-8", "UTF-8 BOM", "UTF-16LE", "UTF-16BE", "GB18030", "Big5"
  bool confident = true; // false when the bytes fit more than one encoding and none was told
};

// Decodes the bytes of a text file: a BOM (UTF-8, UTF-16 LE/BE) wins; then valid UTF-8;
// then UTF-16 without BOM when the bytes look like it (many zero bytes at odd or even
// positions); else GB18030 (a superset of GBK and GB2312) or Big5, told apart by uchardet.
// Throws DocumentError when the bytes decode in none of these.
DecodedText decodeText(const std::string& bytes);

// Splits text into lines: CR, LF and CRLF all end a line; a final line end does not start an
// extra empty line.
std::vector<std::string> splitLines(const std::string& utf8);

// A new, blank OOXML package (content types, relationships, document, styles, settings) whose
// body holds one paragraph per entry of `paragraphs` (at least one, empty when none given).
// Control characters other than tab are dropped; a tab becomes w:tab.
std::unique_ptr<Package> makeTextPackage(const std::vector<std::string>& paragraphs);

// Reads a .txt file into a package (decodeText + splitLines + makeTextPackage). The file is
// opened read-only. Throws DocumentError naming `path`.
std::unique_ptr<Package> importTextFile(const std::string& path, std::string* encoding = nullptr,
                                        bool* confident = nullptr);

} // namespace word
