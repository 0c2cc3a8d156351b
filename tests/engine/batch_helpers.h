#pragma once
// Helpers of the batch and output tests: a folder per test, documents written to disk, an
// event sink that records what the engine sends, and a full set of settings a run accepts.

#include "../common/temp_folder.h"
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "../word/model_helpers.h"
#include "engine/clsdoc.h"

namespace batchtest {

namespace fs = std::filesystem;

using Folder = qftest::TempFolder;

using qftest::readFile;

using qftest::writeFile;

// A .docx whose body is `body` (paragraph XML).
inline void writeDocx(const fs::path& p, const std::string& body) {
  qftest::makePackage(body)->save(p.string());
}

// A .docx of one paragraph of plain text.
inline void writeTextDocx(const fs::path& p, const std::string& text) {
  writeDocx(p, qftest::para(qftest::run(text)));
}

inline bool isOle(const std::string& bytes) {
  return bytes.rfind(std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8), 0) == 0;
}
inline bool isZip(const std::string& bytes) {
  return bytes.rfind("PK\x03\x04", 0) == 0;
}

// One event as the engine sent it: Message fields, or an Error (id "E", errId in cur).
struct Event {
  std::string id, msg, cur, all, doc;
  bool operator==(const Event&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Event& e) {
  return os << "{" << e.id << ", " << e.msg << ", " << e.cur << "/" << e.all << ", " << e.doc
            << "}";
}

class Recorder : public engine::IQuillfoldEvents {
public:
  std::vector<Event> events;
  void Error(int32_t errId, const std::string& errMsg) override {
    events.push_back({"E", errMsg, std::to_string(errId), "", ""});
  }
  void Message(const std::string& msgId, const std::string& msg, const std::string& cur,
               const std::string& all, const std::string& doc) override {
    events.push_back({msgId, msg, cur, all, doc});
  }
  // The events without their texts: "id cur/all doc" (errors "E errId"), for order checks.
  std::vector<std::string> outline() const {
    std::vector<std::string> out;
    for (const auto& e : events)
      out.push_back(e.id == "E" ? "E " + e.cur : e.id + " " + e.cur + "/" + e.all + " " + e.doc);
    return out;
  }
  std::vector<Event> withId(const std::string& id) const {
    std::vector<Event> out;
    for (const auto& e : events)
      if (e.id == id)
        out.push_back(e);
    return out;
  }
};

// Settings of an ordinary run (A4, 仿宋 三号 body, fixed 28 pt lines, page numbers).
inline const std::vector<std::pair<std::string, std::string>>& workingSettings() {
  static const std::vector<std::pair<std::string, std::string>> values = {
      {"纸张大小", "0"},    {"页方向", "0"},   {"上边距", "3.7"},    {"下边距", "3.5"},
      {"左边距", "2.8"},    {"右边距", "2.6"}, {"页眉边距", "1.5"},  {"页脚边距", "2.8"},
      {"装订线位置", "0"},  {"装订线", "0"},   {"使用页眉", "0"},    {"组合页眉", "0"},
      {"使用页码", "1"},    {"页眉", ""},      {"页眉对齐", "1"},    {"页眉字体", "宋体"},
      {"页眉字号", "10.5"}, {"页码格式", "1"}, {"页码对齐", "1"},    {"正文字体", "仿宋_GB2312"},
      {"正文字号", "16"},   {"正文加粗", "0"}, {"标题字体", "宋体"}, {"标题字号", "22"},
      {"标题加粗", "1"},    {"一段标题", "1"}, {"标题对齐", "1"},    {"字号增减", "1"},
      {"行距", "28"},       {"左缩进", "0"},   {"右缩进", "0"},      {"段前", "0"},
      {"段后", "0"},        {"标点", "1"},     {"空格", "1"},        {"空行", "1"},
      {"头空格", "0"},      {"小括号", "0"},   {"分栏", "0"},        {"句号", "0"},
      {"水印", "0"},        {"水印图片", ""},  {"水印文字", ""},     {"水印字体", "宋体"},
      {"水印样式", "0"},    {"水印颜色", "0"},
  };
  return values;
}

// An engine with the working settings, the recorder as sink, and `in`/`out` as folders.
inline void configure(engine::clsDoc& eng, Recorder& rec, const fs::path& in, const fs::path& out) {
  for (const auto& [name, value] : workingSettings())
    eng.setProperty(name, value);
  eng.setProperty("DocPath", in.string());
  eng.setProperty("DocOutLocation", out.string());
  eng.SetEventSink(&rec);
}

} // namespace batchtest
