// PDFs through LibreOffice with our fonts: the face class each official name gets, the notice
// about stand-ins, `quillfold render`, `typeset --pdf` and the preview cache.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>

#include "app/render/render.h"
#include "render_fixtures.h"
#include "tests/cli/cli_helpers.h"
#include "word/convert.h"
#include "word/fonts.h"

namespace {

namespace fs = std::filesystem;
using clitest::quote;
using rendertest::Para;

// The base font names of a PDF as pdffonts lists them ("ABCDEF+" subset prefixes removed).
std::vector<std::string> pdfFonts(const fs::path& pdf) {
  std::vector<std::string> names;
  FILE* pipe = ::popen(("pdffonts " + quote(pdf.string()) + " 2>/dev/null").c_str(), "r");
  if (!pipe)
    return names;
  char line[512];
  int row = 0;
  while (std::fgets(line, sizeof line, pipe)) {
    if (++row <= 2)
      continue; // the heading and its rule
    std::string name = line;
    name = name.substr(0, name.find(' '));
    if (auto plus = name.find('+'); plus != std::string::npos)
      name.erase(0, plus + 1);
    if (!name.empty())
      names.push_back(name);
  }
  ::pclose(pipe);
  return names;
}

std::string joined(const std::vector<std::string>& names) {
  std::string s;
  for (const auto& n : names)
    s += n + " ";
  return s;
}

bool isSerifCjk(const std::string& f) {
  return std::regex_search(f, std::regex("Serif.*CJK|CJK.*Serif|Song|Ming", std::regex::icase));
}
bool isSansCjk(const std::string& f) {
  return std::regex_search(f, std::regex("Sans.*CJK|CJK.*Sans|Hei", std::regex::icase)) &&
         !isSerifCjk(f);
}
bool isKai(const std::string& f) {
  return std::regex_search(f, std::regex("Kai", std::regex::icase));
}

// ---- the class of face for each official name, in a typeset output ------------------------

TEST(PdfFonts, TypesetOutputsUseAFaceOfTheRightClassForEachOfficialName) {
  clitest::Folder dir;
  fs::create_directories(dir / "in");
  struct Case {
    const char* file;
    const char* font;
    bool (*fits)(const std::string&);
    const char* kind;
  };
  const Case cases[] = {
      {"fangsong.docx", "仿宋_GB2312", isSerifCjk, "serif CJK"},
      {"song.docx", "宋体", isSerifCjk, "serif CJK"},
      {"xiaobiaosong.docx", "方正小标宋简体", isSerifCjk, "serif CJK"},
      {"hei.docx", "黑体", isSansCjk, "sans CJK"},
      {"kai.docx", "楷体", isKai, "Kai"},
      {"kai2312.docx", "楷体_GB2312", isKai, "Kai"},
  };
  std::string files;
  for (const auto& c : cases) {
    rendertest::writeDocx(dir / "in" / c.file, {{"关于做好安全生产工作的通知", c.font},
                                                {"各区县人民政府，市政府各部门：", c.font}});
    files += " " + quote((dir / "in" / c.file).string());
  }
  // "page" keeps every run's font; the PDFs come from the outputs.
  auto r = clitest::runTool("typeset" + files + " --mode page --pdf --out " +
                                quote((dir / "out").string()) + " --settings " +
                                quote((dir / "setup.ini").string()),
                            dir.path());
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  for (const auto& c : cases) {
    const fs::path pdf = dir / "out" / (fs::path(c.file).stem().string() + ".pdf");
    ASSERT_TRUE(fs::exists(pdf)) << c.file << "\n" << r.out << r.err;
    const auto fonts = pdfFonts(pdf);
    ASSERT_FALSE(fonts.empty()) << c.file;
    for (const auto& f : fonts)
      EXPECT_TRUE(c.fits(f)) << c.font << " was drawn with " << f << ", not a " << c.kind
                             << " face (all: " << joined(fonts) << ")";
  }
  // The heavy weight stands in for the title Song.
  EXPECT_NE(joined(pdfFonts(dir / "out" / "xiaobiaosong.pdf")).find("Bold"), std::string::npos);
}

// ---- typeset --pdf and render, with broken input ------------------------------------------

TEST(PdfCommands, TypesetPdfWritesOneBesideEachOutputAndReportsAFailedDocument) {
  clitest::Folder dir;
  fs::create_directories(dir / "in");
  rendertest::writeDocx(dir / "in" / "通知.docx", {{"通知正文", "宋体"}});
  clitest::writeFile(dir / "in" / "坏.docx", std::string("PK\x03\x04") + " not a package");
  auto r = clitest::runTool(
      "typeset --dir " + quote((dir / "in").string()) + " --ext docx --mode page --pdf --out " +
          quote((dir / "out").string()) + " --settings " + quote((dir / "setup.ini").string()),
      dir.path());
  EXPECT_EQ(r.status, 2) << r.out << r.err; // the broken document failed
  EXPECT_TRUE(fs::exists(dir / "out" / "通知.pdf")) << r.out << r.err;
  EXPECT_FALSE(fs::exists(dir / "out" / "坏.pdf"));
  EXPECT_NE(r.out.find("已生成 PDF："), std::string::npos) << r.out;
  // The batch is told once which faces stand in for the fonts it uses.
  const std::string notice = "以 Noto Serif CJK SC 代替";
  auto first = r.out.find(notice);
  if (word::matchFonts({"宋体"}).at(0).installed)
    GTEST_SKIP() << "宋体 is installed here";
  ASSERT_NE(first, std::string::npos) << r.out;
  EXPECT_EQ(r.out.find(notice, first + 1), std::string::npos) << r.out;
}

TEST(PdfCommands, RenderGoesOnPastABrokenAndAMissingInput) {
  clitest::Folder dir;
  rendertest::writePagedDocx(dir / "a.docx", 2);
  rendertest::writeDocx(dir / "b.docx", {{"第二份", "黑体"}});
  clitest::writeFile(dir / "broken.doc", std::string("\0\1\2garbage\0", 11));
  auto r = clitest::runTool(
      "render " + quote((dir / "a.docx").string()) + " " + quote((dir / "broken.doc").string()) +
          " " + quote((dir / "missing.docx").string()) + " " + quote((dir / "b.docx").string()) +
          " --out " + quote((dir / "pdf").string()),
      dir.path());
  EXPECT_EQ(r.status, 2) << r.out << r.err;
  EXPECT_TRUE(fs::exists(dir / "pdf" / "a.pdf"));
  EXPECT_TRUE(fs::exists(dir / "pdf" / "b.pdf"));
  EXPECT_FALSE(fs::exists(dir / "pdf" / "broken.pdf"));
  EXPECT_NE(r.err.find("无法生成 PDF：" + (dir / "broken.doc").string()), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("missing.docx"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("共 4 个文档：生成 PDF 2 个，失败 2 个"), std::string::npos) << r.out;

  auto fonts = clitest::runTool("fonts", dir.path());
  EXPECT_EQ(fonts.status, 0);
  for (const auto& name : word::officialFontNames())
    EXPECT_NE(fonts.out.find(name), std::string::npos) << name;
}

// ---- fontconfig: what stands in, and a real face of the name wins ---------------------------

TEST(Fonts, AFaceInstalledUnderTheOfficialNameWinsOverTheStandIn) {
  clitest::Folder dir;
  fs::create_directories(dir / "fonts");
  // Any installed TrueType face, renamed at scan time to the official name, plays a licensed
  // 仿宋_GB2312 the user put into a font folder.
  const auto kai = word::matchFonts({"楷体"}).at(0);
  ASSERT_FALSE(kai.file.empty());
  fs::copy_file(kai.file, dir / "fonts" / fs::path(kai.file).filename());
  const std::string conf = (dir / "fonts.conf").string();
  clitest::writeFile(conf, "<?xml version=\"1.0\"?><fontconfig>"
                           "<include ignore_missing=\"yes\">/etc/fonts/fonts.conf</include>"
                           "<dir>" +
                               (dir / "fonts").string() +
                               "</dir>"
                               "<cachedir>" +
                               (dir / "cache").string() +
                               "</cachedir>"
                               "<match target=\"scan\"><test name=\"file\" compare=\"contains\">"
                               "<string>" +
                               (dir / "fonts").string() +
                               "</string></test>"
                               "<edit name=\"family\" mode=\"assign\" binding=\"same\">"
                               "<string>仿宋_GB2312</string></edit></match></fontconfig>");
  const char* old = std::getenv("FONTCONFIG_FILE");
  const std::string saved = old ? old : "";
  ::setenv("FONTCONFIG_FILE", conf.c_str(), 1);
  const auto matches = word::matchFonts({"仿宋_GB2312", "黑体"});
  const std::string notice = word::standInNotice({"仿宋_GB2312", "黑体", "Calibri"});
  if (old)
    ::setenv("FONTCONFIG_FILE", saved.c_str(), 1);
  else
    ::unsetenv("FONTCONFIG_FILE");

  EXPECT_TRUE(matches[0].installed);
  EXPECT_EQ(matches[0].family, "仿宋_GB2312");
  EXPECT_EQ(fs::path(matches[0].file).parent_path(), dir / "fonts");
  EXPECT_FALSE(matches[1].installed);
  EXPECT_EQ(matches[1].family, "Noto Sans CJK SC");
  EXPECT_NE(notice.find("黑体（以 Noto Sans CJK SC 代替）"), std::string::npos) << notice;
  EXPECT_EQ(notice.find("仿宋_GB2312"), std::string::npos) << notice;
  EXPECT_EQ(notice.find("Calibri"), std::string::npos) << notice;
}

TEST(Fonts, UsedNamesComeFromBodyAndHeaderAndNoticeIsEmptyWithoutOfficialNames) {
  clitest::Folder dir;
  rendertest::writeDocx(dir / "a.docx", {{"正文", "仿宋_GB2312"}, {"Text", "Arial"}}, "楷体");
  auto pkg = word::Package::open((dir / "a.docx").string());
  EXPECT_EQ(word::fontsUsedIn(*pkg), (std::set<std::string>{"Arial", "仿宋_GB2312", "楷体"}));
  EXPECT_EQ(word::standInNotice({"Arial", "Calibri"}), "");
  EXPECT_EQ(word::standInNotice({}), "");
}

// ---- PDF names and the preview cache ------------------------------------------------------

TEST(PdfNames, TwoInputsOfOneStemKeepTheirExtensions) {
  auto jobs = app::render::pdfJobsFor({"/x/a.doc", "/y/a.docx", "/x/b.docx"}, "/out");
  ASSERT_EQ(jobs.size(), 3u);
  EXPECT_EQ(jobs[0].pdf, "/out/a.doc.pdf");
  EXPECT_EQ(jobs[1].pdf, "/out/a.docx.pdf");
  EXPECT_EQ(jobs[2].pdf, "/out/b.pdf");
}

TEST(PreviewCache, ASecondLookRendersNothingAndAChangedFileIsRenderedAgain) {
  clitest::Folder dir;
  const fs::path doc = dir / "a.docx";
  rendertest::writePagedDocx(doc, 1);
  const std::string cache = (dir / "cache").string();
  auto first = app::render::cachedPdfs({doc.string()}, cache);
  ASSERT_TRUE(first.at(0).ok) << first[0].error;
  EXPECT_FALSE(first[0].fromCache);
  const unsigned launches = word::sofficeLaunchCount();
  auto second = app::render::cachedPdfs({doc.string()}, cache);
  EXPECT_TRUE(second.at(0).ok && second[0].fromCache);
  EXPECT_EQ(second[0].pdf, first[0].pdf);
  EXPECT_EQ(word::sofficeLaunchCount(), launches);

  rendertest::writePagedDocx(doc, 2);
  fs::last_write_time(doc, fs::last_write_time(doc) + std::chrono::seconds(5));
  auto third = app::render::cachedPdfs({doc.string(), (dir / "none.docx").string()}, cache);
  EXPECT_TRUE(third.at(0).ok);
  EXPECT_FALSE(third[0].fromCache);
  EXPECT_NE(third[0].pdf, first[0].pdf);
  EXPECT_FALSE(third.at(1).ok);
  EXPECT_FALSE(third[1].error.empty());
}

} // namespace
