#include "word/shapes.h"
#include "base/messages.h"
#include "base/system_error.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>

#include "word/internal/access.h"
#include "word/internal/parts.h"
#include "word/internal/pictures.h"
#include "word/internal/shape_xml.h"
#include "word/internal/story.h"
#include "word/internal/xmlns.h"
#include "word/text.h"

namespace word {

using namespace shapexml;

// Shapes selected by Shape::select: the selection's range when they were selected.
struct SelectedShapes {
  Range range;
  std::vector<pugi::xml_node> holders;
  std::vector<pugi::xml_node> nodes;
};

namespace {

constexpr const char* kImageRelType =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/image";
// Word's z-index for shapes in front of the text; behind the text is its negative.
constexpr long kFrontZ = 251659264;
// Pictures larger than this are refused rather than read into memory.
constexpr uint64_t kMaxPictureBytes = 64ull << 20;

int tri(bool on) {
  return on ? msoTrue : msoFalse;
}

// ---- shapes of a story ----

void shapesOfHolder(Story* st, pugi::xml_node holder, std::vector<Shape>& out) {
  const char* local = localName(holder);
  if (!std::strcmp(local, "pict")) {
    for (pugi::xml_node c = holder.first_child(); c; c = c.next_sibling()) {
      if (c.type() != pugi::node_element || !isVmlShapeLocal(localName(c)))
        continue;
      if (nsUriOf(c) != kVmlNs)
        continue;
      if (styleOf(c).get("position") != "absolute")
        continue; // inline picture
      out.emplace_back(st, c);
    }
  } else if (!std::strcmp(local, "drawing")) {
    for (pugi::xml_node c = holder.first_child(); c; c = c.next_sibling())
      if (c.type() == pugi::node_element && !std::strcmp(localName(c), "anchor"))
        out.emplace_back(st, c);
  } else if (!std::strcmp(local, "AlternateContent")) {
    for (pugi::xml_node branch = holder.first_child(); branch; branch = branch.next_sibling()) {
      if (branch.type() != pugi::node_element)
        continue;
      size_t before = out.size();
      for (pugi::xml_node c = branch.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element)
          shapesOfHolder(st, c, out);
      if (out.size() > before)
        return; // the first branch that holds a shape
    }
  }
}

// Floating shapes whose anchors lie in [start, end) of a story (all when end < 0).
std::vector<Shape> shapesIn(Story* st, int64_t start, int64_t end) {
  std::vector<Shape> out;
  int count = st->count();
  for (int i = 0; i < count; ++i) {
    ParaRec* rec = st->at(i);
    int64_t s = st->startOf(rec);
    if (end >= 0 && s >= end)
      break;
    const std::u32string& text = st->content(rec);
    if (end >= 0 && s + static_cast<int64_t>(text.size()) < start)
      continue;
    for (const Seg& sg : rec->segs) {
      if (sg.kind != Seg::Single || text[sg.off] != U'\x01')
        continue;
      int64_t pos = s + sg.off;
      if (end >= 0 && (pos < start || pos >= end))
        continue;
      shapesOfHolder(st, sg.node, out);
    }
  }
  return out;
}

pugi::xml_node paragraphOf(pugi::xml_node n, const WNames& names) {
  while (n && !names.is(n, "p"))
    n = n.parent();
  return n;
}

// The highest shape number used in a story: worked out once and kept by the story until it
// is edited (a watermark added to each header walks the body once, not once per header).
long maxShapeIdOf(Story& st) {
  if (st.knownShapeId() < 0)
    st.setKnownShapeId(maxShapeIdUnder(st.root()));
  return st.knownShapeId();
}

// The highest shape number (o:spid "_x0000_sN") used in the document's stories.
long maxShapeId(Document& doc) {
  long best = maxShapeIdOf(doc.content());
  for (HeaderFooterPart& h : doc.headerFooters())
    best = std::max(best, maxShapeIdOf(*h.story));
  return best;
}

// Advance of a character in ems, for sizing WordArt to its text.
double advance(char32_t c) {
  if (c >= 0x1100 && (c <= 0x115F || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
                      (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
                      (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || c >= 0x20000))
    return 1.0;
  if (c == U' ')
    return 0.3;
  if ((c >= U'A' && c <= U'Z') || (c >= U'0' && c <= U'9'))
    return 0.62;
  return 0.5;
}

// The anchor run for a new shape: at the start of the paragraph holding the selection when
// the selection is in `st`, else of the first paragraph.
pugi::xml_node newShapeRun(Story* st) {
  Document* doc = st->document();
  int64_t pos = 0;
  if (doc && doc->selection().story() == st) {
    ParaRec* rec = st->at(st->indexAt(doc->selection().start()));
    pos = st->startOf(rec);
  }
  pugi::xml_node run = insertRunAt(*st, pos);
  const WNames& n = st->names();
  pugi::xml_node rPr = run.append_child(n.rPr.c_str());
  rPr.append_child(n.q("noProof"));
  return run;
}

void finishEdit(Story* st, pugi::xml_node inside) {
  st->setKnownShapeId(-1);
  pugi::xml_node p = paragraphOf(inside, st->names());
  if (ParaRec* rec = st->recOf(p))
    st->invalidateText(rec);
  st->touch();
}

// The highest wp:docPr id of the document's stories.
long maxDocPrId(Document& doc) {
  long best = 0;
  std::vector<pugi::xml_node> roots{doc.content().root()};
  for (HeaderFooterPart& h : doc.headerFooters())
    roots.push_back(h.story->root());
  for (pugi::xml_node root : roots)
    forEachElement(root, [&](pugi::xml_node x) {
      if (std::strcmp(localPart(x.name()), "docPr") != 0)
        return;
      long long id = x.attribute("id").as_llong();
      best = std::max(best, id > 0x7FFFFFFF ? 0L : static_cast<long>(id));
    });
  return best;
}

// ---- dispatch over the shapes of a range ----

const Shape& firstShape(const std::vector<Shape>& shapes, const char* /*member*/) {
  if (shapes.empty())
    throw DocumentError(msg::kShapeRangeEmpty);
  return shapes.front();
}

[[noreturn]] void notForDml(const char* /*member*/) {
  throw DocumentError(msg::kShapeNotForDrawingMl);
}

template <class V, class D> void each(const std::vector<Shape>& shapes, V vml, D dml) {
  for (const Shape& s : shapes) {
    if (s.isVml())
      vml(nodeOf(s));
    else
      dml(dmlOf(nodeOf(s)));
    s.story()->touch();
  }
}

template <class V> void eachVml(const std::vector<Shape>& shapes, const char* member, V vml) {
  each(shapes, vml, [&](const Dml&) { notForDml(member); });
}

} // namespace

// ---- Shape -------------------------------------------------------------------------------

bool Shape::isVml() const {
  return nsUriOf(node_) == kVmlNs;
}

pugi::xml_node Shape::holder() const {
  const WNames& n = story_->names();
  pugi::xml_node h = node_;
  while (h && h.parent() && !n.is(h.parent(), "r"))
    h = h.parent();
  return h.parent() ? h : pugi::xml_node();
}

std::string Shape::name() const {
  if (isVml())
    return node_.attribute("id").value();
  return childL(node_, "docPr").attribute("name").value();
}

void Shape::setName(const std::string& name) {
  if (isVml())
    setAttribute(node_, "id", name);
  else if (pugi::xml_node docPr = childL(node_, "docPr"))
    setAttribute(docPr, "name", name);
  story_->touch();
}

int Shape::type() const {
  if (isVml()) {
    if (nsChild(node_, kVmlNs, "v", "textpath", false))
      return msoTextEffect;
    if (nsChild(node_, kVmlNs, "v", "imagedata", false))
      return msoPicture;
    return msoAutoShape;
  }
  return descendantL(node_, "pic") ? msoPicture : msoAutoShape;
}

ShapeRange Shape::range() const {
  return ShapeRange({*this});
}

void Shape::select() {
  Document* doc = story_->document();
  if (!doc)
    return;
  const WNames& n = story_->names();
  pugi::xml_node h = holder();
  ParaRec* rec = story_->recOf(paragraphOf(h, n));
  if (!rec)
    throw DocumentError({}, story_->part(), msg::kShapeNotAnchored);
  story_->content(rec);
  int64_t pos = story_->startOf(rec);
  for (const Seg& sg : rec->segs)
    if (sg.node == h)
      pos += sg.off;
  Selection& sel = doc->selection();
  if (sel.story() != story_)
    sel.moveToStory(story_);
  sel.setRange(Range(story_, pos, pos + 1));
  sel.shapes_ = std::make_shared<SelectedShapes>(SelectedShapes{sel.range(), {h}, {node_}});
}

void Shape::deleteShape() {
  pugi::xml_node h = holder();
  if (!h)
    return;
  pugi::xml_node run = h.parent();
  ParaRec* rec = story_->recOf(paragraphOf(run, story_->names()));
  if (!std::strcmp(localName(h), "pict") && node_.parent() == h) {
    // A shape type that other shapes of the part refer to moves to the first of them.
    pugi::xml_node root = documentElement(h);
    std::vector<pugi::xml_node> types;
    for (pugi::xml_node c = h.first_child(); c; c = c.next_sibling())
      if (c.type() == pugi::node_element && !std::strcmp(localName(c), "shapetype"))
        types.push_back(c);
    for (pugi::xml_node t : types) {
      std::string ref = std::string("#") + t.attribute("id").value();
      for (pugi::xpath_node x : root.select_nodes(".//*[@type]")) {
        pugi::xml_node user = x.node();
        if (ref != user.attribute("type").value() || user == node_)
          continue;
        bool insideHolder = false;
        for (pugi::xml_node a = user; a; a = a.parent())
          if (a == h)
            insideHolder = true;
        if (insideHolder)
          continue;
        user.parent().insert_move_before(t, user);
        break;
      }
    }
    h.remove_child(node_);
    bool left = false;
    for (pugi::xml_node c = h.first_child(); c; c = c.next_sibling())
      if (c.type() == pugi::node_element && isVmlShapeLocal(localName(c)))
        left = true;
    if (!left)
      run.remove_child(h);
  } else {
    run.remove_child(h);
  }
  bool empty = true;
  for (pugi::xml_node c = run.first_child(); c; c = c.next_sibling())
    if (c.type() == pugi::node_element && !story_->names().is(c, "rPr"))
      empty = false;
  if (empty)
    run.parent().remove_child(run);
  story_->setKnownShapeId(-1);
  if (rec)
    story_->invalidateText(rec);
  story_->touch();
}

// ---- Shapes ------------------------------------------------------------------------------

std::vector<Shape> Shapes::all() const {
  return shapesIn(story_, 0, -1);
}

int Shapes::count() const {
  return static_cast<int>(all().size());
}

Shape Shapes::item(int index) const {
  std::vector<Shape> list = all();
  if (index < 1 || index > static_cast<int>(list.size()))
    throw DocumentError(msg::text(msg::kShapeMissing, index));
  return list[static_cast<size_t>(index - 1)];
}

Shape Shapes::addTextEffect(int preset, const std::string& text, const std::string& fontName,
                            float fontSize, int fontBold, int fontItalic, float left, float top) {
  if (preset < 0 || preset > 29)
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatWordArtPreset, preset));
  if (text.empty())
    throw DocumentError(msg::kWordArtTextEmpty);
  if (!(fontSize >= 1.0f && fontSize <= 1638.0f))
    throw DocumentError(msg::text(msg::kWordArtSizeInvalid, fontSize));
  Document* doc = story_->document();
  long id = doc ? std::max(2048L, maxShapeId(*doc)) + 1 : 2049;
  int ordinal = count() + 1;
  pugi::xml_node root = documentElement(story_->root());
  std::string v = namespacePrefix(root, kVmlNs, "v");
  std::string o = namespacePrefix(root, kOfficeNs, "o");

