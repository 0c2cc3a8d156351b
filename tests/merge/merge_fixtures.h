#pragma once
// Small real .docx files for the merge and print tests: headings under a style that every file
// defines its own way, numbered items, a picture, plain text; a scratch folder per test; and
// running poppler's tools on a PDF.

#include "../common/temp_folder.h"
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "word/package.h"

namespace mergetest {

namespace fs = std::filesystem;

using Folder = qftest::TempFolder;

using qftest::readFile;

using qftest::writeFile;

// Output of a shell command (stdout), "" when it could not run.
inline std::string capture(const std::string& command) {
  std::string out;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
      out.append(buf, n);
    ::pclose(p);
  }
  return out;
}

inline std::string pdfText(const std::string& pdf) {
  return capture("pdftotext -enc UTF-8 '" + pdf + "' - 2>/dev/null");
}

// Number of images in a PDF (pdfimages -list prints two header lines).
inline int pdfImageCount(const std::string& pdf) {
  std::string list = capture("pdfimages -list '" + pdf + "' 2>/dev/null");
  int lines = 0;
  for (char c : list)
    lines += c == '\n';
  return lines > 2 ? lines - 2 : 0;
}

// An 8 x 8 PNG in one of three colours (0 red, 1 green, 2 blue).
inline std::string tinyPng(int colour) {
  static const char* hex[] = {
      "89504e470d0a1a0a0000000d49484452000000080000000808020000004b6d29dc000000114944415478da63"
      "3821278715310c2d090090bf4101cf70a13c0000000049454e44ae426082",
      "89504e470d0a1a0a0000000d49484452000000080000000808020000004b6d29dc000000114944415478da63"
      "905b208715310c2d09007e033701c58c34120000000049454e44ae426082",
      "89504e470d0a1a0a0000000d49484452000000080000000808020000004b6d29dc000000114944415478da63"
      "90933b8115310c2d09003bbf41010ebca1790000000049454e44ae426082"};
  std::string h = hex[colour % 3], out;
  for (size_t i = 0; i + 1 < h.size(); i += 2)
    out.push_back(static_cast<char>(std::stoi(h.substr(i, 2), nullptr, 16)));
  return out;
}

inline const char* kNs =
    "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
    "xmlns:wp=\"http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing\" "
    "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
    "xmlns:pic=\"http://schemas.openxmlformats.org/drawingml/2006/picture\"";

inline std::string para(const std::string& text, const std::string& pPr = "") {
  return "<w:p>" + (pPr.empty() ? "" : "<w:pPr>" + pPr + "</w:pPr>") +
         "<w:r><w:t xml:space=\"preserve\">" + text + "</w:t></w:r></w:p>";
}

inline std::string heading(const std::string& text) {
  return para(text, "<w:pStyle w:val=\"Heading1\"/>");
}

inline std::string item(const std::string& text, int numId) {
  return para(text, "<w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"" + std::to_string(numId) +
                        "\"/></w:numPr>");
}

// A paragraph holding one inline picture of relationship rId10 (72 x 72 pt).
inline std::string picture(int docPrId) {
  std::string id = std::to_string(docPrId);
  return "<w:p><w:r><w:drawing><wp:inline distT=\"0\" distB=\"0\" distL=\"0\" distR=\"0\">"
         "<wp:extent cx=\"914400\" cy=\"914400\"/><wp:docPr id=\"" +
         id + "\" name=\"图片 " + id +
         "\"/><a:graphic><a:graphicData "
         "uri=\"http://schemas.openxmlformats.org/drawingml/2006/picture\"><pic:pic>"
         "<pic:nvPicPr><pic:cNvPr id=\"0\" name=\"image1.png\"/><pic:cNvPicPr/></pic:nvPicPr>"
         "<pic:blipFill><a:blip r:embed=\"rId10\"/><a:stretch><a:fillRect/></a:stretch>"
         "</pic:blipFill><pic:spPr><a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext cx=\"914400\" "
         "cy=\"914400\"/></a:xfrm><a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom></pic:spPr>"
         "</pic:pic></a:graphicData></a:graphic></wp:inline></w:drawing></w:r></w:p>";
}

// A list definition: identifier, number format and level text.
inline std::string numbering(const std::string& nsid, const std::string& fmt,
                             const std::string& text) {
  return "<w:abstractNum w:abstractNumId=\"0\"><w:nsid w:val=\"" + nsid +
         "\"/><w:multiLevelType w:val=\"singleLevel\"/><w:lvl w:ilvl=\"0\"><w:start w:val=\"1\"/>"
         "<w:numFmt w:val=\"" +
         fmt + "\"/><w:lvlText w:val=\"" + text +
         "\"/><w:lvlJc w:val=\"left\"/><w:pPr><w:ind w:left=\"420\" w:hanging=\"420\"/></w:pPr>"
         "</w:lvl></w:abstractNum><w:num w:numId=\"1\"><w:abstractNumId w:val=\"0\"/></w:num>";
}

