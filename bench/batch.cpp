// Whole batches through the engine, as the command line runs them: 100 small .docx notices
// (full run, native reading and writing) and 20 legacy .doc notices (full run, LibreOffice
// converting the inputs together before the run and the outputs together after it). The
// documents are generated into a temporary folder once; only Main is timed.
//
// Targets on this machine: the .docx batch under 2 s, the .doc batch at most 0.4 s per document.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/temp_folder.h"
#include "engine/clsdoc.h"
#include "word/convert.h"
#include "word/package.h"
#include "word/textimport.h"

namespace fs = std::filesystem;

namespace {

// A notice of about 30 paragraphs: title, addressee, numbered headings, body, signature.
std::vector<std::string> notice(int n) {
  std::vector<std::string> p = {"关于开展2024年度第" + std::to_string(n) + "次安全生产检查的通知",
                                "", "各区县人民政府，市政府各部门："};
  p.push_back("  为深入贯彻落实安全生产工作部署,有效防范和遏制重特大事故发生,经市政府同意,"
              "决定开展安全生产大检查.现将有关事项通知如下:");
  const char* heads[] = {"一、检查时间", "二、检查范围和重点", "三、工作要求"};
  for (int h = 0; h < 3; ++h) {
    p.push_back(heads[h]);
    for (int i = 1; i <= 3; ++i) {
      p.push_back("(" +
                  std::string(i == 1   ? "一"
                              : i == 2 ? "二"
                                       : "三") +
                  ")重点检查内容。各单位要高度重视, 认真组织, 确保检查工作取得实效 .");
      p.push_back(std::to_string(i) + ".加强组织领导。主要负责人是第一责任人,要亲自部署、亲自督促;"
                                      "对发现的问题隐患建立台账,限期整改.");
      p.push_back("    联系人:王明,电话:0571-87654321.");
    }
  }
  p.insert(p.end(), {"", "", "某某市安全生产委员会", "2024年3月15日"});
  return p;
}

const std::vector<std::pair<std::string, std::string>> kSettings = {
    {"纸张大小", "0"},
    {"页方向", "0"},
    {"上边距", "3.7"},
    {"下边距", "3.5"},
    {"左边距", "2.8"},
    {"右边距", "2.6"},
    {"页眉边距", "1.5"},
    {"页脚边距", "2.8"},
    {"装订线位置", "0"},
    {"装订线", "0"},
    {"使用页眉", "1"},
    {"组合页眉", "0"},
    {"使用页码", "1"},
    {"页眉", "某某市人民政府文件"},
    {"页眉对齐", "1"},
    {"页眉字体", "宋体"},
    {"页眉字号", "10.5"},
    {"页码格式", "1"},
    {"页码对齐", "1"},
    {"正文字体", "仿宋_GB2312"},
    {"正文字号", "16"},
    {"正文加粗", "0"},
    {"标题字体", "宋体"},
    {"标题字号", "22"},
    {"标题加粗", "1"},
    {"一段标题", "1"},
    {"标题对齐", "1"},
    {"字号增减", "1"},
    {"行距", "28"},
    {"左缩进", "0"},
    {"右缩进", "0"},
    {"段前", "0"},
    {"段后", "0"},
    {"标点", "1"},
    {"空格", "1"},
    {"空行", "1"},
    {"头空格", "0"},
    {"小括号", "0"},
    {"分栏", "0"},
    {"句号", "0"},
    {"水印", "2"},
    {"水印图片", ""},
    {"水印文字", "内部资料"},
    {"水印字体", "宋体"},
    {"水印样式", "1"},
    {"水印颜色", "0"},
};

struct Counter : engine::IQuillfoldEvents {
  int errors = 0, done = 0;
  std::string firstError;
  void Error(int32_t, const std::string& msg) override {
    if (errors++ == 0)
      firstError = msg;
  }
  void Message(const std::string& id, const std::string&, const std::string&, const std::string&,
               const std::string&) override {
    done += id == "100";
  }
};

struct Corpus {
  fs::path root;
  std::vector<std::string> names;
  Corpus(int count, bool legacy) {
    root = base::makeTempFolder("qf-bench-batch");
    if (root.empty())
      std::abort();
    fs::create_directories(root / "in");
    std::vector<word::ConversionJob> jobs;
    for (int i = 0; i < count; ++i) {
      std::string name = "通知" + std::to_string(i + 1);
      fs::path docx = root / (legacy ? "src" : "in") / (name + ".docx");
      fs::create_directories(docx.parent_path());
      word::makeTextPackage(notice(i + 1))->save(docx.string());
      if (legacy) {
        word::ConversionJob job;
        job.input = docx.string();
        job.output = (root / "in" / (name + ".doc")).string();
        jobs.push_back(job);
        names.push_back(name + ".doc");
      } else {
        names.push_back(name + ".docx");
      }
    }
    if (!jobs.empty())
      word::convertFiles(jobs);
  }
  ~Corpus() {
    std::error_code ec;
    fs::remove_all(root, ec);
  }
};

void runBatch(benchmark::State& state, int count, bool legacy) {
  Corpus corpus(count, legacy);
  int round = 0;
  for (auto _ : state) {
    engine::clsDoc eng;
    Counter events;
    for (const auto& [name, value] : kSettings)
      eng.setProperty(name, value);
    eng.setProperty("DocPath", (corpus.root / "in").string());
    eng.setProperty("DocOutLocation", (corpus.root / ("out" + std::to_string(++round))).string());
    eng.setDocFiles(corpus.names);
    eng.SetEventSink(&events);
    eng.Main("0");
    if (events.errors > 0) {
      state.SkipWithError(events.firstError.c_str());
      break;
    }
  }
  state.counters["documents"] = count;
  // Seconds per document (shown with an SI prefix, e.g. "8m" for 8 ms).
  state.counters["per_document"] =
      benchmark::Counter(static_cast<double>(count), benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}

void BM_DocxBatch100(benchmark::State& state) {
  runBatch(state, 100, false);
}
void BM_DocBatch20(benchmark::State& state) {
  runBatch(state, 20, true);
}

BENCHMARK(BM_DocxBatch100)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_DocBatch20)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

} // namespace

BENCHMARK_MAIN();