  double em = 0;
  for (char32_t c : toU32(text))
    em += advance(c);
  em = std::max(em, 0.5);

  pugi::xml_node run = newShapeRun(story_);
  pugi::xml_node pict = run.append_child(story_->names().q("pict"));
  if (!hasShapetype(root, "_x0000_t136"))
    appendXml(pict, withPrefixes(textShapetype(), v, o));
  pugi::xml_node shape = pict.append_child((v + ":shape").c_str());
  shape.append_attribute("id").set_value(("WordArt " + std::to_string(ordinal)).c_str());
  shape.append_attribute((o + ":spid").c_str())
      .set_value(("_x0000_s" + std::to_string(id)).c_str());
  shape.append_attribute("type").set_value("#_x0000_t136");
  VmlStyle style("");
  style.set("position", "absolute");
  style.set("margin-left", pt(left));
  style.set("margin-top", pt(top));
  style.set("width", pt(em * fontSize));
  style.set("height", pt(fontSize));
  style.set("z-index", std::to_string(kFrontZ + ordinal));
  writeStyle(shape, style);
  // Word's first WordArt preset: black, without an outline.
  shape.append_attribute("fillcolor").set_value("black");
  shape.append_attribute("stroked").set_value("f");
  pugi::xml_node path = shape.append_child((v + ":textpath").c_str());
  std::string font = "font-family:\"" + fontName + "\";font-size:" + number(fontSize) + "pt";
  if (fontBold == msoTrue)
    font += ";font-weight:bold";
  if (fontItalic == msoTrue)
    font += ";font-style:italic";
  path.append_attribute("style").set_value(font.c_str());
  path.append_attribute("string").set_value(text.c_str());
  finishEdit(story_, run);
  return Shape(story_, shape);
}

void Shapes::prepareNumbers(Document& doc) {
  maxShapeIdOf(doc.content());
}

Shape Shapes::addPicture(const std::string& fileName) {
  auto fail = [&](const char* pattern) { throw DocumentError(msg::text(pattern, fileName)); };
  if (fileName.empty())
    throw DocumentError(msg::kPictureNoPath);
  struct stat info {};
  if (stat(fileName.c_str(), &info) != 0)
    fail(msg::kPictureNotFound);
  if (S_ISDIR(info.st_mode))
    fail(msg::kPictureIsFolder);
  if (!S_ISREG(info.st_mode))
    fail(msg::kPictureNotRegular);
  if (static_cast<uint64_t>(info.st_size) > kMaxPictureBytes)
    fail(msg::kPictureTooLarge);
  std::string bytes;
  {
    std::ifstream in(fileName, std::ios::binary);
    if (!in)
      throw DocumentError(msg::text(msg::kPictureCannotRead, fileName, msg::systemError(errno)));
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::optional<PictureInfo> pic = probePicture(bytes);
  if (!pic)
    fail(msg::kPictureUnknownFormat);

  Document* doc = story_->document();
  if (!doc)
    throw DocumentError(msg::kPictureNeedsDocument);
  Package& pkg = packageOf(*doc);
  const std::string& mainPart = doc->content().part();
  std::string dir = mainPart.substr(0, mainPart.rfind('/') + 1);
  std::string media;
  for (int k = 1;; ++k) {
    media = dir + "media/image" + std::to_string(k) + "." + pic->ext;
    if (!pkg.has(media))
      break;
  }
  std::string mediaFile = media.substr(media.rfind('/') + 1);
  pkg.setBytes(media, std::move(bytes));
  pkg.setContentTypeOverride(media, pic->contentType);
  const std::string& part = story_->part();
  std::string partDir = part.substr(0, part.rfind('/') + 1);
  std::string target = partDir == dir ? media.substr(dir.size()) : "/" + media;
  std::string rid = pkg.addRelationship(part, kImageRelType, target);

  long docPrId = maxDocPrId(*doc) + 1;
  int ordinal = count() + 1;
  pugi::xml_node root = documentElement(story_->root());
  std::string wp = namespacePrefix(root, kWpNs, "wp");
  std::string r = namespacePrefix(root, kRelNs, "r");
  std::string cx = emu(pic->widthPt), cy = emu(pic->heightPt);
  // DrawingML rather than VML: LibreOffice applies the brightness and contrast of a DrawingML
  // picture (a:lum) but only Word's one washout preset of a VML one.
  std::string xml =
      "<" + wp +
      ":anchor distT=\"0\" distB=\"0\" distL=\"114300\" distR=\"114300\" "
      "simplePos=\"0\" relativeHeight=\"" +
      std::to_string(kFrontZ + ordinal) +
      "\" behindDoc=\"0\" locked=\"0\" layoutInCell=\"1\" allowOverlap=\"1\"><" + wp +
      ":simplePos x=\"0\" y=\"0\"/><" + wp + ":positionH relativeFrom=\"column\"><" + wp +
      ":posOffset>0</" + wp + ":posOffset></" + wp + ":positionH><" + wp +
      ":positionV relativeFrom=\"paragraph\"><" + wp + ":posOffset>0</" + wp + ":posOffset></" +
      wp + ":positionV><" + wp + ":extent cx=\"" + cx + "\" cy=\"" + cy + "\"/><" + wp +
      ":effectExtent l=\"0\" t=\"0\" r=\"0\" b=\"0\"/><" + wp + ":wrapNone/><" + wp +
      ":docPr id=\"" + std::to_string(docPrId) + "\" name=\"Picture " + std::to_string(ordinal) +
      "\"/><" + wp + ":cNvGraphicFramePr><a:graphicFrameLocks xmlns:a=\"" + kANs +
      "\" noChangeAspect=\"1\"/></" + wp + ":cNvGraphicFramePr><a:graphic xmlns:a=\"" + kANs +
      "\"><a:graphicData uri=\"" + kPicNs + "\"><pic:pic xmlns:pic=\"" + kPicNs +
      "\"><pic:nvPicPr><pic:cNvPr id=\"0\" name=\"" + mediaFile +
      "\"/><pic:cNvPicPr><a:picLocks noChangeAspect=\"1\"/></pic:cNvPicPr></pic:nvPicPr>"
      "<pic:blipFill><a:blip " +
      r + ":embed=\"" + rid +
      "\"/><a:stretch><a:fillRect/></a:stretch></pic:blipFill><pic:spPr><a:xfrm><a:off x=\"0\" "
      "y=\"0\"/><a:ext cx=\"" +
      cx + "\" cy=\"" + cy +
      "\"/></a:xfrm><a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom></pic:spPr></pic:pic>"
      "</a:graphicData></a:graphic></" +
      wp + ":anchor>";

  pugi::xml_node run = newShapeRun(story_);
  pugi::xml_node drawing = run.append_child(story_->names().q("drawing"));
  appendXml(drawing, xml);
  finishEdit(story_, run);
  return Shape(story_, drawing.first_child());
}

// ---- Selection.ShapeRange ----------------------------------------------------------------

ShapeRange Selection::shapeRange() const {
  Story* st = range_.story();
  if (!st)
    return ShapeRange();
  if (shapes_ && shapes_->range.story() == st && shapes_->range.start() == range_.start() &&
      shapes_->range.end() == range_.end()) {
    // Still selected when every anchor is still where it was.
    ParaRec* rec = st->at(st->indexAt(range_.start()));
    st->content(rec);
    bool alive = true;
    for (pugi::xml_node h : shapes_->holders) {
      bool found = false;
      for (const Seg& sg : rec->segs)
        if (sg.kind == Seg::Single && sg.node == h)
          found = true;
      alive = alive && found;
    }
    if (alive) {
      std::vector<Shape> out;
      for (pugi::xml_node node : shapes_->nodes)
        out.emplace_back(st, node);
      return ShapeRange(std::move(out));
    }
  }
  if (range_.end() <= range_.start())
    return ShapeRange();
  return ShapeRange(shapesIn(st, range_.start(), range_.end()));
}

// ---- ShapeRange --------------------------------------------------------------------------

Shape ShapeRange::item(int index) const {
  if (index < 1 || index > count())
    throw DocumentError(msg::text(msg::kShapeMissing, index));
  return shapes_[static_cast<size_t>(index - 1)];
}

std::string ShapeRange::name() const {
  return firstShape(shapes_, "Name").name();
}

void ShapeRange::deleteShapes() {
  for (Shape& s : shapes_)
    s.deleteShape();
  shapes_.clear();
}

int ShapeRange::lockAspectRatio() const {
  const Shape& shape = firstShape(shapes_, "LockAspectRatio");
  pugi::xml_node s = nodeOf(shape);
  if (!shape.isVml())
    return tri(childL(childL(s, "cNvGraphicFramePr"), "graphicFrameLocks")
                   .attribute("noChangeAspect")
                   .as_bool());
  pugi::xml_node lock = nsChild(s, kOfficeNs, "o", "lock", false);
  if (lock && lock.attribute("aspectratio"))
    return tri(vmlTrue(lock.attribute("aspectratio").value(), false));
  // A shape type may lock it for all its shapes (pictures do).
  std::string type = s.attribute("type").value();
  if (!type.empty() && type[0] == '#') {
    std::string q = ".//*[local-name()='shapetype' and @id='" + type.substr(1) + "']";
    if (pugi::xml_node t = documentElement(s).select_node(q.c_str()).node())
      if (pugi::xml_node tl = nsChild(t, kOfficeNs, "o", "lock", false))
        return tri(vmlTrue(tl.attribute("aspectratio").value(), false));
  }
  return msoFalse;
}

void ShapeRange::setLockAspectRatio(int v) {
  each(
      shapes_,
      [&](pugi::xml_node s) {
        pugi::xml_node lock = nsChild(s, kOfficeNs, "o", "lock", true);
        setAttribute(lock, prefixOf(s) + ":ext", "edit");
        setAttribute(lock, "aspectratio", v == msoFalse ? "f" : "t");
      },
      [&](const Dml& d) {
        pugi::xml_node pr = ensureOrdered(d.anchor, "cNvGraphicFramePr", d.wp, kAnchorOrder);
        pugi::xml_node locks = childL(pr, "graphicFrameLocks");
        if (!locks) {
          locks = pr.append_child(qualified(d.a, "graphicFrameLocks").c_str());
          if (!findPrefix(documentElement(d.anchor), kANs))
            locks.append_attribute(("xmlns:" + d.a).c_str()).set_value(kANs);
        }
        setAttribute(locks, "noChangeAspect", v == msoFalse ? "0" : "1");
      });
}

float ShapeRange::rotation() const {
  const Shape& shape = firstShape(shapes_, "Rotation");
  if (!shape.isVml())
    return static_cast<float>(
        childL(dmlOf(nodeOf(shape)).spPr, "xfrm").attribute("rot").as_double() / 60000.0);
  std::string r = styleOf(nodeOf(shape)).get("rotation");
  double deg = std::strtod(r.c_str(), nullptr);
  if (r.size() > 2 && r.compare(r.size() - 2, 2, "fd") == 0)
    deg /= 65536.0;
  return static_cast<float>(deg);
}

void ShapeRange::setRotation(float degrees) {
  double d = std::fmod(static_cast<double>(degrees), 360.0);
  if (d < 0)
    d += 360.0;
  each(
      shapes_,
      [&](pugi::xml_node s) {
        VmlStyle st = styleOf(s);
        if (d == 0)
          st.remove("rotation");
        else
          st.set("rotation", number(d));
        writeStyle(s, st);
      },
      [&](const Dml& m) {
        if (!m.spPr)
          notForDml("Rotation");
        pugi::xml_node xfrm = ensureOrdered(m.spPr, "xfrm", m.a, kSpPrOrder);
        if (d == 0)
          xfrm.remove_attribute("rot");
        else
          setAttribute(xfrm, "rot", std::to_string(std::lround(d * 60000)));
      });
}

namespace {
constexpr const char* kHorizontalRelative[] = {"margin", "page", "text", "char"};
constexpr const char* kVerticalRelative[] = {"margin", "page", "text", "line"};
constexpr const char* kDmlHorizontalRelative[] = {"margin", "page", "column", "character"};
constexpr const char* kDmlVerticalRelative[] = {"margin", "page", "paragraph", "line"};

int relativeOf(const std::string& v, const char* const (&names)[4]) {
  for (int i = 0; i < 4; ++i)
    if (v == names[i])
      return i;
  return 2; // column / paragraph
}

int relative(const std::vector<Shape>& shapes, bool horizontal) {
  const Shape& shape = firstShape(shapes, "RelativePosition");
  if (!shape.isVml())
    return relativeOf(childL(nodeOf(shape), horizontal ? "positionH" : "positionV")
                          .attribute("relativeFrom")
                          .value(),
                      horizontal ? kDmlHorizontalRelative : kDmlVerticalRelative);
  return relativeOf(
      styleOf(nodeOf(shape))
          .get(horizontal ? "mso-position-horizontal-relative" : "mso-position-vertical-relative"),
      horizontal ? kHorizontalRelative : kVerticalRelative);
}

void setRelative(const std::vector<Shape>& shapes, int value, bool horizontal) {
  if (value < 0 || value > 3)
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatRelativePosition, value));
  each(
      shapes,
      [&](pugi::xml_node s) {
        const char* name = (horizontal ? kHorizontalRelative : kVerticalRelative)[value];
        VmlStyle st = styleOf(s);
        st.set(horizontal ? "mso-position-horizontal-relative" : "mso-position-vertical-relative",
               name);
        writeStyle(s, st);
        pugi::xml_node wrap = nsChild(s, kWordVmlNs, "w10", "wrap", true);
        setAttribute(wrap, horizontal ? "anchorx" : "anchory", name);
      },
      [&](const Dml& d) {
        pugi::xml_node pos =
            ensureOrdered(d.anchor, horizontal ? "positionH" : "positionV", d.wp, kAnchorOrder);
        setAttribute(pos, "relativeFrom",
                     (horizontal ? kDmlHorizontalRelative : kDmlVerticalRelative)[value]);
        if (!pos.first_child())
          pos.append_child(qualified(d.wp, "posOffset").c_str()).text().set("0");
      });
}

struct Alignment {
  float value;
  const char* name;
};
constexpr Alignment kHorizontalAlign[] = {{wdShapeLeft, "left"},
                                          {wdShapeCenter, "center"},
                                          {wdShapeRight, "right"},
                                          {wdShapeInside, "inside"},
                                          {wdShapeOutside, "outside"}};
constexpr Alignment kVerticalAlign[] = {{wdShapeTop, "top"},
                                        {wdShapeCenter, "center"},
                                        {wdShapeBottom, "bottom"},
                                        {wdShapeInside, "inside"},
                                        {wdShapeOutside, "outside"}};

float position(const std::vector<Shape>& shapes, bool horizontal) {
  const Shape& shape = firstShape(shapes, horizontal ? "Left" : "Top");
  const auto& aligns = horizontal ? kHorizontalAlign : kVerticalAlign;
  if (!shape.isVml()) {
    pugi::xml_node pos = childL(nodeOf(shape), horizontal ? "positionH" : "positionV");
    std::string align = childL(pos, "align").text().get();
    for (const Alignment& a : aligns)
      if (align == a.name)
        return a.value;
    return static_cast<float>(childL(pos, "posOffset").text().as_double() / kEmuPerPt);
  }
  VmlStyle st = styleOf(nodeOf(shape));
  std::string align = st.get(horizontal ? "mso-position-horizontal" : "mso-position-vertical");
  for (const Alignment& a : aligns)
    if (align == a.name)
      return a.value;
  std::string m = st.get(horizontal ? "margin-left" : "margin-top");
  if (m.empty())
    m = st.get(horizontal ? "left" : "top");
  return toPoints(m);
}

void setPosition(const std::vector<Shape>& shapes, float v, bool horizontal) {
  const char* alignKey = horizontal ? "mso-position-horizontal" : "mso-position-vertical";
  const char* marginKey = horizontal ? "margin-left" : "margin-top";
  const char* name = nullptr;
  if (v <= -999993.0f && v >= -999999.0f) {
    for (const Alignment& a : horizontal ? kHorizontalAlign : kVerticalAlign)
      if (std::fabs(a.value - v) < 0.5f)
        name = a.name;
    if (!name)
      throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatShapeAlignment, number(v)));
  }
  each(
      shapes,
      [&](pugi::xml_node s) {
        VmlStyle st = styleOf(s);
        if (name) {
          st.set(alignKey, name);
          st.set(marginKey, "0");
        } else {
          st.remove(alignKey);
          st.set(marginKey, pt(v));
        }
        writeStyle(s, st);
      },
      [&](const Dml& d) {
        pugi::xml_node pos =
            ensureOrdered(d.anchor, horizontal ? "positionH" : "positionV", d.wp, kAnchorOrder);
        if (!pos.attribute("relativeFrom"))
          setAttribute(pos, "relativeFrom", horizontal ? "column" : "paragraph");
        while (pugi::xml_node c = pos.first_child())
          pos.remove_child(c);
        if (name)
          pos.append_child(qualified(d.wp, "align").c_str()).text().set(name);
        else
          pos.append_child(qualified(d.wp, "posOffset").c_str()).text().set(emu(v).c_str());
      });
}

