// Inserting one document into another (Word's InsertFile): text order, styles shared, copied
// and renamed, lists joined or restarted, pictures, hyperlinks, notes, bookmarks, sections and
// namespaces, and a package that stays consistent for every document of the corpus.

#include "word/insertfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "model_helpers.h"
#include "word/internal/access.h"
#include "word/internal/story.h"

namespace fs = std::filesystem;
using qftest::makeDoc;
using qftest::para;
using qftest::run;

namespace {

const char* kRNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

std::vector<std::string> paragraphTexts(word::Document& d) {
  std::vector<std::string> out;
  auto ps = d.paragraphs();
  for (int i = 1; i <= ps.count(); ++i)
    out.push_back(ps.item(i).range().text());
  return out;
}

std::string style(const std::string& type, const std::string& id, const std::string& name,
                  const std::string& inner, bool isDefault = false) {
  return "<w:style w:type=\"" + type + "\"" + (isDefault ? " w:default=\"1\"" : "") +
         " w:styleId=\"" + id + "\"><w:name w:val=\"" + name + "\"/>" + inner + "</w:style>";
}

std::string sized(int halfPoints) {
  return "<w:rPr><w:sz w:val=\"" + std::to_string(halfPoints) + "\"/></w:rPr>";
}

std::string docDefaults(int halfPoints) {
  return "<w:docDefaults><w:rPrDefault><w:rPr><w:sz w:val=\"" + std::to_string(halfPoints) +
         "\"/></w:rPr></w:rPrDefault></w:docDefaults>";
}

std::string styled(const std::string& text, const std::string& styleId) {
  return para(run(text), "<w:pStyle w:val=\"" + styleId + "\"/>");
}

std::string pStyleOf(word::Document& d, int index) {
  pugi::xml_node p = word::nodeOf(d.paragraphs().item(index));
  return p.child("w:pPr").child("w:pStyle").attribute("w:val").value();
}

float sizeOf(word::Document& d, int index) {
  auto ps = d.paragraphs();
  return ps.item(index).range().font().size();
}

// Every reference of the main story, its headers, footers and notes leads somewhere, and the
// ids that must be unique are.
std::vector<std::string> consistencyProblems(word::Document& d) {
  std::vector<std::string> problems;
  word::Package& pkg = word::packageOf(d);
  std::string main = pkg.mainPart();
  std::vector<std::string> parts{main};
  std::set<std::string> seenDocPr;
  for (const word::Relationship& r : pkg.relationships(main)) {
    if (r.targetMode == "External")
      continue;
    if (!pkg.has(r.target)) {
      problems.push_back("relationship " + r.id + " -> missing " + r.target);
      continue;
    }
    if (pkg.contentType(r.target).empty())
      problems.push_back("no content type for " + r.target);
    for (const char* t : {"/header", "/footer", "/footnotes", "/endnotes", "/comments"})
      if (r.type.size() > std::strlen(t) &&
          r.type.compare(r.type.size() - std::strlen(t), std::strlen(t), t) == 0)
        parts.push_back(r.target);
  }
  for (const std::string& part : parts) {
    std::set<std::string> ids;
    for (const word::Relationship& r : pkg.relationships(part)) {
      ids.insert(r.id);
      if (r.targetMode != "External" && !pkg.has(r.target))
        problems.push_back(part + ": relationship " + r.id + " -> missing " + r.target);
      else if (r.targetMode != "External" && pkg.contentType(r.target).empty())
        problems.push_back("no content type for " + r.target);
    }
    pugi::xml_document* x = pkg.xml(part);
    for (pugi::xpath_node xn : x->select_nodes("//*")) {
      for (pugi::xml_attribute a : xn.node().attributes()) {
        std::string name = a.name();
        auto colon = name.find(':');
        if (colon == std::string::npos || name.rfind("xmlns", 0) == 0)
          continue;
        // Resolve the prefix through the element's ancestors.
        std::string decl = "xmlns:" + name.substr(0, colon), uri;
        for (pugi::xml_node e = xn.node(); e && uri.empty(); e = e.parent())
          uri = e.attribute(decl.c_str()).value();
        if (uri == kRNs && !ids.count(a.value()))
          problems.push_back(part + ": " + name + "=" + a.value() + " has no relationship");
      }
    }
    for (pugi::xpath_node xn : x->select_nodes("//*[local-name()='docPr']")) {
      std::string id = xn.node().attribute("id").value();
      if (!seenDocPr.insert(id).second)
        problems.push_back("drawing id " + id + " used twice");
    }
  }
  pugi::xml_document* body = pkg.xml(main);
  std::set<std::string> names, bmIds;
  for (pugi::xpath_node xn : body->select_nodes("//*[local-name()='bookmarkStart']")) {
    std::string n = xn.node().attribute("w:name").value();
    if (!names.insert(n).second)
      problems.push_back("bookmark " + n + " twice");
    if (!bmIds.insert(xn.node().attribute("w:id").value()).second)
      problems.push_back(std::string("bookmark id ") + xn.node().attribute("w:id").value() +
                         " twice");
  }
  // Styles and lists referred to exist.
  std::set<std::string> styleIds, numIds;
  for (const word::Relationship& r : pkg.relationships(main)) {
    auto endsWith = [](const std::string& t, const std::string& suffix) {
      return t.size() >= suffix.size() &&
             t.compare(t.size() - suffix.size(), suffix.size(), suffix) == 0;
    };
    if (endsWith(r.type, "/styles") && pkg.has(r.target))
      for (pugi::xpath_node xn : pkg.xml(r.target)->select_nodes("//*[local-name()='style']"))
        if (!styleIds.insert(xn.node().attribute("w:styleId").value()).second)
          problems.push_back(std::string("style id ") + xn.node().attribute("w:styleId").value() +
                             " twice");
    if (endsWith(r.type, "/numbering") && pkg.has(r.target))
      for (pugi::xpath_node xn : pkg.xml(r.target)->select_nodes("//*[local-name()='num']"))
        numIds.insert(xn.node().attribute("w:numId").value());
  }
  if (!styleIds.empty())
    for (pugi::xpath_node xn : body->select_nodes(
             "//*[local-name()='pStyle' or local-name()='rStyle' or local-name()='tblStyle']")) {
      std::string v = xn.node().attribute("w:val").value();
      if (!styleIds.count(v))
        problems.push_back("style " + v + " is not defined");
    }
  for (pugi::xpath_node xn :
       body->select_nodes("//*[local-name()='numPr']/*[local-name()='numId']")) {
    std::string v = xn.node().attribute("w:val").value();
    if (v != "0" && !numIds.count(v))
      problems.push_back("list " + v + " is not defined");
  }
  return problems;
}

std::string corpus(const std::string& name) {
  return std::string(QF_CORPUS_DIR) + "/word/" + name;
}

bool haveCorpus() {
  return fs::exists(corpus("test.docx"));
}

// ---- text and blocks ----------------------------------------------------------------------

TEST(InsertDocument, BodyFollowsTheTargetInOrder) {
  auto target = makeDoc(para(run("甲一")) + para(run("甲二")) +
                        "<w:sectPr><w:pgSz w:w=\"11906\" w:h=\"16838\"/></w:sectPr>");
  auto source =
      makeDoc(para(run("乙一")) +
              "<w:tbl><w:tblPr/><w:tblGrid><w:gridCol w:w=\"100\"/></w:tblGrid><w:tr><w:tc>" +
              para(run("格")) + "</w:tc></w:tr></w:tbl>" + para(run("乙二")) +
              "<w:sectPr><w:pgSz w:w=\"16838\" w:h=\"11906\"/></w:sectPr>");
  word::InsertFileReport rep = target->insertDocument(*source);
  EXPECT_EQ(rep.blocks, 3);
  EXPECT_EQ(paragraphTexts(*target),
            (std::vector<std::string>{"甲一\r", "甲二\r", "乙一\r", "格\r\a", "乙二\r"}));
  EXPECT_EQ(target->tablesCount(), 1);
  // The target's own final section properties stay; the source's are not inserted.
  pugi::xml_node body = target->content().root();
  EXPECT_STREQ(body.last_child().name(), "w:sectPr");
  EXPECT_STREQ(body.last_child().child("w:pgSz").attribute("w:w").value(), "11906");
  EXPECT_EQ(body.select_nodes("w:sectPr").size(), 1u);
}

TEST(InsertDocument, InsertedTableIsFollowedByAParagraph) {
  auto target = makeDoc(para(run("a")) + "<w:sectPr/>");
  auto source =
      makeDoc("<w:tbl><w:tblPr/><w:tr><w:tc>" + para(run("x")) + "</w:tc></w:tr></w:tbl>");
  target->insertDocument(*source);
  pugi::xml_node sect = target->content().root().last_child();
  EXPECT_STREQ(sect.previous_sibling().name(), "w:p");
  EXPECT_STREQ(sect.previous_sibling().previous_sibling().name(), "w:tbl");
}

TEST(InsertDocument, EmptySourceChangesNothing) {
  auto target = makeDoc(para(run("a")) + "<w:sectPr/>");
  auto source = makeDoc("<w:sectPr/>");
  EXPECT_EQ(target->insertDocument(*source).blocks, 0);
  EXPECT_EQ(paragraphTexts(*target), std::vector<std::string>{"a\r"});
}

TEST(InsertDocument, SourceIsNotChanged) {
  auto target = makeDoc(para(run("a"), "<w:pStyle w:val=\"H\"/>"),
                        style("paragraph", "H", "heading 1", sized(32)));
  auto source = makeDoc(para(run("b"), "<w:pStyle w:val=\"H\"/>"),
                        style("paragraph", "H", "heading 1", sized(44)));
  std::string before = source->saveToString();
  target->insertDocument(*source);
  EXPECT_EQ(source->saveToString(), before);
}

TEST(InsertDocument, RefusesItself) {
  auto d = makeDoc(para(run("a")));
  EXPECT_THROW(d->insertDocument(*d), word::DocumentError);
}

// ---- styles -------------------------------------------------------------------------------

struct StyleCase {
  const char* name;
  std::string targetStyles, sourceStyles, sourceBody;
  std::string wantStyle; // pStyle of the inserted paragraph
  float wantSize;        // its effective size in points
  int copied, renamed, shared;
  std::string wantName; // the name of wantStyle in the target ("" = skip)
};

const StyleCase kStyleCases[] = {
    {"MissingIsCopied", style("paragraph", "Normal", "Normal", "", true),
     style("paragraph", "Normal", "Normal", "", true) + style("paragraph", "Q", "Quote", sized(30)),
     styled("q", "Q"), "Q", 15, 1, 0, 1, "Quote"},
    {"SameDefinitionIsShared", style("paragraph", "H1", "heading 1", sized(32)),
     style("paragraph", "H1", "heading 1", sized(32)), styled("h", "H1"), "H1", 16, 0, 0, 1,
     "heading 1"},
    {"SameNameOtherIdIsShared", style("paragraph", "Heading1", "heading 1", sized(32)),
     style("paragraph", "1", "heading 1", sized(32)), styled("h", "1"), "Heading1", 16, 0, 0, 1,
     "heading 1"},
    {"SameIdOtherDefinitionIsRenamed", style("paragraph", "H1", "heading 1", sized(32)),
     style("paragraph", "H1", "heading 1", sized(44)), styled("h", "H1"), "H1_2", 22, 0, 1, 0,
     "heading 1 (2)"},
    {"IdTakenByAnotherNameGetsNewId", style("paragraph", "A", "Alpha", sized(20)),
     style("paragraph", "A", "Beta", sized(28)), styled("b", "A"), "A_2", 14, 0, 1, 0, "Beta"},
    {"DifferentBaseMakesItDifferent",
     style("paragraph", "Base", "Base", sized(20)) +
         style("paragraph", "Child", "Child", "<w:basedOn w:val=\"Base\"/>"),
     style("paragraph", "Base", "Base", sized(36)) +
         style("paragraph", "Child", "Child", "<w:basedOn w:val=\"Base\"/>"),
     styled("c", "Child"), "Child_2", 18, 0, 2, 0, "Child (2)"},
    {"DifferentDefaultsMakeItDifferent", docDefaults(20) + style("paragraph", "S", "Plain", ""),
     docDefaults(28) + style("paragraph", "S", "Plain", ""), styled("s", "S"), "S_2", 14, 0, 1, 0,
     "Plain (2)"},
    {"UnstyledTextKeepsItsDefaultStyle", style("paragraph", "Normal", "Normal", sized(24), true),
     style("paragraph", "Normal", "Normal", sized(32), true), para(run("plain")), "Normal_2", 16, 0,
     1, 0, "Normal (2)"},
    {"UnstyledTextWithEqualDefaultStaysUnstyled",
     style("paragraph", "Normal", "Normal", sized(24), true),
     style("paragraph", "Normal", "Normal", sized(24), true), para(run("plain")), "", 12, 0, 0, 1,
     ""},
};

class InsertStyles : public testing::TestWithParam<StyleCase> {};

TEST_P(InsertStyles, InsertedTextKeepsItsLook) {
  const StyleCase& c = GetParam();
  auto target = makeDoc(para(run("own")) + "<w:sectPr/>", c.targetStyles);
  float ownSize = sizeOf(*target, 1);
  auto source = makeDoc(c.sourceBody + "<w:sectPr/>", c.sourceStyles);
  word::InsertFileReport rep = target->insertDocument(*source);
  EXPECT_EQ(pStyleOf(*target, 2), c.wantStyle);
  EXPECT_FLOAT_EQ(sizeOf(*target, 2), c.wantSize);
  EXPECT_FLOAT_EQ(sizeOf(*target, 1), ownSize) << "the target's own text changed";
  EXPECT_EQ(rep.stylesCopied, c.copied);
  EXPECT_EQ(rep.stylesRenamed, c.renamed);
  EXPECT_EQ(rep.stylesShared, c.shared);
  if (!c.wantName.empty()) {
    pugi::xml_node s = word::stylesOf(*target).node(c.wantStyle);
    ASSERT_TRUE(s) << c.wantStyle;
    EXPECT_EQ(std::string(s.child("w:name").attribute("w:val").value()), c.wantName);
    EXPECT_FALSE(s.attribute("w:default")) << "a copied style never becomes a default";
  }
  EXPECT_TRUE(consistencyProblems(*target).empty());
  // The same after saving and reading back.
  auto reread = qftest::roundTrip(*target);
  EXPECT_EQ(pStyleOf(*reread, 2), c.wantStyle);
  EXPECT_FLOAT_EQ(sizeOf(*reread, 2), c.wantSize);
  EXPECT_FLOAT_EQ(sizeOf(*reread, 1), ownSize);
}

INSTANTIATE_TEST_SUITE_P(Cases, InsertStyles, testing::ValuesIn(kStyleCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(InsertStylesChains, BasedOnLinkAndNextComeAlong) {
  auto target = makeDoc(para(run("a")), style("paragraph", "Normal", "Normal", "", true));
  std::string styles =
      style("paragraph", "Normal", "Normal", "", true) +
      style("paragraph", "B", "Body", "<w:basedOn w:val=\"Normal\"/>" + sized(26)) +
      style("paragraph", "T", "Title",
            "<w:basedOn w:val=\"B\"/><w:next w:val=\"N\"/><w:link w:val=\"TC\"/>") +
      style("paragraph", "N", "Note", "") + style("character", "TC", "Title Char", sized(40));
  auto source = makeDoc(styled("t", "T"), styles);
  target->insertDocument(*source);
  for (const char* id : {"B", "T", "N", "TC"})
    EXPECT_TRUE(word::stylesOf(*target).node(id)) << id;
  EXPECT_FLOAT_EQ(sizeOf(*target, 2), 13);
}

TEST(InsertStylesChains, TargetWithoutStylesPartGetsOne) {
  auto target = makeDoc(para(run("a")));
  auto source = makeDoc(styled("q", "Q"), style("paragraph", "Q", "Quote", sized(30)));
  target->insertDocument(*source);
  EXPECT_TRUE(word::stylesOf(*target).node("Q"));
  EXPECT_FLOAT_EQ(sizeOf(*target, 2), 15);
  EXPECT_TRUE(consistencyProblems(*target).empty());
}

TEST(InsertStylesChains, DefaultsAreFoldedIntoCopiedRootStyles) {
  // The source's defaults say 14 pt and 黑体; under the target's defaults (10 pt) the inserted
  // paragraph must still read 14 pt with the East Asian font kept.
  std::string tStyles = "<w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:ascii=\"Arial\"/>"
                        "<w:sz w:val=\"20\"/></w:rPr></w:rPrDefault></w:docDefaults>" +
                        style("paragraph", "Normal", "Normal", "", true);
  std::string sStyles =
      "<w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:eastAsia=\"黑体\" "
      "w:asciiTheme=\"minorHAnsi\"/><w:sz w:val=\"28\"/></w:rPr></w:rPrDefault>"
      "</w:docDefaults>" +
      style("paragraph", "Normal", "Normal", "", true) +
      style("paragraph", "Own", "Own", "<w:rPr><w:rFonts w:ascii=\"Times\"/></w:rPr>");
  auto target = makeDoc(para(run("a")), tStyles);
  auto source = makeDoc(para(run("b")) + styled("c", "Own"), sStyles);
  target->insertDocument(*source);
  EXPECT_FLOAT_EQ(sizeOf(*target, 1), 10);
  EXPECT_FLOAT_EQ(sizeOf(*target, 2), 14);
  EXPECT_FLOAT_EQ(sizeOf(*target, 3), 14);
  pugi::xml_node own = word::stylesOf(*target).node("Own").child("w:rPr").child("w:rFonts");
  EXPECT_STREQ(own.attribute("w:ascii").value(), "Times");
  EXPECT_FALSE(own.attribute("w:asciiTheme")) << "a theme font would override the named one";
  EXPECT_STREQ(own.attribute("w:eastAsia").value(), "黑体");
}

TEST(InsertStylesChains, TablesWithoutStyleKeepTheirDefaultTableStyle) {
  std::string tbl = "<w:tbl><w:tblPr/><w:tr><w:tc>" + para(run("x")) + "</w:tc></w:tr></w:tbl>";
  auto target = makeDoc(para(run("a")), style("table", "TN", "Normal Table",
                                              "<w:tblPr><w:tblInd w:w=\"0\"/></w:tblPr>", true));
  auto source =
      makeDoc(tbl + para(run("b")), style("table", "TN", "Normal Table",
                                          "<w:tblPr><w:tblInd w:w=\"300\"/></w:tblPr>", true));
  target->insertDocument(*source);
  pugi::xml_node t = target->content().root().child("w:tbl");
  EXPECT_STREQ(t.child("w:tblPr").child("w:tblStyle").attribute("w:val").value(), "TN_2");
}

// ---- lists --------------------------------------------------------------------------------

std::string abstractNum(int id, const std::string& nsid, const std::string& fmt,
                        const std::string& text) {
  return "<w:abstractNum w:abstractNumId=\"" + std::to_string(id) + "\">" +
         (nsid.empty() ? "" : "<w:nsid w:val=\"" + nsid + "\"/>") +
         "<w:lvl w:ilvl=\"0\"><w:start w:val=\"1\"/><w:numFmt w:val=\"" + fmt +
         "\"/><w:suff w:val=\"nothing\"/><w:lvlText w:val=\"" + text +
         "\"/></w:lvl></w:abstractNum>";
}

std::string num(int id, int abs, const std::string& overrides = "") {
  return "<w:num w:numId=\"" + std::to_string(id) + "\"><w:abstractNumId w:val=\"" +
         std::to_string(abs) + "\"/>" + overrides + "</w:num>";
}

std::string item(const std::string& text, int numId) {
  return para(run(text), "<w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"" + std::to_string(numId) +
                             "\"/></w:numPr>");
}

struct ListCase {
  const char* name;
  std::string targetNumbering, sourceNumbering;
  int sourceNumId;
  std::vector<std::string> want; // the five labels after ConvertNumbersToText
  int copied, joined;
};

const ListCase kListCases[] = {
    {"OtherListRestarts",
     abstractNum(0, "11111111", "decimal", "%1.") + num(1, 0),
     abstractNum(0, "22222222", "decimal", "%1.") + num(1, 0),
     1,
     {"1.", "2.", "1.", "2.", "3."},
     1,
     0},
    {"SameListContinues",
     abstractNum(0, "11111111", "decimal", "%1.") + num(1, 0),
     abstractNum(5, "11111111", "decimal", "%1.") + num(7, 5),
     7,
     {"1.", "2.", "3.", "4.", "5."},
     0,
     1},
    {"SameIdentifierOtherDefinitionRestarts",
     abstractNum(0, "11111111", "decimal", "%1.") + num(1, 0),
     abstractNum(0, "11111111", "chineseCounting", "（%1）") + num(1, 0),
     1,
     {"1.", "2.", "（一）", "（二）", "（三）"},
     1,
     0},
    {"WithoutIdentifierNeverJoins",
     abstractNum(0, "", "decimal", "%1.") + num(1, 0),
     abstractNum(0, "", "decimal", "%1.") + num(1, 0),
     1,
     {"1.", "2.", "1.", "2.", "3."},
     1,
     0},
    {"StartOverrideMakesANewNum",
     abstractNum(0, "11111111", "decimal", "%1.") + num(1, 0),
     abstractNum(0, "11111111", "decimal", "%1.") +
         num(3, 0, "<w:lvlOverride w:ilvl=\"0\"><w:startOverride w:val=\"5\"/></w:lvlOverride>"),
     3,
     {"1.", "2.", "5.", "6.", "7."},
     0,
     1},
};

class InsertLists : public testing::TestWithParam<ListCase> {};

TEST_P(InsertLists, NumbersFollowWord) {
  const ListCase& c = GetParam();
  auto target = makeDoc(item("a", 1) + item("b", 1) + "<w:sectPr/>", "", c.targetNumbering);
  auto source = makeDoc(item("c", c.sourceNumId) + item("d", c.sourceNumId) +
                            item("e", c.sourceNumId) + "<w:sectPr/>",
                        "", c.sourceNumbering);
  word::InsertFileReport rep = target->insertDocument(*source);
  EXPECT_EQ(rep.listsCopied, c.copied);
  EXPECT_EQ(rep.listsJoined, c.joined);
  EXPECT_TRUE(consistencyProblems(*target).empty());
  auto reread = qftest::roundTrip(*target);
  reread->convertNumbersToText();
  std::vector<std::string> labels;
  for (const std::string& t : paragraphTexts(*reread))
    labels.push_back(t.substr(0, t.find_first_of("abcde")));
  EXPECT_EQ(labels, c.want);
}

INSTANTIATE_TEST_SUITE_P(Cases, InsertLists, testing::ValuesIn(kListCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(InsertListsIds, CopiedDefinitionsGetFreshIds) {
  auto target = makeDoc(item("a", 1), "", abstractNum(0, "AAAAAAAA", "decimal", "%1.") + num(1, 0));
  auto source =
      makeDoc(item("b", 1), "", abstractNum(0, "BBBBBBBB", "upperRoman", "%1.") + num(1, 0));
  target->insertDocument(*source);
  pugi::xml_node p2 = word::nodeOf(target->paragraphs().item(2));
  EXPECT_STREQ(p2.child("w:pPr").child("w:numPr").child("w:numId").attribute("w:val").value(), "2");
  pugi::xml_document* numbering = word::packageOf(*target).xml("word/numbering.xml");
  pugi::xml_node root = numbering->document_element();
  EXPECT_EQ(root.select_nodes("w:abstractNum").size(), 2u);
  EXPECT_EQ(root.select_nodes("w:num").size(), 2u);
  // Abstract definitions stay before every num, as the schema wants.
  bool seenNum = false;
  for (pugi::xml_node k = root.first_child(); k; k = k.next_sibling()) {
    if (std::string(k.name()) == "w:num") {
      seenNum = true;
    } else if (std::string(k.name()) == "w:abstractNum") {
      EXPECT_FALSE(seenNum);
    }
  }
  EXPECT_STREQ(
      root.select_node("w:num[@w:numId='2']/w:abstractNumId").node().attribute("w:val").value(),
      "1");
}

TEST(InsertListsIds, StyleNumberingFollowsTheStyle) {
  std::string sStyles = style("paragraph", "Lst", "List Item",
                              "<w:pPr><w:numPr><w:numId w:val=\"1\"/></w:numPr></w:pPr>");
  auto target = makeDoc(item("a", 1), "", abstractNum(0, "AAAAAAAA", "decimal", "%1.") + num(1, 0));
  auto source = makeDoc(styled("b", "Lst") + styled("c", "Lst"), sStyles,
                        abstractNum(0, "BBBBBBBB", "lowerLetter", "%1)") + num(1, 0));
  target->insertDocument(*source);
  auto reread = qftest::roundTrip(*target);
  reread->convertNumbersToText();
  EXPECT_EQ(paragraphTexts(*reread), (std::vector<std::string>{"1.a\r", "a)b\r", "b)c\r"}));
}

TEST(InsertListsIds, TargetWithoutNumberingGetsThePart) {
  auto target = makeDoc(para(run("a")));
  auto source =
      makeDoc(item("b", 4), "", abstractNum(2, "CCCCCCCC", "decimal", "%1、") + num(4, 2));
  target->insertDocument(*source);
  EXPECT_TRUE(consistencyProblems(*target).empty());
  auto reread = qftest::roundTrip(*target);
  reread->convertNumbersToText();
  EXPECT_EQ(paragraphTexts(*reread), (std::vector<std::string>{"a\r", "1、b\r"}));
}

TEST(InsertListsIds, UnknownListLosesItsNumberLikeInTheSource) {
  auto target = makeDoc(item("a", 9), "", abstractNum(0, "AAAAAAAA", "decimal", "%1.") + num(9, 0));
  auto source = makeDoc(item("b", 9));
  target->insertDocument(*source);
  pugi::xml_node p2 = word::nodeOf(target->paragraphs().item(2));
  EXPECT_STREQ(p2.child("w:pPr").child("w:numPr").child("w:numId").attribute("w:val").value(), "0");
}

// ---- bookmarks, notes, sections, namespaces -------------------------------------------------

TEST(InsertAnnotations, CollidingBookmarksAreRenamedWithTheirLinks) {
  auto target = makeDoc("<w:p><w:bookmarkStart w:id=\"0\" w:name=\"要点\"/>" + run("a") +
                        "<w:bookmarkEnd w:id=\"0\"/></w:p>");
  auto source = makeDoc("<w:p><w:hyperlink w:anchor=\"要点\">" + run("link") +
                        "</w:hyperlink>"
                        "<w:fldSimple w:instr=\" REF 要点 \\h \">" +
                        run("ref") +
                        "</w:fldSimple></w:p>"
                        "<w:p><w:bookmarkStart w:id=\"0\" w:name=\"要点\"/>" +
                        run("b") +
                        "<w:bookmarkEnd w:id=\"0\"/><w:bookmarkStart w:id=\"1\" "
                        "w:name=\"own\"/><w:bookmarkEnd w:id=\"1\"/></w:p>");
  word::InsertFileReport rep = target->insertDocument(*source);
  EXPECT_EQ(rep.bookmarksRenamed, 1);
  pugi::xml_node body = target->content().root();
  EXPECT_STREQ(body.select_node("w:p/w:hyperlink").node().attribute("w:anchor").value(), "要点_2");
  EXPECT_STREQ(body.select_node("w:p/w:fldSimple").node().attribute("w:instr").value(),
               " REF 要点_2 \\h ");
  EXPECT_STREQ(
      body.select_node("w:p/w:bookmarkStart[@w:name='own']").node().attribute("w:name").value(),
      "own");
  EXPECT_TRUE(consistencyProblems(*target).empty());
  // Starts and ends still pair up.
  std::map<std::string, int> balance;
  for (pugi::xpath_node xn : body.select_nodes(".//w:bookmarkStart"))
    balance[xn.node().attribute("w:id").value()]++;
  for (pugi::xpath_node xn : body.select_nodes(".//w:bookmarkEnd"))
    balance[xn.node().attribute("w:id").value()]--;
  for (auto& [id, n] : balance)
    EXPECT_EQ(n, 0) << id;
}

TEST(InsertAnnotations, SectionBreaksKeepBothDocumentsPageSetup) {
  auto target =
      makeDoc(para(run("t")) + "<w:sectPr><w:pgSz w:w=\"11906\" w:h=\"16838\"/></w:sectPr>");
  auto source =
      makeDoc(para(run("s1"), "<w:sectPr><w:pgSz w:w=\"16838\" w:h=\"11906\" "
                              "w:orient=\"landscape\"/></w:sectPr>") +
              para(run("s2")) + "<w:sectPr><w:pgSz w:w=\"1000\" w:h=\"1000\"/></w:sectPr>");
  target->insertDocument(*source);
  pugi::xml_node body = target->content().root();
  auto breaks = body.select_nodes("w:p/w:pPr/w:sectPr/w:pgSz");
  ASSERT_EQ(breaks.size(), 2u);
  EXPECT_STREQ(breaks[0].node().attribute("w:w").value(), "11906") << "the target's own section";
  EXPECT_STREQ(breaks[1].node().attribute("w:orient").value(), "landscape");
  EXPECT_STREQ(body.last_child().child("w:pgSz").attribute("w:w").value(), "11906");
}

TEST(InsertAnnotations, OtherPrefixForTheMainNamespace) {
  auto target = makeDoc(para(run("a")));
  auto pkg = qftest::makePackage("");
  std::string doc =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><document "
      "xmlns=\"http://schemas.openxmlformats.org/"
      "wordprocessingml/2006/main\"><body><p><r><t>默认</t></r></p><sectPr/></body></document>";
  pkg->setBytes("word/document.xml", doc);
  auto source = word::Document::fromPackage(std::move(pkg), "default-ns.docx");
  target->insertDocument(*source);
  EXPECT_EQ(paragraphTexts(*target), (std::vector<std::string>{"a\r", "默认\r"}));
  EXPECT_STREQ(target->content().root().last_child().name(), "w:p");
}

TEST(InsertAnnotations, MissingFileLeavesTheDocumentAsItWas) {
  auto target = makeDoc(para(run("a")));
  std::string before = target->saveToString();
  try {
    target->selection().insertFile("/nonexistent/quillfold/x.docx");
    FAIL() << "no error";
  } catch (const word::DocumentError& e) {
    EXPECT_EQ(e.file(), "/nonexistent/quillfold/x.docx");
  }
  EXPECT_EQ(target->saveToString(), before);
}

TEST(InsertAnnotations, ParagraphIdsStayUnique) {
  const std::string w14 = "xmlns:w14=\"http://schemas.microsoft.com/office/word/2010/wordml\"";
  auto doc = [&](const std::string& body) {
    auto pkg = qftest::makePackage("");
    pkg->setBytes("word/document.xml", "<?xml version=\"1.0\"?><w:document " +
                                           std::string(qftest::kWNs) + " " + w14 + "><w:body>" +
                                           body + "</w:body></w:document>");
    return word::Document::fromPackage(std::move(pkg), "ids.docx");
  };
  auto target = doc("<w:p w14:paraId=\"0A000001\">" + run("a") + "</w:p>");
  auto source = doc("<w:p w14:paraId=\"0A000001\">" + run("b") +
                    "</w:p><w:p w14:paraId=\"0B000002\">" + run("c") + "</w:p>");
  target->insertDocument(*source);
  std::set<std::string> ids;
  for (pugi::xpath_node xn : target->content().root().select_nodes("w:p"))
    EXPECT_TRUE(ids.insert(xn.node().attribute("w14:paraId").value()).second);
  EXPECT_TRUE(ids.count("0B000002")) << "an id the target does not use stays";
}

TEST(InsertAnnotations, SelectionInsertFileMovesToTheEnd) {
  if (!haveCorpus())
    FAIL() << "the corpus is missing from " << QF_CORPUS_DIR;
  auto target = makeDoc(para(run("开头")));
  target->selection().insertFile(corpus("par-hyperlinks.docx"));
  word::Story& main = target->content();
  EXPECT_EQ(target->selection().start(), main.length() - 1);
  EXPECT_GT(target->paragraphs().count(), 1);
  EXPECT_EQ(paragraphTexts(*target)[0], "开头\r");
}

// ---- real documents -------------------------------------------------------------------------

TEST(InsertCorpus, PicturesAreCopiedAndDeduplicated) {
  if (!haveCorpus())
    FAIL() << "the corpus is missing from " << QF_CORPUS_DIR;
  auto target = word::Document::openPackage(corpus("having-images.docx"));
  auto source = word::Document::openPackage(corpus("having-images.docx"));
  auto mediaCount = [](word::Package& p) {
    int n = 0;
    for (const std::string& name : p.names())
      n += name.rfind("word/media/", 0) == 0;
    return n;
  };
  int before = mediaCount(word::packageOf(*target));
  word::InsertFileReport rep = target->insertDocument(*source);
  EXPECT_EQ(mediaCount(word::packageOf(*target)), before) << "identical pictures are stored once";
  EXPECT_GT(rep.drawingIdsChanged, 0);
  EXPECT_EQ(consistencyProblems(*target), std::vector<std::string>{});
  // Each inserted picture refers to a picture with the source's bytes.
  auto blips = target->content().root().select_nodes(".//*[local-name()='blip']");
  auto sBlips = source->content().root().select_nodes(".//*[local-name()='blip']");
  ASSERT_EQ(blips.size(), 2 * sBlips.size());
  std::map<std::string, std::string> tTargets, sTargets;
  for (auto& r : word::packageOf(*target).relationships("word/document.xml"))
    tTargets[r.id] = r.target;
  for (auto& r : word::packageOf(*source).relationships("word/document.xml"))
    sTargets[r.id] = r.target;
  for (size_t i = 0; i < sBlips.size(); ++i) {
    std::string s = sTargets[sBlips[i].node().attribute("r:embed").value()];
    std::string t = tTargets[blips[sBlips.size() + i].node().attribute("r:embed").value()];
    EXPECT_EQ(word::packageOf(*target).bytes(t), word::packageOf(*source).bytes(s));
  }
}

TEST(InsertCorpus, PicturesOfAnotherDocumentGetNewNames) {
  if (!haveCorpus())
    FAIL() << "the corpus is missing from " << QF_CORPUS_DIR;
  auto target = word::Document::openPackage(corpus("having-images.docx"));
  auto source = word::Document::openPackage(corpus("shp-inline-shape-access.docx"));
  std::set<std::string> before;
  for (const std::string& n : word::packageOf(*target).names())
    before.insert(n);
  std::map<std::string, std::string> originalBytes;
  for (const std::string& n : before)
    if (n.rfind("word/media/", 0) == 0)
      originalBytes[n] = word::packageOf(*target).bytes(n);
  word::InsertFileReport rep = target->insertDocument(*source);
  EXPECT_GT(rep.partsCopied, 2);
  for (auto& [n, b] : originalBytes)
    EXPECT_EQ(word::packageOf(*target).bytes(n), b) << n << " of the target was overwritten";
  EXPECT_EQ(consistencyProblems(*target), std::vector<std::string>{});
  auto reread = qftest::roundTrip(*target);
  EXPECT_EQ(consistencyProblems(*reread), std::vector<std::string>{});
}

TEST(InsertCorpus, HyperlinksStayExternal) {
  if (!haveCorpus())
    FAIL() << "the corpus is missing from " << QF_CORPUS_DIR;
  auto target = makeDoc(para(run("a")));
  auto source = word::Document::openPackage(corpus("par-hyperlinks.docx"));
  target->insertDocument(*source);
  int external = 0;
  for (auto& r : word::packageOf(*target).relationships("word/document.xml"))
    if (r.type.find("/hyperlink") != std::string::npos) {
      EXPECT_EQ(r.targetMode, "External");
      EXPECT_EQ(r.target.rfind("http", 0), 0u) << r.target;
      ++external;
    }
  EXPECT_GT(external, 0);
  EXPECT_TRUE(consistencyProblems(*target).empty());
}

TEST(InsertCorpus, HeadersOfInsertedSectionsAreCopied) {
  if (!haveCorpus())
    FAIL() << "the corpus is missing from " << QF_CORPUS_DIR;
  auto target = word::Document::openPackage(corpus("hdr-header-footer.docx"));
  auto source = word::Document::openPackage(corpus("doc-access-sections.docx"));
  size_t before = target->headerFooters().size();
  target->insertDocument(*source);
  EXPECT_EQ(consistencyProblems(*target), std::vector<std::string>{});
  EXPECT_GE(target->headerFooters().size(), before);
  auto reread = qftest::roundTrip(*target);
  EXPECT_EQ(consistencyProblems(*reread), std::vector<std::string>{});
}

class InsertEveryCorpusDocument : public testing::TestWithParam<std::string> {};

TEST_P(InsertEveryCorpusDocument, TextFollowsAndPackageStaysConsistent) {
  if (!haveCorpus())
    FAIL() << "the corpus is missing from " << QF_CORPUS_DIR;
  auto target = word::Document::openPackage(corpus("test.docx"));
  auto source = word::Document::openPackage(corpus(GetParam()));
  std::vector<std::string> want = paragraphTexts(*target);
  std::vector<std::string> sourceTexts = paragraphTexts(*source);
  std::map<std::string, std::string> ownParts;
  for (const std::string& n : word::packageOf(*target).names())
    ownParts[n] = word::packageOf(*target).bytes(n);
  // Faults the two documents bring along themselves (a style referred to but never defined)
  // are not the insertion's.
  std::set<std::string> inherited;
  for (auto* d : {target.get(), source.get()})
    for (const std::string& p : consistencyProblems(*d))
      inherited.insert(p);
  target->insertDocument(*source);
  std::vector<std::string> got = paragraphTexts(*target);
  ASSERT_GE(got.size(), want.size() + sourceTexts.size());
  for (size_t i = 0; i < want.size(); ++i)
    EXPECT_EQ(got[i], want[i]) << "target paragraph " << i;
  for (size_t i = 0; i < sourceTexts.size(); ++i)
    EXPECT_EQ(got[want.size() + i], sourceTexts[i]) << "source paragraph " << i;
  std::vector<std::string> problems;
  for (const std::string& p : consistencyProblems(*target))
    if (!inherited.count(p))
      problems.push_back(p);
  EXPECT_EQ(problems, std::vector<std::string>{});
  for (auto& [n, b] : ownParts)
    EXPECT_TRUE(word::packageOf(*target).has(n)) << n;
  auto reread = qftest::roundTrip(*target);
  EXPECT_EQ(paragraphTexts(*reread), got);
}

std::vector<std::string> corpusNames() {
  std::vector<std::string> out;
  std::error_code ec;
  for (auto& e : fs::directory_iterator(std::string(QF_CORPUS_DIR) + "/word", ec))
    if (e.path().extension() == ".docx")
      out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  if (out.empty())
    out.push_back("none.docx");
  return out;
}

INSTANTIATE_TEST_SUITE_P(Corpus, InsertEveryCorpusDocument, testing::ValuesIn(corpusNames()),
                         [](const auto& info) {
                           std::string n = info.param.substr(0, info.param.size() - 5);
                           for (char& c : n)
                             if (!std::isalnum(static_cast<unsigned char>(c)))
                               c = '_';
                           return n;
                         });

} // namespace
