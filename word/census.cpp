// The census of a document (word/census.h) and the rewriting of FILLIN fields for a Word
// 97-2003 export.
//
// Elements are recognised by namespace, not by prefix: a part may bind WordprocessingML to
// any prefix, or make it the default namespace, on any element. Of an mc:AlternateContent only
// the first choice is read, so a drawing written with a fallback counts once whoever wrote it.

#include "word/census.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string_view>
#include <unordered_map>

#include <pugixml.hpp>

#include "base/ascii.h"
#include "base/messages.h"
#include "base/utf8.h"
#include "word/internal/access.h"
#include "word/package.h"
#include "word/text.h"

namespace word {

namespace {

constexpr std::string_view kW = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
constexpr std::string_view kWStrict = "http://purl.oclc.org/ooxml/wordprocessingml/main";

// Fields whose result the reader works out afresh (LibreOffice recomputes them on reading a
// .doc): their result text is not part of the signature.
bool recomputedField(std::string_view code) {
  size_t a = code.find_first_not_of(" \t\r\n");
  if (a == std::string_view::npos)
    return false;
  if (code[a] == '=')
    return true;
  size_t b = code.find_first_of(" \t\r\n\\", a);
  std::string word = base::upperAscii(
      code.substr(a, b == std::string_view::npos ? std::string_view::npos : b - a));
  static const std::set<std::string> kRecomputed = {
      "PAGE",       "NUMPAGES",  "SECTIONPAGES", "SECTION",  "DATE",     "TIME",
      "SAVEDATE",   "PRINTDATE", "CREATEDATE",   "EDITTIME", "FILENAME", "FILESIZE",
      "NUMWORDS",   "NUMCHARS",  "PAGEREF",      "SEQ",      "AUTONUM",  "AUTONUMLGL",
      "AUTONUMOUT", "LISTNUM",   "DOCPROPERTY",  "REVNUM",   "USERNAME", "USERINITIALS"};
  return kRecomputed.count(word) > 0;
}

bool isWatermarkName(std::string_view v) {
  return v.rfind("PowerPlusWaterMarkObject", 0) == 0 || v.rfind("WordPictureWatermark", 0) == 0;
}

// True when a picture element names itself as a watermark (wp:docPr @name, v:shape @id).
bool isWatermark(pugi::xml_node n) {
  for (pugi::xml_node d = n.first_child(); d;) {
    for (pugi::xml_attribute a : d.attributes()) {
      std::string_view name = a.name();
      size_t colon = name.rfind(':');
      std::string_view local = colon == std::string_view::npos ? name : name.substr(colon + 1);
      if ((local == "name" || local == "id") && isWatermarkName(a.value()))
        return true;
    }
    if (d.first_child()) {
      d = d.first_child();
      continue;
    }
    while (d && d != n && !d.next_sibling())
      d = d.parent();
    if (!d || d == n)
      break;
    d = d.next_sibling();
  }
  return false;
}

// Folds full-width ASCII letters and digits to ASCII.
char32_t fold(char32_t c) {
  if (c >= 0xFF10 && c <= 0xFF19)
    return c - 0xFF10 + U'0';
  if (c >= 0xFF21 && c <= 0xFF3A)
    return c - 0xFF21 + U'A';
  if (c >= 0xFF41 && c <= 0xFF5A)
    return c - 0xFF41 + U'a';
  return c;
}

// The facts of one header or footer part.
struct Furniture {
  std::u32string text;
  int pictures = 0, fields = 0, tables = 0;
  bool empty() const { return text.empty() && pictures == 0 && fields == 0 && tables == 0; }
  // The content as the user would name it: its letters, then its objects.
  std::string key() const {
    return msg::text(msg::kIntegrityFurnitureKey, toUtf8(text), pictures, fields, tables);
  }
};

// A section's header and footer references and whether it has a distinct first page.
struct SectionRefs {
  std::map<std::string, std::string> headers, footers; // type -> relationship id
  bool titlePage = false;
};

// One walk over a story's XML.
class Walker {
public:
  enum class Mode { Body, Notes, Furniture };
  Walker(Census& c, Mode mode, std::u32string& text) : c_(c), mode_(mode), text_(text) {}

  int pictures = 0, fields = 0, tables = 0; // for Furniture mode
  std::vector<SectionRefs> sections;        // for Body mode

