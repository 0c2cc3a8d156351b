// Merging adjacent runs of equal formatting when a document is saved: fewer runs, never a
// character or a property lost or moved across anything that is not plain text.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "model_helpers.h"
#include "word/internal/access.h"
#include "word/internal/merge_runs.h"

namespace fs = std::filesystem;

namespace {

// ---- an account of a part that merging must not change --------------------------------------

bool isRsid(const char* name) {
  const char* colon = std::strrchr(name, ':');
  return std::strncmp(colon ? colon + 1 : name, "rsid", 4) == 0;
}

// An element with its attributes (revision ids left out) and children, children sorted.
std::string form(pugi::xml_node e) {
  std::vector<std::string> attrs, kids;
  for (pugi::xml_attribute a : e.attributes())
    if (!isRsid(a.name()))
      attrs.push_back(std::string(a.name()) + "=" + a.value());
  std::sort(attrs.begin(), attrs.end());
  for (pugi::xml_node c : e.children())
    if (c.type() == pugi::node_element)
      kids.push_back(form(c));
  std::sort(kids.begin(), kids.end());
  std::string s = std::string("<") + e.name();
  for (const auto& a : attrs)
    s += " " + a;
  s += ">";
  for (const auto& k : kids)
    s += k;
  return s + "</>";
}

bool xmlSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The part as a stream: every character of a run with its run's formatting (and, for
// whitespace, whether xml:space keeps it), every other run content with that formatting,
// and every element outside runs opened and closed with its attributes.
void account(pugi::xml_node e, std::vector<std::string>& out) {
  if (std::strcmp(e.name(), "w:r") == 0) {
    std::string key = "r";
    for (pugi::xml_attribute a : e.attributes())
      if (!isRsid(a.name()))
        key += std::string(" ") + a.name() + "=" + a.value();
    if (pugi::xml_node rPr = e.child("w:rPr"))
      key += form(rPr);
    else
      key += "<w:rPr></>";
    for (pugi::xml_node c : e.children()) {
      if (c.type() != pugi::node_element || std::strcmp(c.name(), "w:rPr") == 0)
        continue;
      if (std::strcmp(c.name(), "w:t") != 0) {
        out.push_back(form(c) + key);
        continue;
      }
      const bool keep = std::strcmp(c.attribute("xml:space").value(), "preserve") == 0;
      const std::string text = c.text().get();
      for (size_t i = 0; i < text.size();) {
        size_t len = 1;
        while (i + len < text.size() && (static_cast<unsigned char>(text[i + len]) & 0xC0) == 0x80)
          ++len;
        std::string ch = text.substr(i, len);
        out.push_back(ch + (xmlSpace(ch[0]) ? (keep ? "+" : "-") : "") + key);
        i += len;
      }
    }
    return;
  }
  std::string open = std::string("<") + e.name();
  for (pugi::xml_attribute a : e.attributes())
    open += std::string(" ") + a.name() + "=" + a.value();
  out.push_back(open);
  for (pugi::xml_node c : e.children()) {
    if (c.type() == pugi::node_element)
      account(c, out);
    else if (c.type() == pugi::node_pcdata &&
             std::strspn(c.value(), " \t\r\n") != std::strlen(c.value()))
      out.push_back(std::string("#") + c.value());
  }
  out.push_back("</>");
}

std::vector<std::string> account(pugi::xml_node root) {
  std::vector<std::string> out;
  account(root, out);
  return out;
}

int count(pugi::xml_node root, const char* name) {
  return static_cast<int>(root.select_nodes((std::string("//") + name).c_str()).size());
}

// What a reader sees of each paragraph of the main text: its text, and the font of each
// character.
std::vector<std::string> seen(word::Document& doc) {
  std::vector<std::string> out;
  word::Paragraphs ps = doc.paragraphs();
  for (int i = 1; i <= ps.count(); ++i) {
    word::Range r = ps.item(i).range();
    out.push_back(r.text());
    for (int64_t c = r.start(); c < r.end(); ++c) {
      word::Font f = doc.range(c, c + 1).font();
      out.push_back(f.name() + "/" + f.nameFarEast() + "/" + std::to_string(f.size()) + "/" +
                    std::to_string(f.bold()));
    }
  }
  return out;
}

std::unique_ptr<word::Document> reopen(const std::string& bytes) {
  return word::Document::fromPackage(word::Package::openMemory(bytes, "out.docx"), "out.docx");
}

pugi::xml_node mainRoot(word::Document& doc) {
  return word::internal::Access::package(doc).xml("word/document.xml")->document_element();
}

std::string r(const std::string& rPr, const std::string& content, const std::string& attrs = "") {
  return "<w:r" + attrs + ">" + (rPr.empty() ? "" : "<w:rPr>" + rPr + "</w:rPr>") + content +
         "</w:r>";
}
std::string plain(const std::string& text) {
  return "<w:t>" + text + "</w:t>";
}
std::string preserved(const std::string& text) {
  return "<w:t xml:space=\"preserve\">" + text + "</w:t>";
}
const std::string B = "<w:b/>";
const std::string kFonts = "<w:rFonts w:eastAsia=\"黑体\"/><w:sz w:val=\"32\"/>";
const std::string kFontsSwapped = "<w:sz w:val=\"32\"/><w:rFonts w:eastAsia=\"黑体\"/>";

// ---- the cases -----------------------------------------------------------------------------

struct Case {
  const char* name;
  std::string paragraph; // inner XML of one w:p
  int runs;              // w:r in the body after saving
  int texts;             // w:t in the body after saving
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

class MergeRuns : public ::testing::TestWithParam<Case> {};

TEST_P(MergeRuns, KeepsEveryCharacterAndItsFormatting) {
  const Case& c = GetParam();
  auto doc = qftest::makeDoc("<w:p>" + c.paragraph + "</w:p>");
  const std::vector<std::string> before = account(mainRoot(*doc));
  const std::vector<std::string> readerBefore = seen(*doc);
  word::internal::Access::package(*doc).markDirty("word/document.xml");

  auto back = reopen(doc->saveToString());
  pugi::xml_node root = mainRoot(*back);
  EXPECT_EQ(account(root), before);
  EXPECT_EQ(seen(*back), readerBefore);
  EXPECT_EQ(count(root, "w:r"), c.runs);
  EXPECT_EQ(count(root, "w:t"), c.texts);
  // The document saved stays usable: its cached text named runs that are gone.
  EXPECT_EQ(seen(*doc), readerBefore);
}

const std::string kBegin = r("", "<w:fldChar w:fldCharType=\"begin\"/>");
const std::string kCode = r("", "<w:instrText xml:space=\"preserve\"> PAGE </w:instrText>");
const std::string kSeparate = r("", "<w:fldChar w:fldCharType=\"separate\"/>");
const std::string kEnd = r("", "<w:fldChar w:fldCharType=\"end\"/>");

INSTANTIATE_TEST_SUITE_P(
    Cases, MergeRuns,
    ::testing::Values(
        Case{"rsid_only",
             r(B, plain("甲"), " w:rsidR=\"00A1\"") +
                 r(B, plain("乙"), " w:rsidR=\"00B2\" w:rsidRPr=\"00C3\""),
             1, 1},
        Case{"rsid_inside_properties",
             r("<w:b w:rsidDel=\"1\"/>", plain("甲")) + r("<w:b w:rsidDel=\"2\"/>", plain("乙")), 1,
             1},
        Case{"different_properties", r(B, plain("甲")) + r("", plain("乙")), 2, 2},
        Case{"different_values",
             r("<w:sz w:val=\"24\"/>", plain("甲")) + r("<w:sz w:val=\"28\"/>", plain("乙")), 2, 2},
        Case{"properties_in_another_order", r(kFonts, plain("甲")) + r(kFontsSwapped, plain("乙")),
             1, 1},
        Case{"repeated_property_in_another_order",
             r("<w:b w:val=\"0\"/><w:b/>", plain("甲")) +
                 r("<w:b/><w:b w:val=\"0\"/>", plain("乙")),
             2, 2},
        Case{"empty_properties_are_none",
             r("", plain("甲")) + "<w:r><w:rPr/>" + plain("乙") + "</w:r>", 1, 1},
        Case{"other_run_attribute", r("", plain("甲"), " w:foo=\"1\"") + r("", plain("乙")), 2, 2},
        Case{"character_style",
             r("<w:rStyle w:val=\"A\"/>", plain("甲")) + r("<w:rStyle w:val=\"B\"/>", plain("乙")),
             2, 2},
        Case{"three_into_one",
             r(B, plain("甲")) + r(B, plain("乙")) + r(B, plain("丙")) + r("", plain("丁")), 2, 2},
        Case{"whitespace_between_runs", r(B, plain("甲")) + "\n  " + r(B, plain("乙")), 1, 1},
        Case{"bookmark_between",
             r("", plain("甲")) + "<w:bookmarkStart w:id=\"1\" w:name=\"x\"/>" +
                 r("", plain("乙")) + "<w:bookmarkEnd w:id=\"1\"/>" + r("", plain("丙")),
             3, 3},
        Case{"comment_range_between",
             r("", plain("甲")) + "<w:commentRangeStart w:id=\"0\"/>" + r("", plain("乙")), 2, 2},
        Case{"proofing_mark_between",
             r("", plain("甲")) + "<w:proofErr w:type=\"spellStart\"/>" + r("", plain("乙")), 2, 2},
        Case{"field_code_and_result",
             r("", plain("前")) + kBegin + kCode + kSeparate + r("", plain("1")) +
                 r("", plain("2")) + kEnd + r("", plain("后")),
             7, 3},
        Case{"simple_field_result",
             r("", plain("前")) + "<w:fldSimple w:instr=\"PAGE\">" + r("", plain("1")) +
                 r("", plain("2")) + "</w:fldSimple>" + r("", plain("后")),
             3, 3},
        Case{"insertion",
             r("", plain("甲")) + "<w:ins w:id=\"1\" w:author=\"a\">" + r("", plain("乙")) +
                 r("", plain("丙")) + "</w:ins>" + r("", plain("丁")),
             3, 3},
        Case{"deletion",
             r("", plain("甲")) + "<w:del w:id=\"1\" w:author=\"a\">" +
                 r("", "<w:delText>乙</w:delText>") + r("", "<w:delText>丙</w:delText>") +
                 "</w:del>" + r("", plain("丁")),
             4, 2},
        Case{"hyperlink",
             r("", plain("甲")) + "<w:hyperlink w:anchor=\"x\">" + r("", plain("乙")) +
                 r("", plain("丙")) + "</w:hyperlink>" + r("", plain("丁")),
             3, 3},
        Case{"content_control",
             r("", plain("甲")) + "<w:sdt><w:sdtContent>" + r("", plain("乙")) +
                 r("", plain("丙")) + "</w:sdtContent></w:sdt>",
             2, 2},
        Case{"note_reference",
             r("", plain("甲")) + r("", "<w:footnoteReference w:id=\"1\"/>") + r("", plain("乙")),
             3, 2},
        Case{"symbol",
             r("", plain("甲")) + r("", "<w:sym w:font=\"Wingdings\" w:char=\"F0FC\"/>") +
                 r("", plain("乙")),
             3, 2},
        Case{"page_break",
             r("", plain("甲")) + r("", "<w:br w:type=\"page\"/>") + r("", plain("乙")), 3, 2},
        Case{"tabs_and_line_breaks",
             r(B, plain("甲")) + r(B, "<w:tab/>") + r(B, "<w:br/>") + r(B, plain("乙")) +
                 r(B, plain("丙")),
             1, 2},
        Case{"empty_run_of_same_format", r(B, plain("甲")) + r(B, "") + r(B, plain("乙")), 1, 1},
        Case{"empty_run_of_other_format", r(B, plain("甲")) + r("", "") + r(B, plain("乙")), 3, 2},
        Case{"preserved_spaces_join", r("", preserved("甲 ")) + r("", preserved(" 乙")), 1, 1},
        Case{"spaceless_text_joins_preserved_text", r("", plain("甲")) + r("", preserved(" 乙 ")),
             1, 1},
        Case{"edge_space_not_preserved_stays_apart", r("", plain("甲 ")) + r("", plain("乙")), 1,
             2},
        Case{"inner_space_not_preserved_stays_apart_from_preserved",
             r("", plain("甲 乙")) + r("", preserved(" 丙")), 1, 2},
        Case{"inner_spaces_not_preserved_join", r("", plain("甲 乙")) + r("", plain("丙 丁")), 1,
             1},
        Case{"text_attribute_unknown", r("", "<w:t w:foo=\"1\">甲</w:t>") + r("", plain("乙")), 2,
             2},
        Case{"empty_text", r("", "<w:t/>") + r("", plain("乙")), 1, 1}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// Paragraphs made at random from runs of a few formats, text with and without spaces and
// xml:space, tabs, breaks, field characters, bookmarks, proofing marks and hyperlinks: whatever
// merges, every character keeps its formatting and its place.
TEST(MergeRunsOnSave, RandomParagraphsKeepEveryCharacter) {
  const std::string formats[] = {"", B, kFonts, kFontsSwapped, "<w:i/>", "<w:rPr/>"};
  const std::string texts[] = {"甲", "乙丙", " ", "a b", " 前", "后 ", ""};
  std::mt19937 random(20260101);
  auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
  int merged = 0;
  for (int round = 0; round < 200; ++round) {
    SCOPED_TRACE(round);
    std::string body;
    for (int p = 0; p < 3; ++p) {
      std::string inner;
      for (int k = 0; k < 8; ++k) {
        const std::string& f = formats[pick(std::size(formats))];
        const std::string& text = texts[pick(std::size(texts))];
        std::string run;
        switch (pick(9)) {
        case 0:
          run = r(f, "<w:tab/>");
          break;
        case 1:
          run = "<w:bookmarkStart w:id=\"" + std::to_string(k) + "\" w:name=\"b" +
                std::to_string(k) + "\"/><w:bookmarkEnd w:id=\"" + std::to_string(k) + "\"/>";
          break;
        case 2:
          run = "<w:proofErr w:type=\"spellStart\"/>";
          break;
        case 3:
          run = "<w:hyperlink w:anchor=\"x\">" + r(f, plain("链")) + r(f, plain("接")) +
                "</w:hyperlink>";
          break;
        case 4:
          run = r(f, plain(text) + "<w:br/>" + preserved(text));
          break;
        case 5:
          run = r(f, preserved(text), k % 2 ? " w:rsidR=\"00AA\"" : "");
          break;
        default:
          run = r(f, plain(text));
        }
        inner += run;
      }
      body += "<w:p>" + inner + "</w:p>";
    }
    auto doc = qftest::makeDoc(body);
    const std::vector<std::string> before = account(mainRoot(*doc));
    const std::vector<std::string> reader = seen(*doc);
    const int runs = count(mainRoot(*doc), "w:r");
    word::internal::Access::package(*doc).markDirty("word/document.xml");
    auto back = reopen(doc->saveToString());
    ASSERT_EQ(account(mainRoot(*back)), before);
    ASSERT_EQ(seen(*back), reader);
    merged += runs - count(mainRoot(*back), "w:r");
  }
  EXPECT_GT(merged, 200); // the cases did merge
}

// A part that did not change is written as it was read, its runs as they were.
TEST(MergeRunsOnSave, UnchangedPartsKeepTheirBytes) {
  auto pkg = qftest::makePackage("<w:p>" + r(B, plain("甲")) + r(B, plain("乙")) + "</w:p>");
  const std::string original = pkg->bytes("word/document.xml");
  auto doc = word::Document::fromPackage(std::move(pkg), "in.docx");
  (void)doc->paragraphs().count();
  auto back = word::Package::openMemory(doc->saveToString(), "out.docx");
  EXPECT_EQ(back->bytes("word/document.xml"), original);
}

// After a save merged runs, later edits land in the merged runs and a second save keeps them.
TEST(MergeRunsOnSave, EditsAfterASaveAreKept) {
  auto doc = qftest::makeDoc("<w:p>" + r(B, plain("甲乙")) + r(B, plain("丙丁")) + "</w:p>");
  word::internal::Access::package(*doc).markDirty("word/document.xml");
  (void)doc->saveToString();
  doc->range(1, 3).setText("一二");
  auto back = reopen(doc->saveToString());
  EXPECT_EQ(back->paragraphs().item(1).range().text(), "甲一二丁\r");
  EXPECT_EQ(count(mainRoot(*back), "w:r"), 1);
}

// The documents of the corpus, every story part changed and saved: the same characters with the
// same formatting in the same places, and the same paragraphs read back.
TEST(MergeRunsOnSave, CorpusDocumentsKeepTextAndFormatting) {
  const fs::path dir = fs::path(QF_CORPUS_DIR) / "word";
  if (!fs::is_directory(dir))
    GTEST_SKIP() << "no corpus at " << dir;
  int documents = 0, runsBefore = 0, runsAfter = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() != ".docx")
      continue;
    SCOPED_TRACE(entry.path().filename().string());
    auto doc = word::Document::openPackage(entry.path().string());
    word::Package& pkg = word::internal::Access::package(*doc);
    std::vector<std::pair<std::string, std::vector<std::string>>> parts;
    for (const std::string& name : pkg.names()) {
      if (name.rfind("word/", 0) != 0 || name.find('/', 5) != std::string::npos ||
          !name.ends_with(".xml"))
        continue;
      pugi::xml_node root = pkg.xml(name)->document_element();
      const std::string kind = root.name();
      if (kind != "w:document" && kind != "w:hdr" && kind != "w:ftr" && kind != "w:footnotes" &&
          kind != "w:endnotes" && kind != "w:comments")
        continue;
      parts.emplace_back(name, account(root));
      runsBefore += count(root, "w:r");
      pkg.markDirty(name);
    }
    const std::vector<std::string> reader = seen(*doc);
    auto back = reopen(doc->saveToString());
    word::Package& written = word::internal::Access::package(*back);
    for (const auto& [name, before] : parts) {
      SCOPED_TRACE(name);
      pugi::xml_node root = written.xml(name)->document_element();
      EXPECT_EQ(account(root), before);
      runsAfter += count(root, "w:r");
    }
    EXPECT_EQ(seen(*back), reader);
    ++documents;
  }
  EXPECT_GT(documents, 10);
  EXPECT_LE(runsAfter, runsBefore);
  RecordProperty("runs_before", runsBefore);
  RecordProperty("runs_after", runsAfter);
}

} // namespace
