#pragma once
// Small documents made by the render and preview tests themselves.

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "word/package.h"

namespace rendertest {

// One paragraph: its text, the font of its run ("" for none) and whether a page break comes
// before it.
struct Para {
  std::string text;
  std::string font;
  bool pageBreakBefore = false;
};

inline std::string paragraphXml(const Para& p) {
  std::string run = "<w:r>";
  if (!p.font.empty())
    run += "<w:rPr><w:rFonts w:ascii=\"" + p.font + "\" w:hAnsi=\"" + p.font + "\" w:eastAsia=\"" +
           p.font + "\"/></w:rPr>";
  if (p.pageBreakBefore)
    run += "<w:br w:type=\"page\"/>";
  run += "<w:t xml:space=\"preserve\">" + p.text + "</w:t></w:r>";
  return "<w:p>" + run + "</w:p>";
}

// Writes a .docx with these paragraphs (and, when given, a header part with `headerFont`).
inline void writeDocx(const std::filesystem::path& path, const std::vector<Para>& paras,
                      const std::string& headerFont = {}) {
  const std::string w = "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"";
  std::string body;
  for (const auto& p : paras)
    body += paragraphXml(p);
  std::string types = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Types "
                      "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                      "<Default Extension=\"rels\" "
                      "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                      "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                      "<Override PartName=\"/word/document.xml\" "
                      "ContentType=\"application/"
                      "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/>";
  std::string docRels = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
                        "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
  std::string sect;
  std::vector<std::pair<std::string, std::string>> entries;
  if (!headerFont.empty()) {
    types += "<Override PartName=\"/word/header1.xml\" ContentType=\"application/"
             "vnd.openxmlformats-officedocument.wordprocessingml.header+xml\"/>";
    docRels += "<Relationship Id=\"rIdH1\" "
               "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
               "header\" Target=\"header1.xml\"/>";
    sect = "<w:sectPr><w:headerReference w:type=\"default\" r:id=\"rIdH1\" "
           "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"/>"
           "</w:sectPr>";
    entries.emplace_back("word/header1.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:hdr " +
                                                 w + ">" + paragraphXml({"页眉", headerFont}) +
                                                 "</w:hdr>");
  }
  types += "</Types>";
  docRels += "</Relationships>";
  entries.emplace_back("[Content_Types].xml", types);
  entries.emplace_back(
      "_rels/.rels",
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
      "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship "
      "Id=\"rId1\" "
      "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
      "officeDocument\" Target=\"word/document.xml\"/></Relationships>");
  entries.emplace_back("word/_rels/document.xml.rels", docRels);
  entries.emplace_back("word/document.xml",
                       "<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:document " + w + "><w:body>" +
                           body + sect + "</w:body></w:document>");
  word::Package::fromEntries(std::move(entries))->save(path.string());
}

// A document of `pages` pages of Chinese text in 宋体.
inline void writePagedDocx(const std::filesystem::path& path, int pages) {
  std::vector<Para> paras;
  for (int i = 0; i < pages; ++i)
    paras.push_back(
        {"第" + std::to_string(i + 1) + "页：关于做好安全生产工作的通知", "宋体", i > 0});
  writeDocx(path, paras);
}

} // namespace rendertest
