// LibreOffice as converter, run for real: batching several files into one soffice start,
// round trips through .doc and .pdf, refusal of damaged inputs, the time limit, and the checks
// made before soffice is started. Each soffice start costs about a second, so cases share
// starts where they can.

#include "word/convert.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "../common/temp_folder.h"
#include "base/messages.h"
#include "base/system_error.h"
#include "word/error.h"
#include "word/package.h"
#include "word/textimport.h"

namespace fs = std::filesystem;
using word::ConversionJob;

namespace {

const std::string kCouldNotConvert = msg::kConvertCouldNot;
const std::string kOle2("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);

using qftest::readFile;

std::string randomBytes(size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string out(n, '\0');
  for (char& c : out)
    c = static_cast<char>(gen() & 0xFF);
  return out;
}

// The paragraphs of a .docx read back through the package layer, joined by '\n' (tabs as '\t').
std::string docxText(const fs::path& path) {
  auto pkg = word::Package::open(path.string());
  pugi::xml_document doc;
  doc.load_string(pkg->bytes(pkg->mainPart()).c_str(), pugi::parse_default | pugi::parse_ws_pcdata);
  std::string text;
  for (auto p : doc.select_nodes("//w:body//w:p")) {
    for (auto r : p.node().select_nodes(".//w:r"))
      for (auto child : r.node().children()) {
        if (std::string_view(child.name()) == "w:t")
          text += child.text().get();
        else if (std::string_view(child.name()) == "w:tab")
          text += '\t';
      }
    text += '\n';
  }
  return text;
}

class Convert : public testing::Test {
protected:
  void SetUp() override {
    ASSERT_FALSE(word::findSoffice().empty()) << "these tests need LibreOffice";
    char tmpl[] = "/tmp/qf-convert-test-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    // Private temporary folder: every soffice profile and work folder must be gone afterwards.
    tmp_ = dir_ / "tmp";
    fs::create_directories(tmp_);
    const char* old = std::getenv("TMPDIR");
    if (old)
      oldTmp_ = old;
    hadTmp_ = old != nullptr;
    setenv("TMPDIR", tmp_.c_str(), 1);
  }
  void TearDown() override {
    for (const auto& e : fs::recursive_directory_iterator(tmp_))
      ADD_FAILURE() << "left behind: " << e.path();
    if (hadTmp_)
      setenv("TMPDIR", oldTmp_.c_str(), 1);
    else
      unsetenv("TMPDIR");
    fs::remove_all(dir_);
  }
  fs::path write(const std::string& name, const std::string& bytes) {
    fs::path p = dir_ / name;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
  }
  ConversionJob job(const fs::path& in, const std::string& out, std::string format = {}) {
    ConversionJob j;
    j.input = in.string();
    j.output = (dir_ / out).string();
    j.format = std::move(format);
    return j;
  }
  fs::path dir_, tmp_;
  std::string oldTmp_;
  bool hadTmp_ = false;
};

std::string rtf(const std::string& body) {
  return "{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0 Times New Roman;}}\\f0 " + body + "}";
}

TEST_F(Convert, ManyFilesShareOneStart) {
  // Two inputs with the same base name and an HTML page, converted by one soffice start.
  auto a = write("a/report.rtf", rtf("Alpha \\u20013?\\u25991?\\par second\\par"));
  auto b = write("b/report.rtf", rtf("Beta paragraph\\par"));
  auto html = write("网页 page.html", "<html><head><meta charset=\"utf-8\"></head><body>"
                                      "<p>HTML 段落</p></body></html>");
  std::vector<ConversionJob> jobs = {job(a, "a.docx"), job(b, "b.docx"), job(html, "网页.docx")};
  unsigned before = word::sofficeLaunchCount();
  word::convertFiles(jobs);
  EXPECT_EQ(word::sofficeLaunchCount() - before, 1u);

  const std::string expected[] = {"Alpha 中文\nsecond\n", "Beta paragraph\n", "HTML 段落\n"};
  for (size_t i = 0; i < jobs.size(); ++i) {
    ASSERT_TRUE(jobs[i].ok) << jobs[i].input << ": " << jobs[i].error;
    EXPECT_EQ(docxText(jobs[i].output), expected[i]) << jobs[i].output;
  }
  // Only the outputs were written next to the inputs: no temporary files in the target folder.
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir_))
    if (e.is_regular_file())
      names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a.docx", "b.docx", "网页 page.html", "网页.docx"}));
}