float sizeOf(const Shape& shape, bool width) {
  if (!shape.isVml())
    return static_cast<float>(
        pointsOfEmu(childL(nodeOf(shape), "extent").attribute(width ? "cx" : "cy")));
  return toPoints(styleOf(nodeOf(shape)).get(width ? "width" : "height"));
}

void setSize(const std::vector<Shape>& shapes, float points, bool width) {
  if (!(points > 0.0f && points <= 1584.0f))
    throw DocumentError(msg::text(msg::kValueOutOfRange,
                                  width ? msg::kWhatShapeWidth : msg::kWhatShapeHeight,
                                  msg::text(msg::kUnitPoints, number(points))));
  for (const Shape& shape : shapes) {
    bool locked = ShapeRange({shape}).lockAspectRatio() == msoTrue;
    double oldW = sizeOf(shape, true), oldH = sizeOf(shape, false);
    double w = width ? points : (locked && oldH > 0 ? oldW * points / oldH : oldW);
    double h = !width ? points : (locked && oldW > 0 ? oldH * points / oldW : oldH);
    each(
        {shape},
        [&](pugi::xml_node s) {
          VmlStyle st = styleOf(s);
          st.set("width", pt(w));
          st.set("height", pt(h));
          writeStyle(s, st);
        },
        [&](const Dml& d) {
          pugi::xml_node extent = ensureOrdered(d.anchor, "extent", d.wp, kAnchorOrder);
          setAttribute(extent, "cx", emu(w));
          setAttribute(extent, "cy", emu(h));
          if (d.spPr) {
            pugi::xml_node xfrm = ensureOrdered(d.spPr, "xfrm", d.a, kSpPrOrder);
            pugi::xml_node ext = childL(xfrm, "ext");
            if (!ext)
              ext = xfrm.append_child(qualified(d.a, "ext").c_str());
            setAttribute(ext, "cx", emu(w));
            setAttribute(ext, "cy", emu(h));
          }
        });
  }
}

