// How the page-only run and the full run grow with the document: generated documents of
// 1 000 to 100 000 paragraphs of Chinese text (chapter and article headings, numbered
// headings, body text, a table every 400 paragraphs, styles with a bold heading style),
// opened, typeset and saved under the house settings of samples/setup.ini with every
// furniture step on (header, page numbers, a text watermark; two columns as the house settings
// say). Each run happens in a child process of its own, so its peak resident size (wait4's
// usage of that child) is that run's alone; the child times its own open+run+save.
//
// Counters: page_s and full_s (best of the rounds), ratio (full / page; the target is at
// most 3 at 20 000 paragraphs), cpu_ratio (the same in processor time, which other work on a
// shared machine disturbs less than the wall time), peak_MiB of the full run, doc_in_MiB and
// doc_out_MiB (the size of word/document.xml in the source and in the full run's output). After the
// benchmarks the same figures are printed as one table (bench/run_scaling.sh runs it).
// With QF_SCALING_ONLY=full or =page only that run is made (for perf record); with
// QF_SCALING_COLUMNS set the full run also sets two columns (the house settings leave them off).

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include "engine/clsdoc.h"
#include "settings/settings.h"
#include "tests/common/temp_folder.h"
#include "tests/word/model_helpers.h"

namespace fs = std::filesystem;

namespace {

const char* const kNumerals[] = {"一", "二", "三", "四", "五", "六", "七", "八", "九", "十"};

std::string numeral(int i) {
  return kNumerals[i % 10];
}

std::string para(const std::string& text, const std::string& pPr = "") {
  return "<w:p>" + (pPr.empty() ? "" : "<w:pPr>" + pPr + "</w:pPr>") +
         "<w:r><w:t xml:space=\"preserve\">" + text + "</w:t></w:r></w:p>";
}

// `paragraphs` paragraphs of a long regulation: a chapter heading every 200, an article
// heading every 10, numbered headings of two levels, body text (some of it in two runs, one
// bold), and a small table every 400 paragraphs.
std::string body(int paragraphs) {
  std::string b;
  b.reserve(static_cast<size_t>(paragraphs) * 260);
  int chapter = 0, article = 0;
  for (int i = 0; i < paragraphs; ++i) {
    if (i % 200 == 0) {
      b += para("第" + numeral(chapter++) + "章　总则", "<w:pStyle w:val=\"Heading1\"/>");
      continue;
    }
    if (i % 400 == 1) {
      b += "<w:tbl><w:tblPr><w:tblW w:w=\"0\" w:type=\"auto\"/></w:tblPr><w:tr>";
      for (const char* cell : {"项目名称", "责任单位", "完成时限"})
        b += "<w:tc>" + para(cell) + "</w:tc>";
      b += "</w:tr></w:tbl>";
    }
    switch (i % 10) {
    case 1:
      b += para("第" + std::to_string(++article) +
                "条　为进一步加强和规范公文处理工作，提高公文"
                "质量和效率，根据有关规定，制定本办法。");
      break;
    case 3:
      b += para(numeral(i / 10) + "、工作目标和主要任务");
      break;
    case 5:
      b += para("（" + numeral(i / 10) + "）加强组织领导，落实工作责任");
      break;
    case 7:
      b += "<w:p><w:r><w:rPr><w:b/></w:rPr><w:t>各部门要高度重视，</w:t></w:r>"
           "<w:r><w:t xml:space=\"preserve\">明确分工, 细化措施 ,确保各项工作按时完成（" +
           std::to_string(i) + "）.</w:t></w:r></w:p>";
      break;
    default:
      b += para("  第" + std::to_string(i) +
                "段：各地区、各部门要结合实际，认真贯彻落实本通知精神，及时研究解决工作中遇到的"
                "新情况新问题，重大事项及时报告。");
    }
  }
  return b + "<w:sectPr><w:pgSz w:w=\"11906\" w:h=\"16838\"/>"
             "<w:pgMar w:top=\"1440\" w:right=\"1800\" w:bottom=\"1440\" w:left=\"1800\" "
             "w:header=\"851\" w:footer=\"992\" w:gutter=\"0\"/></w:sectPr>";
}

const char* const kStyles =
    "<w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:ascii=\"Times New Roman\" "
    "w:eastAsia=\"宋体\"/><w:sz w:val=\"21\"/></w:rPr></w:rPrDefault></w:docDefaults>"
    "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"><w:name w:val=\"Normal\"/>"
    "<w:pPr><w:jc w:val=\"both\"/></w:pPr></w:style>"
    "<w:style w:type=\"paragraph\" w:styleId=\"Heading1\"><w:name w:val=\"heading 1\"/>"
    "<w:basedOn w:val=\"Normal\"/><w:pPr><w:outlineLvl w:val=\"0\"/></w:pPr>"
    "<w:rPr><w:b/><w:sz w:val=\"32\"/></w:rPr></w:style>";

// Zip entry size of word/document.xml (uncompressed), 0 when unreadable.
double documentXmlMiB(const fs::path& docx) {
  int err = 0;
  zip_t* z = zip_open(docx.c_str(), ZIP_RDONLY, &err);
  if (!z)
    return 0;
  zip_stat_t st;
  zip_stat_init(&st);
  double mib = zip_stat(z, "word/document.xml", 0, &st) == 0
                   ? static_cast<double>(st.size) / (1024.0 * 1024.0)
                   : 0;
  zip_discard(z);
  return mib;
}

fs::path repository() {
  return fs::path(__FILE__).parent_path().parent_path();
}

struct RunResult {
  bool ok = false;
  double seconds = 0; // wall time of open+run+save
  double cpu = 0;     // processor time of the same (less disturbed by other work on the machine)
  double peakMiB = 0;
};

double cpuNow() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// One run of `mode` on dir/in.docx in a child process; its output goes to dir/out-<mode>.
RunResult runInChild(const fs::path& dir, const std::string& mode) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0)
    return {};
  pid_t pid = ::fork();
  if (pid == 0) {
    ::close(pipeFds[0]);
    engine::clsDoc e;
    settings::IniFile house(repository() / "samples" / "setup.ini");
    for (const auto& [k, v] : settings::loadEngineProperties(house))
      e.setProperty(k, v);
    // Every furniture step the full run has.
    e.setProperty("使用页眉", "1");
    e.setProperty("页眉", "某某市人民政府办公室文件");
    e.setProperty("使用页码", "1");
    if (std::getenv("QF_SCALING_COLUMNS"))
      e.setProperty("分栏", "1");
    e.setProperty("水印", "2");
    e.setProperty("水印文字", "内部资料　注意保存");
    e.setProperty("DocPath", dir.string());
    e.setProperty("DocFileName", "in.docx");
    e.setProperty("DocOutLocation", (dir / ("out-" + mode)).string());
    struct Events : engine::IQuillfoldEvents {
      void Error(int32_t, const std::string&) override { failed = true; }
      void Message(const std::string&, const std::string&, const std::string&, const std::string&,
                   const std::string&) override {}
      bool failed = false;
    } events;
    e.SetEventSink(&events);
    auto t0 = std::chrono::steady_clock::now();
    double c0 = cpuNow();
    e.Main(mode);
    double times[2] = {std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(),
                       cpuNow() - c0};
    [[maybe_unused]] auto n = ::write(pipeFds[1], times, sizeof times);
    ::_exit(events.failed ? 1 : 0);
  }
  ::close(pipeFds[1]);
  RunResult r;
  double times[2] = {0, 0};
  bool got = ::read(pipeFds[0], times, sizeof times) == static_cast<ssize_t>(sizeof times);
  ::close(pipeFds[0]);
  int status = 0;
  rusage ru{};
  ::wait4(pid, &status, 0, &ru); // this child's own peak
  r.ok = got && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  r.seconds = times[0];
  r.cpu = times[1];
  r.peakMiB = static_cast<double>(ru.ru_maxrss) / 1024.0;
  return r;
}

