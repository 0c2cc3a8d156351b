// Page setup: orientation, margins, gutter, header and footer distances, no document grid,
// one header and footer for all pages, and the paper size last, by explicit width and height.
// Every section of the document gets the same settings, so a document with section breaks
// does not come out with mixed paper sizes.

#include <fmt/format.h>

#include "base/messages.h"
#include "engine/clsdoc.h"
#include "word/pagesetup.h"

namespace engine {

namespace {

// Short and long side in centimetres of the paper sizes offered by the settings' list.
struct Paper {
  const char* setting;
  float shortSide, longSide;
};
constexpr Paper kPapers[] = {{"0", 21.0f, 29.7f}, {"1", 17.6f, 25.0f}, {"2", 29.7f, 42.0f}};

} // namespace

void clsDoc::setupPage() {
  auto points = [&](const char* setting) {
    return word::Application::centimetersToPoints(number(setting));
  };
  word::PageSetup page = ActiveDocument().pageSetup();
  // A continuous break into a section of another paper size or orientation starts a new page;
  // once every section has the same paper it would not. Such breaks become next-page breaks,
  // so the pages stay as they were (and LibreOffice keeps the section's own header and footer,
  // which it drops at a continuous break).
  std::vector<word::PageSetup> newPage;
  {
    const std::vector<word::PageSetup> sections = page.eachSection();
    for (size_t i = 1; i < sections.size(); ++i) {
      const word::PageSetup &before = sections[i - 1], &here = sections[i];
      if (here.sectionStart() == word::wdSectionContinuous &&
          (before.pageWidth() != here.pageWidth() || before.pageHeight() != here.pageHeight() ||
           before.orientation() != here.orientation()))
        newPage.push_back(here);
    }
  }

  bool portrait = property("页方向") == "0";
  page.setOrientation(portrait ? word::wdOrientPortrait : word::wdOrientLandscape);

  // Margins that leave no room for text are refused before any of them is set: Word refuses
  // them too, and a page without a text area cannot be typeset.
  float width = 0, height = 0;
  const std::string& size = property("纸张大小");
  const Paper* paper = nullptr;
  for (const Paper& p : kPapers)
    if (size == p.setting)
      paper = &p;
  if (paper) {
    width = word::Application::centimetersToPoints(portrait ? paper->shortSide : paper->longSide);
    height = word::Application::centimetersToPoints(portrait ? paper->longSide : paper->shortSide);
  } else {
    width = page.pageWidth();
    height = page.pageHeight();
  }
  const bool gutterTop = property("装订线位置") != "0" && property("装订线位置") != "1";
  auto cm = [](float pts) { return fmt::format("{:.2f}", pts * 2.54f / 72.0f); };
  const float top = points("上边距"), bottom = points("下边距"), left = points("左边距"),
              right = points("右边距"), gutter = points("装订线");
  const std::string gutterText = gutter > 0 ? msg::text(msg::kWithGutter, cm(gutter)) : "";
  if (top + bottom + (gutterTop ? gutter : 0.0f) >= height)
    throw StepError(msg::text(msg::kMarginsExceedPageHeight, cm(top), cm(bottom),
                              gutterTop ? gutterText : "", cm(height)));
  if (left + right + (gutterTop ? 0.0f : gutter) >= width)
    throw StepError(msg::text(msg::kMarginsExceedPageWidth, cm(left), cm(right),
                              gutterTop ? "" : gutterText, cm(width)));

  page.setTopMargin(points("上边距"));
  page.setBottomMargin(points("下边距"));
  page.setLeftMargin(points("左边距"));
  page.setRightMargin(points("右边距"));
  page.setGutter(points("装订线"));
  page.setHeaderDistance(points("页眉边距"));
  page.setFooterDistance(points("页脚边距"));

  const std::string& gutterPos = property("装订线位置");
  page.setGutterPos(gutterPos == "0"   ? word::wdGutterPosLeft
                    : gutterPos == "1" ? word::wdGutterPosRight
                                       : word::wdGutterPosTop);

  page.setLayoutMode(word::wdLayoutModeDefault);
  // One header and one footer for all pages: the header step relies on it.
  page.setOddAndEvenPagesHeaderFooter(false);
  page.setDifferentFirstPageHeaderFooter(false);

  for (word::PageSetup& section : newPage)
    section.setSectionStart(word::wdSectionNewPage);

  // Explicit sizes (B5 is ISO B5, 17.6 x 25 cm); a size not in the list keeps the paper.
  for (const Paper& p : kPapers) {
    if (size != p.setting)
      continue;
    float shortSide = word::Application::centimetersToPoints(p.shortSide);
    float longSide = word::Application::centimetersToPoints(p.longSide);
    if (portrait) {
      page.setPageWidth(shortSide);
      page.setPageHeight(longSide);
    } else {
      page.setPageHeight(shortSide);
      page.setPageWidth(longSide);
    }
  }
}

} // namespace engine