TEST_F(Convert, ParallelStartsRunAtOnceAndShareTheInputs) {
  // A stand-in for soffice that converts only when another start is running beside it: each
  // start leaves a mark, waits up to 10 s for a second mark, then writes a small zip-looking
  // output for each input. Run one start at a time, every job would fail.
  const fs::path marks = dir_ / "marks";
  fs::create_directories(marks);
  auto fake = write(
      "parallel-soffice",
      "#!/bin/sh\n"
      "touch '" +
          marks.string() +
          "/'$$\n"
          "i=0\n"
          "while [ $(ls '" +
          marks.string() +
          "' | wc -l) -lt 2 ]; do\n"
          "  i=$((i + 1)); [ $i -gt 200 ] && exit 1; sleep 0.05\n"
          "done\n"
          "out=''\n"
          "while [ $# -gt 0 ]; do\n"
          "  case \"$1\" in\n"
          "    --outdir) out=\"$2\"; shift ;;\n"
          "    */f*.rtf) n=$(basename \"$1\" .rtf); printf 'PK\\003\\004x' > \"$out/$n.docx\" ;;\n"
          "  esac\n"
          "  shift\n"
          "done\n");
  fs::permissions(fake, fs::perms::owner_all);
  std::vector<ConversionJob> jobs;
  for (int i = 0; i < 5; ++i)
    jobs.push_back(job(write("in/" + std::to_string(i) + ".rtf", rtf("text\\par")),
                       "out" + std::to_string(i) + ".docx"));
  word::ConvertOptions options;
  options.soffice = fake.string();
  options.parallelStarts = 2;
  const unsigned before = word::sofficeLaunchCount();
  word::convertFiles(jobs, options);
  EXPECT_EQ(word::sofficeLaunchCount() - before, 2u);
  for (const auto& j : jobs) {
    EXPECT_TRUE(j.ok) << j.output << ": " << j.error;
    EXPECT_EQ(readFile(j.output), std::string("PK\003\004x", 5)) << j.output;
  }
}

TEST_F(Convert, AProfileIsHandedOnOnlyFromAStartThatEndedWell) {
  // A stand-in for soffice that notes whether its profile was set up by an earlier start (a
  // mark it leaves there), and fails when asked to by a file in `control`.
  const fs::path control = dir_ / "control", log = dir_ / "profiles.log";
  fs::create_directories(control);
  auto fake =
      write("profile-soffice",
            "#!/bin/sh\n"
            "out=''; profile=''\n"
            "for a in \"$@\"; do case \"$a\" in\n"
            "  -env:UserInstallation=file://*) profile=\"${a#-env:UserInstallation=file://}\" ;;\n"
            "esac; done\n"
            "if [ -e \"$profile/mark\" ]; then echo kept >> '" +
                log.string() + "'; else echo new >> '" + log.string() +
                "'; fi\n"
                "mkdir -p \"$profile\" && touch \"$profile/mark\"\n"
                "if [ -e '" +
                control.string() + "/fail' ]; then rm '" + control.string() +
                "/fail'; exit 1; fi\n"
                "while [ $# -gt 0 ]; do\n"
                "  case \"$1\" in\n"
                "    --outdir) out=\"$2\"; shift ;;\n"
                "    */f*.rtf) n=$(basename \"$1\" .rtf); printf 'PK\\003\\004x' > "
                "\"$out/$n.docx\" ;;\n"
                "  esac\n"
                "  shift\n"
                "done\n");
  fs::permissions(fake, fs::perms::owner_all);
  const fs::path in = write("in/a.rtf", rtf("text\\par"));
  auto start = [&](const std::string& shelf, bool fail) {
    if (fail)
      std::ofstream(control / "fail") << "\n";
    std::vector<ConversionJob> jobs{job(in, "out.docx")};
    word::ConvertOptions options;
    options.soffice = fake.string();
    options.profileShelf = shelf;
    word::convertFiles(jobs, options);
    EXPECT_EQ(jobs[0].ok, !fail) << jobs[0].error;
  };
  const fs::path shelf = dir_ / "shelf";
  fs::create_directories(shelf);
  start("", false);             // no shelf: nothing is kept
  start(shelf.string(), false); // a new profile, kept
  start(shelf.string(), false); // the kept one
  start(shelf.string(), true);  // the kept one again; it failed, so it is not kept
  start(shelf.string(), false); // a new one
  start("", false);             // no shelf: a new one
  const std::string seen = readFile(log);
  EXPECT_EQ(seen, "new\nnew\nkept\nkept\nnew\nnew\n");
  std::size_t kept = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(shelf))
    ++kept;
  EXPECT_EQ(kept, 1u);
}

