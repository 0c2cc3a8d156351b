// Merging adjacent runs before a save, on bodies of 1 000 to 100 000 paragraphs of five runs
// each (four of one format, one bold): the cost per paragraph should stay flat (linear), and a
// second pass over merged runs should cost little.

#include <benchmark/benchmark.h>

#include <string>

#include <pugixml.hpp>

#include "word/internal/merge_runs.h"

namespace {

std::string body(int paragraphs) {
  const std::string rPr = "<w:rPr><w:rFonts w:ascii=\"仿宋_GB2312\" w:eastAsia=\"仿宋_GB2312\"/>"
                          "<w:sz w:val=\"32\"/><w:szCs w:val=\"32\"/></w:rPr>";
  const std::string bold = "<w:rPr><w:rFonts w:ascii=\"仿宋_GB2312\" w:eastAsia=\"仿宋_GB2312\"/>"
                           "<w:b/><w:sz w:val=\"32\"/><w:szCs w:val=\"32\"/></w:rPr>";
  std::string x = "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/"
                  "2006/main\"><w:body>";
  for (int i = 0; i < paragraphs; ++i) {
    x += "<w:p><w:pPr><w:jc w:val=\"both\"/></w:pPr>";
    for (int k = 0; k < 5; ++k)
      x += "<w:r w:rsidR=\"00A" + std::to_string(k) + "\">" + (k == 2 ? bold : rPr) +
           "<w:t xml:space=\"preserve\">为进一步加强和规范公文处理工作，</w:t></w:r>";
    x += "</w:p>";
  }
  return x + "</w:body></w:document>";
}

void BM_MergeRuns(benchmark::State& state) {
  const int paragraphs = static_cast<int>(state.range(0));
  const std::string xml = body(paragraphs);
  size_t removed = 0;
  for (auto _ : state) {
    state.PauseTiming();
    pugi::xml_document doc;
    doc.load_buffer(xml.data(), xml.size());
    state.ResumeTiming();
    removed = word::mergeRuns(doc.document_element());
    state.PauseTiming();
    doc.reset(); // not timed
    state.ResumeTiming();
  }
  state.counters["runs_removed"] = static_cast<double>(removed);
  state.counters["us_per_paragraph"] = benchmark::Counter(
      static_cast<double>(paragraphs) * 1e-6,
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_MergeRunsAgain(benchmark::State& state) {
  const int paragraphs = static_cast<int>(state.range(0));
  const std::string xml = body(paragraphs);
  pugi::xml_document doc;
  doc.load_buffer(xml.data(), xml.size());
  word::mergeRuns(doc.document_element());
  for (auto _ : state)
    benchmark::DoNotOptimize(word::mergeRuns(doc.document_element()));
  state.counters["us_per_paragraph"] = benchmark::Counter(
      static_cast<double>(paragraphs) * 1e-6,
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

} // namespace

BENCHMARK(BM_MergeRuns)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MergeRunsAgain)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