long zOf(const Shape& shape) {
  if (!shape.isVml()) {
    long z = static_cast<long>(nodeOf(shape).attribute("relativeHeight").as_llong());
    return vmlTrue(nodeOf(shape).attribute("behindDoc").value(), false) ? -z : z;
  }
  return std::strtol(styleOf(nodeOf(shape)).get("z-index").c_str(), nullptr, 10);
}

void setZ(const Shape& shape, bool front) {
  long z = std::labs(zOf(shape));
  if (z == 0)
    z = kFrontZ;
  each(
      {shape},
      [&](pugi::xml_node s) {
        VmlStyle st = styleOf(s);
        st.set("z-index", std::to_string(front ? z : -z));
        writeStyle(s, st);
      },
      [&](const Dml& d) {
        setAttribute(d.anchor, "relativeHeight", std::to_string(z));
        setAttribute(d.anchor, "behindDoc", front ? "0" : "1");
      });
}
} // namespace

int ShapeRange::relativeHorizontalPosition() const {
  return relative(shapes_, true);
}
void ShapeRange::setRelativeHorizontalPosition(int v) {
  setRelative(shapes_, v, true);
}
int ShapeRange::relativeVerticalPosition() const {
  return relative(shapes_, false);
}
void ShapeRange::setRelativeVerticalPosition(int v) {
  setRelative(shapes_, v, false);
}
float ShapeRange::left() const {
  return position(shapes_, true);
}
void ShapeRange::setLeft(float v) {
  setPosition(shapes_, v, true);
}
float ShapeRange::top() const {
  return position(shapes_, false);
}
void ShapeRange::setTop(float v) {
  setPosition(shapes_, v, false);
}

