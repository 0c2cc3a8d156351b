// Opening and saving through a batch: the one extension-to-format table, outputs that never
// replace a source, legacy sources converted ahead in one LibreOffice start, and legacy outputs
// exported once per format with a result for each document.

#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "../common/scoped_env.h"
#include "../common/temp_folder.h"
#include "base/messages.h"
#include "model_helpers.h"
#include "word/batch.h"
#include "word/convert.h"
#include "word/document.h"
#include "word/error.h"
#include "word/filetypes.h"

namespace fs = std::filesystem;
using word::SaveFormat;

namespace {

// Every extension the table knows, and its fallback. Where the engine's table and
// Document::saveAs's used to differ (.dot .wpt .ott .pdf and names without a known extension),
// the engine's answer holds.
TEST(SaveFormatTable, EveryExtension) {
  struct Case {
    const char* name;
    SaveFormat viaLibreOffice, native; // by how the document was read
  } cases[] = {
      {"a.docx", SaveFormat::Ooxml, SaveFormat::Ooxml},
      {"a.DOCX", SaveFormat::Ooxml, SaveFormat::Ooxml},
      {"a.docm", SaveFormat::Ooxml, SaveFormat::Ooxml},
      {"a.dotx", SaveFormat::Ooxml, SaveFormat::Ooxml},
      {"a.dotm", SaveFormat::Ooxml, SaveFormat::Ooxml},
      {"a.doc", SaveFormat::Doc, SaveFormat::Doc},
      {"a.Doc", SaveFormat::Doc, SaveFormat::Doc},
      {"a.dot", SaveFormat::Doc, SaveFormat::Doc},
      {"a.wps", SaveFormat::Doc, SaveFormat::Doc},
      {"a.wpt", SaveFormat::Doc, SaveFormat::Doc},
      {"a.rtf", SaveFormat::Rtf, SaveFormat::Rtf},
      {"a.odt", SaveFormat::Odt, SaveFormat::Odt},
      {"a.ott", SaveFormat::Odt, SaveFormat::Odt},
      // No format of ours: the family the document came in.
      {"a.pdf", SaveFormat::Doc, SaveFormat::Ooxml},
      {"a.txt", SaveFormat::Doc, SaveFormat::Ooxml},
      {"a.docx.bak", SaveFormat::Doc, SaveFormat::Ooxml},
      {"a", SaveFormat::Doc, SaveFormat::Ooxml},
      {".doc", SaveFormat::Doc, SaveFormat::Ooxml}, // a hidden file's name, no extension
      {"folder.doc/a", SaveFormat::Doc, SaveFormat::Ooxml},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(word::saveFormatFor(c.name, true), c.viaLibreOffice);
    EXPECT_EQ(word::saveFormatFor(c.name, false), c.native);
  }
  EXPECT_STREQ(word::converterFormat(SaveFormat::Ooxml), "");
  EXPECT_STREQ(word::converterFormat(SaveFormat::Doc), "doc");
  EXPECT_STREQ(word::converterFormat(SaveFormat::Rtf), "rtf");
  EXPECT_STREQ(word::converterFormat(SaveFormat::Odt), "odt");
}

TEST(SaveFormatTable, SaveAsWritesANameOfNoFormatInTheDocumentsFamily) {
  qftest::TempFolder dir;
  auto doc = qftest::makeDoc(qftest::para(qftest::run("正文")));
  doc->saveAs((dir / "a.bak").string());
  EXPECT_EQ(qftest::readFile(dir / "a.bak").rfind("PK\x03\x04", 0), 0u);
}

// Hostile or unlucky outputs: an entry named like the output that is a source, or reaches a
// file of a source folder, is refused naming it and keeps its bytes; a link to anything else
// is replaced by the output, its target untouched. The document is closed either way.
TEST(BatchSave, NeverReplacesASourceOrAFileOfASourceFolder) {
  std::string longStem;
  for (int i = 0; i < 81; ++i)
    longStem += "标";
  enum class Expect { Saved, IsSource, InSourceFolder, SourceFolderFile };
  struct Case {
    const char* name;
    std::string output; // relative to the test's folder
    std::function<void(const fs::path& dir)> prepare;
    Expect expect;
    std::string reached = "";   // SourceFolderFile: the file reached, relative
    std::string untouched = ""; // a file that must keep its bytes, relative
    std::string source = "in/a.docx";
  } cases[] = {
      {"the batch's source, the output folder being its folder", "in/a.docx", [](auto&) {},
       Expect::IsSource, "", "in/a.docx"},
      {"a symbolic link to the batch's source", "out/a.docx",
       [](auto& d) { fs::create_symlink(d / "in/a.docx", d / "out/a.docx"); }, Expect::IsSource, "",
       "in/a.docx"},
      {"the document's own source, not in the batch", "own.docx",
       [](auto& d) { qftest::writeFile(d / "own.docx", "own"); }, Expect::IsSource, "", "own.docx",
       "own.docx"},
      {"another file of the source folder", "in/other.docx", [](auto&) {}, Expect::InSourceFolder,
       "", "in/other.docx"},
      {"a new name in the source folder", "in/new.docx", [](auto&) {}, Expect::Saved},
      {"a symbolic link to another source-folder file", "out/a.docx",
       [](auto& d) { fs::create_symlink(d / "in/other.docx", d / "out/a.docx"); },
       Expect::SourceFolderFile, "in/other.docx", "in/other.docx"},
      {"a relative symbolic link to another source-folder file", "out/a.docx",
       [](auto& d) { fs::create_symlink("../in/other.docx", d / "out/a.docx"); },
       Expect::SourceFolderFile, "in/other.docx", "in/other.docx"},
      {"a hard link of another source-folder file", "out/a.docx",
       [](auto& d) { fs::create_hard_link(d / "in/other.docx", d / "out/a.docx"); },
       Expect::SourceFolderFile, "in/other.docx", "in/other.docx"},
      {"a symbolic link to a file elsewhere", "out/a.docx",
       [](auto& d) {
         qftest::writeFile(d / "victim.txt", "victim");
         fs::create_symlink(d / "victim.txt", d / "out/a.docx");
       },
       Expect::Saved, "", "victim.txt"},
      {"a dangling symbolic link", "out/a.docx",
       [](auto& d) { fs::create_symlink(d / "nowhere.docx", d / "out/a.docx"); }, Expect::Saved},
      {"an older output", "out/a.docx",
       [](auto& d) { qftest::writeFile(d / "out/a.docx", "older"); }, Expect::Saved},
      {"an output name of 253 bytes", "out/" + longStem + "-2024.docx", [](auto&) {},
       Expect::Saved},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    qftest::TempFolder d;
    fs::create_directories(d / "in");
    fs::create_directories(d / "out");
    qftest::makePackage(qftest::para(qftest::run("源")))->save((d / "in/a.docx").string());
    qftest::writeFile(d / "in/other.docx", "不在本批的源文件");
    c.prepare(d.path());
    const std::string before = c.untouched.empty() ? "" : qftest::readFile(d / c.untouched);
    const std::string target = (d / c.output).string();

    word::Application app;
    word::Batch batch(app);
    batch.addSources({(d / "in/a.docx").string()});
    batch.addSourceFolder((d / "in").string());
    word::Document& doc = app.adopt(qftest::makeDoc(qftest::para(qftest::run("正文"))));
    std::string reason;
    try {
      EXPECT_FALSE(batch.save(doc, {target, (d / c.source).string(), "a.docx", 1}));
    } catch (const word::DocumentError& e) {
      reason = e.reason();
    }
    EXPECT_EQ(app.activeDocument(), nullptr) << "the document stayed open";
    const std::string file = fs::path(target).filename().string();
    switch (c.expect) {
    case Expect::Saved: {
      EXPECT_EQ(reason, "");
      EXPECT_FALSE(fs::is_symlink(target));
      word::Application check;
      EXPECT_EQ(check.open(target).paragraphs().item(1).range().text(), "正文\r");
      EXPECT_FALSE(fs::exists(d / "nowhere.docx"));
      break;
    }
    case Expect::IsSource:
      EXPECT_EQ(reason, msg::text(msg::kSaveOutputIsSource, target));
      break;
    case Expect::InSourceFolder:
      EXPECT_EQ(reason, msg::text(msg::kSaveOutputInSourceFolder, file));
      break;
    case Expect::SourceFolderFile:
      EXPECT_EQ(reason, msg::text(msg::kSaveOutputIsSourceFolderFile, target,
                                  fs::canonical(d / c.reached).string()));
      break;
    }
    if (!c.untouched.empty()) {
      EXPECT_EQ(qftest::readFile(d / c.untouched), before);
    }
    for (const auto& entry : fs::directory_iterator(d / "out")) {
      EXPECT_NE(entry.path().filename().string().rfind(".", 0), 0u) << entry.path();
    }
  }
}

TEST(BatchSave, ASecondOutputToTheSamePathNamesTheFirst) {
  qftest::TempFolder d;
  word::Application app;
  word::Batch batch(app);
  std::vector<std::string> replaced;
  word::SaveHooks hooks;
  hooks.replacing = [&](const std::string& earlier) { replaced.push_back(earlier); };
  hooks.beforeExport = [&](word::Document&) { ADD_FAILURE() << "an OOXML output was exported"; };
  const std::string target = (d / "a.docx").string();
  for (const char* label : {"one/a.docx", "two/a.docx"}) {
    word::Document& doc = app.adopt(qftest::makeDoc(qftest::para(qftest::run(label))));
    EXPECT_FALSE(batch.save(doc, {target, "", label, 1}, hooks));
  }
  // The same path however it is spelled.
  word::Document& doc = app.adopt(qftest::makeDoc(qftest::para(qftest::run("三"))));
  batch.save(doc, {(d / "." / "a.docx").string(), "", "three/a.docx", 3}, hooks);
  EXPECT_EQ(replaced, (std::vector<std::string>{"one/a.docx", "two/a.docx"}));
  EXPECT_TRUE(batch.flush().empty());
}

// The sources of a batch that other processes run in parts: protected like the batch's own,
// never converted here.
TEST(BatchSave, ProtectedSourcesOfOtherPartsAreNeitherReplacedNorConverted) {
  qftest::TempFolder d;
  fs::create_directories(d / "other");
  qftest::writeFile(d / "other/legacy.rtf", "{\\rtf1\\ansi x\\par}");
  qftest::writeFile(d / "other/kept.docx", "用户自己的文件");
  const unsigned launches = word::sofficeLaunchCount();
  word::Application app;
  word::Batch batch(app);
  batch.protectSources({(d / "other/legacy.rtf").string()});
  EXPECT_EQ(word::sofficeLaunchCount(), launches);
  struct Case {
    const char* output;
    std::string reason;
  } cases[] = {
      {"other/legacy.rtf", msg::text(msg::kSaveOutputIsSource, (d / "other/legacy.rtf").string())},
      {"other/kept.docx", msg::text(msg::kSaveOutputInSourceFolder, "kept.docx")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output);
    const std::string before = qftest::readFile(d / c.output);
    word::Document& doc = app.adopt(qftest::makeDoc(qftest::para(qftest::run("正文"))));
    std::string reason;
    try {
      batch.save(doc, {(d / c.output).string(), "", "a.docx", 1});
    } catch (const word::DocumentError& e) {
      reason = e.reason();
    }
    EXPECT_EQ(reason, c.reason);
    EXPECT_EQ(qftest::readFile(d / c.output), before);
  }
}

TEST(OutputNames, ATextBecomesAWordDocumentOthersKeepTheirNames) {
  struct Case {
    const char* source;
    const char* output;
  } cases[] = {{"纪要.txt", "纪要.doc"}, {"a.TXT", "a.doc"},          {"a.Txt", "a.doc"},
               {"a.docx", "a.docx"},     {"a.doc", "a.doc"},          {".txt", ".doc"},
               {"txt", "txt"},           {"a.txt.docx", "a.txt.docx"}};
  for (const Case& c : cases)
    EXPECT_EQ(word::outputNameFor(c.source), c.output) << c.source;
}

// ---- with LibreOffice --------------------------------------------------------------------

const char* kRtf = "{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0 SimSun;}}\\uc1"
                   "\\pard\\fs44 \\u20851?\\u20110?\\u36890?\\u30693?\\par"
                   "\\pard\\fs28 \\u27491?\\u25991?\\par}";

bool startsWith(const std::string& bytes, const std::string& magic) {
  return bytes.rfind(magic, 0) == 0;
}

TEST(BatchLegacy, SourcesConvertAheadAndOutputsExportOncePerFormatEachWithItsResult) {
  if (word::findSoffice().empty())
    GTEST_SKIP() << word::sofficeMissingMessage();
  qftest::TempFolder d;
  fs::create_directories(d / "in");
  fs::create_directories(d / "out");
  const std::string rtf = (d / "in/c.rtf").string(), broken = (d / "in/broken.doc").string(),
                    plain = (d / "in/plain.docx").string();
  qftest::writeFile(rtf, kRtf);
  // OLE bytes that are no Word document: LibreOffice cannot read them.
  qftest::writeFile(broken,
                    std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(600, '\x07'));
  qftest::makePackage(qftest::para(qftest::run("正文")))->save(plain);

  // A user cache with no profile kept from earlier runs.
  qftest::ScopedEnv cache("XDG_CACHE_HOME", (d / "cache").string());
  word::Application app;
  std::string temp;
  {
    word::Batch batch(app);
    unsigned launches = word::sofficeLaunchCount();
    batch.addSources({rtf, broken, plain, rtf});
    EXPECT_EQ(word::sofficeLaunchCount() - launches, 1u) << "one start for every source";
    temp = batch.temporaryFolder();

    try {
      batch.open(broken);
      ADD_FAILURE() << "a source LibreOffice cannot read opened";
    } catch (const word::DocumentError& e) {
      EXPECT_EQ(e.file(), broken);
      EXPECT_FALSE(e.reason().empty());
    }
    int exported = 0;
    word::SaveHooks hooks;
    hooks.beforeExport = [&](word::Document&) { ++exported; };
    struct Save {
      std::string source, output;
      bool deferred;
    } saves[] = {
        {rtf, "out/c.bak", true}, // the family it came in: Word 97-2003
        {rtf, "out/c.rtf", true},       {rtf, "out/c.ott", true},
        {plain, "out/p.bak", false}, // natively read: OOXML at once
        {plain, "missing/p.doc", true},
    };
    launches = word::sofficeLaunchCount();
    int number = 0;
    for (const Save& s : saves) {
      word::Document& doc = batch.open(s.source);
      EXPECT_EQ(doc.readThroughLibreOffice(), s.source == rtf);
      EXPECT_EQ(doc.paragraphs().item(1).range().text(), s.source == rtf ? "关于通知\r" : "正文\r");
      ++number;
      EXPECT_EQ(batch.save(doc, {(d / s.output).string(), s.source, s.output, number}, hooks),
                s.deferred)
          << s.output;
      EXPECT_EQ(app.activeDocument(), nullptr);
    }
    EXPECT_EQ(exported, 4);
    EXPECT_EQ(word::sofficeLaunchCount(), launches) << "opened from the converted copies";
    EXPECT_TRUE(startsWith(qftest::readFile(d / "out/p.bak"), "PK\x03\x04"));

    std::vector<std::pair<size_t, std::string>> readBack;
    const auto results = batch.flush(
        [&](size_t i, const word::Export& out, word::Package* back, const std::string&) {
          ASSERT_NE(back, nullptr) << out.path;
          readBack.emplace_back(i, out.label);
        });
    // doc, rtf and odt, then the read-back of the written ones: all through one LibreOffice,
    // the batch's kept office, launched on the profile the sources' start left.
    EXPECT_EQ(word::sofficeLaunchCount() - launches, 1u);
    ASSERT_EQ(results.size(), 4u);
    const std::vector<std::tuple<std::string, int, SaveFormat, bool>> expected = {
        {"out/c.bak", 1, SaveFormat::Doc, true},
        {"out/c.rtf", 2, SaveFormat::Rtf, true},
        {"out/c.ott", 3, SaveFormat::Odt, true},
        {"missing/p.doc", 5, SaveFormat::Doc, false},
    };
    for (size_t i = 0; i < results.size(); ++i) {
      SCOPED_TRACE(results[i].label);
      EXPECT_EQ(results[i].label, std::get<0>(expected[i]));
      EXPECT_EQ(results[i].path, (d / std::get<0>(expected[i])).string());
      EXPECT_EQ(results[i].number, std::get<1>(expected[i]));
      EXPECT_EQ(results[i].format, std::get<2>(expected[i]));
      EXPECT_EQ(results[i].written, std::get<3>(expected[i]));
      EXPECT_EQ(results[i].error.empty(), results[i].written) << results[i].error;
    }
    EXPECT_EQ(readBack, (std::vector<std::pair<size_t, std::string>>{
                            {0, "out/c.bak"}, {1, "out/c.rtf"}, {2, "out/c.ott"}}));
    EXPECT_TRUE(startsWith(qftest::readFile(d / "out/c.bak"), "\xD0\xCF\x11\xE0"));
    EXPECT_TRUE(startsWith(qftest::readFile(d / "out/c.rtf"), "{\\rtf"));
    EXPECT_NE(qftest::readFile(d / "out/c.ott").find("application/vnd.oasis.opendocument.text"),
              std::string::npos);
    EXPECT_TRUE(batch.flush().empty()) << "flushed outputs are forgotten";
    // What stays in the temporary folder until the batch ends: the converted source and the
    // shelf of profiles, empty: the one profile went on to the kept office.
    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(temp))
      left.insert(entry.path().filename().string());
    EXPECT_EQ(left, (std::set<std::string>{"in-1.docx", "profiles"}));
    EXPECT_TRUE(fs::is_empty(fs::path(temp) / "profiles"));
    // The profile is kept for the next batch's office too.
    EXPECT_TRUE(fs::is_directory(d / "cache" / "quillfold" / "office" / "profile"));
  }
  EXPECT_FALSE(fs::exists(temp));
}

} // namespace
