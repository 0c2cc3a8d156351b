#include "word/internal/merge_runs.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "word/internal/xmlns.h"

namespace word {

namespace {

bool xmlSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool whitespaceOnly(const char* s) {
  for (; *s; ++s)
    if (!xmlSpace(*s))
      return false;
  return true;
}

bool ignorableText(pugi::xml_node c) {
  return c.type() == pugi::node_pcdata && whitespaceOnly(c.value());
}

// Revision ids (w:rsidR, w:rsidRPr, w:rsidDel…) say which editing session made a run; they do
// not format it.
bool revisionId(const char* qualified) {
  const char* colon = std::strrchr(qualified, ':');
  const char* local = colon ? colon + 1 : qualified;
  return std::strncmp(local, "rsid", 4) == 0;
}

// Appends a piece with its length first, so that no two different lists of pieces give the
// same string.
void piece(std::string& out, std::string_view s) {
  out += std::to_string(s.size());
  out += ':';
  out += s;
}

void canonicalAttributes(pugi::xml_node e, std::string& out) {
  std::vector<std::pair<std::string_view, std::string_view>> attrs;
  for (pugi::xml_attribute a : e.attributes())
    if (!revisionId(a.name()))
      attrs.emplace_back(a.name(), a.value());
  std::sort(attrs.begin(), attrs.end());
  for (const auto& [name, value] : attrs) {
    piece(out, name);
    piece(out, value);
  }
}

// A form of an element's children that is equal for equal formatting: attributes in any
// order, revision ids left out, child elements in any order unless a name repeats (then the
// order may decide which one counts), whitespace between elements left out.
void canonicalChildren(pugi::xml_node e, std::string& out);

void canonicalElement(pugi::xml_node e, std::string& out) {
  out += '<';
  piece(out, e.name());
  canonicalAttributes(e, out);
  canonicalChildren(e, out);
  out += '>';
}

void canonicalChildren(pugi::xml_node e, std::string& out) {
  std::vector<std::string> kids;
  std::vector<std::string_view> names;
  for (pugi::xml_node c = e.first_child(); c; c = c.next_sibling()) {
    std::string k;
    if (c.type() == pugi::node_element) {
      canonicalElement(c, k);
      names.emplace_back(c.name());
    } else if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) {
      if (ignorableText(c))
        continue;
      k = "#";
      piece(k, c.value());
    } else {
      continue;
    }
    kids.push_back(std::move(k));
  }
  std::sort(names.begin(), names.end());
  if (std::adjacent_find(names.begin(), names.end()) == names.end())
    std::sort(kids.begin(), kids.end());
  out += '[';
  for (const std::string& k : kids)
    piece(out, k);
  out += ']';
}

// The attributes of `a` and `b` other than revision ids are the same, in any order.
bool sameAttributes(pugi::xml_node a, pugi::xml_node b) {
  size_t counted = 0;
  for (pugi::xml_attribute x : a.attributes()) {
    if (revisionId(x.name()))
      continue;
    ++counted;
    pugi::xml_attribute y = b.attribute(x.name());
    if (!y || std::strcmp(x.value(), y.value()) != 0)
      return false;
  }
  for (pugi::xml_attribute y : b.attributes())
    if (!revisionId(y.name()) && counted-- == 0)
      return false;
  return counted == 0;
}

// `c` or the first sibling after it that counts for formatting (an element, or text that is
// not only whitespace); null when none.
pugi::xml_node significant(pugi::xml_node c) {
  while (c && c.type() != pugi::node_element &&
         !((c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) && !ignorableText(c)))
    c = c.next_sibling();
  return c;
}

// Equal elements with their children in the same order (attributes in any order, revision ids
// left out): how one writer writes equal formatting, checked without building anything.
bool sameInOrder(pugi::xml_node a, pugi::xml_node b) {
  if (!sameAttributes(a, b))
    return false;
  pugi::xml_node x = significant(a.first_child()), y = significant(b.first_child());
  for (; x && y; x = significant(x.next_sibling()), y = significant(y.next_sibling())) {
    if (x.type() != y.type())
      return false;
    if (x.type() == pugi::node_element) {
      if (std::strcmp(x.name(), y.name()) != 0 || !sameInOrder(x, y))
        return false;
    } else if (std::strcmp(x.value(), y.value()) != 0) {
      return false;
    }
  }
  return !x && !y;
}

size_t elementCount(pugi::xml_node e) {
  size_t n = 0;
  for (pugi::xml_node c = e.first_child(); c; c = c.next_sibling())
    if (c.type() == pugi::node_element)
      n += 1 + elementCount(c);
  return n;
}

// Runs `a` and `b` (with their w:rPr, null when none) format their content alike: equal
// attributes and equal run properties (an empty w:rPr is none; see mergeRuns).
bool sameFormat(pugi::xml_node a, pugi::xml_node aPr, pugi::xml_node b, pugi::xml_node bPr) {
  if (!sameAttributes(a, b))
    return false;
  if (!aPr || !bPr) {
    pugi::xml_node other = aPr ? aPr : bPr;
    return !other || (!significant(other.first_child()) && sameAttributes(other, pugi::xml_node()));
  }
  if (sameInOrder(aPr, bPr))
    return true;
  // Equal elements in another order: compared in a form that sorts them.
  if (elementCount(aPr) != elementCount(bPr))
    return false;
  std::string x, y;
  canonicalAttributes(aPr, x);
  canonicalChildren(aPr, x);
  canonicalAttributes(bPr, y);
  canonicalChildren(bPr, y);
  return x == y;
}

class Merger {
public:
  explicit Merger(const WNames& n) : n_(n) {}

