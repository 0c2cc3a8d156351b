// The text steps (cleanup, punctuation, indentation, signature and blank lines) on a generated
// document of 50 000 paragraphs: body text with spaces, half-width punctuation, numbers, tabs,
// manual line breaks and blank lines, closed by a signature block. Each step is timed alone on
// a fresh copy of the document; building the copy is not timed.

#include <benchmark/benchmark.h>

#include <functional>
#include <memory>
#include <string>

#include "engine/clsdoc.h"
#include "tests/engine/engine_access.h"
#include "tests/word/model_helpers.h"

using engine::EngineAccess;
using qftest::para;
using qftest::run;

namespace {

constexpr int kParagraphs = 50000;

// Body of the generated document; with `table` a small table stands first, so the cleanup
// works paragraph by paragraph.
std::string generatedBody(bool table) {
  std::string body;
  body.reserve(kParagraphs * 200);
  int n = 0;
  if (table) {
    body += "<w:tbl><w:tr><w:tc>" + para(run("表 格")) + "</w:tc><w:tc>" + para(run("内 容")) +
            "</w:tc></w:tr></w:tbl>";
    n += 2;
  }
  const std::string tab = "<w:r><w:tab/></w:r>";
  const std::string lineBreak = "<w:r><w:br/></w:r>";
  for (int i = 0; n < kParagraphs - 4; ++i, ++n) {
    std::string k = std::to_string(i);
    if (i % 20 == 19)
      body += "<w:p/>";
    else if (i % 13 == 0)
      body += para(run("第" + k + "条 按照规定,做好工作.") + lineBreak + run("（一）加强 领导;"));
    else if (i % 11 == 0)
      body += para(run("序号" + k) + tab + run("说明:版本v1.0, 金额1,000元."));
    else
      body += para(
          run("  这是第" + k + "段正文, 包含空格\u3000和标点. 数值3.14与时间10:30;见www.gov.cn!"));
  }
  body += "<w:p/><w:p/>" + para(run("某某市人民政府")) + para(run("2023年5月6日"));
  return body;
}

const std::string& bodyOf(bool table) {
  static const std::string plain = generatedBody(false), withTable = generatedBody(true);
  return table ? withTable : plain;
}

void configure(engine::clsDoc& eng) {
  for (const char* k : {"空格", "标点", "句号", "小括号", "空行"})
    eng.setProperty(k, "1");
  eng.setProperty("头空格", "0");
}

// Opens a fresh copy of the document in `eng`, as the run leaves it before the steps, and runs
// `before` (earlier steps) on it.
void openFresh(engine::clsDoc& eng, bool table,
               const std::function<void(engine::clsDoc&)>& before) {
  word::Application& app = EngineAccess::app(eng);
  while (app.activeDocument())
    app.close(*app.activeDocument());
  word::Document& d = EngineAccess::adopt(eng, qftest::makeDoc(bodyOf(table)));
  d.selection().wholeStory();
  if (before)
    before(eng);
}

void runStep(benchmark::State& state, bool table, bool keepSpaces,
             const std::function<void(engine::clsDoc&)>& before, void (*step)(engine::clsDoc&)) {
  engine::clsDoc eng;
  configure(eng);
  if (keepSpaces)
    eng.setProperty("空格", "0");
  for (auto _ : state) {
    state.PauseTiming();
    openFresh(eng, table, before);
    state.ResumeTiming();
    step(eng);
  }
  state.counters["paragraphs"] = EngineAccess::app(eng).activeDocument()->paragraphs().count();
}

void cleaned(engine::clsDoc& e) {
  EngineAccess::cleanText(e);
}
void punctuated(engine::clsDoc& e) {
  EngineAccess::cleanText(e);
  EngineAccess::fixPunctuation(e);
}
void indented(engine::clsDoc& e) {
  punctuated(e);
  EngineAccess::indentParagraphs(e);
}

void BM_CleanText(benchmark::State& s) {
  runStep(s, false, false, nullptr, EngineAccess::cleanText);
}
void BM_CleanTextWithTable(benchmark::State& s) {
  runStep(s, true, false, nullptr, EngineAccess::cleanText);
}
// 空格 off: only the spaces at the ends of each paragraph go, one paragraph at a time.
void BM_CleanTextKeepingSpaces(benchmark::State& s) {
  runStep(s, false, true, nullptr, EngineAccess::cleanText);
}
void BM_FixPunctuation(benchmark::State& s) {
  runStep(s, false, false, cleaned, EngineAccess::fixPunctuation);
}
void BM_IndentParagraphs(benchmark::State& s) {
  runStep(s, false, false, punctuated, EngineAccess::indentParagraphs);
}
void BM_FormatSignature(benchmark::State& s) {
  runStep(s, false, false, indented, EngineAccess::formatSignature);
}

} // namespace

BENCHMARK(BM_CleanText)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CleanTextWithTable)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CleanTextKeepingSpaces)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_FixPunctuation)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_IndentParagraphs)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_FormatSignature)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
