#pragma once
// Floating shapes of a story (Word's Shapes, Shape and ShapeRange with their Fill, Line,
// PictureFormat, WrapFormat and TextEffect), written the way Word writes them in headers:
// WordArt as VML (a w:pict run holding a v:shapetype and a v:shape whose style carries size,
// position and rotation), pictures as DrawingML (a w:drawing run holding a wp:anchor), because
// LibreOffice applies the brightness and contrast of a DrawingML picture but of a VML one only
// Word's single "washout" preset.
//
// A shape's anchor is one character ("\x01") of its paragraph. Shapes lists the floating
// shapes of a story: absolutely positioned VML shapes (w:pict) and DrawingML anchors
// (w:drawing/wp:anchor, also inside mc:AlternateContent). The formatting members read and write
// both kinds, except TextEffect, which is WordArt's (VML) alone. Reading a member of a
// ShapeRange reads its first shape.

#include <memory>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "word/document.h"

namespace word {

namespace internal {
struct Access;
}

// MsoTriState
inline constexpr int msoTrue = -1, msoFalse = 0;
// MsoPresetTextEffect: msoTextEffect1 … msoTextEffect30 (0 … 29)
inline constexpr int msoTextEffect1 = 0;
// MsoPresetTextEffectShape
inline constexpr int msoTextEffectShapePlainText = 1;
// MsoShapeType
inline constexpr int msoAutoShape = 1, msoPicture = 13, msoTextEffect = 15;
// MsoLineDashStyle
inline constexpr int msoLineSolid = 1, msoLineSquareDot = 2, msoLineRoundDot = 3, msoLineDash = 4,
                     msoLineDashDot = 5, msoLineDashDotDot = 6, msoLineLongDash = 7,
                     msoLineLongDashDot = 8;
// MsoLineStyle
inline constexpr int msoLineSingle = 1, msoLineThinThin = 2, msoLineThinThick = 3,
                     msoLineThickThin = 4, msoLineThickBetweenThin = 5;
// WdRelativeHorizontalPosition / WdRelativeVerticalPosition
inline constexpr int wdRelativeHorizontalPositionMargin = 0, wdRelativeHorizontalPositionPage = 1,
                     wdRelativeHorizontalPositionColumn = 2,
                     wdRelativeHorizontalPositionCharacter = 3;
inline constexpr int wdRelativeVerticalPositionMargin = 0, wdRelativeVerticalPositionPage = 1,
                     wdRelativeVerticalPositionParagraph = 2, wdRelativeVerticalPositionLine = 3;
// WdShapePosition (Shape.Left / Shape.Top)
inline constexpr float wdShapeTop = -999999.0f, wdShapeLeft = -999998.0f,
                       wdShapeBottom = -999997.0f, wdShapeRight = -999996.0f,
                       wdShapeCenter = -999995.0f, wdShapeInside = -999994.0f,
                       wdShapeOutside = -999993.0f;
// WdWrapSideType
inline constexpr int wdWrapBoth = 0, wdWrapLeft = 1, wdWrapRight = 2, wdWrapLargest = 3;
// WdWrapType
inline constexpr int wdWrapSquare = 0, wdWrapTight = 1, wdWrapThrough = 2, wdWrapNone = 3,
                     wdWrapTopBottom = 4, wdWrapBehind = 5, wdWrapFront = 3;
// MsoZOrderCmd
inline constexpr int msoBringToFront = 0, msoSendToBack = 1, msoBringForward = 2,
                     msoSendBackward = 3, msoBringInFrontOfText = 4, msoSendBehindText = 5;

class ShapeRange;

// One floating shape of a story.
class Shape {
public:
  // `node` is the shape element: a VML shape (v:shape, v:rect, v:group…) or a wp:anchor.
  Shape(Story* story, pugi::xml_node node) : story_(story), node_(node) {}
  // VML: the id attribute; DrawingML: wp:docPr @name.
  std::string name() const;
  void setName(const std::string& name);
  // msoTextEffect (WordArt), msoPicture or msoAutoShape.
  int type() const;
  // Selects the shape: the selection moves to its anchor character and Selection.shapeRange()
  // holds the shape while the selection is not moved.
  void select();
  // Removes the shape (and its run when nothing else is left in it).
  void deleteShape();
  ShapeRange range() const;

