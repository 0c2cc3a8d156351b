// The two heading steps on a generated 50 000-paragraph regulation: chapters, articles,
// numbered headings of every level and plain body text, indented as the indentation step
// leaves them. Each iteration runs one step on a fresh copy of the document.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/clsdoc.h"
#include "engine/recognisers/article_number.h"
#include "tests/engine/engine_access.h"
#include "tests/word/model_helpers.h"
#include "word/document.h"
#include "word/package.h"
#include "word/text.h"

namespace {

using engine::EngineAccess;

std::string paragraph(const std::string& text) {
  return "<w:p><w:pPr><w:jc w:val=\"both\"/></w:pPr><w:r><w:rPr><w:sz w:val=\"32\"/></w:rPr>"
         "<w:t xml:space=\"preserve\">" +
         text + "</w:t></w:r></w:p>";
}

// A cycle of twelve paragraphs: one chapter, three articles, one heading of each numbered
// level and five body paragraphs; numbers run through the whole tables.
std::string makeBody(int paragraphs) {
  const auto& numerals = engine::ChineseNumerals();
  const std::string indent = "\u3000\u3000";
  const std::string sentence = "为了加强管理，根据有关法律法规，结合本单位实际，制定本办法。";
  std::string body;
  body.reserve(static_cast<size_t>(paragraphs) * 220);
  for (int i = 0; i < paragraphs; ++i) {
    int cycle = i / 12;
    std::string n63 = word::toUtf8(numerals[static_cast<size_t>(cycle % 63)]);
    std::string n50 = word::toUtf8(numerals[static_cast<size_t>(cycle % 50)]);
    std::string n10 = word::toUtf8(numerals[static_cast<size_t>(cycle % 10)]);
    std::string text;
    switch (i % 12) {
    case 0:
      text = "第" + n63 + "章总则";
      break;
    case 1:
      text = "第" + n63 + "条" + sentence;
      break;
    case 2:
      text = "第" + n63 + "节" + sentence;
      break;
    case 3:
      text = "第" + n63 + "款" + sentence;
      break;
    case 4:
      text = n50 + "。总体要求。" + sentence;
      break;
    case 5:
      text = "(" + n10 + ")、" + sentence;
      break;
    case 6:
      text = std::to_string(cycle % 20 + 1) + "、" + sentence;
      break;
    case 7:
      text = "(" + std::to_string(cycle % 10 + 1) + ")。" + sentence;
      break;
    default:
      text = sentence + sentence;
      break;
    }
    body += paragraph(indent + text);
  }
  return body;
}

const std::string& bodyXml(int paragraphs) {
  static std::string xml;
  static int made = 0;
  if (made != paragraphs) {
    xml = makeBody(paragraphs) + "<w:sectPr/>";
    made = paragraphs;
  }
  return xml;
}

void setSettings(engine::clsDoc& e) {
  e.setProperty("标题字体", "黑体");
  e.setProperty("标题加粗", "1");
  e.setProperty("正文字号", "16");
  e.setProperty("段前", "0.5");
  e.setProperty("段后", "0.5");
}

template <void (*Step)(engine::clsDoc&)> void runStep(benchmark::State& state) {
  int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    auto e = std::make_unique<engine::clsDoc>();
    setSettings(*e);
    word::Document& doc = EngineAccess::adopt(*e, qftest::makeDoc(bodyXml(n)));
    // Earlier steps of a run have already read the whole story; do it here too, so the
    // figure is the step's own.
    auto paras = doc.paragraphs();
    benchmark::DoNotOptimize(paras.item(paras.count()).range().start());
    state.ResumeTiming();
    Step(*e);
    state.PauseTiming();
    benchmark::DoNotOptimize(doc.paragraphs().count());
    e.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * n);
}

void BM_FormatArticleHeadings(benchmark::State& state) {
  runStep<EngineAccess::formatArticleHeadings>(state);
}
void BM_FormatNumberedHeadings(benchmark::State& state) {
  runStep<EngineAccess::formatNumberedHeadings>(state);
}

BENCHMARK(BM_FormatArticleHeadings)->Arg(1000)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FormatNumberedHeadings)->Arg(1000)->Arg(50000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