TEST_F(Convert, SofficeKeepsItsLargeBlocksAndTheCallersTunablesWin) {
  // A stand-in for soffice that notes the tunables it was started with.
  const fs::path seen = dir_ / "tunables";
  auto fake = write("tunables-soffice", "#!/bin/sh\n"
                                        "echo \"$GLIBC_TUNABLES\" >> '" +
                                            seen.string() +
                                            "'\n"
                                            "out=''\n"
                                            "while [ $# -gt 0 ]; do\n"
                                            "  case \"$1\" in\n"
                                            "    --outdir) out=\"$2\"; shift ;;\n"
                                            "    */f*.rtf) n=$(basename \"$1\" .rtf); printf "
                                            "'PK\\003\\004x' > \"$out/$n.docx\" ;;\n"
                                            "  esac\n"
                                            "  shift\n"
                                            "done\n");
  fs::permissions(fake, fs::perms::owner_all);
  const std::string ours = "glibc.malloc.mmap_max=0:glibc.malloc.trim_threshold=268435456";
  const char* old = std::getenv("GLIBC_TUNABLES");
  const std::string saved = old ? old : "";
  struct Case {
    const char* callers; // null: unset
    std::string expected;
  } cases[] = {
      {nullptr, ours},
      {"", ours},
      {"glibc.malloc.trim_threshold=1024", ours + ":glibc.malloc.trim_threshold=1024"},
  };
  const auto in = write("in/a.rtf", rtf("text\\par"));
  std::string expected;
  for (const auto& c : cases) {
    if (c.callers)
      setenv("GLIBC_TUNABLES", c.callers, 1);
    else
      unsetenv("GLIBC_TUNABLES");
    std::vector<ConversionJob> jobs{job(in, "out.docx")};
    word::ConvertOptions options;
    options.soffice = fake.string();
    word::convertFiles(jobs, options);
    EXPECT_TRUE(jobs[0].ok) << jobs[0].error;
    expected += c.expected + "\n";
  }
  if (old)
    setenv("GLIBC_TUNABLES", saved.c_str(), 1);
  else
    unsetenv("GLIBC_TUNABLES");
  EXPECT_EQ(readFile(seen), expected);
}

