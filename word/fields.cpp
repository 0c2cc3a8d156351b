#include "word/fields.h"

#include <algorithm>

#include "base/messages.h"
#include "word/internal/story.h"
#include "word/internal/xmlns.h"
#include "word/text.h"

namespace word {

namespace {

pugi::xml_node nextInOrder(pugi::xml_node node, pugi::xml_node root) {
  if (node.first_child())
    return node.first_child();
  while (node && node != root) {
    if (node.next_sibling())
      return node.next_sibling();
    node = node.parent();
  }
  return {};
}

void collectFields(pugi::xml_node node, const WNames& n, std::vector<pugi::xml_node>& out) {
  for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
    if (c.type() != pugi::node_element)
      continue;
    if (n.is(c, "fldSimple")) {
      out.push_back(c);
    } else if (n.is(c, "fldChar")) {
      if (attr(c, "fldCharType", n) == "begin")
        out.push_back(c);
      continue;
    }
    collectFields(c, n, out);
  }
}

} // namespace

// ---- Fields ------------------------------------------------------------------------------

Fields::Fields(Story* story, int64_t start, int64_t end, Selection* owner)
    : story_(story), start_(start), end_(end), owner_(owner) {}

std::vector<pugi::xml_node> Fields::list() const {
  std::vector<pugi::xml_node> out;
  if (!story_)
    return out;
  for (ParaRec* rec : story_->parasIn(start_, std::max(end_, start_ + 1)))
    collectFields(rec->p, story_->names(), out);
  return out;
}

int Fields::count() const {
  return static_cast<int>(list().size());
}

Field Fields::item(int index) const {
  std::vector<pugi::xml_node> all = list();
  if (index < 1 || index > static_cast<int>(all.size()))
    throw DocumentError(msg::text(msg::kFieldMissing, index));
  return Field(story_, all[static_cast<size_t>(index - 1)]);
}

Field Fields::add(const Range& range, int type, const std::string& text) {
  Story* st = range.story();
  if (!st)
    throw DocumentError(msg::kFieldNeedsStory);
  std::string code;
  std::string result = "1";
  if (type == wdFieldPage || type == wdFieldNumPages) {
    code = type == wdFieldPage ? " PAGE " : " NUMPAGES ";
    if (!text.empty())
      code += text + " ";
  } else if (type == wdFieldEmpty) {
    code = text;
    result.clear();
  } else {
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatFieldType, type));
  }
  bool fromSelection = owner_ && owner_->story() == st && owner_->start() == range.start() &&
                       owner_->end() == range.end();
  Range r = range;
  if (r.end() > r.start())
    r.deleteText();
  int64_t pos = r.start();
  const WNames& n = st->names();

  pugi::xml_node from;
  pugi::xml_node first = insertRunAt(*st, pos, &from);
  pugi::xml_node rPr = from ? from.child(n.rPr.c_str()) : pugi::xml_node();
  pugi::xml_node p = first.parent();
  while (p && !n.is(p, "p"))
    p = p.parent();
  if (!from)
    rPr = p.child(n.pPr.c_str()).child(n.rPr.c_str());
  auto format = [&](pugi::xml_node run) {
    if (!rPr)
      return;
    pugi::xml_node c = run.prepend_copy(rPr);
    c.set_name(n.rPr.c_str());
    for (const char* drop : {"ins", "del", "moveFrom", "moveTo", "rPrChange"})
      while (pugi::xml_node d = c.child(n.q(drop)))
        c.remove_child(d);
  };
  auto fldChar = [&](pugi::xml_node run, const char* kind) {
    pugi::xml_node f = run.append_child(n.q("fldChar"));
    setAttr(f, "fldCharType", kind, n);
    return f;
  };
  pugi::xml_node begin = fldChar(first, "begin");
  format(first);
  pugi::xml_node last = first;
  auto next = [&]() {
    last = last.parent().insert_child_after(n.r.c_str(), last);
    format(last);
    return last;
  };
  pugi::xml_node instr = next().append_child(n.q("instrText"));
  instr.append_attribute("xml:space").set_value("preserve");
  instr.text().set(code.c_str());
  if (!result.empty()) {
    fldChar(next(), "separate");
    pugi::xml_node t = next().append_child(n.t.c_str());
    t.text().set(result.c_str());
  }
  fldChar(next(), "end");

  if (ParaRec* rec = st->recOf(p))
    st->invalidateText(rec);
  st->touch();
  if (fromSelection) {
    int64_t after = pos + static_cast<int64_t>(utf8Length(result));
    owner_->setRange(Range(st, after, after));
  }
  return Field(st, begin);
}