int ShapeRange::lockAnchor() const {
  const Shape& shape = firstShape(shapes_, "LockAnchor");
  if (!shape.isVml())
    return tri(vmlTrue(nodeOf(shape).attribute("locked").value(), false));
  return tri(static_cast<bool>(nsChild(nodeOf(shape), kWordVmlNs, "w10", "anchorlock", false)));
}

void ShapeRange::setLockAnchor(bool on) {
  each(
      shapes_,
      [&](pugi::xml_node s) {
        pugi::xml_node lock = nsChild(s, kWordVmlNs, "w10", "anchorlock", on);
        if (!on && lock)
          s.remove_child(lock);
      },
      [&](const Dml& d) { setAttribute(d.anchor, "locked", on ? "1" : "0"); });
}

int ShapeRange::layoutInCell() const {
  const Shape& shape = firstShape(shapes_, "LayoutInCell");
  pugi::xml_node s = nodeOf(shape);
  if (!shape.isVml())
    return tri(vmlTrue(s.attribute("layoutInCell").value(), true));
  return tri(vmlTrue(
      s.attribute(nsAttrName(s, kOfficeNs, "o", "allowincell", false).c_str()).value(), true));
}

void ShapeRange::setLayoutInCell(bool on) {
  each(
      shapes_,
      [&](pugi::xml_node s) {
        setAttribute(s, nsAttrName(s, kOfficeNs, "o", "allowincell", true), on ? "t" : "f");
      },
      [&](const Dml& d) { setAttribute(d.anchor, "layoutInCell", on ? "1" : "0"); });
}

float ShapeRange::width() const {
  return sizeOf(firstShape(shapes_, "Width"), true);
}
void ShapeRange::setWidth(float points) {
  setSize(shapes_, points, true);
}
float ShapeRange::height() const {
  return sizeOf(firstShape(shapes_, "Height"), false);
}
void ShapeRange::setHeight(float points) {
  setSize(shapes_, points, false);
}

void ShapeRange::zOrder(int cmd) {
  if (cmd < msoBringToFront || cmd > msoSendBehindText)
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatZOrder, cmd));
  bool front = cmd == msoBringToFront || cmd == msoBringForward || cmd == msoBringInFrontOfText;
  for (const Shape& s : shapes_)
    setZ(s, front);
}

long ShapeRange::zIndex() const {
  return zOf(firstShape(shapes_, "ZOrder"));
}

// ---- Fill, colour, line --------------------------------------------------------------------

int ColorFormat::rgb() const {
  const Shape& shape = firstShape(shapes_, "ForeColor.RGB");
  if (!shape.isVml()) {
    Dml d = dmlOf(nodeOf(shape));
    pugi::xml_node fill = fillOf(d.spPr);
    if (!fill || std::strcmp(localName(fill), "solidFill") != 0)
      return 0xFFFFFF;
    return wordRgb(std::string("#") + childL(fill, "srgbClr").attribute("val").value());
  }
  const char* c = nodeOf(shape).attribute("fillcolor").value();
  return wordRgb(*c ? c : "white");
}

void ColorFormat::setRgb(int rgb) {
  if (rgb < 0 || rgb > 0xFFFFFF)
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatColour, rgb));
  std::string hex = vmlColor(rgb);
  each(
      shapes_, [&](pugi::xml_node s) { setAttribute(s, "fillcolor", hex); },
      [&](const Dml& d) {
        if (!d.spPr)
          notForDml("ForeColor.RGB");
        pugi::xml_node fill = fillOf(d.spPr);
        double opacity = 1.0;
        if (fill && !std::strcmp(localName(fill), "solidFill"))
          opacity = alphaOf(solidColor(fill, d.a, "FFFFFF"));
        pugi::xml_node solid = setFill(d.spPr, "solidFill", d.a, kSpPrOrder);
        setAlpha(solidColor(solid, d.a, hex.c_str() + 1), d.a, opacity);
      });
}

int FillFormat::visible() const {
  const Shape& shape = firstShape(shapes_, "Fill.Visible");
  if (!shape.isVml()) {
    pugi::xml_node fill = fillOf(dmlOf(nodeOf(shape)).spPr);
    return tri(fill && std::strcmp(localName(fill), "noFill") != 0);
  }
  return tri(vmlTrue(nodeOf(shape).attribute("filled").value(), true));
}

void FillFormat::setVisible(int v) {
  each(
      shapes_, [&](pugi::xml_node s) { setAttribute(s, "filled", v == msoFalse ? "f" : "t"); },
      [&](const Dml& d) {
        if (!d.spPr)
          notForDml("Fill.Visible");
        pugi::xml_node fill = fillOf(d.spPr);
        if (v == msoFalse)
          setFill(d.spPr, "noFill", d.a, kSpPrOrder);
        else if (!fill || !std::strcmp(localName(fill), "noFill"))
          solidColor(setFill(d.spPr, "solidFill", d.a, kSpPrOrder), d.a, "FFFFFF");
      });
}

void FillFormat::solid() {
  each(
      shapes_,
      [&](pugi::xml_node s) {
        if (pugi::xml_node f = nsChild(s, kVmlNs, "v", "fill", false))
          for (const char* a : {"type", "color2", "angle", "focus", "focusposition", "focussize",
                                "method", "colors", "src"})
            f.remove_attribute(a);
      },
      [&](const Dml& d) {
        pugi::xml_node fill = fillOf(d.spPr);
        if (fill && std::strcmp(localName(fill), "noFill") != 0 &&
            std::strcmp(localName(fill), "solidFill") != 0)
          solidColor(setFill(d.spPr, "solidFill", d.a, kSpPrOrder), d.a, "FFFFFF");
      });
}

float FillFormat::transparency() const {
  const Shape& shape = firstShape(shapes_, "Fill.Transparency");
  if (!shape.isVml()) {
    Dml d = dmlOf(nodeOf(shape));
    pugi::xml_node fill = fillOf(d.spPr);
    if (!fill || std::strcmp(localName(fill), "solidFill") != 0)
      return 0.0f;
    return static_cast<float>(1.0 - alphaOf(fill.first_child()));
  }
  pugi::xml_node f = nsChild(nodeOf(shape), kVmlNs, "v", "fill", false);
  return static_cast<float>(1.0 - fractionOf(f.attribute("opacity").value(), 1.0));
}