TEST_F(Convert, AKeptOfficeTakesTheLaterStartsAndEndsWithoutATrace) {
  // The profile the office starts on is kept in a cache of this test's own.
  const fs::path cache = dir_ / "cache";
  const char* oldCache = std::getenv("XDG_CACHE_HOME");
  const std::string savedCache = oldCache ? oldCache : "";
  setenv("XDG_CACHE_HOME", cache.c_str(), 1);
  const fs::path source = write("in/a.rtf", rtf("\\u31532?\\u19968?\\u27573?\\par second\\par"));
  const std::string text = "第一段\nsecond\n";
  int shelves = 0;
  auto convert = [&](word::KeptOffice& office, const fs::path& shelf, const fs::path& in,
                     const std::string& out, std::chrono::milliseconds limit) {
    std::vector<ConversionJob> jobs{job(in, out)};
    word::ConvertOptions options;
    options.profileShelf = shelf.string();
    options.office = &office;
    options.baseTimeLimit = limit;
    options.perMiBTimeLimit = options.perFileTimeLimit = std::chrono::milliseconds(0);
    word::convertFiles(jobs, options);
    return jobs[0];
  };
  auto newShelf = [&] {
    const fs::path shelf = dir_ / ("shelf" + std::to_string(++shelves));
    fs::create_directories(shelf);
    return shelf;
  };
  const std::chrono::milliseconds enough(60'000), none(1);
  {
    word::KeptOffice office;
    const fs::path shelf = newShelf();
    // No profile anywhere yet: the first start runs on its own, and its profile is kept.
    ConversionJob first = convert(office, shelf, source, "a.docx", enough);
    ASSERT_TRUE(first.ok) << first.error;
    EXPECT_EQ(office.launches(), 0u);
    EXPECT_TRUE(fs::is_directory(cache / "quillfold" / "office" / "profile"));
    // The next starts go to one office, launched on the shelved profile.
    ConversionJob second = convert(office, shelf, dir_ / "a.docx", "a.doc", enough);
    ASSERT_TRUE(second.ok) << second.error;
    ConversionJob third = convert(office, shelf, dir_ / "a.doc", "b.docx", enough);
    ASSERT_TRUE(third.ok) << third.error;
    EXPECT_EQ(office.launches(), 1u);
    EXPECT_TRUE(office.running());
    EXPECT_EQ(docxText(dir_ / "b.docx"), text);
    // A file it cannot convert gets a start of its own and fails there; the file beside it is
    // converted, and the office stays.
    const std::string whole = readFile(dir_ / "b.docx");
    const fs::path broken = write("in/broken.docx", whole.substr(0, whole.size() / 2));
    std::vector<ConversionJob> mixed{job(broken, "broken.docx"), job(dir_ / "a.doc", "f.docx")};
    word::ConvertOptions options;
    options.profileShelf = shelf.string();
    options.office = &office;
    const unsigned before = word::sofficeLaunchCount();
    word::convertFiles(mixed, options);
    EXPECT_FALSE(mixed[0].ok);
    EXPECT_EQ(mixed[0].error, kCouldNotConvert);
    EXPECT_FALSE(fs::exists(dir_ / "broken.docx"));
    ASSERT_TRUE(mixed[1].ok) << mixed[1].error;
    EXPECT_EQ(docxText(dir_ / "f.docx"), text);
    EXPECT_EQ(word::sofficeLaunchCount() - before, 1u);
    EXPECT_TRUE(office.running());
    EXPECT_EQ(office.launches(), 1u);
    // A start through it that runs out of time ends it; the later ones run on their own.
    ConversionJob late = convert(office, shelf, dir_ / "a.doc", "c.docx", none);
    EXPECT_FALSE(late.ok);
    EXPECT_FALSE(fs::exists(dir_ / "c.docx"));
    EXPECT_FALSE(office.running());
    ConversionJob after = convert(office, shelf, dir_ / "a.doc", "d.docx", enough);
    ASSERT_TRUE(after.ok) << after.error;
    EXPECT_EQ(office.launches(), 1u);
    EXPECT_EQ(docxText(dir_ / "d.docx"), text);
  }
  {
    // With the kept profile, the first start of a new caller already goes through an office.
    word::KeptOffice office;
    ConversionJob first = convert(office, newShelf(), dir_ / "a.doc", "e.docx", enough);
    ASSERT_TRUE(first.ok) << first.error;
    EXPECT_EQ(office.launches(), 1u);
    EXPECT_TRUE(office.running());
    EXPECT_EQ(docxText(dir_ / "e.docx"), text);
  }
  {
    // A kept profile others could change is not used: the first start runs on its own.
    fs::permissions(cache / "quillfold" / "office", fs::perms::group_write, fs::perm_options::add);
    word::KeptOffice office;
    ConversionJob first = convert(office, newShelf(), dir_ / "a.doc", "g.docx", enough);
    ASSERT_TRUE(first.ok) << first.error;
    EXPECT_EQ(office.launches(), 0u);
  }
  if (oldCache)
    setenv("XDG_CACHE_HOME", savedCache.c_str(), 1);
  else
    unsetenv("XDG_CACHE_HOME");
  // The offices are gone with their pipes; their folders were in TMPDIR (checked on tear-down).
  const std::string ours =
      "OSL_PIPE_" + std::to_string(::getuid()) + "_quillfold-" + std::to_string(::getpid()) + "-";
  for (const char* folder : {"/tmp", "/var/tmp"}) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec))
      EXPECT_NE(e.path().filename().string().rfind(ours, 0), 0u) << e.path();
  }
}

