// Watermark and header rule: a text (WordArt) or picture watermark floating in the page header,
// centred between the margins in front of the text so that it shows on every page, or no
// watermark; then a 0.75 pt rule under a used header and none under an unused one.
//
// Watermarks are known by their shape names: Quillfold names its shapes as Word names its own
// watermarks ("PowerPlusWaterMarkObject…" for text, "WordPictureWatermark…" for pictures). A new
// watermark replaces the ones of the header instead of stacking a second copy when a document
// is typeset again, "no watermark" removes exactly those, and other header shapes (a logo)
// stay. Word's watermark command recognises ours the same way.

#include <cstdint>
#include <optional>
#include <string>

#include "base/messages.h"
#include "engine/clsdoc.h"
#include "engine/seek_story.h"
#include "word/borders.h"
#include "word/sections.h"
#include "word/shapes.h"
#include "word/view.h"

namespace engine {

namespace {

constexpr const char* kTextWatermark = "PowerPlusWaterMarkObject";
constexpr const char* kPictureWatermark = "WordPictureWatermark";

bool isWatermark(const std::string& name) {
  return name.rfind(kTextWatermark, 0) == 0 || name.rfind(kPictureWatermark, 0) == 0;
}

// Removes the watermarks of the header the selection is in.
void removeWatermarks(word::Selection& selection) {
  for (word::Shape& shape : selection.headerFooter().shapes().all())
    if (isWatermark(shape.name()))
      shape.deleteShape();
}

// The layout both watermark shapes share: centred on the margins, in front of the text, with
// no wrapping.
void placeWatermark(word::ShapeRange shape) {
  shape.setRelativeHorizontalPosition(word::wdRelativeHorizontalPositionMargin);
  shape.setRelativeVerticalPosition(word::wdRelativeVerticalPositionMargin);
  shape.setLeft(word::wdShapeCenter);
  shape.setTop(word::wdShapeCenter);
  shape.setLockAnchor(false);
  shape.setLayoutInCell(true);
  word::WrapFormat wrap = shape.wrapFormat();
  wrap.setAllowOverlap(true);
  wrap.setSide(word::wdWrapLargest);
  wrap.setDistanceTop(word::Application::centimetersToPoints(0.0f));
  wrap.setDistanceBottom(word::Application::centimetersToPoints(0.0f));
  wrap.setDistanceLeft(word::Application::centimetersToPoints(0.32f));
  wrap.setDistanceRight(word::Application::centimetersToPoints(0.32f));
  wrap.setType(word::wdWrapNone);
  shape.zOrder(word::msoBringInFrontOfText);
}

// No outline: the same for both shapes.
void noOutline(word::LineFormat line) {
  line.setWeight(0.75f);
  line.setDashStyle(word::msoLineSolid);
  line.setStyle(word::msoLineSingle);
  line.setTransparency(0.0f);
  line.setVisible(word::msoFalse);
}

// The rule under the header text, on the paragraphs of the selection (in the header): a single
// 0.75 pt line in the automatic colour when the header is used, no border otherwise.
void drawHeaderRule(word::Selection& selection, bool headerUsed) {
  word::Borders borders = selection.paragraphFormat().borders();
  borders.item(word::wdBorderLeft).setLineStyle(word::wdLineStyleNone);
  borders.item(word::wdBorderRight).setLineStyle(word::wdLineStyleNone);
  borders.item(word::wdBorderTop).setLineStyle(word::wdLineStyleNone);
  word::Border bottom = borders.item(word::wdBorderBottom);
  if (headerUsed) {
    bottom.setLineStyle(word::wdLineStyleSingle);
    bottom.setLineWidth(word::wdLineWidth075pt);
    bottom.setColor(word::wdColorAutomatic);
  } else {
    bottom.setLineStyle(word::wdLineStyleNone);
  }
}

} // namespace

void clsDoc::applyWatermark() {
  const Settings& s = settings();
  const Watermark kind = s.watermark();
  if (kind != Watermark::Unchanged) {
    word::Document& doc = ActiveDocument();
    seekStory(doc, word::wdSeekCurrentPageHeader);
    removeWatermarks(Selection());
    if (kind == Watermark::Text) {
      const std::string& text = s.watermarkText();
      if (text.empty())
        throw word::DocumentError(msg::kWatermarkTextEmpty);
      word::Shape shape = Selection().headerFooter().shapes().addTextEffect(
          word::msoTextEffect1, text, s.watermarkFont(), 96.0f, word::msoFalse, word::msoFalse,
          0.0f, 0.0f);
      shape.setName(std::string(kTextWatermark) + "1");
      shape.select();
      word::ShapeRange range = Selection().shapeRange();
      word::FillFormat fill = range.fill();
      fill.setVisible(word::msoTrue);
      fill.solid();
      if (std::optional<int32_t> rgb = s.watermarkColor())
        fill.foreColor().setRgb(*rgb);
      fill.setTransparency(0.5f);
      noOutline(range.line());
      range.setLockAspectRatio(word::msoTrue);
      range.setRotation(s.diagonalWatermark() ? 315.0f : 0.0f);
      placeWatermark(range);
      range.textEffect().setPresetShape(word::msoTextEffectShapePlainText);
      range.setWidth(word::Application::centimetersToPoints(18.0f));
    } else if (kind == Watermark::Picture) {
      const std::string& path = s.watermarkPicture();
      if (path.empty())
        throw word::DocumentError(msg::kWatermarkPictureEmpty);
      // The model names the picture file and what is wrong with it; the user chose that file
      // in the watermark settings, so the reason says where to choose another.
      word::Shape shape = [&] {
        try {
          return Selection().headerFooter().shapes().addPicture(path);
        } catch (const word::DocumentError& e) {
          throw word::DocumentError(msg::text(msg::kWatermarkPictureUnusable, e.reason()));
        }
      }();
      shape.setName(std::string(kPictureWatermark) + "1");
      shape.select();
      word::ShapeRange range = Selection().shapeRange();
      word::FillFormat fill = range.fill();
      fill.setVisible(word::msoFalse);
      fill.solid();
      fill.setTransparency(0.0f);
      noOutline(range.line());
      range.setLockAspectRatio(word::msoTrue);
      range.setRotation(0.0f);
      word::PictureFormat picture = range.pictureFormat();
      picture.setBrightness(0.75f);
      picture.setContrast(0.25f);
      picture.setCropLeft(0.0f);
      picture.setCropRight(0.0f);
      picture.setCropTop(0.0f);
      picture.setCropBottom(0.0f);
      placeWatermark(range);
    }
    drawHeaderRule(Selection(), s.useHeader());
    doc.activeWindow().activePane().view().setSeekView(word::wdSeekMainDocument);
  }
  Selection().homeKey(word::wdStory, word::wdExtend);
}

void clsDoc::applyHeaderRule() {
  word::Document& doc = ActiveDocument();
  seekStory(doc, word::wdSeekCurrentPageHeader);
  drawHeaderRule(Selection(), settings().useHeader());
  doc.activeWindow().activePane().view().setSeekView(word::wdSeekMainDocument);
}

} // namespace engine