void FillFormat::setTransparency(float t) {
  if (!(t >= 0.0f && t <= 1.0f))
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatTransparency, number(t)));
  each(
      shapes_,
      [&](pugi::xml_node s) {
        pugi::xml_node f = nsChild(s, kVmlNs, "v", "fill", t > 0.0f);
        if (!f)
          return;
        if (t == 0.0f)
          f.remove_attribute("opacity");
        else
          setAttribute(f, "opacity", number(1.0 - t));
      },
      [&](const Dml& d) {
        pugi::xml_node fill = fillOf(d.spPr);
        if (fill && !std::strcmp(localName(fill), "solidFill"))
          setAlpha(solidColor(fill, d.a, "FFFFFF"), d.a, 1.0 - t);
      });
}

namespace {
// The outline (a:ln) of a DrawingML shape, created when missing.
pugi::xml_node lineOf(const Dml& d) {
  if (!d.spPr)
    notForDml("Line");
  return ensureOrdered(d.spPr, "ln", d.a, kSpPrOrder);
}
} // namespace

int LineFormat::visible() const {
  const Shape& shape = firstShape(shapes_, "Line.Visible");
  if (!shape.isVml()) {
    pugi::xml_node ln = childL(dmlOf(nodeOf(shape)).spPr, "ln");
    pugi::xml_node fill = fillOf(ln);
    return tri(fill && std::strcmp(localName(fill), "noFill") != 0);
  }
  return tri(vmlTrue(nodeOf(shape).attribute("stroked").value(), true));
}

void LineFormat::setVisible(int v) {
  each(
      shapes_, [&](pugi::xml_node s) { setAttribute(s, "stroked", v == msoFalse ? "f" : "t"); },
      [&](const Dml& d) {
        pugi::xml_node ln = lineOf(d);
        pugi::xml_node fill = fillOf(ln);
        if (v == msoFalse)
          setFill(ln, "noFill", d.a, kLnOrder);
        else if (!fill || !std::strcmp(localName(fill), "noFill"))
          solidColor(setFill(ln, "solidFill", d.a, kLnOrder), d.a, "000000");
      });
}

float LineFormat::weight() const {
  const Shape& shape = firstShape(shapes_, "Line.Weight");
  if (!shape.isVml()) {
    pugi::xml_attribute w = childL(dmlOf(nodeOf(shape)).spPr, "ln").attribute("w");
    return w ? static_cast<float>(pointsOfEmu(w)) : 0.75f;
  }
  std::string w = nodeOf(shape).attribute("strokeweight").value();
  if (w.empty())
    return 0.75f;
  bool unit = w.find_first_of("pticm") != std::string::npos;
  return toPoints(unit ? w : w + "pt");
}

void LineFormat::setWeight(float points) {
  if (!(points >= 0.0f && points <= 1584.0f))
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatLineWeight, number(points)));
  each(
      shapes_, [&](pugi::xml_node s) { setAttribute(s, "strokeweight", number(points) + "pt"); },
      [&](const Dml& d) { setAttribute(lineOf(d), "w", emu(points)); });
}

namespace {
constexpr const char* kDashStyles[] = {nullptr,      "solid",   "shortdot",       "dot",
                                       "dash",       "dashdot", "longdashdotdot", "longdash",
                                       "longdashdot"};
constexpr const char* kDmlDashStyles[] = {nullptr,   "solid",        "sysDot", "dot",      "dash",
                                          "dashDot", "lgDashDotDot", "lgDash", "lgDashDot"};
constexpr const char* kLineStyles[] = {nullptr,     "single",    "thinThin",
                                       "thinThick", "thickThin", "thickBetweenThin"};
constexpr const char* kDmlLineStyles[] = {nullptr, "sng", "dbl", "thinThick", "thickThin", "tri"};

template <size_t N> int indexOf(const std::string& v, const char* const (&names)[N]) {
  for (size_t i = 1; i < N; ++i)
    if (v == names[i])
      return static_cast<int>(i);
  return 1;
}
} // namespace

int LineFormat::dashStyle() const {
  const Shape& shape = firstShape(shapes_, "Line.DashStyle");
  if (!shape.isVml())
    return indexOf(
        childL(childL(dmlOf(nodeOf(shape)).spPr, "ln"), "prstDash").attribute("val").value(),
        kDmlDashStyles);
  return indexOf(
      nsChild(nodeOf(shape), kVmlNs, "v", "stroke", false).attribute("dashstyle").value(),
      kDashStyles);
}

void LineFormat::setDashStyle(int v) {
  if (v < msoLineSolid || v > msoLineLongDashDot)
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatDashStyle, v));
  each(
      shapes_,
      [&](pugi::xml_node s) {
        setAttribute(nsChild(s, kVmlNs, "v", "stroke", true), "dashstyle", kDashStyles[v]);
      },
      [&](const Dml& d) {
        setAttribute(ensureOrdered(lineOf(d), "prstDash", d.a, kLnOrder), "val", kDmlDashStyles[v]);
      });
}

int LineFormat::style() const {
  const Shape& shape = firstShape(shapes_, "Line.Style");
  if (!shape.isVml())
    return indexOf(childL(dmlOf(nodeOf(shape)).spPr, "ln").attribute("cmpd").value(),
                   kDmlLineStyles);
  return indexOf(
      nsChild(nodeOf(shape), kVmlNs, "v", "stroke", false).attribute("linestyle").value(),
      kLineStyles);
}

void LineFormat::setStyle(int v) {
  if (v < msoLineSingle || v > msoLineThickBetweenThin)
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatLineStyle, v));
  each(
      shapes_,
      [&](pugi::xml_node s) {
        setAttribute(nsChild(s, kVmlNs, "v", "stroke", true), "linestyle", kLineStyles[v]);
      },
      [&](const Dml& d) { setAttribute(lineOf(d), "cmpd", kDmlLineStyles[v]); });
}

float LineFormat::transparency() const {
  const Shape& shape = firstShape(shapes_, "Line.Transparency");
  if (!shape.isVml()) {
    pugi::xml_node fill = fillOf(childL(dmlOf(nodeOf(shape)).spPr, "ln"));
    if (!fill || std::strcmp(localName(fill), "solidFill") != 0)
      return 0.0f;
    return static_cast<float>(1.0 - alphaOf(fill.first_child()));
  }
  pugi::xml_node k = nsChild(nodeOf(shape), kVmlNs, "v", "stroke", false);
  return static_cast<float>(1.0 - fractionOf(k.attribute("opacity").value(), 1.0));
}

void LineFormat::setTransparency(float t) {
  if (!(t >= 0.0f && t <= 1.0f))
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatTransparency, number(t)));
  each(
      shapes_,
      [&](pugi::xml_node s) {
        pugi::xml_node k = nsChild(s, kVmlNs, "v", "stroke", t > 0.0f);
        if (!k)
          return;
        if (t == 0.0f)
          k.remove_attribute("opacity");
        else
          setAttribute(k, "opacity", number(1.0 - t));
      },
      [&](const Dml& d) {
        pugi::xml_node fill = fillOf(lineOf(d));
        if (fill && !std::strcmp(localName(fill), "solidFill"))
          setAlpha(solidColor(fill, d.a, "000000"), d.a, 1.0 - t);
      });
}

// ---- PictureFormat -----------------------------------------------------------------------