TEST_F(Convert, GeneratedDocumentRoundTripsThroughDocAndPdf) {
  auto source = dir_ / "source.docx";
  word::makeTextPackage({"往返测试", "second\tline", "<&>"})->save(source.string());

  // Two conversions at once from two threads: each start needs its own profile.
  std::string docError, pdfError;
  std::thread toDoc([&] {
    try {
      word::convertFile(source.string(), (dir_ / "copy.doc").string());
    } catch (const word::DocumentError& e) {
      docError = e.what();
    }
  });
  std::thread toPdf([&] {
    try {
      word::convertFile(source.string(), (dir_ / "copy.pdf").string());
    } catch (const word::DocumentError& e) {
      pdfError = e.what();
    }
  });
  toDoc.join();
  toPdf.join();
  ASSERT_EQ(docError, "");
  ASSERT_EQ(pdfError, "");
  EXPECT_EQ(readFile(dir_ / "copy.doc").substr(0, 8), kOle2);
  EXPECT_EQ(readFile(dir_ / "copy.pdf").substr(0, 4), "%PDF");

  // Back from Word 97 to OOXML; an output whose name does not say its format ("TXT") takes the
  // format asked for.
  std::vector<ConversionJob> jobs = {job(dir_ / "copy.doc", "back.docx"),
                                     job(dir_ / "copy.doc", "back.TXT", "docx")};
  word::convertFiles(jobs);
  for (const auto& j : jobs) {
    ASSERT_TRUE(j.ok) << j.output << ": " << j.error;
    EXPECT_EQ(docxText(j.output), "往返测试\nsecond\tline\n<&>\n");
  }
}

TEST_F(Convert, DamagedInputsFailWithoutOutput) {
  fs::path truncated;
  fs::path corpusDoc = fs::path(QF_CORPUS_DIR) / "word" / "doc-default.docx";
  std::string good = readFile(corpusDoc);
  ASSERT_FALSE(good.empty()) << corpusDoc;
  truncated = write("truncated.docx", good.substr(0, good.size() / 2));
  std::vector<ConversionJob> jobs = {
      // LibreOffice would import these two as plain text: refused before soffice starts.
      job(write("random.doc", randomBytes(6000, 1)), "random.docx"),
      job(write("ole.doc", kOle2 + randomBytes(6000, 2)), "ole.docx"),
      // Reaches soffice, which cannot load it.
      job(truncated, "truncated.doc"),
      // A good file in the same batch still converts.
      job(write("good.rtf", rtf("fine\\par")), "good.doc"),
  };
  // The good job and the truncated one share the start (same target format); the .docx
  // targets never start one.
  unsigned before = word::sofficeLaunchCount();
  word::convertFiles(jobs);
  EXPECT_EQ(word::sofficeLaunchCount() - before, 1u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_FALSE(jobs[i].ok);
    EXPECT_EQ(jobs[i].error, kCouldNotConvert) << jobs[i].input;
    EXPECT_FALSE(fs::exists(jobs[i].output)) << jobs[i].output;
  }
  EXPECT_TRUE(jobs[3].ok) << jobs[3].error;
  EXPECT_EQ(readFile(jobs[3].output).substr(0, 8), kOle2);

  try {
    word::convertFile(jobs[0].input, jobs[0].output);
    ADD_FAILURE() << "no error";
  } catch (const word::DocumentError& e) {
    EXPECT_EQ(e.file(), jobs[0].input);
    EXPECT_EQ(e.reason(), kCouldNotConvert);
  }
}

