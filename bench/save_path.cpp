// The save path on a document whose word/document.xml is about 12 MB (11 000 paragraphs of
// five formatted runs of Chinese text), in its parts:
//   BM_Deflate/level       libzip deflating that document.xml alone at levels 1, 3, 6 and 9
//                          (zip_set_file_compression; 0 is libzip's default, which is 9):
//                          time, and the deflated size in MiB;
//   BM_SaveToString        serialising the changed main part and building the archive;
//   BM_XmlTextScan         the read-back scan of the part's bytes for what XML 1.0 forbids;
//   BM_SaveWithReadBack    the whole save: archive, write, fsync, read back and check.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include <zip.h>

#include "tests/common/temp_folder.h"
#include "tests/word/model_helpers.h"
#include "word/package.h"

namespace {

constexpr int kParagraphs = 11000;
constexpr const char* kMain = "word/document.xml";

// Text that compresses about as well as real prose: characters drawn from the 2 000 after
// U+4E00 (a fixed sequence, so every run is the same).
std::string prose(uint32_t& seed, int characters) {
  std::string s;
  for (int i = 0; i < characters; ++i) {
    seed = seed * 1103515245u + 12345u;
    const uint32_t c = 0x4E00 + (seed >> 16) % 2000;
    s += static_cast<char>(0xE0 | (c >> 12));
    s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  }
  return s;
}

std::string body(int paragraphs) {
  uint32_t seed = 1;
  const std::string rPr = "<w:rPr><w:rFonts w:ascii=\"仿宋_GB2312\" w:eastAsia=\"仿宋_GB2312\"/>"
                          "<w:sz w:val=\"32\"/><w:szCs w:val=\"32\"/></w:rPr>";
  const std::string bold = "<w:rPr><w:rFonts w:ascii=\"仿宋_GB2312\" w:eastAsia=\"仿宋_GB2312\"/>"
                           "<w:b/><w:sz w:val=\"32\"/><w:szCs w:val=\"32\"/></w:rPr>";
  std::string x;
  for (int i = 0; i < paragraphs; ++i) {
    x += "<w:p><w:pPr><w:ind w:firstLine=\"640\"/><w:jc w:val=\"both\"/></w:pPr>";
    for (int k = 0; k < 5; ++k)
      x += std::string("<w:r>") + (k == 2 ? bold : rPr) + "<w:t xml:space=\"preserve\">" +
           prose(seed, 14) + "，</w:t></w:r>";
    x += "</w:p>";
  }
  return x;
}

// A package whose main part has been parsed and changed (so that saving serialises it).
std::unique_ptr<word::Package> changedPackage() {
  auto pkg = qftest::makePackage(body(kParagraphs));
  pkg->xml(kMain);
  pkg->markDirty(kMain);
  return pkg;
}

void BM_Deflate(benchmark::State& state) {
  const auto level = static_cast<zip_uint32_t>(state.range(0));
  const std::string xml = qftest::makePackage(body(kParagraphs))->bytes(kMain);
  double deflated = 0;
  for (auto _ : state) {
    zip_error_t err;
    zip_error_init(&err);
    zip_source_t* out = zip_source_buffer_create(nullptr, 0, 0, &err);
    zip_t* za = zip_open_from_source(out, ZIP_CREATE | ZIP_TRUNCATE, &err);
    zip_source_keep(out);
    zip_source_t* s = zip_source_buffer(za, xml.data(), xml.size(), 0);
    zip_int64_t i = zip_file_add(za, kMain, s, ZIP_FL_ENC_UTF_8);
    zip_set_file_compression(za, static_cast<zip_uint64_t>(i), ZIP_CM_DEFLATE, level);
    zip_close(za);
    zip_stat_t st;
    zip_stat_init(&st);
    zip_source_stat(out, &st);
    deflated = static_cast<double>(st.size);
    zip_source_free(out);
    zip_error_fini(&err);
  }
  state.counters["xml_MiB"] = static_cast<double>(xml.size()) / (1024.0 * 1024.0);
  state.counters["zip_MiB"] = deflated / (1024.0 * 1024.0);
}

void BM_SaveToString(benchmark::State& state) {
  auto pkg = changedPackage();
  size_t size = 0;
  for (auto _ : state)
    size = pkg->saveToString().size();
  state.counters["zip_MiB"] = static_cast<double>(size) / (1024.0 * 1024.0);
}

void BM_XmlTextScan(benchmark::State& state) {
  const std::string xml = qftest::makePackage(body(kParagraphs))->bytes(kMain);
  for (auto _ : state)
    benchmark::DoNotOptimize(word::xmlTextProblem(xml));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * xml.size()));
}

void BM_SaveWithReadBack(benchmark::State& state) {
  auto pkg = changedPackage();
  qftest::TempFolder dir;
  const std::string path = (dir.path() / "out.docx").string();
  for (auto _ : state)
    pkg->save(path);
}

} // namespace

BENCHMARK(BM_Deflate)
    ->Arg(0)
    ->Arg(1)
    ->Arg(3)
    ->Arg(6)
    ->Arg(9)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(6);
BENCHMARK(BM_SaveToString)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_XmlTextScan)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_SaveWithReadBack)->Unit(benchmark::kMillisecond)->Iterations(5);

BENCHMARK_MAIN();
