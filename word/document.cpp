#include "word/document.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <vector>

#include "base/messages.h"
#include "base/system_error.h"
#include "base/temp_folder.h"
#include "word/convert.h"
#include "word/filetypes.h"
#include "word/internal/merge_runs.h"
#include "word/internal/numbering.h"
#include "word/internal/shape_xml.h"
#include "word/internal/story.h"
#include "word/internal/styles.h"
#include "word/internal/xmlns.h"
#include "word/text.h"
#include "word/textimport.h"

namespace fs = std::filesystem;

namespace word {

namespace {

// The elements below `root` whose local name (the name after any prefix) is `local`, in
// document order: what ".//*[local-name()='...']" selects, without compiling and running an
// XPath query for each paragraph.
std::vector<pugi::xml_node> descendantsNamed(pugi::xml_node root, std::string_view local) {
  std::vector<pugi::xml_node> found;
  pugi::xml_node cur = root.first_child();
  while (cur && cur != root) {
    if (cur.type() == pugi::node_element && shapexml::localName(cur) == local)
      found.push_back(cur);
    if (pugi::xml_node child = cur.first_child()) {
      cur = child;
      continue;
    }
    while (cur != root && !cur.next_sibling())
      cur = cur.parent();
    if (cur != root)
      cur = cur.next_sibling();
  }
  return found;
}

bool endsWith(const std::string& s, const char* suffix) {
  size_t n = std::strlen(suffix);
  return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

// A fresh private temporary folder, removed with everything in it at the end of the scope.
base::TempFolder tempFolder() {
  base::TempFolder folder("quillfold");
  if (!folder.made())
    throw DocumentError(msg::text(msg::kTempFolderFailed, msg::systemError(folder.error())));
  return folder;
}

// True when a and b name the same existing file (or the same path once made absolute).
bool sameFile(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  if (stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0)
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  std::error_code ec;
  return fs::weakly_canonical(a, ec) == fs::weakly_canonical(b, ec);
}

} // namespace

// ---- Document ----------------------------------------------------------------------------

Document::Document() = default;
Document::~Document() = default;

std::unique_ptr<Document> Document::openPackage(const std::string& path) {
  return fromPackage(Package::open(path), path);
}

std::unique_ptr<Document> Document::fromPackage(std::unique_ptr<Package> pkg,
                                                const std::string& path) {
  std::unique_ptr<Document> d(new Document());
  d->pkg_ = std::move(pkg);
  d->path_ = path;
  try {
    d->mainPart_ = d->pkg_->mainPart();
    if (d->mainPart_.empty() && d->pkg_->has("word/document.xml"))
      d->mainPart_ = "word/document.xml";
    if (d->mainPart_.empty() || !d->pkg_->has(d->mainPart_))
      throw DocumentError(path, "", msg::kNoMainPart);
    pugi::xml_document* x = d->pkg_->xml(d->mainPart_);
    pugi::xml_node root = x->document_element();
    WNames n = WNames::forRoot(root);
    pugi::xml_node body = root.child(n.q("body"));
    if (!n.is(root, "document") || !body)
      throw DocumentError(path, d->mainPart_, msg::kMainPartNotWordprocessing);
    d->main_ = std::make_unique<Story>(d.get(), d->mainPart_, body, StoryType::Main);
    d->selection_ = std::make_unique<Selection>(d.get());
  } catch (const DocumentError& e) {
    throw e.withFile(path);
  }
  return d;
}

std::vector<std::string>& Document::warnings() {
  if (pkg_ && !pkg_->warnings().empty()) {
    auto& from = pkg_->warnings();
    warnings_.insert(warnings_.end(), from.begin(), from.end());
    from.clear();
  }
  return warnings_;
}

Story& Document::content() {
  return *main_;
}
Range Document::contentRange() {
  return Range(main_.get(), 0, main_->length());
}
Paragraphs Document::paragraphs() {
  return Paragraphs(main_.get());
}
Range Document::range(int64_t start, int64_t end) {
  return Range(main_.get(), start, end);
}

int Document::tablesCount() {
  int n = 0;
  const WNames& w = main_->names();
  // Top-level tables only: nested tables belong to their cells.
  std::vector<pugi::xml_node> stack{main_->root()};
  while (!stack.empty()) {
    pugi::xml_node c = stack.back();
    stack.pop_back();
    for (pugi::xml_node k = c.first_child(); k; k = k.next_sibling()) {
      const char* local = w.localOf(k);
      if (!local)
        continue;
      if (!std::strcmp(local, "tbl"))
        ++n;
      else if (!std::strcmp(local, "sdt") || !std::strcmp(local, "sdtContent") ||
               !std::strcmp(local, "customXml"))
        stack.push_back(k);
    }
  }
  return n;
}

std::vector<HeaderFooterPart>& Document::headerFooters() {
  if (hfLoaded_)
    return hf_;
  hfLoaded_ = true;
  // A document without header or footer parts needs no walk for their references.
  bool any = false;
  for (const Relationship& rel : pkg_->relationships(mainPart_))
    any = any || endsWith(rel.type, "/header") || endsWith(rel.type, "/footer");
  if (!any)
    return hf_;
  // Which reference types point at which relationship ids.
  std::map<std::string, std::string> refType;
  const WNames& n = main_->names();
  pugi::xml_node docRoot = main_->root().parent();
  forEachElement(docRoot, [&](pugi::xml_node r) {
    const char* local = localPart(r.name());
    if ((local[0] != 'h' && local[0] != 'f') ||
        (std::strcmp(local, "headerReference") != 0 && std::strcmp(local, "footerReference") != 0))
      return;
    // The relationship id, whatever prefix the relationships namespace has here.
    for (pugi::xml_attribute a = r.first_attribute(); a; a = a.next_attribute())
      if (a.name() != localPart(a.name()) && !std::strcmp(localPart(a.name()), "id"))
        refType[a.value()] = attr(r, "type", n);
  });
  for (const Relationship& rel : pkg_->relationships(mainPart_)) {
    bool header = endsWith(rel.type, "/header"), footer = endsWith(rel.type, "/footer");
    if ((!header && !footer) || rel.targetMode == "External" || !pkg_->has(rel.target))
      continue;
    try {
      pugi::xml_document* x = pkg_->xml(rel.target);
      pugi::xml_node root = x->document_element();
      others_.push_back(std::make_unique<Story>(this, rel.target, root,
                                                header ? StoryType::Header : StoryType::Footer));
      auto it = refType.find(rel.id);
      hf_.push_back({rel.target, header ? StoryType::Header : StoryType::Footer,
                     it == refType.end() ? "" : it->second, others_.back().get()});
    } catch (const DocumentError& e) {
      throw e.withFile(path_);
    }
  }
  return hf_;
}

void Document::convertNumbersToText() {
  pugi::xml_document* numbering = nullptr;
  for (const Relationship& rel : pkg_->relationships(mainPart_))
    if (endsWith(rel.type, "/numbering") && pkg_->has(rel.target))
      numbering = pkg_->xml(rel.target);
  if (!numbering)
    return;
  const pugi::xml_document* styles = stylesOf(*this).xml();
  ListNumberer numberer(numbering, styles);
  // Asks whether a paragraph's style would still number it once its own numbering is gone
  // (its counters are never shown).
  ListNumberer styleCheck(numbering, styles);
  const WNames& n = main_->names();
  Story& st = *main_;
  int count = st.count();
  bool changed = false;
  for (int i = 0; i < count; ++i) {
    ParaRec* rec = st.at(i);
    ListLabel label;
    if (!numberer.next(rec->p, label))
      continue;
    pugi::xml_node pPr = paraProps(rec->p, n);
    // The label becomes an ordinary run at the start of the paragraph.
    std::string text = label.text + label.suffix;
    if (!text.empty()) {
      pugi::xml_node r = rec->p.insert_child_after(n.r.c_str(), pPr);
      if (label.lvlRPr) {
        pugi::xml_node rp = r.append_copy(label.lvlRPr);
        rp.set_name(n.rPr.c_str());
      }
      std::u32string t = toU32(text);
      std::u32string buf;
      auto flush = [&]() {
        if (buf.empty())
          return;
        pugi::xml_node wt = r.append_child(n.t.c_str());
        wt.append_attribute("xml:space").set_value("preserve");
        wt.text().set(toUtf8(buf).c_str());
        buf.clear();
      };
      for (char32_t c : t) {
        if (c == U'\t') {
          flush();
          r.append_child(n.tab.c_str());
        } else {
          buf.push_back(c);
        }
      }
      flush();
    }
    // Remove the numbering; cancel numbering that the style would still give.
    if (pugi::xml_node np = pPr.child(n.q("numPr")))
      pPr.remove_child(np);
    ListLabel probe;
    if (styleCheck.next(rec->p, probe)) {
      pugi::xml_node np = ensureChild(pPr, "numPr", n);
      setAttr(np.append_child(n.q("numId")), "val", "0", n);
    }
    st.invalidateText(rec);
    changed = true;
  }
  for (const std::string& fmt : numberer.unknownFormats())
    warnings_.push_back(msg::text(msg::kListFormatUnknown, fmt));
  if (changed)
    st.touch();
}

std::string Document::readBackProblem() const {
  return pkg_->readBackProblem();
}

void Document::releaseTextCaches() {
  if (main_)
    main_->releaseText();
  for (auto& story : others_)
    story->releaseText();
}

void Document::mergeRunsOfChangedStories() {
  std::vector<std::string> parts{mainPart_};
  for (const Relationship& rel : pkg_->relationships(mainPart_)) {
    if (rel.targetMode == "External")
      continue;
    for (const char* kind : {"/header", "/footer", "/footnotes", "/endnotes", "/comments"})
      if (endsWith(rel.type, kind)) {
        parts.push_back(rel.target);
        break;
      }
  }
  size_t merged = 0;
  for (const std::string& part : parts)
    if (pugi::xml_document* x = pkg_->changedXml(part))
      merged += mergeRuns(x->document_element());
  if (merged == 0)
    return;
  main_->invalidateAll();
  for (auto& story : others_)
    story->invalidateAll();
}

std::string Document::saveToString() {
  mergeRunsOfChangedStories();
  return pkg_->saveToString();
}

namespace {

// The read-back of a written package: the model must open it and find its paragraphs. The
// package comes read and checked, its main part parsed: the model parses nothing again.
void readBackThroughTheModel(std::unique_ptr<Package>& written) {
  const std::string path = written->sourcePath();
  std::unique_ptr<Document> back = Document::fromPackage(std::move(written), path);
  (void)back->paragraphs().count();
}

} // namespace

void Document::savePackage(const std::string& path) {
  mergeRunsOfChangedStories();
  pkg_->save(path, readBackThroughTheModel);
}

void Document::savePackageBytes(const std::string& path, const std::string& bytes) {
  Package::saveBytes(path, bytes, readBackThroughTheModel);
}

void Document::saveAs(const std::string& path) {
  saveAs(path, ConvertOptions{});
}

void Document::saveAs(const std::string& path, const ConvertOptions& options) {
  if (!path_.empty() && sameFile(path, path_))
    throw DocumentError(path, "",
                        msg::text(msg::kSaveOverSource, fs::path(path_).filename().string()));
  const SaveFormat format = saveFormatFor(path, readThroughLibreOffice_);
  if (format == SaveFormat::Ooxml) {
    savePackage(path);
    return;
  }
  base::TempFolder tmp = tempFolder();
  std::string stem = fs::path(path).stem().string();
  if (stem.empty())
    stem = "document";
  std::string docx = (fs::path(tmp.path()) / (stem + ".docx")).string();
  savePackage(docx);
  std::vector<ConversionJob> jobs(1);
  jobs[0].input = docx;
  jobs[0].output = path;
  jobs[0].format = converterFormat(format);
  convertFiles(jobs, options);
  if (!jobs[0].ok)
    throw DocumentError(path, "", jobs[0].error);
}

// ---- Selection ---------------------------------------------------------------------------

Selection::Selection(Document* doc) : doc_(doc), range_(&doc->content(), 0, 0) {}

void Selection::moveToStory(Story* story) {
  range_ = Range(story, 0, 0);
  find_.reset();
}

void Selection::wholeStory() {
  Story* st = range_.story();
  range_ = Range(st, 0, st->length());
}

void Selection::homeKey(int unit, int extend) {
  Story* st = range_.story();
  int64_t pos = 0;
  if (unit != wdStory) {
    ParaRec* rec = st->at(st->indexAt(range_.start()));
    pos = st->startOf(rec);
  }
  range_ = extend == wdExtend ? Range(st, pos, range_.end()) : Range(st, pos, pos);
}

void Selection::endKey(int unit, int extend) {
  Story* st = range_.story();
  int64_t pos;
  if (unit == wdStory) {
    pos = std::max<int64_t>(0, st->length() - 1);
  } else {
    ParaRec* rec = st->at(st->indexAt(std::max(range_.start(), range_.end() - 1)));
    pos = st->startOf(rec) + static_cast<int64_t>(st->content(rec).size());
  }
  range_ = extend == wdExtend ? Range(st, range_.start(), pos) : Range(st, pos, pos);
}

int Selection::moveDown(int unit, int count, int extend) {
  if (unit != wdParagraph && unit != wdLine)
    throw DocumentError(msg::kMoveDownUnit);
  Story* st = range_.story();
  if (!st || count <= 0)
    return 0;
  int i = st->indexAt(range_.start()), n = st->count();
  int64_t pos;
  int moved;
  if (i + count < n) {
    pos = st->startOf(st->at(i + count));
    moved = count;
  } else {
    pos = std::max<int64_t>(0, st->length() - 1);
    moved = n - 1 - i;
  }
  range_ = extend == wdExtend ? Range(st, range_.start(), pos) : Range(st, pos, pos);
  return moved;
}

void Selection::deleteText() {
  if (range_.start() == range_.end())
    range_.setRange(range_.start(), range_.start() + 1);
  range_.deleteText();
}

void Selection::typeText(const std::string& text) {
  range_.setText(text);
  range_.setRange(range_.end(), range_.end());
}

Find& Selection::find() {
  if (!find_) {
    find_ = std::make_unique<Find>(range_.story(), range_.start(), range_.end(), true);
    find_->onFound = [this](int64_t s, int64_t e) { range_.setRange(s, e); };
  } else {
    // Keep the options, follow the selection.
    Find f(range_.story(), range_.start(), range_.end(), true);
    f.text = find_->text;
    f.replacementText = find_->replacementText;
    f.forward = find_->forward;
    f.wrap = find_->wrap;
    f.format = find_->format;
    f.matchCase = find_->matchCase;
    f.matchWholeWord = find_->matchWholeWord;
    f.matchByte = find_->matchByte;
    f.matchWildcards = find_->matchWildcards;
    f.matchSoundsLike = find_->matchSoundsLike;
    f.matchAllWordForms = find_->matchAllWordForms;
    f.onFound = find_->onFound;
    *find_ = f;
  }
  return *find_;
}

void Selection::clearFormatting() {
  Story* st = range_.story();
  const WNames& n = st->names();
  int64_t s = range_.start(), e = std::max(range_.end(), range_.start() + 1);
  auto keepIn = [&](pugi::xml_node pr, std::initializer_list<const char*> keep) {
    std::vector<pugi::xml_node> drop;
    for (pugi::xml_node c = pr.first_child(); c; c = c.next_sibling()) {
      if (c.type() != pugi::node_element)
        continue;
      const char* local = n.localOf(c);
      bool k = false;
      for (const char* name : keep)
        if (local && !std::strcmp(local, name))
          k = true;
      if (!k)
        drop.push_back(c);
    }
    for (pugi::xml_node c : drop)
      pr.remove_child(c);
  };
  for (ParaRec* rec : st->parasIn(s, e)) {
    if (pugi::xml_node pPr = rec->p.child(n.pPr.c_str())) {
      keepIn(pPr, {"sectPr", "pPrChange", "rPr"});
      if (pugi::xml_node mr = pPr.child(n.rPr.c_str())) {
        keepIn(mr, {"ins", "del", "moveFrom", "moveTo", "rPrChange"});
        if (!mr.first_child())
          pPr.remove_child(mr);
      }
      if (!pPr.first_child() && !pPr.first_attribute())
        rec->p.remove_child(pPr);
    }
    // Every run of the paragraph, inside hyperlinks, fields and content controls too.
    for (pugi::xml_node rPr : descendantsNamed(rec->p, "rPr")) {
      pugi::xml_node r = rPr.parent();
      if (!n.is(r, "r"))
        continue;
      bool noteRef = r.child(n.q("footnoteReference")) || r.child(n.q("endnoteReference"));
      if (noteRef)
        keepIn(rPr, {"rStyle", "vertAlign", "rPrChange"});
      else
        keepIn(rPr, {"rPrChange"});
      if (!rPr.first_child())
        r.remove_child(rPr);
    }
  }
  st->touch();
}

// ---- Application -------------------------------------------------------------------------

Application::Application() = default;
Application::~Application() = default;

float Application::centimetersToPoints(float cm) {
  return static_cast<float>(cm * 72.0f / 2.54f);
}

Document& Application::open(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0)
    throw DocumentError(path, "",
                        errno == ENOENT ? std::string(msg::kFileMissing)
                                        : msg::text(msg::kFileUnreadable, msg::systemError(errno)));
  if (S_ISDIR(st.st_mode))
    throw DocumentError(path, "", msg::kFileIsFolder);
  if (!S_ISREG(st.st_mode))
    throw DocumentError(path, "", msg::kFileNotRegular);
  if (access(path.c_str(), R_OK) != 0)
    throw DocumentError(path, "", msg::kFileNotReadable);

