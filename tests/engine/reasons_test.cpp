// The reason of a failed document is Chinese, names what is wrong and where the user can mend
// it: settings the model refuses, a watermark picture that cannot be used, an output folder
// that cannot be made. No English text of the model, the system or a library reaches it.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../common/english_words.h"
#include "batch_helpers.h"

using batchtest::Folder;
using batchtest::Recorder;

namespace fs = std::filesystem;

namespace {

struct Case {
  const char* label;
  // Settings changed from the working ones; "@" in a value stands for the input folder.
  std::vector<std::pair<std::string, std::string>> settings;
  std::vector<std::string> fragments; // each must be in the reason
};

class Reasons : public ::testing::TestWithParam<Case> {};

TEST_P(Reasons, AreChineseAndSayWhatToMend) {
  const Case& c = GetParam();
  Folder dir;
  const fs::path in = dir / "in";
  fs::create_directories(in);
  batchtest::writeTextDocx(in / "a.docx", "关于开展检查的通知");
  batchtest::writeFile(in / "not-a-picture.png", "just some text");
  batchtest::writeFile(dir / "plain", "a file, not a folder");
  engine::clsDoc eng;
  Recorder rec;
  batchtest::configure(eng, rec, in, dir / "out");
  auto expand = [&](std::string v) {
    if (size_t at = v.find('@'); at != std::string::npos)
      v.replace(at, 1, dir.path().string());
    return v;
  };
  for (const auto& [name, value] : c.settings)
    eng.setProperty(name, expand(value));
  eng.setDocFiles({"a.docx"});
  eng.Main("0");

  const std::vector<batchtest::Event> errors = rec.withId("E");
  ASSERT_EQ(errors.size(), 1u) << c.label;
  const std::string& reason = errors[0].msg;
  for (const std::string& f : c.fragments)
    EXPECT_NE(reason.find(expand(f)), std::string::npos) << c.label << ": " << reason;
  // Paths are the user's own names: only the rest of the text must be Chinese.
  std::string rest = reason;
  for (size_t at; (at = rest.find(dir.path().string())) != std::string::npos;)
    rest.erase(at, rest.find("”", at) - at);
  EXPECT_EQ(qftest::englishWords(rest), std::vector<std::string>{}) << c.label << ": " << reason;
  EXPECT_FALSE(fs::exists(dir / "out" / "a.docx")) << c.label;
}

INSTANTIATE_TEST_SUITE_P(
    FailedDocuments, Reasons,
    ::testing::Values(Case{"missing watermark picture",
                           {{"水印", "1"}, {"水印图片", "@/in/missing.png"}},
                           {"排版失败：a.docx：水印图片无法使用：图片文件“@/in/missing.png”不存在",
                            "请在“水印设置”中另选"}},
                      Case{"watermark picture that is not a picture",
                           {{"水印", "1"}, {"水印图片", "@/in/not-a-picture.png"}},
                           {"“@/in/not-a-picture.png”不是 PNG、JPEG、GIF 或 BMP 图片", "水印设置"}},
                      Case{"watermark picture that is a folder",
                           {{"水印", "1"}, {"水印图片", "@/in"}},
                           {"是文件夹，不是图片文件", "水印设置"}},
                      Case{"left indent beyond what Word accepts",
                           {{"左缩进", "100"}},
                           {"左缩进的值", "磅 超出允许的范围，请检查相应的设置"}},
                      Case{"space before beyond what Word accepts",
                           {{"段前", "2000"}},
                           {"段前间距的值 2000 行 超出允许的范围"}},
                      Case{"exact line spacing beyond what Word accepts",
                           {{"行距", "5000"}},
                           {"行距的值 5000 磅 超出允许的范围"}},
                      Case{"output folder that is a file",
                           {{"DocOutLocation", "@/plain"}},
                           {"无法创建输出文件夹“@/plain”：同名的文件已经存在，它不是文件夹"}},
                      Case{"output folder under a file",
                           {{"DocOutLocation", "@/plain/sub"}},
                           {"无法创建输出文件夹“@/plain/sub”：路径中的某一部分不是文件夹"}}),
    [](const auto& info) {
      std::string name;
      for (char ch : std::string(info.param.label))
        name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
      return name;
    });

} // namespace
