// The preview's first page: a 10-page document rendered by LibreOffice into an empty cache,
// opened with Qt PDF and its first page drawn at screen size; and a second look at the same
// file (from the cache). The window does the same on its worker thread.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QImage>
#include <QPdfDocument>
#include <cstdlib>
#include <filesystem>

#include "app/render/render.h"
#include "base/temp_folder.h"
#include "tests/render/render_fixtures.h"

namespace {

namespace fs = std::filesystem;

struct Scratch {
  fs::path dir;
  Scratch() {
    dir = base::makeTempFolder("qf-bench-preview");
    if (dir.empty())
      std::abort();
    std::vector<rendertest::Para> paras;
    for (int page = 0; page < 10; ++page)
      for (int i = 0; i < 12; ++i)
        paras.push_back({"第" + std::to_string(page + 1) +
                             "页　为切实做好今年的安全生产工作，防范和遏制重特大事故发生，"
                             "现将有关事项通知如下，请认真贯彻执行。",
                         i % 3 == 0 ? "黑体" : "仿宋_GB2312", i == 0 && page > 0});
    rendertest::writeDocx(dir / "ten-pages.docx", paras);
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
};

// Renders, opens and draws the first page; false on any failure.
bool firstPage(const std::string& doc, const std::string& cache) {
  auto pdfs = app::render::cachedPdfs({doc}, cache);
  if (!pdfs.at(0).ok)
    return false;
  QPdfDocument pdf;
  if (pdf.load(QString::fromStdString(pdfs[0].pdf)) != QPdfDocument::Error::None ||
      pdf.pageCount() < 10)
    return false;
  QImage image = pdf.render(0, QSize(800, 1131));
  return !image.isNull();
}

void BM_PreviewFirstPageEmptyCache(benchmark::State& state) {
  Scratch s;
  int round = 0;
  for (auto _ : state) {
    const std::string cache = (s.dir / ("cache" + std::to_string(round++))).string();
    if (!firstPage((s.dir / "ten-pages.docx").string(), cache))
      state.SkipWithError("the document could not be rendered");
  }
}
BENCHMARK(BM_PreviewFirstPageEmptyCache)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

void BM_PreviewFirstPageSecondLook(benchmark::State& state) {
  Scratch s;
  const std::string doc = (s.dir / "ten-pages.docx").string(), cache = (s.dir / "cache").string();
  if (!firstPage(doc, cache))
    state.SkipWithError("the document could not be rendered");
  for (auto _ : state)
    benchmark::DoNotOptimize(firstPage(doc, cache));
}
BENCHMARK(BM_PreviewFirstPageSecondLook)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
