// The census of the integrity check on generated documents of 100 to 50 000 paragraphs of body
// text, with a table, a field and a bookmark every 50 paragraphs: its cost must grow linearly.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "engine/integrity.h"
#include "tests/word/model_helpers.h"

using qftest::para;
using qftest::run;

namespace {

std::string generatedBody(int paragraphs) {
  std::string body;
  for (int i = 0; i < paragraphs; ++i) {
    const std::string k = std::to_string(i);
    if (i % 50 == 49)
      body += "<w:tbl><w:tr><w:tc>" + para(run("表" + k)) + "</w:tc></w:tr></w:tbl>" +
              para("<w:bookmarkStart w:id=\"" + k + "\" w:name=\"b" + k +
                   "\"/><w:fldSimple w:instr=\" PAGE \">" + run("1") + "</w:fldSimple>");
    else
      body += para(run("这是第" + k + "段正文，包含 English words and 3.14 数字。"));
  }
  return body;
}

void BM_Census(benchmark::State& state) {
  auto pkg = qftest::makePackage(generatedBody(static_cast<int>(state.range(0))));
  for (auto _ : state)
    benchmark::DoNotOptimize(word::takeCensus(*pkg));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_Census)->RangeMultiplier(10)->Range(100, 50000)->Complexity(benchmark::oN);

// The same body under a root declaring thirty other namespaces after the main one, as Word's
// files do: the binding of each element's prefix must cost no more than with a handful.
void BM_CensusManyNamespaces(benchmark::State& state) {
  std::string decls;
  for (int i = 0; i < 30; ++i)
    decls += " xmlns:n" + std::to_string(i) + "=\"urn:example:n" + std::to_string(i) + "\"";
  auto pkg = qftest::makePackage(generatedBody(static_cast<int>(state.range(0))));
  std::string xml = pkg->bytes("word/document.xml");
  xml.insert(xml.find("><w:body>"), decls);
  pkg->setBytes("word/document.xml", xml);
  for (auto _ : state)
    benchmark::DoNotOptimize(word::takeCensus(*pkg));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_CensusManyNamespaces)
    ->RangeMultiplier(10)
    ->Range(100, 50000)
    ->Complexity(benchmark::oN);

} // namespace

BENCHMARK_MAIN();
