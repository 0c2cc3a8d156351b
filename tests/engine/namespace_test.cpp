// Documents whose WordprocessingML namespace is bound to another prefix than w (ns0:, as
// generic XML tools write it) or is the default namespace, in every part: a full run must read
// them like any other and write well-formed, namespace-correct output.

#include "batch_helpers.h"

#include <regex>
#include <set>
#include <sstream>

#include <pugixml.hpp>

#include "word/document.h"
#include "word/internal/story.h"
#include "word/package.h"

namespace {

using namespace batchtest;
using Entries = std::vector<std::pair<std::string, std::string>>;

constexpr const char* kW = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
constexpr const char* kR = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr const char* kRelBase =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
constexpr const char* kWml = "application/vnd.openxmlformats-officedocument.wordprocessingml.";

std::string part(const std::string& root, const std::string& inner) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<w:" + root +
         " xmlns:w=\"" + kW + "\" xmlns:r=\"" + kR + "\">" + inner + "</w:" + root + ">";
}

// A document with every part the run touches: styles, numbering, settings, a header and a
// footer, a numbered article, and the body's own section properties.
Entries canonicalDocument() {
  std::string types =
      std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><Types "
                  "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                  "<Default Extension=\"rels\" "
                  "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                  "<Default Extension=\"xml\" ContentType=\"application/xml\"/>") +
      "<Override PartName=\"/word/document.xml\" ContentType=\"" + kWml +
      "document.main+xml\"/><Override PartName=\"/word/styles.xml\" ContentType=\"" + kWml +
      "styles+xml\"/><Override PartName=\"/word/numbering.xml\" ContentType=\"" + kWml +
      "numbering+xml\"/><Override PartName=\"/word/settings.xml\" ContentType=\"" + kWml +
      "settings+xml\"/><Override PartName=\"/word/header1.xml\" ContentType=\"" + kWml +
      "header+xml\"/><Override PartName=\"/word/footer1.xml\" ContentType=\"" + kWml +
      "footer+xml\"/></Types>";
  auto rels = [](const std::vector<std::pair<std::string, std::string>>& list) {
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships "
                    "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    int id = 1;
    for (const auto& [type, target] : list)
      x += "<Relationship Id=\"rId" + std::to_string(id++) + "\" Type=\"" + kRelBase + type +
           "\" Target=\"" + target + "\"/>";
    return x + "</Relationships>";
  };
  std::string body =
      "<w:p><w:pPr><w:pStyle w:val=\"Title\"/></w:pPr><w:r><w:t>关于开展检查的通知</w:t></w:r>"
      "</w:p><w:p><w:pPr><w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"1\"/></w:numPr>"
      "</w:pPr><w:r><w:t>加强组织领导。</w:t></w:r></w:p>"
      "<w:p><w:r><w:t xml:space=\"preserve\">各单位要  高度重视。</w:t></w:r></w:p>"
      "<w:sectPr><w:headerReference w:type=\"default\" r:id=\"rId5\"/>"
      "<w:footerReference w:type=\"default\" r:id=\"rId6\"/>"
      "<w:pgSz w:w=\"11906\" w:h=\"16838\"/><w:pgMar w:top=\"1440\" w:right=\"1800\" "
      "w:bottom=\"1440\" w:left=\"1800\" w:header=\"851\" w:footer=\"992\" w:gutter=\"0\"/>"
      "</w:sectPr>";
  return {
      {"[Content_Types].xml", types},
      {"_rels/.rels", rels({{"officeDocument", "word/document.xml"}})},
      // Generic XML tools keep mc:Ignorable but drop the declarations no element uses.
      {"word/document.xml",
       std::regex_replace(
           part("document", "<w:body>" + body + "</w:body>"), std::regex("<w:document "),
           "<w:document xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/"
           "2006\" mc:Ignorable=\"w14 wp14\" ")},
      {"word/_rels/document.xml.rels", rels({{"styles", "styles.xml"},
                                             {"numbering", "numbering.xml"},
                                             {"settings", "settings.xml"},
                                             {"fontTable", "fontTable.xml"},
                                             {"header", "header1.xml"},
                                             {"footer", "footer1.xml"}})},
      {"word/styles.xml",
       part("styles", "<w:docDefaults><w:rPrDefault><w:rPr><w:sz w:val=\"21\"/></w:rPr>"
                      "</w:rPrDefault></w:docDefaults><w:style w:type=\"paragraph\" "
                      "w:default=\"1\" w:styleId=\"Normal\"><w:name w:val=\"Normal\"/></w:style>"
                      "<w:style w:type=\"paragraph\" w:styleId=\"Title\"><w:name "
                      "w:val=\"Title\"/><w:basedOn w:val=\"Normal\"/><w:rPr><w:b/></w:rPr>"
                      "</w:style>")},
      {"word/numbering.xml",
       part("numbering",
            "<w:abstractNum w:abstractNumId=\"0\"><w:lvl w:ilvl=\"0\"><w:start w:val=\"1\"/>"
            "<w:numFmt w:val=\"chineseCounting\"/><w:lvlText w:val=\"%1、\"/></w:lvl>"
            "</w:abstractNum><w:num w:numId=\"1\"><w:abstractNumId w:val=\"0\"/></w:num>")},
      {"word/settings.xml", part("settings", "<w:defaultTabStop w:val=\"420\"/>")},
      {"word/fontTable.xml", part("fonts", "<w:font w:name=\"宋体\"/>")},
      {"word/header1.xml", part("hdr", "<w:p><w:r><w:t>原有页眉</w:t></w:r></w:p>")},
      {"word/footer1.xml", part("ftr", "<w:p><w:r><w:t>原有页脚</w:t></w:r></w:p>")},
  };
}