  size_t removed = 0;

  void mergeChildren(pugi::xml_node parent) {
    pugi::xml_node first, firstPr, rPr;
    bool grown = false;
    auto close = [&]() {
      if (first && grown)
        joinText(first);
      first = {};
      grown = false;
    };
    for (pugi::xml_node c = parent.first_child(), next; c; c = next) {
      next = c.next_sibling();
      if (ignorableText(c))
        continue;
      if (n_.is(c, "r") && textRun(c, rPr)) {
        if (first && sameFormat(first, firstPr, c, rPr)) {
          moveContent(c, first);
          parent.remove_child(c);
          ++removed;
          grown = true;
          continue;
        }
        close();
        first = c;
        firstPr = rPr;
        continue;
      }
      close();
    }
    close();
  }

  bool named(const char* local, const char* name) const { return std::strcmp(local, name) == 0; }

  // True when `r` holds only text content (see mergeRuns); `rPr` is then its w:rPr or null.
  bool textRun(pugi::xml_node r, pugi::xml_node& rPr) const {
    rPr = {};
    bool content = false;
    for (pugi::xml_node c = r.first_child(); c; c = c.next_sibling()) {
      if (ignorableText(c))
        continue;
      const char* local = n_.localOf(c);
      if (!local)
        return false;
      if (named(local, "rPr")) {
        if (content || rPr)
          return false;
        rPr = c;
        continue;
      }
      content = true;
      if (named(local, "t")) {
        for (pugi::xml_attribute a : c.attributes())
          if (std::strcmp(a.name(), "xml:space") != 0)
            return false;
        for (pugi::xml_node t = c.first_child(); t; t = t.next_sibling())
          if (t.type() != pugi::node_pcdata)
            return false;
        continue;
      }
      if (!(named(local, "tab") || named(local, "br") || named(local, "cr") ||
            named(local, "noBreakHyphen") || named(local, "softHyphen")))
        return false;
      if (c.first_attribute() || c.first_child())
        return false;
    }
    return true;
  }

private:
  const WNames& n_;

  // Moves the content of run `from` (everything but its w:rPr and whitespace) to the end of
  // run `to`.
  void moveContent(pugi::xml_node from, pugi::xml_node to) const {
    for (pugi::xml_node c = from.first_child(), next; c; c = next) {
      next = c.next_sibling();
      if (c.type() != pugi::node_element || n_.is(c, "rPr"))
        continue;
      to.append_move(c);
    }
  }

  struct Piece {
    pugi::xml_node t;
    std::string text;
    bool preserved = false;
    bool changed = false;
  };

