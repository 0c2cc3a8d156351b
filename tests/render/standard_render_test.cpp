// The standard run's output as LibreOffice draws it, measured in the PDF with poppler
// (`pdftotext -bbox`): where the text block lies, 22 lines a page, 28 characters a line, the
// page numbers "— N —" right on odd pages and left on even ones, and the sizes of title and
// body. The notice is made here: a title on two lines, the addressee, four pages of body text
// with headings, an attachment note, the signature and the date.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <numeric>
#include <regex>
#include <sstream>

#include "app/render/render.h"
#include "base/utf8.h"
#include "render_fixtures.h"
#include "tests/cli/cli_helpers.h"

namespace {

namespace fs = std::filesystem;
using clitest::quote;

constexpr double kPointsPerMm = 72.0 / 25.4;
// What the standard asks (millimetres and points).
constexpr double kTopMm = 37, kLeftMm = 28, kRightMm = 26, kBlockHeightMm = 225;
constexpr double kTitlePt = 22, kBodyPt = 16, kPageNumberPt = 14;

// ---- the notice ---------------------------------------------------------------------------

// Sentences of Chinese text without digits or Latin letters, so that every character of a line
// takes one cell of the grid.
const char* const kSentences[] = {
    "各地各部门要牢固树立安全发展理念，始终把人民群众生命安全放在第一位。",
    "要层层压实责任，把各项防范措施落实到每一个岗位、每一个环节。",
    "对排查发现的问题隐患，要建立清单，明确整改措施、责任单位和完成时限。",
    "各级领导干部要深入基层一线，加强督促检查，及时协调解决突出问题。",
    "要加强值班值守，严格执行领导带班和关键岗位值班制度，确保信息畅通。",
    "对工作不力、措施不实造成严重后果的，要依法依规严肃追究有关人员责任。",
    "要强化宣传教育，普及安全知识，不断提升全社会的安全意识和自救互救能力。",
};

std::string bodyParagraph(int n) {
  std::string text;
  for (int i = 0; i < 4; ++i)
    text += kSentences[(n + i) % std::size(kSentences)];
  return text;
}

std::vector<rendertest::Para> noticeParagraphs() {
  std::vector<rendertest::Para> p = {{"关于进一步加强安全生产工作", "宋体"},
                                     {"切实防范重大事故发生的通知", "宋体"},
                                     {"各区县人民政府，市政府各部门:", "宋体"}};
  const char* headings[] = {"一、提高思想认识", "二、落实工作责任", "三、强化督促检查"};
  int n = 0;
  for (const char* heading : headings) {
    p.push_back({heading, "宋体"});
    for (int i = 0; i < 4; ++i)
      p.push_back({bodyParagraph(n++), "宋体"});
  }
  for (const char* tail :
       {"", "附件:安全生产重点工作任务分解表", "", "某某市人民政府办公室", "2024年03月05日"})
    p.push_back({tail, "宋体"});
  return p;
}

// ---- the PDF as poppler measures it -------------------------------------------------------

struct Word {
  double xMin, yMin, xMax, yMax;
  std::u32string text;
};

struct Line {
  std::vector<Word> words;
  double xMin() const { return words.front().xMin; }
  double xMax() const { return words.back().xMax; }
  double yMax() const { return words.front().yMax; }
  double height() const { return words.front().yMax - words.front().yMin; }
  std::u32string text() const {
    std::u32string t;
    for (const Word& w : words)
      t += w.text;
    return t;
  }
};

struct Page {
  double width = 0, height = 0;
  std::vector<Line> lines; // top to bottom, words left to right
};

// The words of `pdf`, page by page, gathered into lines (words whose boxes overlap vertically).
std::vector<Page> measure(const fs::path& pdf) {
  std::vector<Page> pages;
  FILE* pipe = ::popen(("pdftotext -bbox " + quote(pdf.string()) + " - 2>/dev/null").c_str(), "r");
  if (!pipe)
    return pages;
  std::string xml;
  char buffer[4096];
  while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
    xml.append(buffer, n);
  ::pclose(pipe);
  static const std::regex page(R"re(<page width="([0-9.]+)" height="([0-9.]+)">)re");
  static const std::regex word(
      R"re(<word xMin="([0-9.]+)" yMin="([0-9.]+)" xMax="([0-9.]+)" yMax="([0-9.]+)">([^<]*)</word>)re");
  std::istringstream in(xml);
  std::vector<std::vector<Word>> words;
  for (std::string line; std::getline(in, line);) {
    std::smatch m;
    if (std::regex_search(line, m, page)) {
      pages.push_back({std::stod(m[1]), std::stod(m[2]), {}});
      words.emplace_back();
    } else if (std::regex_search(line, m, word) && !pages.empty()) {
      words.back().push_back({std::stod(m[1]), std::stod(m[2]), std::stod(m[3]), std::stod(m[4]),
                              base::toU32(m[5].str())});
    }
  }
  for (size_t i = 0; i < pages.size(); ++i) {
    auto& list = words[i];
    std::stable_sort(list.begin(), list.end(),
                     [](const Word& a, const Word& b) { return a.yMax < b.yMax; });
    for (const Word& w : list) {
      auto& lines = pages[i].lines;
      if (lines.empty() || w.yMin >= lines.back().words.front().yMax - 1)
        lines.push_back({{w}});
      else
        lines.back().words.push_back(w);
    }
    for (Line& l : pages[i].lines)
      std::sort(l.words.begin(), l.words.end(),
                [](const Word& a, const Word& b) { return a.xMin < b.xMin; });
  }
  return pages;
}

// The stops LibreOffice (as Word) lets hang past the right edge instead of carrying the last
// character over with them.
bool isHangingStop(char32_t c) {
  return c == U'。' || c == U'、' || c == U'，';
}

double mm(double points) {
  return points / kPointsPerMm;
}

// ---- the test -----------------------------------------------------------------------------

TEST(StandardRender, TheOutputMeasuresAsTheStandardAsks) {
  clitest::Folder dir;
  fs::create_directories(dir / "in");
  rendertest::writeDocx(dir / "in" / "通知.docx", noticeParagraphs());
  auto r = clitest::runTool("typeset " + quote((dir / "in" / "通知.docx").string()) +
                                " --mode standard --out " + quote((dir / "out").string()) +
                                " --settings " + quote((dir / "setup.ini").string()),
                            dir.path());
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  auto jobs = app::render::pdfJobsFor({(dir / "out" / "通知.docx").string()}, dir / "pdf");
  fs::create_directories(dir / "pdf");
  app::render::renderPdfs(jobs);
  ASSERT_TRUE(jobs.at(0).ok) << jobs[0].error;
  const std::vector<Page> pages = measure(jobs[0].pdf);
  ASSERT_GE(pages.size(), 4u) << "pdftotext (poppler-utils) found no pages in " << jobs[0].pdf;

  const double blockLeft = kLeftMm * kPointsPerMm;
  const double blockRight = pages[0].width - kRightMm * kPointsPerMm;
  const double blockBottom = (kTopMm + kBlockHeightMm) * kPointsPerMm;
  const double tolerance = 1.0 * kPointsPerMm; // 1 mm
  std::ostringstream figures;

  // The text lines of each page, and the page number line below the block.
  std::vector<std::vector<Line>> text(pages.size());
  std::vector<Line> footers(pages.size());
  for (size_t i = 0; i < pages.size(); ++i) {
    for (const Line& l : pages[i].lines) {
      if (l.words.front().yMin > blockBottom) {
        footers[i] = l;
        continue;
      }
      text[i].push_back(l);
    }
    ASSERT_FALSE(text[i].empty()) << "page " << i + 1;
  }

  // The line pitch, from the body pages (every page but the first and the last).
  std::vector<double> steps;
  for (size_t i = 1; i + 1 < pages.size(); ++i)
    for (size_t k = 1; k < text[i].size(); ++k)
      steps.push_back(text[i][k].yMax() - text[i][k - 1].yMax());
  ASSERT_FALSE(steps.empty());
  const double pitch = std::accumulate(steps.begin(), steps.end(), 0.0) / steps.size();
  for (double s : steps)
    EXPECT_NEAR(s, pitch, 0.5) << "the lines are not evenly spaced";
  figures << "line pitch " << pitch << " pt (" << mm(pitch) << " mm)\n";

  // 22 lines on every full page, the block's top at 37 mm and its bottom 225 mm lower. A line's
  // glyph box ends where its grid line ends, so the block begins one pitch above the first
  // line's box end.
  for (size_t i = 1; i + 1 < pages.size(); ++i) {
    EXPECT_EQ(text[i].size(), 22u) << "page " << i + 1;
    const double top = text[i].front().yMax() - pitch;
    EXPECT_NEAR(mm(top), kTopMm, 1.0) << "page " << i + 1;
    EXPECT_NEAR(mm(text[i].back().yMax()), kTopMm + kBlockHeightMm, 1.0) << "page " << i + 1;
    figures << "page " << i + 1 << ": " << text[i].size() << " lines, block top " << mm(top)
            << " mm (first glyph top " << mm(text[i].front().words.front().yMin)
            << " mm), last line ends " << mm(text[i].back().yMax()) << " mm\n";
  }
  // The first page (title, blank line, addressee, body) fills its 22 grid lines too.
  {
    const double top = text[1].front().yMax() - pitch;
    const long lastSlot = std::lround((text[0].back().yMax() - top) / pitch);
    EXPECT_EQ(lastSlot, 22) << "page 1 ends on grid line " << lastSlot;
  }

  // Body lines: a paragraph's first line is two characters in, the others at the block's left
  // edge; a line between them holds 28 characters (29 when a 。, 、 or ， hangs past the edge).
  double left = 1e9, right = 0;
  int fullLines = 0, hanging = 0;
  std::vector<const Line*> flow; // the body pages' lines in reading order
  for (size_t i = 1; i + 1 < pages.size(); ++i)
    for (const Line& l : text[i])
      flow.push_back(&l);
  auto continuation = [&](const Line& l) { return std::fabs(l.xMin() - blockLeft) < 2 * kBodyPt; };
  for (size_t k = 1; k + 1 < flow.size(); ++k) {
    const Line& l = *flow[k];
    if (!continuation(l))
      continue;
    left = std::min(left, l.xMin());
    if (!continuation(*flow[k + 1]))
      continue; // a paragraph's last line
    const std::u32string t = l.text();
    ++fullLines;
    if (t.size() == 29 && isHangingStop(t.back())) {
      ++hanging;
      continue;
    }
    EXPECT_EQ(t.size(), 28u) << base::toUtf8(t);
    EXPECT_NEAR(l.xMax(), blockRight, tolerance) << base::toUtf8(t);
    right = std::max(right, l.xMax());
  }
  ASSERT_GT(fullLines, 20);
  EXPECT_NEAR(mm(left), kLeftMm, 1.0);
  figures << fullLines << " full lines of 28 characters (" << hanging
          << " with a hanging stop); left edge " << mm(left) << " mm, right edge " << mm(right)
          << " mm (block " << mm(blockRight) << " mm)\n";

  double dashBox = 0;
  // Page numbers: "— N —" with em dashes, one character in from the right edge on odd pages
  // and from the left edge on even pages.
  for (size_t i = 0; i < pages.size(); ++i) {
    const Line& f = footers[i];
    ASSERT_FALSE(f.words.empty()) << "page " << i + 1 << " has no page number";
    const std::u32string expected = U"—" + base::toU32(std::to_string(i + 1)) + U"—";
    EXPECT_EQ(base::toUtf8(f.text()), base::toUtf8(expected)) << "page " << i + 1;
    EXPECT_EQ(f.words.size(), 3u) << "the dashes stand apart from the number";
    const bool odd = (i + 1) % 2 == 1;
    const double gap = odd ? blockRight - f.xMax() : f.xMin() - blockLeft;
    EXPECT_NEAR(gap, kPageNumberPt, tolerance) << "page " << i + 1 << (odd ? " right" : " left");
    dashBox = f.words.front().yMax - f.words.front().yMin;
    figures << "page " << i + 1 << " number " << (odd ? "right" : "left") << ", " << mm(gap)
            << " mm in from the block's edge\n";
  }

  // Sizes. The title has no character spacing, so a character's advance is its size; the
  // glyph boxes of the CJK faces stand in one proportion to the size, which the title gives.
  const Line& title = text[0].front();
  const std::u32string titleText = title.text();
  ASSERT_EQ(title.words.size(), 1u) << base::toUtf8(titleText);
  const double titleSize = (title.xMax() - title.xMin()) / static_cast<double>(titleText.size());
  EXPECT_NEAR(titleSize, kTitlePt, 0.3) << base::toUtf8(titleText);
  const double box = title.height() / titleSize;
  EXPECT_GT(box, 1.0);
  EXPECT_LT(box, 1.6);
  std::map<long, int> bodyHeights; // glyph box height in 1/10 pt → lines
  for (const Line* l : flow)
    ++bodyHeights[std::lround(l->height() * 10)];
  for (const auto& [height, count] : bodyHeights)
    EXPECT_NEAR(height / 10.0 / box, kBodyPt, 0.3) << count << " lines";
  const double bodySize = flow.front()->height() / box;
  EXPECT_NEAR(dashBox / box, kPageNumberPt, 0.3) << "the page number's dashes";
  figures << "title " << titleSize << " pt (advance), box/size " << box << "; body " << bodySize
          << " pt (box " << flow.front()->height() << " pt); page number " << dashBox / box
          << " pt\n";
  std::cout << figures.str();
  RecordProperty("figures", figures.str());
}

} // namespace
