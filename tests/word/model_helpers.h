#pragma once
// Builds small documents from WordprocessingML snippets for the model tests.

#include <memory>
#include <string>

#include "word/document.h"
#include "word/package.h"

namespace qftest {

inline const char* kWNs =
    "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";

// A package whose body is `body` (inner XML of w:body), with optional styles and numbering.
inline std::unique_ptr<word::Package> makePackage(const std::string& body,
                                                  const std::string& styles = "",
                                                  const std::string& numbering = "") {
  std::string ct =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
      "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
      "<Default Extension=\"rels\" "
      "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
      "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
      "<Override PartName=\"/word/document.xml\" "
      "ContentType=\"application/"
      "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/></Types>";
  std::string rels =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
      "<Relationship Id=\"rId1\" "
      "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
      "officeDocument\" Target=\"word/document.xml\"/></Relationships>";
  std::string docRels =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
  if (!styles.empty())
    docRels += "<Relationship Id=\"rIdS\" "
               "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
               "styles\" Target=\"styles.xml\"/>";
  if (!numbering.empty())
    docRels += "<Relationship Id=\"rIdN\" "
               "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
               "numbering\" Target=\"numbering.xml\"/>";
  docRels += "</Relationships>";
  std::vector<std::pair<std::string, std::string>> e = {
      {"[Content_Types].xml", ct},
      {"_rels/.rels", rels},
      {"word/document.xml",
       std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><w:document ") +
           kWNs + "><w:body>" + body + "</w:body></w:document>"},
      {"word/_rels/document.xml.rels", docRels}};
  if (!styles.empty())
    e.push_back(
        {"word/styles.xml", std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:styles ") +
                                kWNs + ">" + styles + "</w:styles>"});
  if (!numbering.empty())
    e.push_back({"word/numbering.xml",
                 std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:numbering ") + kWNs +
                     ">" + numbering + "</w:numbering>"});
  return word::Package::fromEntries(std::move(e));
}

inline std::unique_ptr<word::Document> makeDoc(const std::string& body,
                                               const std::string& styles = "",
                                               const std::string& numbering = "") {
  return word::Document::fromPackage(makePackage(body, styles, numbering), "test.docx");
}

// Paragraph with plain runs: p("a", "b") -> <w:p><w:r><w:t>a</w:t></w:r><w:r>…</w:p>
inline std::string run(const std::string& t, const std::string& rPr = "") {
  return "<w:r>" + (rPr.empty() ? "" : "<w:rPr>" + rPr + "</w:rPr>") +
         "<w:t xml:space=\"preserve\">" + t + "</w:t></w:r>";
}
inline std::string para(const std::string& inner, const std::string& pPr = "") {
  return "<w:p>" + (pPr.empty() ? "" : "<w:pPr>" + pPr + "</w:pPr>") + inner + "</w:p>";
}

// A table cell holding one paragraph, and a one-row table of two such cells.
inline const std::string kCell = "<w:tc>" + para(run("格")) + "</w:tc>";
inline const std::string kTable = "<w:tbl><w:tr>" + kCell + kCell + "</w:tr></w:tbl>";

// A FILLIN field asking `prompt`, showing `result`.
inline std::string fillIn(const std::string& prompt, const std::string& result) {
  return "<w:r><w:fldChar w:fldCharType=\"begin\"/></w:r><w:r><w:instrText "
         "xml:space=\"preserve\"> FILLIN \"" +
         prompt + "\" </w:instrText></w:r><w:r><w:fldChar w:fldCharType=\"separate\"/></w:r>" +
         run(result) + "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r>";
}

// Reopens a document from its saved bytes.
inline std::unique_ptr<word::Document> roundTrip(word::Document& d) {
  std::string bytes = d.saveToString();
  std::vector<std::pair<std::string, std::string>> none;
  auto pkg = word::Package::openMemory(bytes, "roundtrip.docx");
  return word::Document::fromPackage(std::move(pkg), "roundtrip.docx");
}

} // namespace qftest
