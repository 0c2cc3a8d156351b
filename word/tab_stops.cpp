#include "word/tab_stops.h"

#include <algorithm>
#include <cmath>

#include "base/messages.h"
#include "word/internal/access.h"
#include "word/internal/story.h"
#include "word/internal/xmlns.h"

namespace word {

namespace {

constexpr const char* kAlignments[] = {"left", "center", "right", "decimal", "bar"};

int alignmentOf(const std::string& val) {
  if (val == "start")
    return wdAlignTabLeft;
  if (val == "end")
    return wdAlignTabRight;
  for (int i = 0; i < 5; ++i)
    if (val == kAlignments[i])
      return i;
  return wdAlignTabLeft;
}

} // namespace

std::vector<TabStop> TabStops::list() const {
  std::vector<TabStop> out;
  Story* st = range_.story();
  if (!st)
    return out;
  const WNames& n = st->names();
  auto paras = st->parasIn(range_.start(), std::max(range_.end(), range_.start() + 1));
  if (paras.empty())
    return out;
  pugi::xml_node tabs = paras.front()->p.child(n.pPr.c_str()).child(n.q("tabs"));
  for (pugi::xml_node t = tabs.child(n.q("tab")); t; t = t.next_sibling(n.q("tab"))) {
    std::string val = attr(t, "val", n);
    if (val == "clear")
      continue;
    out.push_back(
        {static_cast<float>(t.attribute(n.q("pos")).as_double()) / 20.0f, alignmentOf(val)});
  }
  std::stable_sort(out.begin(), out.end(),
                   [](const TabStop& a, const TabStop& b) { return a.position < b.position; });
  return out;
}

void TabStops::add(float position, int alignment) {
  if (alignment < wdAlignTabLeft || alignment > wdAlignTabBar || !std::isfinite(position) ||
      position < -1584.0f || position > 1584.0f)
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatTabStop, position));
  Story* st = range_.story();
  if (!st)
    return;
  const WNames& n = st->names();
  const long pos = std::lround(position * 20.0f);
  for (pugi::xml_node pPr : pPrsOf(ParagraphFormat(range_))) {
    pugi::xml_node tabs = ensureChild(pPr, "tabs", n);
    pugi::xml_node before;
    for (pugi::xml_node t = tabs.child(n.q("tab")); t;) {
      pugi::xml_node next = t.next_sibling(n.q("tab"));
      long at = t.attribute(n.q("pos")).as_int();
      if (at == pos)
        tabs.remove_child(t);
      else if (at < pos)
        before = t;
      t = next;
    }
    pugi::xml_node tab =
        before ? tabs.insert_child_after(n.q("tab"), before) : tabs.prepend_child(n.q("tab"));
    setAttr(tab, "val", kAlignments[alignment], n);
    setAttr(tab, "pos", std::to_string(pos), n);
  }
  st->touch();
}

void TabStops::clearAll() {
  Story* st = range_.story();
  if (!st)
    return;
  const WNames& n = st->names();
  for (pugi::xml_node pPr : pPrsOf(ParagraphFormat(range_)))
    if (pugi::xml_node tabs = pPr.child(n.q("tabs")))
      pPr.remove_child(tabs);
  st->touch();
}

} // namespace word