  // Walks a part from its root element (whose namespace declarations count).
  void walkRoot(pugi::xml_node root) {
    element(root, 0);
    joinPieces();
  }

  void walk(pugi::xml_node n, int pictureDepth) {
    for (pugi::xml_node k = n.first_child(); k; k = k.next_sibling()) {
      if (k.type() != pugi::node_element)
        continue;
      element(k, pictureDepth);
    }
  }

private:
  struct Field {
    std::string code;
    bool result = false, recomputed = false;
  };
  Census& c_;
  Mode mode_;
  std::u32string& text_;
  // The letters gathered so far, in pieces of kPiece: a census is held for the whole run,
  // and a string grown by doubling would hold up to twice its letters (and three times while
  // it moves). Joined into text_ at its exact size at the end of the walk.
  static constexpr size_t kPiece = size_t(1) << 16;
  std::vector<std::u32string> pieces_;
  std::vector<Field> fieldStack_;
  int hiddenResults_ = 0; // simple fields whose result is left out, around the current node

  // The declarations in scope: for each prefix ("" for the default namespace) whether its
  // innermost binding is WordprocessingML. Real files declare some thirty namespaces on the
  // root, so the binding of an element's prefix is looked up, not searched for. Leaving an
  // element undoes its declarations from `shadowed_` (the binding each one hid, if any).
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
  };
  std::unordered_map<std::string, bool, Hash, std::equal_to<>> inScope_;
  std::vector<std::pair<std::string, std::optional<bool>>> shadowed_;
  // The last prefix looked up and its answer, until the declarations in scope change (nearly
  // every element of a part shares one prefix).
  mutable std::string lastPrefix_;
  mutable bool lastAnswer_ = false, lastValid_ = false;

  bool isWNs(std::string_view uri) const { return uri == kW || uri == kWStrict; }

  void declare(std::string prefix, bool isW) {
    auto it = inScope_.find(prefix);
    shadowed_.emplace_back(prefix,
                           it == inScope_.end() ? std::nullopt : std::optional<bool>(it->second));
    inScope_.insert_or_assign(std::move(prefix), isW);
    lastValid_ = false;
  }

  void undeclareTo(size_t mark) {
    if (shadowed_.size() == mark)
      return;
    for (; shadowed_.size() > mark; shadowed_.pop_back()) {
      auto& [prefix, before] = shadowed_.back();
      if (before)
        inScope_[prefix] = *before;
      else
        inScope_.erase(prefix);
    }
    lastValid_ = false;
  }

  // Whether `prefix` is bound to WordprocessingML here (innermost declaration wins; a part
  // declaring nothing is read with the usual prefix).
  bool wPrefix(std::string_view prefix) const {
    if (lastValid_ && prefix == lastPrefix_)
      return lastAnswer_;
    bool answer;
    if (inScope_.empty()) {
      answer = prefix == "w";
    } else {
      auto it = inScope_.find(prefix);
      answer = it != inScope_.end() && it->second;
    }
    lastPrefix_.assign(prefix);
    lastAnswer_ = answer;
    lastValid_ = true;
    return answer;
  }

  static std::string_view localName(std::string_view name, std::string_view* prefix) {
    size_t colon = name.find(':');
    if (colon == std::string_view::npos) {
      *prefix = {};
      return name;
    }
    *prefix = name.substr(0, colon);
    return name.substr(colon + 1);
  }

  // The value of the attribute with local name `local` in the main namespace (or unprefixed).
  std::string_view wAttr(pugi::xml_node n, std::string_view local) const {
    for (pugi::xml_attribute a : n.attributes()) {
      std::string_view prefix;
      std::string_view l = localName(a.name(), &prefix);
      if (l == local && (prefix.empty() || wPrefix(prefix)))
        return a.value();
    }
    return {};
  }
  // The value of the attribute with local name `local` outside the main namespace (r:id).
  std::string_view otherAttr(pugi::xml_node n, std::string_view local) const {
    for (pugi::xml_attribute a : n.attributes()) {
      std::string_view prefix;
      std::string_view l = localName(a.name(), &prefix);
      if (l == local && !prefix.empty() && !wPrefix(prefix))
        return a.value();
    }
    return {};
  }

