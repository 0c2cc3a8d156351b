// Every text a person reads is Chinese: the catalogue's texts hold no English word, and no
// reason in the sources of the model, the engine, the settings store or the programs is written
// as an English literal instead of a catalogue entry.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "../common/english_words.h"

namespace fs = std::filesystem;

namespace {

using qftest::englishWords;

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The value of the C++ string literal whose opening quote is at `at`; `at` moves past it.
// Escapes are decoded far enough that "\xEF" or "\n" never reads as a word.
std::string literalAt(const std::string& src, size_t& at) {
  std::string value;
  size_t i = at + 1;
  while (i < src.size() && src[i] != '"') {
    if (src[i] == '\\' && i + 1 < src.size()) {
      char e = src[i + 1];
      i += 2;
      if (e == 'x' || e == 'u' || e == 'U') {
        while (i < src.size() && std::isxdigit(static_cast<unsigned char>(src[i])))
          ++i;
        value += ' ';
      } else if (e == 'n' || e == 't' || e == 'r' || e == 'v' || e == 'f' || e == 'a' ||
                 std::isdigit(static_cast<unsigned char>(e))) {
        value += ' ';
      } else {
        value += e;
      }
      continue;
    }
    value += src[i++];
  }
  at = i + 1;
  return value;
}

// One string literal of a source file, with the identifier called just before it, if any.
struct Literal {
  std::string value;
  size_t line = 0;
  std::string callee;   // the innermost call whose arguments hold the literal
  std::string assignee; // the name assigned to, for `reason = "…"`
};

// The string literals of a C++ source, outside comments, with the call each is an argument of.
std::vector<Literal> literalsOf(const std::string& src) {
  std::vector<Literal> out;
  std::vector<std::string> calls; // open parentheses: the identifier before each
  std::string lastIdent, assignee;
  size_t line = 1;
  for (size_t i = 0; i < src.size();) {
    char c = src[i];
    if (c == '\n') {
      ++line;
      ++i;
    } else if (src.compare(i, 2, "//") == 0) {
      i = src.find('\n', i);
      if (i == std::string::npos)
        break;
    } else if (src.compare(i, 2, "/*") == 0) {
      size_t end = src.find("*/", i + 2);
      end = end == std::string::npos ? src.size() : end + 2;
      line += static_cast<size_t>(std::count(src.begin() + static_cast<long>(i),
                                             src.begin() + static_cast<long>(end), '\n'));
      i = end;
    } else if (c == 'R' && src.compare(i, 2, "R\"") == 0 &&
               (i == 0 || !std::isalnum(static_cast<unsigned char>(src[i - 1])))) {
      size_t open = src.find('(', i);
      std::string close = ")" + src.substr(i + 2, open - i - 2) + "\"";
      size_t end = src.find(close, open);
      end = end == std::string::npos ? src.size() : end + close.size();
      line += static_cast<size_t>(std::count(src.begin() + static_cast<long>(i),
                                             src.begin() + static_cast<long>(end), '\n'));
      i = end;
    } else if (c == '\'') {
      size_t j = i + 1;
      while (j < src.size() && src[j] != '\'')
        j += src[j] == '\\' ? 2 : 1;
      i = j + 1;
    } else if (c == '"') {
      Literal lit;
      lit.line = line;
      lit.value = literalAt(src, i);
      lit.callee = calls.empty() ? std::string() : calls.back();
      lit.assignee = assignee;
      out.push_back(std::move(lit));
    } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      size_t j = i;
      while (j < src.size() && (std::isalnum(static_cast<unsigned char>(src[j])) || src[j] == '_'))
        ++j;
      lastIdent = src.substr(i, j - i);
      i = j;
    } else if (c == '(') {
      calls.push_back(lastIdent);
      lastIdent.clear();
      ++i;
    } else if (c == ')') {
      if (!calls.empty())
        calls.pop_back();
      ++i;
    } else if (c == '=' && src.compare(i, 2, "==") != 0 && i > 0 &&
               std::string("=!<>+-*/").find(src[i - 1]) == std::string::npos) {
      assignee = lastIdent;
      ++i;
    } else {
      if (c == ';' || c == '{' || c == '}')
        assignee.clear();
      if (!std::isspace(static_cast<unsigned char>(c)))
        lastIdent.clear();
      ++i;
    }
  }
  return out;
}

// The catalogue: each constant's name and its text (adjacent literals joined).
std::vector<std::pair<std::string, std::string>> catalogueTexts() {
  const std::string src = readFile(fs::path(QF_SOURCE_DIR) / "base" / "messages.h");
  std::vector<std::pair<std::string, std::string>> texts;
  const std::string marker = "inline constexpr const char* ";
  for (size_t at = src.find(marker); at != std::string::npos; at = src.find(marker, at)) {
    at += marker.size();
    std::string name = src.substr(at, src.find_first_of(" =", at) - at);
    size_t end = src.find(';', at);
    std::string text;
    for (size_t q = src.find('"', at); q != std::string::npos && q < end; q = src.find('"', q)) {
      text += literalAt(src, q);
      end = src.find(';', q);
    }
    texts.emplace_back(name, text);
    at = end;
  }
  return texts;
}

