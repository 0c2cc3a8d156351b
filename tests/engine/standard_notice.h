#pragma once
// A notice (通知) as people type it, for the tests of the standard run and its check: a
// masthead and issuing number, a two-line title, the addressee, headings of all four levels
// (some with half-width parentheses or 、), an attachment note with two attachments, signature
// and date (indented by hand, with leading zeros), a note and the closing block.

#include <memory>
#include <string>
#include <vector>

#include "../word/model_helpers.h"
#include "engine/standard/elements.h"
#include "engine/standard/layout.h"
#include "word/document.h"

namespace stdtest {

// Styles of a document made in Word: a default paragraph style and 10.5-point defaults.
inline const char* kStyles =
    "<w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:ascii=\"Times New Roman\" "
    "w:eastAsia=\"宋体\" w:hAnsi=\"Times New Roman\"/><w:sz w:val=\"21\"/><w:szCs w:val=\"21\"/>"
    "</w:rPr></w:rPrDefault><w:pPrDefault/></w:docDefaults>"
    "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"><w:name w:val=\"Normal\"/>"
    "<w:pPr><w:jc w:val=\"both\"/></w:pPr></w:style>";

inline std::string line(const std::string& text, const std::string& pPr = "") {
  return qftest::para(text.empty() ? "" : qftest::run(text), pPr);
}

// The notice's lines (a body long enough for two pages).
inline std::vector<std::string> noticeLines() {
  std::vector<std::string> l = {
      "某某市人民政府办公室文件",
      "某政办发[24]15号",
      "关于切实做好2024年",
      "防汛抗旱工作的通知",
      "各区县人民政府，市政府各部门:",
      "　　为切实做好今年防汛抗旱工作，经市政府同意，现就有关事项通知如下：",
      "一、充分认识防汛抗旱工作的重要性",
      "(一)压紧压实防汛责任。严格落实以行政首长负责制为核心的防汛抗旱责任制。",
      "1、开展隐患排查。对水库、堤防、山塘、涵闸、泵站等水利工程开展拉网式排查。",
      "(1)市级储备以大宗物资为主，重点保障重大险情处置需要。",
  };
  for (int i = 0; i < 12; ++i)
    l.push_back("各地、各部门要牢固树立底线思维和极限思维，克服麻痹思想和侥幸心理，"
                "把防汛抗旱工作摆在突出位置，确保人民群众生命财产安全。");
  for (const char* tail :
       {"", "", "附件:1.某某市2024年防汛抗旱重点工作任务分解表", "2.某某市防汛抗旱应急物资储备清单",
        "", "            某某市人民政府办公室", "            2024年03月05日", "(此件公开发布)", "",
        "抄送：市委办公室，市人大常委会办公室。", "某某市人民政府办公室      2024年3月5日印发"})
    l.push_back(tail);
  return l;
}

inline std::string noticeBody() {
  std::string body;
  for (const std::string& t : noticeLines())
    body += line(t);
  return body;
}

inline std::unique_ptr<word::Document> notice() {
  return qftest::makeDoc(noticeBody(), kStyles);
}

// The notice after the standard run (text, then layout) with `settings`.
inline std::unique_ptr<word::Document>
laidOutNotice(const engine::standard::Settings& settings = {}) {
  auto doc = notice();
  engine::standard::normaliseText(*doc, settings);
  engine::standard::layOut(*doc, settings);
  return doc;
}

// The 1-based index of the first paragraph recognised as `e` (0 when there is none).
inline int firstOf(word::Document& doc, engine::standard::Element e) {
  auto elements = engine::standard::recogniseElements(engine::standard::paragraphTexts(doc));
  for (size_t i = 0; i < elements.size(); ++i)
    if (elements[i] == e)
      return static_cast<int>(i) + 1;
  return 0;
}

// The paragraph's text without its mark.
inline std::string textOf(word::Document& doc, int index) {
  std::string t = doc.paragraphs().item(index).range().text();
  while (!t.empty() && (t.back() == '\r' || t.back() == '\a'))
    t.pop_back();
  return t;
}

} // namespace stdtest
