// Open + save and whole-document replace-all on generated documents of 1 000 to 50 000
// paragraphs.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <map>

#include "tests/word/model_helpers.h"
#include "word/document.h"
#include "word/package.h"

namespace {

// A realistic body: mixed Chinese and Latin runs, some formatting, spaces and punctuation.
std::string makeBody(int paragraphs) {
  std::string body;
  body.reserve(static_cast<size_t>(paragraphs) * 260);
  for (int i = 0; i < paragraphs; ++i) {
    body += "<w:p><w:pPr><w:jc w:val=\"both\"/></w:pPr><w:r><w:rPr><w:sz w:val=\"32\"/></w:rPr>"
            "<w:t xml:space=\"preserve\">第";
    body += std::to_string(i);
    body += "段 为了加强管理, 根据有关规定.</w:t></w:r><w:r><w:rPr><w:b/></w:rPr><w:t>"
            "制定本办法 Version 1.0。</w:t></w:r></w:p>";
  }
  return body;
}

// One file per size, written once.
const std::string& fileFor(int paragraphs) {
  static std::map<int, std::string> files;
  auto it = files.find(paragraphs);
  if (it != files.end())
    return it->second;
  std::string path = (std::filesystem::temp_directory_path() /
                      ("quillfold-bench-" + std::to_string(paragraphs) + ".docx"))
                         .string();
  qftest::makePackage(makeBody(paragraphs) + "<w:sectPr/>")->save(path);
  return files[paragraphs] = path;
}

void BM_OpenSave(benchmark::State& state) {
  int n = static_cast<int>(state.range(0));
  const std::string& in = fileFor(n);
  std::string out = in + ".out.docx";
  for (auto _ : state) {
    auto doc = word::Document::openPackage(in);
    benchmark::DoNotOptimize(doc->paragraphs().count());
    doc->saveAs(out);
  }
  state.SetComplexityN(n);
}

void BM_OpenEditSave(benchmark::State& state) {
  int n = static_cast<int>(state.range(0));
  const std::string& in = fileFor(n);
  std::string out = in + ".out.docx";
  for (auto _ : state) {
    auto doc = word::Document::openPackage(in);
    doc->paragraphs().item(1).range().insertBefore("X");
    doc->saveAs(out);
  }
  state.SetComplexityN(n);
}

void BM_ReplaceAll(benchmark::State& state) {
  int n = static_cast<int>(state.range(0));
  const std::string& in = fileFor(n);
  for (auto _ : state) {
    state.PauseTiming();
    auto doc = word::Document::openPackage(in);
    doc->paragraphs().count();
    state.ResumeTiming();
    auto& sel = doc->selection();
    sel.wholeStory();
    auto& f = sel.find();
    f.text = ",";
    f.replacementText = "，";
    f.wrap = word::wdFindContinue;
    f.matchByte = true;
    benchmark::DoNotOptimize(f.execute(word::wdReplaceAll));
  }
  state.SetComplexityN(n);
}

void BM_ParagraphWalk(benchmark::State& state) {
  int n = static_cast<int>(state.range(0));
  auto doc = word::Document::openPackage(fileFor(n));
  for (auto _ : state) {
    auto paras = doc->paragraphs();
    size_t total = 0;
    for (int i = paras.count(); i >= 1; --i)
      total += paras.item(i).range().text().size();
    benchmark::DoNotOptimize(total);
  }
  state.SetComplexityN(n);
}

} // namespace

BENCHMARK(BM_OpenSave)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(50000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();
BENCHMARK(BM_OpenEditSave)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(50000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();
BENCHMARK(BM_ReplaceAll)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(50000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();
BENCHMARK(BM_ParagraphWalk)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(50000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

BENCHMARK_MAIN();