TEST_F(Convert, ACrashOrAHangCostsTheFileItWasOnNotTheOthers) {
  // A stand-in for soffice that converts its files in order and dies on the first one saying
  // "crash" (ending with status 1, as soffice does when its office process crashes) or "segv"
  // (killed by the signal itself), or hangs on one saying "hang".
  auto fake = write("crashing-soffice",
                    "#!/bin/sh\n"
                    "out=''\n"
                    "while [ $# -gt 0 ]; do\n"
                    "  case \"$1\" in\n"
                    "    --outdir) out=\"$2\"; shift ;;\n"
                    "    */f*.rtf)\n"
                    "      if grep -q crash \"$1\"; then exit 1; fi\n"
                    "      if grep -q segv \"$1\"; then kill -SEGV $$; fi\n"
                    "      if grep -q hang \"$1\"; then sleep 60; fi\n"
                    "      printf 'PK\\003\\004x' > \"$out/$(basename \"$1\" .rtf).docx\" ;;\n"
                    "  esac\n"
                    "  shift\n"
                    "done\n");
  fs::permissions(fake, fs::perms::owner_all);
  const std::string crashed = msg::text(msg::kConvertStoppedStatus, 1);
  const std::string killed = msg::text(msg::kConvertStoppedSignal, SIGSEGV);
  const std::string late = msg::text(msg::kConvertTimeout, "0.4");
  struct Case {
    std::vector<std::string> files; // "good", "crash" or "segv"
    unsigned starts;
    std::vector<std::string> errors; // per file; empty for a converted one
  };
  const std::vector<Case> cases = {
      {{"good", "crash", "good", "good"}, 2, {"", crashed, "", ""}},
      {{"crash", "good", "good"}, 2, {crashed, "", ""}},
      {{"good", "segv", "good"}, 2, {"", killed, ""}},
      {{"good", "crash", "good", "crash", "good"}, 3, {"", crashed, "", crashed, ""}},
      // Three starts in a row that die before their first file: soffice is taken to be
      // unable to run, and the files after them get no further start.
      {{"crash", "crash", "crash", "crash", "good"},
       3,
       {crashed, crashed, crashed, crashed, crashed}},
      // A start that runs out of time gets one more without the file it hung on; the files it
      // had written are written again.
      {{"good", "hang", "good"}, 2, {"", late, ""}},
      {{"hang", "good", "crash", "good"}, 3, {late, "", crashed, ""}},
      // A second time-out ends it.
      {{"good", "hang", "hang", "good"}, 2, {late, late, late, late}},
  };
  for (size_t c = 0; c < cases.size(); ++c) {
    std::vector<ConversionJob> jobs;
    for (size_t i = 0; i < cases[c].files.size(); ++i)
      jobs.push_back(job(write(fmt::format("in{}/{}.rtf", c, i), rtf(cases[c].files[i])),
                         fmt::format("out{}-{}.docx", c, i)));
    word::ConvertOptions options;
    options.soffice = fake.string();
    options.baseTimeLimit = std::chrono::milliseconds(400);
    options.perMiBTimeLimit = options.perFileTimeLimit = std::chrono::milliseconds(0);
    const unsigned before = word::sofficeLaunchCount();
    word::convertFiles(jobs, options);
    EXPECT_EQ(word::sofficeLaunchCount() - before, cases[c].starts) << "case " << c;
    for (size_t i = 0; i < jobs.size(); ++i) {
      const std::string& error = cases[c].errors[i];
      EXPECT_EQ(jobs[i].ok, error.empty()) << "case " << c << " file " << i;
      EXPECT_EQ(jobs[i].error.substr(0, error.size()), error) << "case " << c << " file " << i;
      EXPECT_EQ(fs::exists(jobs[i].output), error.empty()) << "case " << c << " file " << i;
    }
  }
}