namespace {
pugi::xml_node imageData(pugi::xml_node s, const char* /*member*/) {
  pugi::xml_node d = nsChild(s, kVmlNs, "v", "imagedata", false);
  if (!d)
    throw DocumentError(msg::kPicturesOnly);
  return d;
}

pugi::xml_node blipOf(const Dml& d, const char* /*member*/) {
  if (!d.blip)
    throw DocumentError(msg::kPicturesOnly);
  return d.blip;
}

// The a:lum of a picture's blip (brightness and contrast, in 1/1000 %).
pugi::xml_node lumOf(const Dml& d, const char* member, bool create) {
  pugi::xml_node blip = blipOf(d, member);
  pugi::xml_node lum = childL(blip, "lum");
  if (!lum && create) {
    pugi::xml_node ext = childL(blip, "extLst");
    lum = ext ? blip.insert_child_before(qualified(d.a, "lum").c_str(), ext)
              : blip.append_child(qualified(d.a, "lum").c_str());
  }
  return lum;
}

// Word's brightness and contrast (0 to 1, 0.5 unchanged) as DrawingML percentages.
void setLum(const Dml& d, const char* member, const char* attribute, float value) {
  pugi::xml_node lum = lumOf(d, member, true);
  long v = std::lround((value - 0.5) * 200000.0);
  if (v == 0)
    lum.remove_attribute(attribute);
  else
    setAttribute(lum, attribute, std::to_string(v));
  if (!lum.first_attribute())
    lum.parent().remove_child(lum);
}

float lumValue(const Dml& d, const char* member, const char* attribute) {
  return static_cast<float>(0.5 +
                            lumOf(d, member, false).attribute(attribute).as_double() / 200000.0);
}
} // namespace

float PictureFormat::brightness() const {
  const Shape& shape = firstShape(shapes_, "Brightness");
  if (!shape.isVml())
    return lumValue(dmlOf(nodeOf(shape)), "Brightness", "bright");
  pugi::xml_node d = imageData(nodeOf(shape), "Brightness");
  return static_cast<float>(0.5 + fractionOf(d.attribute("blacklevel").value(), 0.0));
}

void PictureFormat::setBrightness(float b) {
  if (!(b >= 0.0f && b <= 1.0f))
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatBrightness, number(b)));
  each(
      shapes_,
      [&](pugi::xml_node s) {
        pugi::xml_node d = imageData(s, "Brightness");
        double level = b - 0.5;
        if (std::fabs(level) < 1e-6)
          d.remove_attribute("blacklevel");
        else
          setAttribute(d, "blacklevel", fixed(level));
      },
      [&](const Dml& d) { setLum(d, "Brightness", "bright", b); });
}

float PictureFormat::contrast() const {
  const Shape& shape = firstShape(shapes_, "Contrast");
  if (!shape.isVml())
    return lumValue(dmlOf(nodeOf(shape)), "Contrast", "contrast");
  pugi::xml_node d = imageData(nodeOf(shape), "Contrast");
  double g = fractionOf(d.attribute("gain").value(), 1.0);
  return static_cast<float>(g <= 1.0 ? g / 2.0 : 1.0 - 0.5 / g);
}

void PictureFormat::setContrast(float c) {
  if (!(c >= 0.0f && c <= 1.0f))
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatContrast, number(c)));
  each(
      shapes_,
      [&](pugi::xml_node s) {
        pugi::xml_node d = imageData(s, "Contrast");
        double g = c <= 0.5f ? 2.0 * c : (c >= 1.0f ? 32767.0 : 0.5 / (1.0 - c));
        if (std::fabs(g - 1.0) < 1e-6)
          d.remove_attribute("gain");
        else
          setAttribute(d, "gain", fixed(g));
      },
      [&](const Dml& d) { setLum(d, "Contrast", "contrast", c); });
}

namespace {
// VML crop attribute -> DrawingML a:srcRect attribute.
const char* srcRectName(const char* attribute) {
  if (!std::strcmp(attribute, "cropleft"))
    return "l";
  if (!std::strcmp(attribute, "cropright"))
    return "r";
  if (!std::strcmp(attribute, "croptop"))
    return "t";
  return "b";
}
} // namespace

float PictureFormat::crop(const char* attribute, bool horizontal) const {
  const Shape& shape = firstShape(shapes_, "Crop");
  double f;
  if (!shape.isVml()) {
    Dml d = dmlOf(nodeOf(shape));
    blipOf(d, "Crop");
    f = childL(d.blipFill, "srcRect").attribute(srcRectName(attribute)).as_double() / 100000.0;
  } else {
    f = fractionOf(imageData(nodeOf(shape), "Crop").attribute(attribute).value(), 0.0);
  }
  return static_cast<float>(f * sizeOf(shape, horizontal));
}

void PictureFormat::setCrop(const char* attribute, bool horizontal, float points) {
  if (!(points >= 0.0f))
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatCrop, number(points)));
  for (const Shape& shape : shapes_) {
    float size = sizeOf(shape, horizontal);
    double fraction = points == 0.0f || size <= 0.0f ? 0.0 : points / size;
    each(
        {shape},
        [&](pugi::xml_node s) {
          pugi::xml_node d = imageData(s, "Crop");
          if (fraction == 0.0)
            d.remove_attribute(attribute);
          else
            setAttribute(d, attribute, fixed(fraction));
        },
        [&](const Dml& d) {
          blipOf(d, "Crop");
          pugi::xml_node rect = childL(d.blipFill, "srcRect");
          if (fraction == 0.0) {
            if (rect) {
              rect.remove_attribute(srcRectName(attribute));
              if (!rect.first_attribute())
                pugi::xml_node(d.blipFill).remove_child(rect);
            }
            return;
          }
          rect = ensureOrdered(d.blipFill, "srcRect", d.a, kBlipFillOrder);
          setAttribute(rect, srcRectName(attribute),
                       std::to_string(std::lround(fraction * 100000)));
        });
  }
}

float PictureFormat::cropLeft() const {
  return crop("cropleft", true);
}
void PictureFormat::setCropLeft(float p) {
  setCrop("cropleft", true, p);
}
float PictureFormat::cropRight() const {
  return crop("cropright", true);
}
void PictureFormat::setCropRight(float p) {
  setCrop("cropright", true, p);
}
float PictureFormat::cropTop() const {
  return crop("croptop", false);
}
void PictureFormat::setCropTop(float p) {
  setCrop("croptop", false, p);
}
float PictureFormat::cropBottom() const {
  return crop("cropbottom", false);
}
void PictureFormat::setCropBottom(float p) {
  setCrop("cropbottom", false, p);
}

// ---- WrapFormat --------------------------------------------------------------------------

namespace {
constexpr const char* kSides[] = {"both", "left", "right", "largest"};
constexpr const char* kDmlSides[] = {"bothSides", "left", "right", "largest"};

pugi::xml_node wrapOf(pugi::xml_node anchor) {
  for (pugi::xml_node c = anchor.first_child(); c; c = c.next_sibling())
    if (c.type() == pugi::node_element &&
        rankIn(kWraps, localName(c)) < static_cast<int>(kWraps.size()))
      return c;
  return {};
}

const char* distanceAttribute(const char* key) {
  if (!std::strcmp(key, "mso-wrap-distance-top"))
    return "distT";
  if (!std::strcmp(key, "mso-wrap-distance-bottom"))
    return "distB";
  if (!std::strcmp(key, "mso-wrap-distance-left"))
    return "distL";
  return "distR";
}
} // namespace

int WrapFormat::allowOverlap() const {
  const Shape& shape = firstShape(shapes_, "AllowOverlap");
  pugi::xml_node s = nodeOf(shape);
  if (!shape.isVml())
    return tri(vmlTrue(s.attribute("allowOverlap").value(), true));
  return tri(vmlTrue(
      s.attribute(nsAttrName(s, kOfficeNs, "o", "allowoverlap", false).c_str()).value(), true));
}

void WrapFormat::setAllowOverlap(bool on) {
  each(
      shapes_,
      [&](pugi::xml_node s) {
        setAttribute(s, nsAttrName(s, kOfficeNs, "o", "allowoverlap", true), on ? "t" : "f");
      },
      [&](const Dml& d) { setAttribute(d.anchor, "allowOverlap", on ? "1" : "0"); });
}

int WrapFormat::side() const {
  const Shape& shape = firstShape(shapes_, "WrapFormat.Side");
  std::string v;
  const auto& names = shape.isVml() ? kSides : kDmlSides;
  if (!shape.isVml())
    v = wrapOf(nodeOf(shape)).attribute("wrapText").value();
  else
    v = nsChild(nodeOf(shape), kWordVmlNs, "w10", "wrap", false).attribute("side").value();
  for (int i = 0; i < 4; ++i)
    if (v == names[i])
      return i;
  return wdWrapBoth;
}