std::string Field::code() const {
  const WNames& n = story_->names();
  if (n.is(begin_, "fldSimple"))
    return attr(begin_, "instr", n);
  std::string code;
  int depth = 0;
  for (pugi::xml_node c = nextInOrder(begin_, story_->root()); c;
       c = nextInOrder(c, story_->root())) {
    if (n.is(c, "fldChar")) {
      std::string kind = attr(c, "fldCharType", n);
      if (kind == "begin")
        ++depth;
      else if (depth == 0)
        break;
      else if (kind == "end")
        --depth;
    } else if (depth == 0 && n.is(c, "instrText")) {
      code += c.text().get();
    }
  }
  return code;
}

std::string Field::result() const {
  const WNames& n = story_->names();
  std::string out;
  if (n.is(begin_, "fldSimple")) {
    for (pugi::xpath_node x : begin_.select_nodes(".//*[local-name()='t']"))
      out += x.node().text().get();
    return out;
  }
  int depth = 0;
  bool inResult = false;
  for (pugi::xml_node c = nextInOrder(begin_, story_->root()); c;
       c = nextInOrder(c, story_->root())) {
    if (n.is(c, "fldChar")) {
      std::string kind = attr(c, "fldCharType", n);
      if (kind == "begin") {
        ++depth;
      } else if (kind == "separate") {
        if (depth == 0)
          inResult = true;
      } else if (kind == "end") {
        if (depth == 0)
          break;
        --depth;
      }
    } else if (inResult && n.is(c, "t")) {
      out += c.text().get();
    }
  }
  return out;
}

void Field::deleteField() {
  const WNames& n = story_->names();
  std::vector<pugi::xml_node> paras;
  auto paragraphOf = [&](pugi::xml_node x) {
    while (x && !n.is(x, "p"))
      x = x.parent();
    if (x && (paras.empty() || paras.back() != x))
      paras.push_back(x);
  };
  if (n.is(begin_, "fldSimple")) {
    paragraphOf(begin_);
    begin_.parent().remove_child(begin_);
  } else {
    // Everything from the begin mark to its end mark: marks, codes and result (whole run
    // children; what lies inside them goes with them).
    auto after = [&](pugi::xml_node x) {
      for (; x && x != story_->root(); x = x.parent())
        if (x.next_sibling())
          return x.next_sibling();
      return pugi::xml_node();
    };
    std::vector<pugi::xml_node> drop{begin_};
    int depth = 0;
    for (pugi::xml_node c = after(begin_); c;) {
      if (c.type() != pugi::node_element || !n.is(c.parent(), "r") || n.is(c, "rPr")) {
        c = nextInOrder(c, story_->root());
        continue;
      }
      drop.push_back(c);
      if (n.is(c, "fldChar")) {
        std::string kind = attr(c, "fldCharType", n);
        if (kind == "begin")
          ++depth;
        else if (kind == "end" && depth-- == 0)
          break;
      }
      c = after(c);
    }
    for (pugi::xml_node c : drop) {
      paragraphOf(c);
      pugi::xml_node r = c.parent();
      r.remove_child(c);
      bool empty = n.is(r, "r");
      for (pugi::xml_node k = r.first_child(); k && empty; k = k.next_sibling())
        if (k.type() == pugi::node_element && !n.is(k, "rPr"))
          empty = false;
      if (empty)
        r.parent().remove_child(r);
    }
  }
  for (pugi::xml_node p : paras)
    if (ParaRec* rec = story_->recOf(p))
      story_->invalidateText(rec);
  story_->touch();
  begin_ = pugi::xml_node();
}

Fields Selection::fields() {
  return Fields(range_.story(), range_.start(), range_.end(), this);
}

} // namespace word