// The same XML with the main namespace under `prefix`; "" makes it the default namespace,
// with attributes under `attrPrefix` ("" leaves them unqualified, as some tools write them).
std::string rebind(const std::string& xml, const std::string& prefix,
                   const std::string& attrPrefix) {
  std::string out = xml;
  const std::string el = prefix.empty() ? "" : prefix + ":";
  out = std::regex_replace(out, std::regex("<w:"), "<" + el);
  out = std::regex_replace(out, std::regex("</w:"), "</" + el);
  const std::string at = attrPrefix.empty() ? "" : attrPrefix + ":";
  out = std::regex_replace(out, std::regex(" w:([A-Za-z]+=)"), " " + at + "$1");
  std::string decl =
      prefix.empty()
          ? std::string("xmlns=\"") + kW + "\"" +
                (attrPrefix.empty() ? std::string() : " xmlns:" + attrPrefix + "=\"" + kW + "\"")
          : "xmlns:" + prefix + "=\"" + kW + "\"";
  return std::regex_replace(out, std::regex(std::string("xmlns:w=\"") + kW + "\""), decl);
}

// Every element and attribute prefix of `xml` is declared where it is used.
void expectPrefixesDeclared(const std::string& xml, const std::string& label) {
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string(xml.c_str(), pugi::parse_default | pugi::parse_ws_pcdata)) << label;
  std::vector<std::set<std::string>> scope;
  std::function<void(pugi::xml_node)> walk = [&](pugi::xml_node n) {
    std::set<std::string> here;
    for (auto a : n.attributes()) {
      std::string name = a.name();
      if (name.rfind("xmlns:", 0) == 0)
        here.insert(name.substr(6));
    }
    scope.push_back(here);
    auto declared = [&](const std::string& q) {
      auto c = q.find(':');
      if (c == std::string::npos)
        return true;
      std::string p = q.substr(0, c);
      if (p == "xml" || p == "xmlns")
        return true;
      for (const auto& s : scope)
        if (s.count(p))
          return true;
      return false;
    };
    EXPECT_TRUE(declared(n.name())) << label << ": undeclared prefix in <" << n.name() << ">";
    for (auto a : n.attributes())
      EXPECT_TRUE(declared(a.name())) << label << ": undeclared prefix in " << a.name();
    for (auto c : n.children())
      if (c.type() == pugi::node_element)
        walk(c);
    scope.pop_back();
  };
  walk(doc.document_element());
  // Every prefix mc:Ignorable names is declared (Word refuses the file otherwise).
  pugi::xml_node root = doc.document_element();
  std::istringstream ignorable(root.attribute("mc:Ignorable").value());
  for (std::string prefix; ignorable >> prefix;)
    EXPECT_TRUE(root.attribute(("xmlns:" + prefix).c_str())) << label << ": " << prefix;
}

struct Variant {
  const char* name;
  std::string prefix, attrPrefix;
};

class OtherPrefix : public testing::TestWithParam<Variant> {};

TEST_P(OtherPrefix, FullRunReadsAndWritesEveryPartByNamespace) {
  const Variant& v = GetParam();
  Folder dir;
  fs::path in = dir / "in", out = dir / "out";
  fs::create_directories(in);
  Entries entries = canonicalDocument();
  for (auto& [name, data] : entries)
    if (name.rfind("word/", 0) == 0 && name.find("_rels") == std::string::npos)
      data = rebind(data, v.prefix, v.attrPrefix);
  word::Package::fromEntries(entries)->save((in / "a.docx").string());

  engine::clsDoc eng;
  Recorder rec;
  configure(eng, rec, in, out);
  eng.setProperty("使用页眉", "1");
  eng.setProperty("页眉", "测试页眉");
  eng.setProperty("水印", "2");
  eng.setProperty("水印文字", "样稿");
  eng.setProperty("DocFileName", "a.docx");
  eng.Main("0");
  ASSERT_TRUE(rec.withId("E").empty()) << rec.withId("E")[0].msg;

  auto pkg = word::Package::open((out / "a.docx").string());
  for (const auto& name : pkg->names())
    if (name.ends_with(".xml") || name.ends_with(".rels"))
      expectPrefixesDeclared(pkg->bytes(name), name);

  word::Application app;
  word::Document& d = app.open((out / "a.docx").string());
  // The body keeps exactly one section: the existing sectPr was recognised.
  pugi::xml_node body = d.content().root();
  int sections = 0;
  for (pugi::xml_node c : body.children())
    sections += std::string(c.name()) == "w:sectPr";
  EXPECT_EQ(sections, 1);
  std::string text = d.contentRange().text();
  for (const char* piece : {"关于开展检查的通知", "一、", "加强组织领导", "各单位要"})
    EXPECT_NE(text.find(piece), std::string::npos) << piece << " missing from " << text;
  bool header = false;
  for (auto& hf : d.headerFooters())
    if (word::Range(hf.story, 0, hf.story->length()).text().find("测试页眉") != std::string::npos)
      header = true;
  EXPECT_TRUE(header);
}

INSTANTIATE_TEST_SUITE_P(Bindings, OtherPrefix,
                         testing::Values(Variant{"ns0", "ns0", "ns0"},
                                         Variant{"DefaultNamespace", "", "wa"},
                                         Variant{"DefaultUnqualifiedAttributes", "", ""},
                                         Variant{"UsualPrefix", "w", "w"}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
