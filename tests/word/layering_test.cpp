// The model's internals stay inside word/: the engine and the application include no
// word/internal header, and no public word/ header includes one (so none reaches them through
// another header). They work through the Word members alone.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// True for an #include line naming a header under word/internal/, however it is spelt.
bool includesInternal(const std::string& line) {
  static const std::regex kInclude(R"(^\s*#\s*include\s*[<"]([^">]*/)?word/internal/)");
  return std::regex_search(line, kInclude);
}

struct Folder {
  const char* path; // under the source tree
  bool recursive;   // subfolders too
  bool headersOnly; // the .h files alone
};

void PrintTo(const Folder& f, std::ostream* os) {
  *os << f.path;
}

// "file:line: text" of every internal include in the C++ files of `f`.
std::vector<std::string> internalIncludes(const Folder& f) {
  const fs::path folder = fs::path(QF_SOURCE_DIR) / f.path;
  std::vector<std::string> found;
  auto scan = [&](const fs::path& file) {
    const std::string ext = file.extension().string();
    if (ext != ".h" && ext != ".hpp" && (f.headersOnly || ext != ".cpp"))
      return;
    std::ifstream in(file);
    std::string line;
    for (int n = 1; std::getline(in, line); ++n)
      if (includesInternal(line))
        found.push_back(file.string() + ":" + std::to_string(n) + ": " + line);
  };
  if (f.recursive) {
    for (const auto& e : fs::recursive_directory_iterator(folder))
      if (e.is_regular_file())
        scan(e.path());
  } else {
    for (const auto& e : fs::directory_iterator(folder))
      if (e.is_regular_file())
        scan(e.path());
  }
  return found;
}

TEST(Layering, RecognisesEveryWayOfIncludingAnInternalHeader) {
  for (const char* line :
       {"#include \"word/internal/story.h\"", "  #  include <word/internal/xmlns.h>",
        "#include \"../word/internal/access.h\""})
    EXPECT_TRUE(includesInternal(line)) << line;
  for (const char* line : {"#include \"word/document.h\"", "// see word/internal/styles.h",
                           "std::unique_ptr<Styles> styles_; // word/internal/styles.h"})
    EXPECT_FALSE(includesInternal(line)) << line;
}

class NoInternalIncludes : public ::testing::TestWithParam<Folder> {};

TEST_P(NoInternalIncludes, InFolder) {
  ASSERT_TRUE(fs::is_directory(fs::path(QF_SOURCE_DIR) / GetParam().path)) << GetParam().path;
  const std::vector<std::string> found = internalIncludes(GetParam());
  EXPECT_TRUE(found.empty()) << found.size() << " internal includes, the first: "
                             << (found.empty() ? "" : found.front());
}

INSTANTIATE_TEST_SUITE_P(Layers, NoInternalIncludes,
                         ::testing::Values(Folder{"engine", true, false},
                                           Folder{"app", true, false}, Folder{"word", false, true}),
                         [](const auto& info) {
                           return std::string(info.param.path) +
                                  (info.param.headersOnly ? "PublicHeaders" : "");
                         });

} // namespace