struct Row {
  double page = 0, full = 0, pageCpu = 0, fullCpu = 0, peak = 0, in = 0, out = 0;
};
std::map<int, Row>& table() {
  static std::map<int, Row> rows;
  return rows;
}

void BM_RunScaling(benchmark::State& state) {
  const int paragraphs = static_cast<int>(state.range(0));
  const int rounds = paragraphs >= 100000 ? 1 : 3;
  qftest::TempFolder dir;
  const fs::path source = dir.path() / "in.docx";
  // The document is made in a child too: this process stays small, so what a run's child
  // inherits from it does not count in the run's peak.
  if (pid_t maker = ::fork(); maker == 0) {
    qftest::makeDoc(body(paragraphs), kStyles)->saveAs(source.string());
    ::_exit(0);
  } else {
    int status = 0;
    ::waitpid(maker, &status, 0);
  }
  Row row;
  bool ok = true;
  for (auto _ : state) {
    row.page = row.full = row.pageCpu = row.fullCpu = 1e9;
    for (int k = 0; k < rounds; ++k) {
      // QF_SCALING_ONLY=full (or page) runs one of them, for a profile of that run alone.
      const char* only = std::getenv("QF_SCALING_ONLY");
      const std::string which = only ? only : "";
      RunResult page =
          which == "full" ? RunResult{true, 1, 1, 0} : runInChild(dir.path(), "YeMian");
      RunResult full = which == "page" ? RunResult{true, 1, 1, 0} : runInChild(dir.path(), "0");
      ok = ok && page.ok && full.ok;
      row.page = std::min(row.page, page.seconds);
      row.full = std::min(row.full, full.seconds);
      row.pageCpu = std::min(row.pageCpu, page.cpu);
      row.fullCpu = std::min(row.fullCpu, full.cpu);
      row.peak = std::max(row.peak, full.peakMiB);
    }
  }
  if (!ok) {
    state.SkipWithError("a run failed");
    return;
  }
  row.in = documentXmlMiB(source);
  row.out = documentXmlMiB(dir.path() / "out-0" / "in.docx");
  table()[paragraphs] = row;
  state.counters["page_s"] = row.page;
  state.counters["full_s"] = row.full;
  state.counters["ratio"] = row.full / row.page;
  state.counters["cpu_ratio"] = row.fullCpu / row.pageCpu;
  state.counters["peak_MiB"] = row.peak;
  state.counters["doc_in_MiB"] = row.in;
  state.counters["doc_out_MiB"] = row.out;
}

} // namespace

BENCHMARK(BM_RunScaling)
    ->Arg(1000)
    ->Arg(5000)
    ->Arg(20000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (table().empty())
    return 0;
  std::printf("\n%11s %11s %9s %7s %9s %12s %13s %11s %10s %9s\n", "paragraphs", "page-only s",
              "full s", "ratio", "peak MiB", "doc.xml in", "doc.xml out", "page cpu s",
              "full cpu s", "cpu ratio");
  for (const auto& [n, r] : table())
    std::printf("%11d %11.3f %9.3f %7.2f %9.1f %10.2f M %11.2f M %11.3f %10.3f %9.2f\n", n, r.page,
                r.full, r.full / r.page, r.peak, r.in, r.out, r.pageCpu, r.fullCpu,
                r.fullCpu / r.pageCpu);
  return 0;
}