  Story* story() const { return story_; }
  bool isVml() const;

private:
  friend struct internal::Access;
  pugi::xml_node node() const { return node_; }
  // The run child that holds the shape: w:pict, w:drawing or mc:AlternateContent.
  pugi::xml_node holder() const;
  Story* story_;
  pugi::xml_node node_;
};

// The floating shapes of a header, a footer or the main text.
class Shapes {
public:
  explicit Shapes(Story* story) : story_(story) {}
  int count() const;
  // 1-based, in document order; throws DocumentError when out of range.
  Shape item(int index) const;
  std::vector<Shape> all() const;

  // WordArt: `text` in `fontName` at `fontSize` points, bold and italic by MsoTriState, at
  // `left`/`top` points from the column and paragraph. The shape is anchored at the start of
  // the paragraph that holds the selection when the selection is in this story, else of the
  // first paragraph; it is sized for its text (about one em high) and named "WordArt N".
  // An empty text, a size outside 1 to 1638 points or an unknown preset throws DocumentError.
  Shape addTextEffect(int presetTextEffect, const std::string& text, const std::string& fontName,
                      float fontSize, int fontBold, int fontItalic, float left, float top);
  // A picture embedded from `fileName` (LinkToFile false, SaveWithDocument true) at its own
  // size (pixels at the file's resolution, 96 dpi when it gives none), anchored as above, in
  // front of the text without wrapping, and named "Picture N". PNG, JPEG, GIF and BMP files are
  // accepted; an empty path, a missing or unreadable file, or one that is not such a picture throws
  // DocumentError naming the path.
  Shape addPicture(const std::string& fileName);
  // Works out the highest shape number of the document's main text now. Its story keeps the
  // number through the edits that neither add nor remove shapes, so a WordArt added after the
  // document has grown (a watermark at the end of a run) walks no part of the main text.
  static void prepareNumbers(Document& doc);

private:
  Story* story_;
};

class ColorFormat {
public:
  explicit ColorFormat(std::vector<Shape> shapes) : shapes_(std::move(shapes)) {}
  // Red + green·256 + blue·65536.
  int rgb() const;
  void setRgb(int rgb);

private:
  std::vector<Shape> shapes_;
};

class FillFormat {
public:
  explicit FillFormat(std::vector<Shape> shapes) : shapes_(std::move(shapes)) {}
  int visible() const; // msoTrue / msoFalse
  void setVisible(int msoTriState);
  // A solid fill: drops gradients, patterns and pictures of the fill.
  void solid();
  ColorFormat foreColor() const { return ColorFormat(shapes_); }
  // 0 (opaque) to 1 (clear): the fill's opacity is 1 - transparency.
  float transparency() const;
  void setTransparency(float t);

private:
  std::vector<Shape> shapes_;
};

class LineFormat {
public:
  explicit LineFormat(std::vector<Shape> shapes) : shapes_(std::move(shapes)) {}
  int visible() const;
  void setVisible(int msoTriState);
  float weight() const; // points (0.75 when not given)
  void setWeight(float points);
  int dashStyle() const;
  void setDashStyle(int msoLineDashStyle);
  int style() const;
  void setStyle(int msoLineStyle);
  float transparency() const;
  void setTransparency(float t);

private:
  std::vector<Shape> shapes_;
};

class PictureFormat {
public:
  explicit PictureFormat(std::vector<Shape> shapes) : shapes_(std::move(shapes)) {}
  // 0 to 1; 0.5 is unchanged (a:lum @bright; VML v:imagedata @blacklevel).
  float brightness() const;
  void setBrightness(float b);
  // 0 to 1; 0.5 is unchanged (a:lum @contrast; VML v:imagedata @gain).
  float contrast() const;
  void setContrast(float c);
  // Cropping in points, kept as fractions of the shape's size (a:srcRect; v:imagedata @crop…).
  float cropLeft() const;
  void setCropLeft(float points);
  float cropRight() const;
  void setCropRight(float points);
  float cropTop() const;
  void setCropTop(float points);
  float cropBottom() const;
  void setCropBottom(float points);

private:
  std::vector<Shape> shapes_;
  float crop(const char* attribute, bool horizontal) const;
  void setCrop(const char* attribute, bool horizontal, float points);
};

class WrapFormat {
public:
  explicit WrapFormat(std::vector<Shape> shapes) : shapes_(std::move(shapes)) {}
  int allowOverlap() const; // msoTrue / msoFalse
  void setAllowOverlap(bool on);
  // wdWrapBoth … wdWrapLargest. A DrawingML shape keeps it only while it wraps square,
  // tight or through.
  int side() const;
  void setSide(int wdWrapSide);
  // Wrapping distances in points.
  float distanceTop() const;
  void setDistanceTop(float points);
  float distanceBottom() const;
  void setDistanceBottom(float points);
  float distanceLeft() const;
  void setDistanceLeft(float points);
  float distanceRight() const;
  void setDistanceRight(float points);
  // wdWrapSquare, wdWrapTight, wdWrapThrough, wdWrapTopBottom, wdWrapNone (in front of the
  // text without wrapping) or wdWrapBehind (behind the text).
  int type() const;
  void setType(int wdWrapType);

private:
  std::vector<Shape> shapes_;
  float distance(const char* key) const;
  void setDistance(const char* key, float points);
};

class TextEffectFormat {
public:
  explicit TextEffectFormat(std::vector<Shape> shapes) : shapes_(std::move(shapes)) {}
  // Only msoTextEffectShapePlainText is supported (the WordArt path of every preset here).
  int presetShape() const;
  void setPresetShape(int msoPresetTextEffectShape);
  std::string text() const;
  std::string fontName() const;
  float fontSize() const;
  int fontBold() const;
  int fontItalic() const;

private:
  std::vector<Shape> shapes_;
};

// Several shapes at once (Selection.ShapeRange).
class ShapeRange {
public:
  explicit ShapeRange(std::vector<Shape> shapes = {}) : shapes_(std::move(shapes)) {}
  int count() const { return static_cast<int>(shapes_.size()); }
  // 1-based; throws DocumentError when out of range.
  Shape item(int index) const;
  std::string name() const;
  // Deletes every shape of the range.
  void deleteShapes();