  static bool preserved(pugi::xml_node t) {
    return std::strcmp(t.attribute("xml:space").value(), "preserve") == 0;
  }

  static std::string textOf(pugi::xml_node t) {
    std::string s;
    for (pugi::xml_node c = t.first_child(); c; c = c.next_sibling())
      s += c.value();
    return s;
  }

  static bool hasSpace(const std::string& s) { return std::any_of(s.begin(), s.end(), xmlSpace); }

  static bool spaceAtEdge(const std::string& s) {
    return !s.empty() && (xmlSpace(s.front()) || xmlSpace(s.back()));
  }

  // True when `a` followed by `b` reads as the text of one w:t (preserved when either is).
  static bool joinable(const Piece& a, bool bPreserved, const std::string& b) {
    if (a.preserved && bPreserved)
      return true;
    if (!a.preserved && !bPreserved)
      return !spaceAtEdge(a.text) && !spaceAtEdge(b);
    return a.preserved ? !hasSpace(b) : !hasSpace(a.text);
  }

  static void write(Piece& p) {
    if (!p.t || !p.changed)
      return;
    while (pugi::xml_node c = p.t.first_child())
      p.t.remove_child(c);
    p.t.append_child(pugi::node_pcdata).set_value(p.text.c_str());
    if (p.preserved) {
      pugi::xml_attribute space = p.t.attribute("xml:space");
      if (!space)
        space = p.t.append_attribute("xml:space");
      space.set_value("preserve");
    }
  }

  // Joins the adjacent w:t of a merged run where that keeps the text as it reads.
  void joinText(pugi::xml_node r) const {
    Piece acc;
    for (pugi::xml_node c = r.first_child(), next; c; c = next) {
      next = c.next_sibling();
      if (ignorableText(c))
        continue;
      if (!n_.is(c, "t")) {
        write(acc);
        acc = Piece{};
        continue;
      }
      const bool keep = preserved(c);
      std::string text = textOf(c);
      if (acc.t && joinable(acc, keep, text)) {
        acc.text += text;
        acc.preserved = acc.preserved || keep;
        acc.changed = true;
        r.remove_child(c);
        continue;
      }
      write(acc);
      acc = Piece{c, std::move(text), keep, false};
    }
    write(acc);
  }
};

} // namespace

size_t mergeRuns(pugi::xml_node root) {
  if (!root)
    return 0;
  const WNames n = WNames::forRoot(root);
  Merger merger(n);
  // Every element is visited once, in document order, without recursion; its children are
  // merged before the walk goes down into them.
  // Properties, text and runs of text hold no runs: the walk does not go into them.
  // (Told apart by the first letter before any comparison: every element of the part comes by.)
  auto holdsNoRuns = [&](pugi::xml_node e) {
    const char* local = n.localOf(e);
    if (!local)
      return false;
    pugi::xml_node rPr;
    switch (local[0]) {
    case 'p':
      return std::strcmp(local, "pPr") == 0;
    case 'r':
      return std::strcmp(local, "rPr") == 0 || (local[1] == '\0' && merger.textRun(e, rPr));
    case 's':
      return std::strcmp(local, "sectPr") == 0;
    case 't':
      return local[1] == '\0' || std::strcmp(local, "tblPr") == 0 ||
             std::strcmp(local, "trPr") == 0 || std::strcmp(local, "tcPr") == 0;
    default:
      return false;
    }
  };
  pugi::xml_node e = root;
  while (e) {
    const bool skip = holdsNoRuns(e);
    if (!skip)
      merger.mergeChildren(e);
    pugi::xml_node down = skip ? pugi::xml_node() : e.first_child();
    while (down && down.type() != pugi::node_element)
      down = down.next_sibling();
    if (down) {
      e = down;
      continue;
    }
    while (e && e != root) {
      pugi::xml_node side = e.next_sibling();
      while (side && side.type() != pugi::node_element)
        side = side.next_sibling();
      if (side) {
        e = side;
        break;
      }
      e = e.parent();
    }
    if (e == root)
      break;
  }
  return merger.removed;
}

} // namespace word