// Styles: the default paragraph style (the same everywhere) and heading 1 at `headingHalfPts`.
inline std::string styles(int headingHalfPts) {
  return "<w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:ascii=\"Noto Serif CJK SC\" "
         "w:eastAsia=\"Noto Serif CJK SC\" w:hAnsi=\"Noto Serif CJK SC\"/><w:sz w:val=\"21\"/>"
         "<w:lang w:eastAsia=\"zh-CN\"/></w:rPr></w:rPrDefault></w:docDefaults>"
         "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"><w:name "
         "w:val=\"Normal\"/></w:style>"
         "<w:style w:type=\"paragraph\" w:styleId=\"Heading1\"><w:name w:val=\"heading 1\"/>"
         "<w:basedOn w:val=\"Normal\"/><w:next w:val=\"Normal\"/><w:pPr><w:outlineLvl "
         "w:val=\"0\"/></w:pPr><w:rPr><w:b/><w:sz w:val=\"" +
         std::to_string(headingHalfPts) + "\"/></w:rPr></w:style>";
}

// A complete .docx: `body` (inner XML of w:body), styles and numbering (inner XML, may be
// empty) and a PNG behind relationship rId10 (may be empty).
inline std::string docx(const std::string& body, const std::string& stylesXml,
                        const std::string& numberingXml, const std::string& png) {
  const std::string decl = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
  std::string types =
      decl + "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
             "<Default Extension=\"rels\" "
             "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
             "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
             "<Default Extension=\"png\" ContentType=\"image/png\"/>"
             "<Override PartName=\"/word/document.xml\" ContentType=\"application/"
             "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/>"
             "<Override PartName=\"/word/styles.xml\" ContentType=\"application/"
             "vnd.openxmlformats-officedocument.wordprocessingml.styles+xml\"/>"
             "<Override PartName=\"/word/numbering.xml\" ContentType=\"application/"
             "vnd.openxmlformats-officedocument.wordprocessingml.numbering+xml\"/></Types>";
  std::string rels =
      decl +
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
      "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/"
      "2006/relationships/officeDocument\" Target=\"word/document.xml\"/></Relationships>";
  const std::string relBase =
      "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
  std::string docRels =
      decl +
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
  std::vector<std::pair<std::string, std::string>> entries = {{"[Content_Types].xml", types},
                                                              {"_rels/.rels", rels}};
  if (!stylesXml.empty()) {
    docRels += "<Relationship Id=\"rId1\" Type=\"" + relBase + "styles\" Target=\"styles.xml\"/>";
    entries.push_back(
        {"word/styles.xml", decl + "<w:styles " + kNs + ">" + stylesXml + "</w:styles>"});
  }
  if (!numberingXml.empty()) {
    docRels +=
        "<Relationship Id=\"rId2\" Type=\"" + relBase + "numbering\" Target=\"numbering.xml\"/>";
    entries.push_back({"word/numbering.xml",
                       decl + "<w:numbering " + kNs + ">" + numberingXml + "</w:numbering>"});
  }
  if (!png.empty()) {
    docRels +=
        "<Relationship Id=\"rId10\" Type=\"" + relBase + "image\" Target=\"media/image1.png\"/>";
    entries.push_back({"word/media/image1.png", png});
  }
  docRels += "</Relationships>";
  entries.push_back({"word/_rels/document.xml.rels", docRels});
  entries.push_back({"word/document.xml",
                     decl + "<w:document " + kNs + "><w:body>" + body +
                         "<w:sectPr><w:pgSz w:w=\"11906\" w:h=\"16838\"/><w:pgMar w:top=\"1440\" "
                         "w:right=\"1440\" w:bottom=\"1440\" w:left=\"1440\" w:header=\"851\" "
                         "w:footer=\"992\" w:gutter=\"0\"/></w:sectPr></w:body></w:document>"});
  return word::Package::fromEntries(std::move(entries))->saveToString();
}

// A plain document of one paragraph per entry.
inline std::string simpleDocx(const std::vector<std::string>& paragraphs) {
  std::string body;
  for (const std::string& p : paragraphs)
    body += para(p);
  return docx(body, styles(32), "", "");
}

} // namespace mergetest