  // True when the element before table `k` (marks that hold no content passed over) is a table.
  bool joinsPrevious(pugi::xml_node k) const {
    for (pugi::xml_node p = k.previous_sibling(); p; p = p.previous_sibling()) {
      if (p.type() != pugi::node_element)
        continue;
      std::string_view prefix;
      std::string_view l = localName(p.name(), &prefix);
      if (l == "bookmarkStart" || l == "bookmarkEnd" || l == "proofErr" || l == "permStart" ||
          l == "permEnd" || l == "commentRangeStart" || l == "commentRangeEnd")
        continue;
      return l == "tbl";
    }
    return false;
  }

  bool resultHidden() const {
    if (hiddenResults_ > 0)
      return true;
    for (const Field& f : fieldStack_)
      if (f.result && (f.recomputed || mode_ == Mode::Furniture))
        return true;
    return false;
  }

  void addText(std::string_view utf8) {
    if (resultHidden())
      return;
    // Decoded in place: a census reads every w:t of the document twice over.
    for (size_t i = 0; i < utf8.size();) {
      char32_t ch = base::decodeUtf8(utf8, i);
      if (isCensusLetter(ch)) {
        if (pieces_.empty() || pieces_.back().size() == kPiece) {
          pieces_.emplace_back();
          pieces_.back().reserve(kPiece);
        }
        pieces_.back().push_back(fold(ch));
      }
    }
  }

  void joinPieces() {
    size_t total = text_.size();
    for (const auto& piece : pieces_)
      total += piece.size();
    text_.reserve(total);
    for (auto& piece : pieces_) {
      text_ += piece;
      std::u32string().swap(piece);
    }
    pieces_.clear();
  }

  void element(pugi::xml_node k, int pictureDepth) {
    // Namespace declarations on this element.
    size_t bound = shadowed_.size();
    for (pugi::xml_attribute a = k.first_attribute(); a; a = a.next_attribute()) {
      const char* raw = a.name();
      if (raw[0] != 'x') // most attributes are no declarations: no length needed
        continue;
      std::string_view name = raw;
      if (name == "xmlns")
        declare(std::string(), isWNs(a.value()));
      else if (name.rfind("xmlns:", 0) == 0)
        declare(std::string(name.substr(6)), isWNs(a.value()));
    }
    std::string_view prefix;
    std::string_view local = localName(k.name(), &prefix);
    if (wPrefix(prefix))
      wElement(k, local, pictureDepth);
    else if (local == "AlternateContent") {
      pugi::xml_node pick;
      for (pugi::xml_node ch = k.first_child(); ch && !pick; ch = ch.next_sibling()) {
        std::string_view p;
        if (localName(ch.name(), &p) == "Choice")
          pick = ch;
      }
      for (pugi::xml_node ch = k.first_child(); ch && !pick; ch = ch.next_sibling()) {
        std::string_view p;
        if (localName(ch.name(), &p) == "Fallback")
          pick = ch;
      }
      if (pick)
        walk(pick, pictureDepth);
    } else {
      walk(k, pictureDepth);
    }
    undeclareTo(bound);
  }

