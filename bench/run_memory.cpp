// Peak memory of the full run and the page run per paragraph, on generated documents of
// 1 000 to 100 000 paragraphs. Each run happens in a child process of its own, so its peak
// resident size (wait4's usage of that child) is that run's alone. Reported as counters:
// peak_MiB and KiB_per_paragraph (the target for the full run is at most 5 KiB a paragraph),
// the main part's size in the source and in the output (docxml_in_MiB, docxml_out_MiB), and
// the peak over the source's main part (peak_per_docxml, the target is at most 20).

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "engine/clsdoc.h"
#include "tests/common/default_properties.h"
#include "tests/common/temp_folder.h"
#include "tests/word/model_helpers.h"
#include "word/package.h"

namespace {

// Paragraphs of Chinese text with a chapter heading every 50, under the house settings.
std::string body(int paragraphs) {
  std::string b;
  b.reserve(static_cast<size_t>(paragraphs) * 180);
  for (int i = 0; i < paragraphs; ++i) {
    if (i % 50 == 0)
      b += "<w:p><w:r><w:t>第一章　总则</w:t></w:r></w:p>";
    b += "<w:p><w:r><w:t xml:space=\"preserve\">第" + std::to_string(i) +
         "段：为进一步加强和规范公文处理工作，提高公文质量和效率, 根据有关规定.</w:t></w:r>"
         "</w:p>";
  }
  return b + "<w:sectPr><w:pgSz w:w=\"11906\" w:h=\"16838\"/></w:sectPr>";
}

// The inflated size of the main part of the package at `path`, measured in a child so that
// this process stays small (0 when it cannot be read).
double mainPartSize(const std::string& path) {
  int fds[2];
  if (::pipe(fds) != 0)
    return 0;
  pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    uint64_t size = 0;
    try {
      std::unique_ptr<word::Package> pkg = word::Package::open(path);
      size = pkg->bytes(pkg->mainPart()).size();
    } catch (...) {
    }
    (void)!::write(fds[1], &size, sizeof size);
    ::_exit(0);
  }
  ::close(fds[1]);
  uint64_t size = 0;
  if (::read(fds[0], &size, sizeof size) != sizeof size)
    size = 0;
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return static_cast<double>(size);
}

class NullEvents : public engine::IQuillfoldEvents {
public:
  void Error(int32_t, const std::string&) override { failed = true; }
  void Message(const std::string&, const std::string&, const std::string&, const std::string&,
               const std::string&) override {}
  bool failed = false;
};

// Writes the generated document of `paragraphs` paragraphs to `source`, in a child: this
// process stays small, so what a run's child inherits from it does not count in the run's peak.
void makeSource(int paragraphs, const std::string& source) {
  if (pid_t maker = ::fork(); maker == 0) {
    qftest::makeDoc(body(paragraphs))->saveAs(source);
    ::_exit(0);
  } else {
    int status = 0;
    ::waitpid(maker, &status, 0);
  }
}

// Runs `work` in a child process and gives that child's own peak resident size in KiB, or -1
// when `work` returned false, threw or the child did not end normally.
template <class Work> long peakKiBOfChild(Work&& work) {
  pid_t pid = ::fork();
  if (pid == 0) {
    bool done = false;
    try {
      done = work();
    } catch (...) {
    }
    ::_exit(done ? 0 : 1);
  }
  int status = 0;
  rusage ru{};
  ::wait4(pid, &status, 0, &ru);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ru.ru_maxrss : -1;
}

void BM_RunPeakMemory(benchmark::State& state) {
  const int paragraphs = static_cast<int>(state.range(0));
  const std::string mode = state.range(1) ? "0" : "YeMian";
  qftest::TempFolder dir;
  const std::string source = (dir.path() / "in.docx").string();
  makeSource(paragraphs, source);
  long peakKiB = 0;
  bool ok = true;
  for (auto _ : state) {
    peakKiB = peakKiBOfChild([&] {
      engine::clsDoc e;
      for (const auto& [k, v] : qftest::kDefaultProperties)
        e.setProperty(k, v);
      e.setProperty("使用页码", "1");
      e.setProperty("DocPath", dir.path().string());
      e.setProperty("DocFileName", "in.docx");
      e.setProperty("DocOutLocation", (dir.path() / "out").string());
      NullEvents events;
      e.SetEventSink(&events);
      e.Main(mode);
      return !events.failed;
    });
    ok = ok && peakKiB >= 0;
  }
  if (!ok)
    state.SkipWithError("the run failed");
  const int total = paragraphs + (paragraphs + 49) / 50;
  state.counters["paragraphs"] = total;
  state.counters["peak_MiB"] = static_cast<double>(peakKiB) / 1024.0;
  state.counters["KiB_per_paragraph"] = static_cast<double>(peakKiB) / total;
  const double in = mainPartSize(source);
  const double out = mainPartSize((dir.path() / "out" / "in.docx").string());
  state.counters["docxml_in_MiB"] = in / (1 << 20);
  state.counters["docxml_out_MiB"] = out / (1 << 20);
  state.counters["peak_per_docxml"] = in > 0 ? static_cast<double>(peakKiB) * 1024.0 / in : 0;
  state.SetLabel(mode == "0" ? "full run" : "page run");
}

// Peak memory of opening a document, changing its main part and saving it (the save path
// alone: the bytes made, the file written and read back once).
void BM_SavePeakMemory(benchmark::State& state) {
  const int paragraphs = static_cast<int>(state.range(0));
  qftest::TempFolder dir;
  const std::string source = (dir.path() / "in.docx").string();
  makeSource(paragraphs, source);
  long peakKiB = 0;
  bool ok = true;
  for (auto _ : state) {
    peakKiB = peakKiBOfChild([&] {
      std::unique_ptr<word::Document> doc = word::Document::openPackage(source);
      doc->range(0, 0).insertBefore("　");
      doc->saveAs((dir.path() / "out.docx").string());
      return true;
    });
    ok = ok && peakKiB >= 0;
  }
  if (!ok)
    state.SkipWithError("the save failed");
  const double in = mainPartSize(source);
  state.counters["peak_MiB"] = static_cast<double>(peakKiB) / 1024.0;
  state.counters["docxml_in_MiB"] = in / (1 << 20);
  state.counters["peak_per_docxml"] = in > 0 ? static_cast<double>(peakKiB) * 1024.0 / in : 0;
}

} // namespace

BENCHMARK(BM_SavePeakMemory)->Arg(20000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_RunPeakMemory)
    ->ArgsProduct({{1000, 10000, 20000, 50000, 100000}, {0}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(BM_RunPeakMemory)
    ->ArgsProduct({{1000, 10000, 20000, 50000, 100000}, {1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

BENCHMARK_MAIN();
