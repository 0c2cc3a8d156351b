// Fuzz target for the document model: open an archive from memory, read and edit it, save it
// and open the result again. Only DocumentError may escape the model; anything else (a crash,
// a sanitizer report, another exception) is a finding. Nothing is written to disk.
//
// Built twice: as a libFuzzer target (QF_FUZZ) and as a replay program (QF_FUZZ_REPLAY) that
// runs every stored input once, as a regular test.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "word/constants.h"
#include "word/document.h"
#include "word/error.h"
#include "word/package.h"

namespace {

// Smaller than the defaults so that a single input cannot take the fuzzer's memory limit.
word::PackageLimits fuzzLimits() {
  word::PackageLimits l;
  l.maxArchiveSize = 4ull << 20;
  l.maxPartSize = 16ull << 20;
  l.maxTotalSize = 64ull << 20;
  return l;
}

void exercise(const std::string& bytes) {
  std::string saved, before;
  try {
    auto pkg = word::Package::openMemory(bytes, "fuzz.docx", fuzzLimits());
    auto doc = word::Document::fromPackage(std::move(pkg), "fuzz.docx");
    int count = doc->paragraphs().count();
    std::string text;
    for (int i = 1; i <= count && i <= 4; ++i)
      text += doc->paragraphs().item(i).range().text();

    if (count >= 1) {
      word::Range p1 = doc->paragraphs().item(1).range();
      // The paragraph's content without its mark.
      word::Range content = doc->range(p1.start(), p1.end() > p1.start() ? p1.end() - 1 : p1.end());
      content.setText("Quillfold 排版 test");
    }

    word::Selection& sel = doc->selection();
    sel.wholeStory();
    word::Find& find = sel.find();
    find.text = "a";
    find.replacementText = "bb";
    find.wrap = word::wdFindContinue;
    find.execute(word::wdReplaceAll);

    before = doc->contentRange().text();
    saved = doc->saveToString();
  } catch (const word::DocumentError&) {
    return;
  }

  // What the model wrote must open again.
  try {
    auto again = word::Document::fromPackage(
        word::Package::openMemory(saved, "fuzz-out.docx", fuzzLimits()), "fuzz-out.docx");
    (void)again->paragraphs().count();
    // Saving (runs merged on the way) keeps the text as it was.
    if (again->contentRange().text() != before) {
      std::fprintf(stderr, "the saved text differs from the text before the save\n");
      std::abort();
    }
  } catch (const word::DocumentError& e) {
    std::fprintf(stderr, "saved document does not open again: %s\n", e.what());
    std::abort();
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  exercise(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}

#ifdef QF_FUZZ_REPLAY
#include "replay_main.h"
#endif