TEST_F(Convert, TheNameOfLibreOfficesPipeFollowsItsProfile) {
  // As a LibreOffice 7.4 named it for that profile.
  EXPECT_EQ(word::sofficePipeName("file:///tmp/crt2/prof"),
            fmt::format("OSL_PIPE_{}_SingleOfficeIPC_11207385ca5d58756d07f2442e993e", ::getuid()));
}

TEST_F(Convert, APipeLeftByAStartThatCrashedOrRanOutOfTimeIsRemoved) {
  // A stand-in for soffice that makes its pipe as LibreOffice names it (see above), leaves it
  // behind as a killed LibreOffice does, notes its path, and then crashes or hangs.
  const fs::path made = dir_ / "pipes";
  auto fake =
      write("pipe-soffice",
            "#!/bin/sh\n"
            "for a in \"$@\"; do case \"$a\" in\n"
            "  -env:UserInstallation=*) url=\"${a#-env:UserInstallation=}\" ;;\n"
            "esac; done\n"
            "hash=$(printf '%s' \"$url\" | iconv -f UTF-8 -t UTF-16LE | md5sum | cut -c1-32 |"
            " sed 's/../& /g; s/\\b0\\([0-9a-f]\\)/\\1/g; s/ //g')\n"
            "pipe=/tmp/OSL_PIPE_$(id -u)_SingleOfficeIPC_$hash\n"
            "perl -MIO::Socket::UNIX -e 'IO::Socket::UNIX->new(Local => $ARGV[0], Listen => 1) or "
            "exit 1' \"$pipe\" || exit 3\n"
            "echo \"$pipe\" >> '" +
                made.string() +
                "'\n"
                "for a in \"$@\"; do case \"$a\" in */f*.rtf) grep -q hang \"$a\" && sleep 60 ;; "
                "esac; done\n"
                "exit 1\n");
  fs::permissions(fake, fs::perms::owner_all);
  for (const std::string name : {"crash.rtf", "hang.rtf"}) {
    std::vector<ConversionJob> jobs{job(write("in/" + name, rtf(name + "\\par")), name + ".docx")};
    word::ConvertOptions options;
    options.soffice = fake.string();
    options.baseTimeLimit = std::chrono::milliseconds(1500);
    word::convertFiles(jobs, options);
    EXPECT_FALSE(jobs[0].ok) << name;
  }
  std::istringstream pipes(readFile(made));
  std::vector<std::string> seen;
  for (std::string pipe; std::getline(pipes, pipe);)
    seen.push_back(pipe);
  ASSERT_EQ(seen.size(), 2u) << "the stand-in made no pipe";
  for (const std::string& pipe : seen) {
    struct stat st {};
    EXPECT_NE(::lstat(pipe.c_str(), &st), 0) << pipe << " is left";
  }
}

TEST_F(Convert, TimeLimitKillsTheWholeProcessGroup) {
  word::ConvertOptions options;
  options.baseTimeLimit = std::chrono::milliseconds(300);
  options.perMiBTimeLimit = options.perFileTimeLimit = std::chrono::milliseconds(0);
  auto input = write("slow.rtf", rtf("slow\\par"));
  std::vector<ConversionJob> jobs = {job(input, "slow.docx"), job(input, "slow2.docx")};
  word::convertFiles(jobs, options);
  for (const auto& j : jobs) {
    EXPECT_FALSE(j.ok);
    EXPECT_EQ(j.error, msg::text(msg::kConvertTimeout, "0.3"));
    EXPECT_FALSE(fs::exists(j.output));
  }

  // A stand-in for soffice that leaves a child behind: the child must die with it.
  auto fake = write("fake-soffice",
                    "#!/bin/sh\nsleep 60 &\necho $! > '" + (dir_ / "child").string() + "'\nwait\n");
  fs::permissions(fake, fs::perms::owner_all);
  options.soffice = fake.string();
  options.baseTimeLimit = std::chrono::milliseconds(500);
  std::vector<ConversionJob> fakeJobs = {job(input, "fake.docx")};
  word::convertFiles(fakeJobs, options);
  EXPECT_EQ(fakeJobs[0].error, msg::text(msg::kConvertTimeout, "0.5"));
  pid_t child = std::stoi(readFile(dir_ / "child"));
  // Gone, or a zombie waiting for init to reap it.
  std::string stat = readFile("/proc/" + std::to_string(child) + "/stat");
  if (!stat.empty()) {
    EXPECT_EQ(stat.substr(stat.rfind(')') + 2, 1), "Z") << stat;
  }
}