void WrapFormat::setSide(int side) {
  if (side < wdWrapBoth || side > wdWrapLargest)
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatWrapSide, side));
  each(
      shapes_,
      [&](pugi::xml_node s) {
        setAttribute(nsChild(s, kWordVmlNs, "w10", "wrap", true), "side", kSides[side]);
      },
      [&](const Dml& d) {
        // Only square, tight and through wrapping have a side.
        pugi::xml_node wrap = wrapOf(d.anchor);
        if (wrap && wrap.attribute("wrapText"))
          setAttribute(wrap, "wrapText", kDmlSides[side]);
      });
}

float WrapFormat::distance(const char* key) const {
  const Shape& shape = firstShape(shapes_, "WrapFormat.Distance");
  if (!shape.isVml())
    return static_cast<float>(pointsOfEmu(nodeOf(shape).attribute(distanceAttribute(key))));
  return toPoints(styleOf(nodeOf(shape)).get(key));
}

void WrapFormat::setDistance(const char* key, float points) {
  if (!(points >= 0.0f && points <= 1584.0f))
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatWrapDistance, number(points)));
  each(
      shapes_,
      [&](pugi::xml_node s) {
        VmlStyle st = styleOf(s);
        st.set(key, pt(points));
        writeStyle(s, st);
      },
      [&](const Dml& d) { setAttribute(d.anchor, distanceAttribute(key), emu(points)); });
}

float WrapFormat::distanceTop() const {
  return distance("mso-wrap-distance-top");
}
void WrapFormat::setDistanceTop(float p) {
  setDistance("mso-wrap-distance-top", p);
}
float WrapFormat::distanceBottom() const {
  return distance("mso-wrap-distance-bottom");
}
void WrapFormat::setDistanceBottom(float p) {
  setDistance("mso-wrap-distance-bottom", p);
}
float WrapFormat::distanceLeft() const {
  return distance("mso-wrap-distance-left");
}
void WrapFormat::setDistanceLeft(float p) {
  setDistance("mso-wrap-distance-left", p);
}
float WrapFormat::distanceRight() const {
  return distance("mso-wrap-distance-right");
}
void WrapFormat::setDistanceRight(float p) {
  setDistance("mso-wrap-distance-right", p);
}

int WrapFormat::type() const {
  const Shape& shape = firstShape(shapes_, "WrapFormat.Type");
  std::string t;
  if (!shape.isVml()) {
    const char* local = localName(wrapOf(nodeOf(shape)));
    t = !std::strcmp(local, "wrapSquare")         ? "square"
        : !std::strcmp(local, "wrapTight")        ? "tight"
        : !std::strcmp(local, "wrapThrough")      ? "through"
        : !std::strcmp(local, "wrapTopAndBottom") ? "topAndBottom"
                                                  : "";
  } else {
    t = nsChild(nodeOf(shape), kWordVmlNs, "w10", "wrap", false).attribute("type").value();
  }
  if (t == "square")
    return wdWrapSquare;
  if (t == "tight")
    return wdWrapTight;
  if (t == "through")
    return wdWrapThrough;
  if (t == "topAndBottom")
    return wdWrapTopBottom;
  return zOf(shape) < 0 ? wdWrapBehind : wdWrapNone;
}

void WrapFormat::setType(int type) {
  const char* name = type == wdWrapSquare      ? "square"
                     : type == wdWrapTight     ? "tight"
                     : type == wdWrapThrough   ? "through"
                     : type == wdWrapTopBottom ? "topAndBottom"
                                               : nullptr;
  if (!name && type != wdWrapNone && type != wdWrapBehind)
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatWrapType, type));
  for (const Shape& shape : shapes_) {
    each(
        {shape},
        [&](pugi::xml_node s) {
          pugi::xml_node w = nsChild(s, kWordVmlNs, "w10", "wrap", name != nullptr);
          if (name)
            setAttribute(w, "type", name);
          else if (w)
            w.remove_attribute("type");
        },
        [&](const Dml& d) {
          const char* local = type == wdWrapSquare      ? "wrapSquare"
                              : type == wdWrapTight     ? "wrapTight"
                              : type == wdWrapThrough   ? "wrapThrough"
                              : type == wdWrapTopBottom ? "wrapTopAndBottom"
                                                        : "wrapNone";
          pugi::xml_node old = wrapOf(d.anchor);
          std::string side = old.attribute("wrapText").value();
          if (old && !std::strcmp(localName(old), local))
            return;
          if (old)
            pugi::xml_node(d.anchor).remove_child(old);
          pugi::xml_node w = ensureOrdered(d.anchor, local, d.wp, kAnchorOrder);
          if (type == wdWrapSquare || type == wdWrapTight || type == wdWrapThrough)
            setAttribute(w, "wrapText", side.empty() ? "bothSides" : side);
          if (type == wdWrapTight || type == wdWrapThrough) {
            // A polygon is required: the shape's rectangle (21600 units a side).
            pugi::xml_node poly = w.append_child(qualified(d.wp, "wrapPolygon").c_str());
            poly.append_attribute("edited").set_value("0");
            const char* pts[][2] = {
                {"0", "0"}, {"0", "21600"}, {"21600", "21600"}, {"21600", "0"}, {"0", "0"}};
            for (int i = 0; i < 5; ++i) {
              pugi::xml_node p =
                  poly.append_child(qualified(d.wp, i == 0 ? "start" : "lineTo").c_str());
              p.append_attribute("x").set_value(pts[i][0]);
              p.append_attribute("y").set_value(pts[i][1]);
            }
          }
        });
    if (!name)
      setZ(shape, type == wdWrapNone);
  }
}

// ---- TextEffect --------------------------------------------------------------------------

namespace {
pugi::xml_node textPath(const std::vector<Shape>& shapes, const char* member) {
  const Shape& shape = firstShape(shapes, member);
  pugi::xml_node p =
      shape.isVml() ? nsChild(nodeOf(shape), kVmlNs, "v", "textpath", false) : pugi::xml_node();
  if (!p)
    throw DocumentError(msg::kWordArtOnly);
  return p;
}
} // namespace

int TextEffectFormat::presetShape() const {
  textPath(shapes_, "TextEffect.PresetShape");
  return msoTextEffectShapePlainText;
}

void TextEffectFormat::setPresetShape(int shape) {
  if (shape != msoTextEffectShapePlainText)
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatWordArtShape, shape));
  eachVml(shapes_, "TextEffect.PresetShape", [&](pugi::xml_node s) {
    if (!nsChild(s, kVmlNs, "v", "textpath", false))
      throw DocumentError(msg::kWordArtOnly);
    setAttribute(s, "type", "#_x0000_t136");
  });
}

std::string TextEffectFormat::text() const {
  return textPath(shapes_, "TextEffect.Text").attribute("string").value();
}

std::string TextEffectFormat::fontName() const {
  std::string f = VmlStyle(textPath(shapes_, "TextEffect.FontName").attribute("style").value())
                      .get("font-family");
  if (f.size() >= 2 && (f.front() == '"' || f.front() == '\''))
    f = f.substr(1, f.size() - 2);
  return f;
}

float TextEffectFormat::fontSize() const {
  return toPoints(VmlStyle(textPath(shapes_, "TextEffect.FontSize").attribute("style").value())
                      .get("font-size"));
}

int TextEffectFormat::fontBold() const {
  return tri(VmlStyle(textPath(shapes_, "TextEffect.FontBold").attribute("style").value())
                 .get("font-weight") == "bold");
}

int TextEffectFormat::fontItalic() const {
  return tri(VmlStyle(textPath(shapes_, "TextEffect.FontItalic").attribute("style").value())
                 .get("font-style") == "italic");
}

} // namespace word