// Calls and assignments whose text reaches a person: the exceptions that carry a reason, the
// engine's events, warnings, and the `fail` helpers that throw a reason.
const std::set<std::string> kReasonCalls = {
    "DocumentError", "runtime_error", "invalid_argument", "logic_error", "out_of_range",
    "range_error",   "domain_error",  "sendError",        "sendMessage", "notice",
    "fail",          "Error",         "Message",          "warn",        "readFailure",
    "withReason",
};
const std::set<std::string> kReasonNames = {"error", "reason", "errMsg", "message", "why"};

// The folders whose sources are scanned. Add a folder here when its texts are in the catalogue.
const std::vector<std::string> kScannedFolders = {"word", "engine", "settings", "app"};

std::string joined(const std::vector<std::string>& words) {
  std::string s;
  for (const auto& w : words)
    s += (s.empty() ? "" : ", ") + w;
  return s;
}

} // namespace

TEST(Catalogue, EnglishWordsAreFoundAndNamesAreAllowed) {
  struct Case {
    const char* text;
    const char* english; // the words found, joined
  };
  const Case cases[] = {
      {"文件为空", ""},
      {"请安装 libreoffice-writer-nogui 后再转换 .doc 文件", ""},
      {"设置文件“{}”是 UTF-16 文本；请把 setup.ini 另存为 UTF-8", ""},
      {"运行 quillfold --help 查看用法（chmod u+w）", ""},
      {"第 {} 段不存在（共 {} 段）", ""},
      {"<b>Quillfold 公文排版</b>", ""},
      {"the file is empty", "the, file, is, empty"},
      {"排版失败：a.docx：unknown failure", "unknown, failure"},
      {"无法读取：Permission denied", "Permission, denied"},
      {"LibreOffice could not convert", "could, not, convert"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(joined(englishWords(c.text)), c.english) << c.text;
}

TEST(Catalogue, EveryTextIsChinese) {
  const auto texts = catalogueTexts();
  ASSERT_GT(texts.size(), 200u) << "the catalogue was not read";
  for (const auto& [name, text] : texts) {
    EXPECT_FALSE(text.empty()) << name;
    std::vector<std::string> words = englishWords(text);
    EXPECT_TRUE(words.empty()) << name << " = \"" << text << "\" has English: " << joined(words);
  }
}

TEST(Catalogue, SourceScanFindsEnglishReasons) {
  // The scanner itself: a literal reason is found in a throw, an event, a `fail` helper and an
  // assignment to a reason; XML names, format strings of paths and comments are not reasons.
  const std::string src = R"src(
    // throw DocumentError("a commented-out reason");
    throw DocumentError(path, "", "the file is empty");
    throw word::DocumentError(msg::kNoDocumentOpen);
    setAttr(e, "fldCharType", "begin", n);
    sendError(curNum_, fmt::format("排版失败：{}", name));
    fail("is not a regular file");
    reason = "unknown failure";
    std::string out = fmt::format("{}/in-{}.docx", dir, k);
  )src";
  std::vector<std::string> hits;
  for (const Literal& lit : literalsOf(src))
    if ((kReasonCalls.count(lit.callee) || kReasonNames.count(lit.assignee)) &&
        !englishWords(lit.value).empty())
      hits.push_back(lit.value);
  EXPECT_EQ(joined(hits), "the file is empty, is not a regular file, unknown failure");
}

TEST(Catalogue, NoEnglishReasonInTheSources) {
  size_t files = 0;
  for (const std::string& folder : kScannedFolders) {
    const fs::path root = fs::path(QF_SOURCE_DIR) / folder;
    ASSERT_TRUE(fs::is_directory(root)) << root;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
      const std::string ext = entry.path().extension().string();
      if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h"))
        continue;
      const std::string relative =
          fs::relative(entry.path(), fs::path(QF_SOURCE_DIR)).generic_string();
      ++files;
      for (const Literal& lit : literalsOf(readFile(entry.path()))) {
        if (!kReasonCalls.count(lit.callee) && !kReasonNames.count(lit.assignee))
          continue;
        std::vector<std::string> words = englishWords(lit.value);
        EXPECT_TRUE(words.empty())
            << relative << ":" << lit.line << ": \"" << lit.value << "\" (in "
            << (lit.callee.empty() ? lit.assignee + " =" : lit.callee + "(")
            << ") is English; put the text in base/messages.h, in Chinese";
      }
    }
  }
  EXPECT_GT(files, 50u);
}