  void wElement(pugi::xml_node k, std::string_view local, int pictureDepth) {
    if (local == "t") {
      addText(k.text().get());
      return;
    }
    // Run and paragraph properties hold nothing counted but a paragraph's section: the walk
    // does not go through the formatting a full run writes on every run and paragraph.
    if (local == "rPr")
      return;
    if (local == "pPr") {
      for (pugi::xml_node ch = k.first_child(); ch; ch = ch.next_sibling()) {
        std::string_view p;
        if (ch.type() == pugi::node_element && localName(ch.name(), &p) == "sectPr")
          element(ch, pictureDepth);
      }
      return;
    }
    if (local == "instrText") {
      if (!fieldStack_.empty() && !fieldStack_.back().result)
        fieldStack_.back().code += k.text().get();
      return;
    }
    if (local == "fldChar") {
      std::string_view type = wAttr(k, "fldCharType");
      if (type == "begin") {
        fieldStack_.push_back({});
        ++(mode_ == Mode::Furniture ? fields : c_.fields);
        for (pugi::xml_node ch = k.first_child(); ch; ch = ch.next_sibling()) {
          std::string_view p;
          if (localName(ch.name(), &p) == "ffData" && mode_ == Mode::Body)
            ++c_.formFields;
        }
      } else if (type == "separate" && !fieldStack_.empty()) {
        fieldStack_.back().result = true;
        fieldStack_.back().recomputed = recomputedField(fieldStack_.back().code);
      } else if (type == "end" && !fieldStack_.empty()) {
        fieldStack_.pop_back();
      }
      return;
    }
    if (local == "fldSimple") {
      ++(mode_ == Mode::Furniture ? fields : c_.fields);
      bool hide = mode_ == Mode::Furniture || recomputedField(wAttr(k, "instr"));
      hiddenResults_ += hide;
      walk(k, pictureDepth);
      hiddenResults_ -= hide;
      return;
    }
    if (local == "drawing" || local == "pict" || local == "object") {
      if (pictureDepth == 0 && !isWatermark(k))
        ++(mode_ == Mode::Furniture ? pictures : c_.pictures);
      walk(k, pictureDepth + 1);
      return;
    }
    if (local == "sectPr") {
      std::string_view parent;
      std::string_view pl = localName(k.parent().name(), &parent);
      if (mode_ == Mode::Body && (pl == "pPr" || pl == "body")) {
        ++c_.sections;
        SectionRefs refs;
        for (pugi::xml_node ch = k.first_child(); ch; ch = ch.next_sibling()) {
          std::string_view p;
          std::string_view l = localName(ch.name(), &p);
          if (l == "headerReference" || l == "footerReference") {
            std::string type(wAttr(ch, "type"));
            (l == "headerReference" ? refs.headers
                                    : refs.footers)[type.empty() ? "default" : type] =
                std::string(otherAttr(ch, "id"));
          } else if (l == "titlePg") {
            std::string_view v = wAttr(ch, "val");
            refs.titlePage = v.empty() || v == "1" || v == "true" || v == "on";
          }
        }
        sections.push_back(std::move(refs));
      }
      return;
    }
    // Earlier states of tracked property changes hold no content of their own.
    if (local.size() > 6 && local.substr(local.size() - 6) == "Change")
      return;
    if (mode_ == Mode::Body) {
      if (local == "tbl") {
        // Tables with no paragraph between them are one table to Word and LibreOffice.
        if (!joinsPrevious(k))
          ++c_.tables;
      } else if (local == "tc")
        ++c_.cells;
      else if (local == "sdt")
        ++c_.contentControls;
      else if (local == "bookmarkStart") {
        if (wAttr(k, "name") != "_GoBack")
          ++c_.bookmarks;
      } else if (local == "footnoteReference")
        ++c_.footnotes;
      else if (local == "endnoteReference")
        ++c_.endnotes;
      else if (local == "commentReference")
        ++c_.comments;
    } else if (mode_ == Mode::Furniture && local == "tbl") {
      ++tables;
    } else if (mode_ == Mode::Notes && (local == "footnote" || local == "endnote")) {
      std::string_view type = wAttr(k, "type");
      if (!type.empty() && type != "normal")
        return; // separators
    }
    walk(k, pictureDepth);
  }
};

// The root element of a part, or an empty node. A part that cannot be parsed (the model never
// needed it, so nothing reported it) has nothing the census can count: it is passed over, and
// compares equal before and after since it is never written.
pugi::xml_node rootOf(Package& pkg, const std::string& part) {
  if (part.empty())
    return {};
  try {
    pugi::xml_document* doc = pkg.xml(part);
    return doc ? doc->document_element() : pugi::xml_node();
  } catch (const DocumentError&) {
    return {};
  }
}

std::vector<Relationship> relationshipsOf(Package& pkg, const std::string& part) {
  try {
    return pkg.relationships(part);
  } catch (const DocumentError&) {
    return {};
  }
}

} // namespace

