// The page, paragraph and font steps on a generated 50 000-paragraph document, with one table
// in the middle (two runs of paragraphs outside tables) and without (one run, the whole text).

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "engine/clsdoc.h"
#include "tests/engine/engine_access.h"
#include "tests/word/model_helpers.h"
#include "word/pagesetup.h"

namespace {

constexpr int kParagraphs = 50000;

// Body XML: numbered paragraphs of Chinese text, a few with direct paragraph and character
// formatting, and (optionally) a 3 x 3 table in the middle.
const std::string& body(bool withTable) {
  static std::string cached[2];
  std::string& b = cached[withTable ? 1 : 0];
  if (!b.empty())
    return b;
  b.reserve(kParagraphs * 160);
  for (int i = 0; i < kParagraphs; ++i) {
    if (withTable && i == kParagraphs / 2) {
      b += "<w:tbl><w:tblPr><w:tblW w:w=\"0\" w:type=\"auto\"/></w:tblPr><w:tblGrid>"
           "<w:gridCol w:w=\"3000\"/><w:gridCol w:w=\"3000\"/><w:gridCol w:w=\"3000\"/>"
           "</w:tblGrid>";
      for (int r = 0; r < 3; ++r) {
        b += "<w:tr>";
        for (int c = 0; c < 3; ++c)
          b += "<w:tc><w:p><w:pPr><w:jc w:val=\"center\"/></w:pPr><w:r><w:rPr><w:b/></w:rPr>"
               "<w:t>单元格</w:t></w:r></w:p></w:tc>";
        b += "</w:tr>";
      }
      b += "</w:tbl>";
    }
    std::string pPr = i % 10 == 0 ? "<w:pPr><w:ind w:firstLineChars=\"200\" w:firstLine=\"420\"/>"
                                    "<w:spacing w:line=\"360\" w:lineRule=\"auto\"/></w:pPr>"
                                  : "";
    std::string rPr =
        i % 7 == 0 ? "<w:rPr><w:rFonts w:hint=\"eastAsia\"/><w:sz w:val=\"24\"/></w:rPr>" : "";
    b += "<w:p>" + pPr + "<w:r>" + rPr + "<w:t>第" + std::to_string(i) +
         "段：为进一步加强和规范公文处理工作，提高公文质量和效率。</w:t></w:r></w:p>";
  }
  b += "<w:sectPr><w:pgSz w:w=\"12240\" w:h=\"15840\"/><w:pgMar w:top=\"1440\" w:right=\"1800\" "
       "w:bottom=\"1440\" w:left=\"1800\" w:header=\"720\" w:footer=\"720\" w:gutter=\"0\"/>"
       "</w:sectPr>";
  return b;
}

void configure(engine::clsDoc& e) {
  const std::pair<const char*, const char*> settings[] = {{"纸张大小", "0"},
                                                          {"页方向", "0"},
                                                          {"上边距", "3.7"},
                                                          {"下边距", "3.5"},
                                                          {"左边距", "2.8"},
                                                          {"右边距", "2.6"},
                                                          {"装订线", "0"},
                                                          {"页眉边距", "1.5"},
                                                          {"页脚边距", "2.8"},
                                                          {"装订线位置", "0"},
                                                          {"行距", "28"},
                                                          {"左缩进", "0"},
                                                          {"右缩进", "0"},
                                                          {"段前", "0"},
                                                          {"段后", "0"},
                                                          {"正文字体", "仿宋_GB2312"},
                                                          {"正文字号", "16"},
                                                          {"正文加粗", "0"},
                                                          {"标题字体", "方正小标宋简体"},
                                                          {"标题字号", "22"},
                                                          {"标题加粗", "0"},
                                                          {"一段标题", "1"},
                                                          {"标题对齐", "1"}};
  for (auto [k, v] : settings)
    e.setProperty(k, v);
}

template <void (*Step)(engine::clsDoc&)> void runStep(benchmark::State& state) {
  bool withTable = state.range(0) != 0;
  const std::string bytes = qftest::makePackage(body(withTable))->saveToString();
  engine::clsDoc e;
  configure(e);
  for (auto _ : state) {
    state.PauseTiming();
    if (word::Document* old = engine::EngineAccess::app(e).activeDocument())
      engine::EngineAccess::app(e).close(*old);
    auto doc =
        word::Document::fromPackage(word::Package::openMemory(bytes, "bench.docx"), "bench.docx");
    word::Document& d = engine::EngineAccess::adopt(e, std::move(doc));
    // The run's earlier steps have already indexed the text.
    benchmark::DoNotOptimize(d.contentRange().end());
    state.ResumeTiming();
    Step(e);
  }
  state.SetLabel(withTable ? "with a table" : "no table");
}

void BM_SetupPage(benchmark::State& s) {
  runStep<&engine::EngineAccess::setupPage>(s);
}
void BM_FormatParagraphs(benchmark::State& s) {
  runStep<&engine::EngineAccess::formatParagraphs>(s);
}
void BM_ApplyFonts(benchmark::State& s) {
  runStep<&engine::EngineAccess::applyFonts>(s);
}

} // namespace

BENCHMARK(BM_SetupPage)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_FormatParagraphs)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ApplyFonts)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(5);

BENCHMARK_MAIN();