  FillFormat fill() const { return FillFormat(shapes_); }
  LineFormat line() const { return LineFormat(shapes_); }
  PictureFormat pictureFormat() const { return PictureFormat(shapes_); }
  WrapFormat wrapFormat() const { return WrapFormat(shapes_); }
  TextEffectFormat textEffect() const { return TextEffectFormat(shapes_); }

  int lockAspectRatio() const;
  void setLockAspectRatio(int msoTriState);
  float rotation() const; // degrees
  void setRotation(float degrees);
  int relativeHorizontalPosition() const;
  void setRelativeHorizontalPosition(int wdRelative);
  int relativeVerticalPosition() const;
  void setRelativeVerticalPosition(int wdRelative);
  // Points from the reference, or a wdShape… alignment (wdShapeCenter…).
  float left() const;
  void setLeft(float pointsOrAlignment);
  float top() const;
  void setTop(float pointsOrAlignment);
  int lockAnchor() const;
  void setLockAnchor(bool on);
  int layoutInCell() const;
  void setLayoutInCell(bool on);
  // Size in points. With the aspect ratio locked the other side follows.
  float width() const;
  void setWidth(float points);
  float height() const;
  void setHeight(float points);
  // In front of or behind the text (VML: the sign of z-index; DrawingML: behindDoc).
  void zOrder(int msoZOrderCmd);
  // The stacking order: positive in front of the text, negative behind it.
  long zIndex() const;

  const std::vector<Shape>& shapes() const { return shapes_; }

private:
  std::vector<Shape> shapes_;
};

} // namespace word
