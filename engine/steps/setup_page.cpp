// Page setup: orientation, margins, gutter, header and footer distances, no document grid,
// one header and footer for all pages, and the paper size last, by explicit width and height.
// Every section of the document gets the same settings, so a document with section breaks
// does not come out with mixed paper sizes.

#include <optional>

#include <fmt/format.h>

#include "base/messages.h"
#include "engine/clsdoc.h"
#include "word/pagesetup.h"

namespace engine {

namespace {

// Short and long side in centimetres of the paper sizes offered by the settings' list.
struct Paper {
  PaperSize size;
  float shortSide, longSide;
};
constexpr Paper kPapers[] = {
    {PaperSize::A4, 21.0f, 29.7f}, {PaperSize::B5, 17.6f, 25.0f}, {PaperSize::A3, 29.7f, 42.0f}};

} // namespace

void clsDoc::setupPage() {
  const Settings& s = settings();
  auto points = [](float cm) { return word::Application::centimetersToPoints(cm); };
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

  const bool portrait = s.portrait();
  page.setOrientation(portrait ? word::wdOrientPortrait : word::wdOrientLandscape);

  // Margins that leave no room for text are refused before any of them is set: Word refuses
  // them too, and a page without a text area cannot be typeset.
  float width = 0, height = 0;
  const std::optional<PaperSize> size = s.paperSize();
  const Paper* paper = nullptr;
  for (const Paper& p : kPapers)
    if (size == p.size)
      paper = &p;
  if (paper) {
    width = word::Application::centimetersToPoints(portrait ? paper->shortSide : paper->longSide);
    height = word::Application::centimetersToPoints(portrait ? paper->longSide : paper->shortSide);
  } else {
    width = page.pageWidth();
    height = page.pageHeight();
  }
  const GutterPosition gutterPos = s.gutterPosition();
  const bool gutterTop = gutterPos == GutterPosition::Top;
  auto cm = [](float pts) { return fmt::format("{:.2f}", pts * 2.54f / 72.0f); };
  const float top = points(s.topMarginCm()), bottom = points(s.bottomMarginCm()),
              left = points(s.leftMarginCm()), right = points(s.rightMarginCm()),
              gutter = points(s.gutterCm());
  const std::string gutterText = gutter > 0 ? msg::text(msg::kWithGutter, cm(gutter)) : "";
  if (top + bottom + (gutterTop ? gutter : 0.0f) >= height)
    throw word::DocumentError(msg::text(msg::kMarginsExceedPageHeight, cm(top), cm(bottom),
                                        gutterTop ? gutterText : "", cm(height)));
  if (left + right + (gutterTop ? 0.0f : gutter) >= width)
    throw word::DocumentError(msg::text(msg::kMarginsExceedPageWidth, cm(left), cm(right),
                                        gutterTop ? "" : gutterText, cm(width)));

  page.setTopMargin(top);
  page.setBottomMargin(bottom);
  page.setLeftMargin(left);
  page.setRightMargin(right);
  page.setGutter(gutter);
  page.setHeaderDistance(points(s.headerDistanceCm()));
  page.setFooterDistance(points(s.footerDistanceCm()));

  page.setGutterPos(gutterPos == GutterPosition::Left    ? word::wdGutterPosLeft
                    : gutterPos == GutterPosition::Right ? word::wdGutterPosRight
                                                         : word::wdGutterPosTop);

  page.setLayoutMode(word::wdLayoutModeDefault);
  // One header and one footer for all pages: the header step relies on it.
  page.setOddAndEvenPagesHeaderFooter(false);
  page.setDifferentFirstPageHeaderFooter(false);

  for (word::PageSetup& section : newPage)
    section.setSectionStart(word::wdSectionNewPage);

  // Explicit sizes (B5 is ISO B5, 17.6 x 25 cm); a size not in the list keeps the paper.
  if (paper) {
    float shortSide = word::Application::centimetersToPoints(paper->shortSide);
    float longSide = word::Application::centimetersToPoints(paper->longSide);
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