TEST_F(Convert, RefusalsBeforeAnyStart) {
  auto input = write("in.rtf", rtf("x\\par"));
  auto same = write("same.doc", rtf("x\\par"));
  struct Case {
    ConversionJob job;
    std::string error;
  };
  std::vector<Case> cases = {
      {job(input, "out.xyz"), msg::text(msg::kConvertUnknownFormat, ".xyz")},
      {job(input, "noextension"), msg::kConvertNoExtension},
      {job(dir_ / "missing.rtf", "out.docx"),
       msg::text(msg::kConvertCannotRead, msg::systemError(ENOENT))},
      {job(dir_, "out.docx"), msg::kConvertNotRegular},
      {job(same, "same.doc"), msg::text(msg::kConvertOutputIsInput, same.string())},
      {job(input, "no/such/folder/out.docx"),
       msg::text(msg::kConvertNoOutputFolder, (dir_ / "no/such/folder").string())},
  };
  std::vector<ConversionJob> jobs;
  for (const auto& c : cases)
    jobs.push_back(c.job);
  unsigned before = word::sofficeLaunchCount();
  word::convertFiles(jobs);
  EXPECT_EQ(word::sofficeLaunchCount(), before);
  for (size_t i = 0; i < cases.size(); ++i) {
    EXPECT_FALSE(jobs[i].ok);
    EXPECT_EQ(jobs[i].error, cases[i].error) << cases[i].job.output;
  }
  EXPECT_EQ(readFile(same), rtf("x\\par"));

  // Without LibreOffice every convertible job names the package to install.
  word::ConvertOptions options;
  options.soffice = (dir_ / "not-installed" / "soffice").string();
  std::vector<ConversionJob> missing = {job(input, "a.docx"), job(input, "b.pdf")};
  word::convertFiles(missing, options);
  for (const auto& j : missing) {
    EXPECT_FALSE(j.ok);
    EXPECT_EQ(j.error, word::sofficeMissingMessage());
  }
  EXPECT_NE(word::sofficeMissingMessage().find("libreoffice-writer-nogui"), std::string::npos);
}

// The output folder's entry is replaced, never written through: a link named like the output
// keeps its target as it was. An output name of 253 bytes (81 Chinese characters) fits, and
// nothing but the outputs is left in the folder.
TEST_F(Convert, OutputsReplaceLinksAndTakeLongNames) {
  auto input = write("in.rtf", rtf("linked\\par"));
  auto victim = write("elsewhere/victim.docx", "keep me");
  fs::create_directories(dir_ / "out");
  fs::create_symlink(victim, dir_ / "out" / "link.docx");
  std::string longName;
  for (int i = 0; i < 81; ++i)
    longName += "长";
  longName += "-2024.docx";
  ASSERT_EQ(longName.size(), 253u);
  std::vector<ConversionJob> jobs = {job(input, "out/link.docx"), job(input, "out/" + longName)};
  word::convertFiles(jobs);
  for (const auto& j : jobs)
    EXPECT_TRUE(j.ok) << j.output << ": " << j.error;
  EXPECT_EQ(readFile(victim), "keep me");
  EXPECT_FALSE(fs::is_symlink(dir_ / "out" / "link.docx"));
  EXPECT_NE(docxText(dir_ / "out" / "link.docx").find("linked"), std::string::npos);
  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(dir_ / "out"))
    left.push_back(e.path().filename().string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"link.docx", longName}));
}

} // namespace