  char magic[8] = {};
  {
    std::ifstream in(path, std::ios::binary);
    in.read(magic, sizeof magic);
  }
  std::string ext = lowerExtension(path);
  SourceKind kind = sourceKind(path, magic);
  // An empty text file is an empty document, as Word opens it; an empty file of any other
  // kind is damaged.
  if (st.st_size == 0 && kind != SourceKind::Text)
    throw DocumentError(path, "", msg::kFileEmpty);

  std::unique_ptr<Document> doc;
  if (kind == SourceKind::Text) {
    std::string enc;
    bool confident = true;
    doc = Document::fromPackage(importTextFile(path, &enc, &confident), path);
    doc->originalFormat = "txt";
    if (!confident)
      doc->warnings_.push_back(msg::text(msg::kTextEncodingUncertain, enc));
    else if (enc != "UTF-8" && enc != "UTF-8 BOM")
      doc->notices_.push_back(msg::text(msg::kTextEncodingUsed, enc));
  } else if (kind == SourceKind::Ooxml) {
    doc = Document::openPackage(path);
    doc->originalFormat = ext.empty() ? ".docx" : ext;
  } else if (kind == SourceKind::Legacy) {
    base::TempFolder tmp = tempFolder();
    std::string out = (fs::path(tmp.path()) / "converted.docx").string();
    convertFile(path, out);
    doc = Document::fromPackage(Package::open(out), path);
    doc->originalFormat = ext;
    doc->readThroughLibreOffice_ = true;
  } else {
    throw DocumentError(
        path, "",
        msg::text(msg::kUnsupportedFileType, ext.empty() ? std::string(msg::kNoExtension) : ext));
  }
  docs_.push_back(std::move(doc));
  return *docs_.back();
}

Document& Application::adopt(std::unique_ptr<Document> doc) {
  docs_.push_back(std::move(doc));
  return *docs_.back();
}

Selection& Application::selection() {
  if (docs_.empty())
    throw DocumentError(msg::kNoDocumentOpen);
  return docs_.back()->selection();
}

void Application::close(Document& doc) {
  docs_.erase(std::remove_if(docs_.begin(), docs_.end(),
                             [&](const std::unique_ptr<Document>& d) { return d.get() == &doc; }),
              docs_.end());
}

void Application::quit() {
  docs_.clear();
}

} // namespace word
