// The comparison of two censuses (engine/integrity.h) and the engine's use of the check.

#include "engine/integrity.h"

#include <algorithm>
#include <filesystem>

#include "base/messages.h"
#include "engine/clsdoc.h"
#include "word/document.h"
#include "word/package.h"
#include "word/text.h"

namespace engine {

namespace {

std::string countPhrase(const char* what, int before, int after) {
  return msg::text(msg::kIntegrityCountChanged, what, before, after);
}

// A short excerpt of `s` from `at`, for naming where two texts part.
std::string excerpt(const std::u32string& s, size_t at) {
  if (at >= s.size())
    return msg::text(msg::kIntegrityNothing);
  return word::toUtf8(s.substr(at, 12));
}

void compareText(const std::u32string& a, const std::u32string& b, const char* what,
                 std::vector<std::string>& out) {
  if (a == b)
    return;
  size_t at = 0;
  while (at < a.size() && at < b.size() && a[at] == b[at])
    ++at;
  out.push_back(
      msg::text(msg::kIntegrityTextChanged, what, at + 1, excerpt(a, at), excerpt(b, at)));
}

// Names the first header or footer content that differs.
void furnitureChanged(const std::vector<std::string>& before, const std::vector<std::string>& after,
                      const char* word, std::vector<std::string>& out) {
  std::string was, now;
  for (const std::string& k : before)
    if (std::find(after.begin(), after.end(), k) == after.end()) {
      was = k;
      break;
    }
  for (const std::string& k : after)
    if (std::find(before.begin(), before.end(), k) == before.end()) {
      now = k;
      break;
    }
  out.push_back(msg::text(msg::kIntegrityFurnitureChanged, word,
                          was.empty() ? msg::kIntegrityNothing : was,
                          now.empty() ? msg::kIntegrityNothing : now));
}

} // namespace

std::vector<std::string> compareCensus(const Census& a, const Census& b,
                                       const IntendedChanges& intended) {
  std::vector<std::string> out;
  auto count = [&](const char* what, int before, int after) {
    if (before != after)
      out.push_back(countPhrase(what, before, after));
  };
  count(msg::kIntegrityTables, a.tables, b.tables);
  count(msg::kIntegrityCells, a.cells, b.cells);
  count(msg::kIntegrityPictures, a.pictures, b.pictures);
  count(msg::kIntegrityFields, a.fields, b.fields);
  count(msg::kIntegrityFormFields, a.formFields, b.formFields);
  count(msg::kIntegrityContentControls, a.contentControls, b.contentControls);
  count(msg::kIntegrityBookmarks, a.bookmarks, b.bookmarks);
  count(msg::kIntegrityFootnotes, a.footnotes, b.footnotes);
  count(msg::kIntegrityEndnotes, a.endnotes, b.endnotes);
  count(msg::kIntegrityComments, a.comments, b.comments);
  // The steps may add up to `addedSections` (none when the place already ends a section).
  if (b.sections < a.sections || b.sections > a.sections + intended.addedSections)
    out.push_back(countPhrase(msg::kIntegritySections, a.sections, b.sections));
  compareText(a.text, b.text, msg::kIntegrityBodyText, out);
  compareText(a.notesText, b.notesText, msg::kIntegrityNotesText, out);

  using H = IntendedChanges::Headers;
  const bool dflt = intended.defaultFurnitureOnly;
  auto furniture = [&](const std::vector<std::string>& before,
                       const std::vector<std::string>& after, const char* what, const char* word) {
    count(what, static_cast<int>(before.size()), static_cast<int>(after.size()));
    if (before.size() == after.size() && before != after)
      furnitureChanged(before, after, word, out);
  };
  if (intended.headers == H::Kept) {
    furniture(dflt ? a.defaultHeaders : a.headers, dflt ? b.defaultHeaders : b.headers,
              msg::kIntegrityHeaders, msg::kIntegrityHeaderWord);
  } else if (intended.headers == H::FirstSection) {
    auto firstSection = [&](const Census& c) {
      std::vector<std::string> kept;
      for (const std::string& h : c.firstSectionHeaders)
        if (!dflt || h.rfind("default:", 0) == 0)
          kept.push_back(h.substr(h.find(':') + 1));
      return kept;
    };
    std::vector<std::string> before = firstSection(a), after = firstSection(b);
    if (before != after)
      furnitureChanged(before, after, msg::kIntegrityHeaderWord, out);
  }
  if (!intended.footersRewritten)
    furniture(dflt ? a.defaultFooters : a.footers, dflt ? b.defaultFooters : b.footers,
              msg::kIntegrityFooters, msg::kIntegrityFooterWord);
  return out;
}

} // namespace engine

// ---- the engine's use of the check ------------------------------------------------------------

namespace engine {

IntendedChanges clsDoc::intendedChanges(const std::string& runMode) const {
  IntendedChanges intended;
  if (runMode == "0" || runMode == "YeMei") {
    // The header is written with the header on; with it off the first section's header stays,
    // and later sections follow the first one's header and footer. The footer is written or
    // emptied by the page-number setting.
    intended.headers = settings().useHeader() ? IntendedChanges::Headers::Rewritten
                                              : IntendedChanges::Headers::FirstSection;
    intended.footersRewritten = true;
  }
  // The standard run writes the page numbers of odd and even pages, and turns the first-page
  // header and footer off.
  if (runMode == "Standard")
    intended.footersRewritten = property("国标页码") != "0";
  intended.defaultFurnitureOnly = runMode == "0" || runMode == "YeMian" || runMode == "Standard";
  if (runMode == "0" && settings().twoColumns() && settings().firstParagraphIsTitle())
    intended.addedSections = 1;
  return intended;
}

void clsDoc::checkIntegrity(const Census& source, const std::string& runMode) {
  // Not kept: an output in another format takes its own census right before its export.
  const Census now = takeCensus(ActiveDocument());
  for (const std::string& difference : compareCensus(source, now, intendedChanges(runMode)))
    notice("3", msg::text(msg::kIntegrityWarning, difference));
}

void clsDoc::checkLegacyOutput(const Census& census, const word::Export& output,
                               word::Package* back, const std::string& failure) {
  const std::string format = "." + std::string(word::converterFormat(output.format));
  std::string why = failure;
  if (back) {
    try {
      for (const std::string& difference : compareCensus(census, takeCensus(*back), {}))
        sendMessage("3", msg::text(msg::kIntegrityAfterExport, format, difference), output.number,
                    allNum_, output.label);
    } catch (const word::DocumentError& e) {
      why = e.reason().empty() ? e.what() : e.reason();
    }
  }
  if (!back || !why.empty())
    sendMessage("3", msg::text(msg::kIntegrityReadBackFailed, format, why), output.number, allNum_,
                output.label);
}

} // namespace engine