bool isCensusLetter(char32_t c) {
  if (c < 0x80)
    return (c >= U'0' && c <= U'9') || (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z');
  if (c < 0xC0 || c == 0xD7 || c == 0xF7)
    return false;
  if (c >= 0x300 && c <= 0x36F) // combining marks
    return false;
  if (c >= 0x2000 && c <= 0x2BFF) // punctuation, symbols; but roman and circled numerals
    return (c >= 0x2160 && c <= 0x2188) || (c >= 0x2460 && c <= 0x24FF);
  if (c >= 0x2E00 && c <= 0x2E7F) // supplemental punctuation
    return false;
  if (c >= 0x3000 && c <= 0x303F) // CJK punctuation; but 〇 and the Hangzhou numerals
    return c == 0x3007 || (c >= 0x3021 && c <= 0x3029);
  if (c == 0x30A0 || c == 0x30FB)
    return false;
  if (c >= 0xE000 && c <= 0xF8FF) // private use (symbol fonts)
    return false;
  if (c >= 0xFE10 && c <= 0xFE6F) // vertical, small and compatibility forms
    return false;
  if (c >= 0xFF00 && c <= 0xFFEF)
    return fold(c) != c || (c >= 0xFF66 && c <= 0xFF9D);
  if (c >= 0xFFF0 && c <= 0xFFFF)
    return false;
  return c <= 0x10FFFF;
}

Census takeCensus(Package& pkg) {
  Census c;
  std::string main;
  try {
    main = pkg.mainPart();
  } catch (const DocumentError&) {
    return c;
  }
  pugi::xml_node root = rootOf(pkg, main);
  if (!root)
    return c;
  Walker body(c, Walker::Mode::Body, c.text);
  body.walkRoot(root);
  c.sections = std::max(c.sections, 1); // a body without w:sectPr is one section

  std::map<std::string, std::string> targets; // relationship id -> part
  std::string settings;
  std::vector<std::string> notes;
  for (const Relationship& r : relationshipsOf(pkg, main)) {
    if (r.targetMode == "External")
      continue;
    targets[r.id] = r.target;
    if (r.type.ends_with("/settings"))
      settings = r.target;
    else if (r.type.ends_with("/footnotes") || r.type.ends_with("/endnotes") ||
             r.type.ends_with("/comments"))
      notes.push_back(r.target);
  }
  for (const std::string& part : notes) {
    pugi::xml_node n = rootOf(pkg, part);
    if (!n)
      continue;
    Walker w(c, Walker::Mode::Notes, c.notesText);
    w.walkRoot(n);
  }

  bool evenAndOdd = false;
  if (pugi::xml_node s = rootOf(pkg, settings)) {
    for (pugi::xml_node ch = s.first_child(); ch; ch = ch.next_sibling()) {
      std::string_view name = ch.name();
      size_t colon = name.find(':');
      if (name.substr(colon == std::string_view::npos ? 0 : colon + 1) == "evenAndOddHeaders") {
        std::string_view v;
        for (pugi::xml_attribute a : ch.attributes())
          if (std::string_view(a.name()).find("val") != std::string_view::npos)
            v = a.value();
        evenAndOdd = v.empty() || v == "1" || v == "true" || v == "on";
      }
    }
  }

  // The header or footer parts in effect, section by section (a section without a reference
  // of a type keeps the previous section's).
  std::map<std::string, Furniture> furniture; // by part
  auto facts = [&](const std::string& id) -> const Furniture* {
    auto t = targets.find(id);
    if (t == targets.end())
      return nullptr;
    auto [it, fresh] = furniture.try_emplace(t->second);
    if (fresh) {
      if (pugi::xml_node n = rootOf(pkg, t->second)) {
        Census ignored;
        Walker w(ignored, Walker::Mode::Furniture, it->second.text);
        w.walkRoot(n);
        it->second.pictures = w.pictures;
        it->second.fields = w.fields;
        it->second.tables = w.tables;
      }
    }
    return &it->second;
  };
  std::set<std::string> headers, footers, defaultHeaders, defaultFooters;
  std::map<std::string, std::string> curHeader, curFooter;
  for (size_t i = 0; i < body.sections.size(); ++i) {
    const SectionRefs& s = body.sections[i];
    for (const auto& [type, id] : s.headers)
      curHeader[type] = id;
    for (const auto& [type, id] : s.footers)
      curFooter[type] = id;
    std::vector<std::string> types = {"default"};
    if (s.titlePage)
      types.push_back("first");
    if (evenAndOdd)
      types.push_back("even");
    for (const std::string& type : types) {
      if (auto h = curHeader.find(type); h != curHeader.end())
        if (const Furniture* f = facts(h->second); f && !f->empty()) {
          headers.insert(f->key());
          if (type == "default")
            defaultHeaders.insert(f->key());
          if (i == 0)
            c.firstSectionHeaders.push_back(type + ":" + f->key());
        }
      if (auto h = curFooter.find(type); h != curFooter.end())
        if (const Furniture* f = facts(h->second); f && !f->empty()) {
          footers.insert(f->key());
          if (type == "default")
            defaultFooters.insert(f->key());
        }
    }
  }
  c.headers.assign(headers.begin(), headers.end());
  c.footers.assign(footers.begin(), footers.end());
  c.defaultHeaders.assign(defaultHeaders.begin(), defaultHeaders.end());
  c.defaultFooters.assign(defaultFooters.begin(), defaultFooters.end());
  return c;
}

namespace {

// The prefix of an element's name ("w" of "w:fldChar", "" for a default namespace).
std::string prefixOf(pugi::xml_node n) {
  std::string_view name = n.name();
  size_t colon = name.find(':');
  return colon == std::string_view::npos ? std::string() : std::string(name.substr(0, colon));
}

std::string localOf(pugi::xml_node n) {
  std::string_view name = n.name();
  size_t colon = name.find(':');
  return std::string(colon == std::string_view::npos ? name : name.substr(colon + 1));
}

// The prompt of a FILLIN code (its first argument, without quotes), or nullopt when the code
// is not FILLIN.
std::optional<std::string> fillInPrompt(const std::string& code) {
  size_t a = code.find_first_not_of(" \t\r\n");
  if (a == std::string::npos || code.size() - a < 6)
    return std::nullopt;
  std::string word = base::upperAscii(std::string_view(code).substr(a, 6));
  if (word != "FILLIN" || (a + 6 < code.size() && code[a + 6] != ' ' && code[a + 6] != '"'))
    return std::nullopt;
  size_t p = code.find_first_not_of(' ', a + 6);
  if (p == std::string::npos || code[p] == '\\')
    return std::string();
  if (code[p] == '"') {
    size_t q = code.find('"', p + 1);
    return code.substr(p + 1, q == std::string::npos ? std::string::npos : q - p - 1);
  }
  size_t q = code.find_first_of(" \\", p);
  return code.substr(p, q == std::string::npos ? std::string::npos : q - p);
}

// Adds w:ffData of a text form field named after `prompt` to a begin w:fldChar.
// Qualified names for new elements (under the prefix `w` of their neighbours) and their
// attributes (which need a prefix even where WordprocessingML is the default namespace).
struct NewNames {
  std::string w, a;
  std::string q(const char* local) const { return w.empty() ? local : w + ":" + local; }
  std::string attr(const char* local) const { return a + ":" + local; }
};

// The names for new content next to `n`: its own prefix for elements; for attributes a prefix
// the part's root binds to WordprocessingML, "w" declared on the root when it binds none.
NewNames newNames(pugi::xml_node n) {
  NewNames out{prefixOf(n), prefixOf(n)};
  if (!out.a.empty())
    return out;
  pugi::xml_node root = n;
  while (root.parent() && root.parent().type() == pugi::node_element)
    root = root.parent();
  for (pugi::xml_attribute a : root.attributes()) {
    std::string_view name = a.name();
    if (name.rfind("xmlns:", 0) == 0 && (a.value() == kW || a.value() == kWStrict)) {
      out.a = std::string(name.substr(6));
      return out;
    }
  }
  out.a = "w";
  if (!root.attribute("xmlns:w"))
    root.append_attribute("xmlns:w") = std::string(kW).c_str();
  return out;
}

void addTextFormData(pugi::xml_node fldChar, const std::string& prompt) {
  const NewNames n = newNames(fldChar);
  auto q = [&](const char* local) { return n.q(local); };
  auto qa = [&](const char* local) { return n.attr(local); };
  pugi::xml_node ff = fldChar.prepend_child(q("ffData").c_str());
  // A form field's name is at most 20 characters.
  std::u32string name = toU32(prompt).substr(0, 20);
  ff.append_child(q("name").c_str()).append_attribute(qa("val").c_str()) = toUtf8(name).c_str();
  ff.append_child(q("enabled").c_str());
  ff.append_child(q("calcOnExit").c_str()).append_attribute(qa("val").c_str()) = "0";
  if (!prompt.empty()) {
    pugi::xml_node status = ff.append_child(q("statusText").c_str());
    status.append_attribute(qa("type").c_str()) = "text";
    status.append_attribute(qa("val").c_str()) = prompt.substr(0, 138).c_str();
  }
  ff.append_child(q("textInput").c_str());
}

} // namespace

namespace {

// writeFillInAsFormText for one part.
int fillInAsFormText(Package& pkg, const std::string& main) {
  pugi::xml_node root = rootOf(pkg, main);
  if (!root)
    return 0;
  // Complex fields: the begin marks and the code pieces up to the separator.
  struct Open {
    pugi::xml_node begin;
    std::vector<pugi::xml_node> code;
    bool separated = false;
  };
  std::vector<Open> stack;
  std::vector<pugi::xml_node> simple;
  int rewritten = 0;
  auto finish = [&](Open& f) {
    std::string code;
    for (pugi::xml_node t : f.code)
      code += t.text().get();
    std::optional<std::string> prompt = fillInPrompt(code);
    if (!prompt || f.code.empty() || localOf(f.begin.first_child()) == "ffData")
      return;
    f.code.front().text().set(" FORMTEXT ");
    for (size_t i = 1; i < f.code.size(); ++i)
      f.code[i].text().set("");
    addTextFormData(f.begin, *prompt);
    ++rewritten;
  };
  for (pugi::xml_node n = root.first_child(); n;) {
    const std::string local = localOf(n);
    if (n.type() == pugi::node_element) {
      if (local == "fldChar") {
        std::string type;
        for (pugi::xml_attribute a : n.attributes())
          if (std::string_view(a.name()).ends_with("fldCharType"))
            type = a.value();
        if (type == "begin")
          stack.push_back({n, {}, false});
        else if (type == "separate" && !stack.empty()) {
          stack.back().separated = true;
          finish(stack.back());
        } else if (type == "end" && !stack.empty()) {
          if (!stack.back().separated)
            finish(stack.back());
          stack.pop_back();
        }
      } else if (local == "instrText" && !stack.empty() && !stack.back().separated) {
        stack.back().code.push_back(n);
      } else if (local == "fldSimple") {
        simple.push_back(n);
      }
    }
    if (n.first_child() && n.type() == pugi::node_element) {
      n = n.first_child();
      continue;
    }
    while (n && n != root && !n.next_sibling())
      n = n.parent();
    if (!n || n == root)
      break;
    n = n.next_sibling();
  }
  // Simple fields become complex ones around the same result runs.
  for (pugi::xml_node f : simple) {
    std::string instr;
    for (pugi::xml_attribute a : f.attributes())
      if (std::string_view(a.name()).ends_with("instr"))
        instr = a.value();
    std::optional<std::string> prompt = fillInPrompt(instr);
    if (!prompt)
      continue;
    const NewNames names = newNames(f);
    auto q = [&](const char* local) { return names.q(local); };
    pugi::xml_node parent = f.parent();
    auto mark = [&](const char* type, pugi::xml_node before) {
      pugi::xml_node r = parent.insert_child_before(q("r").c_str(), before);
      pugi::xml_node c = r.append_child(q("fldChar").c_str());
      c.append_attribute(names.attr("fldCharType").c_str()) = type;
      return c;
    };
    addTextFormData(mark("begin", f), *prompt);
    pugi::xml_node r = parent.insert_child_before(q("r").c_str(), f);
    pugi::xml_node t = r.append_child(q("instrText").c_str());
    t.append_attribute("xml:space") = "preserve";
    t.text().set(" FORMTEXT ");
    mark("separate", f);
    while (pugi::xml_node k = f.first_child())
      parent.insert_move_before(k, f);
    mark("end", f);
    parent.remove_child(f);
    ++rewritten;
  }
  if (rewritten)
    pkg.markDirty(main);
  return rewritten;
}

} // namespace

int writeFillInAsFormText(Document& doc) {
  Package& pkg = packageOf(doc);
  std::string main;
  try {
    main = pkg.mainPart();
  } catch (const DocumentError&) {
    return 0;
  }
  int rewritten = fillInAsFormText(pkg, main);
  for (const Relationship& r : relationshipsOf(pkg, main))
    if (r.targetMode != "External" &&
        (r.type.ends_with("/header") || r.type.ends_with("/footer") ||
         r.type.ends_with("/footnotes") || r.type.ends_with("/endnotes")))
      rewritten += fillInAsFormText(pkg, r.target);
  return rewritten;
}

Census takeCensus(Document& doc) {
  return takeCensus(packageOf(doc));
}

} // namespace word
