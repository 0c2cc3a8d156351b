#pragma once
// Document merge: the chosen documents, in list order, inserted one after another into one new
// document (word::Document::insertDocument, Word's InsertFile), saved in the output folder as
// "merge" + yyyymmddhhmmss + ".doc". The window (cmd合并) and `quillfold merge` both call
// mergeDocuments() and show its messages.

#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "base/messages.h"
#include "word/batch.h"

namespace app::merge {

// The message for fewer than two documents (shown in a box titled "提示").
inline constexpr const char* kTooFewFiles = msg::kMergeTooFewFiles;
inline constexpr const char* kBoxTitle = msg::kMergeBoxTitle;

// One handled document, for the progress bar and the message list.
struct MergeProgress {
  int done = 0;     // documents handled so far (this one included)
  int total = 0;    // documents of the merge
  std::string file; // this document
  std::string line; // "已合并：a.docx" or "无法合并：a.docx：<reason>"
  bool ok = false;  // it is in the output
};

struct MergeRequest {
  std::vector<std::string> files; // in list order; at least two
  std::string outputFolder;       // created with its parents when missing
  // Called once per document, in order, after it was inserted or found unusable.
  std::function<void(const MergeProgress&)> progress;
  // The moment that names the output; default: now (local time).
  std::function<std::time_t()> clock;
  // How LibreOffice is run for legacy inputs and the .doc output.
  word::ConvertOptions convert = word::ConvertOptions::onEveryCore();
};

// One document that could not be merged.
struct MergeFailure {
  std::string file;
  std::string reason;
};

struct MergeResult {
  bool tooFewFiles = false;           // fewer than two documents were given; nothing was done
  std::string outputPath;             // the file written ("" when nothing was saved)
  std::string outputName;             // its name, e.g. "merge20240102030405.doc"
  int merged = 0;                     // documents that are in the output
  std::vector<MergeFailure> failures; // documents left out, with the reason
  std::string saveError;              // why no output was written ("" when it was)
  bool saved() const { return !outputPath.empty(); }
  // Everything went well: saved, and no document left out.
  bool complete() const { return saved() && failures.empty(); }
  // The text of the closing box: "合并完毕！文件名为:merge….doc", followed by the documents
  // left out, or what failed instead of the success message.
  std::string summary() const;
};

// yyyymmddhhmmss of `t` in local time.
std::string timeStamp(std::time_t t);
// "merge" + stamp + ".doc"; from the second attempt on a suffix: "merge" + stamp + "_2.doc".
std::string mergeFileName(const std::string& stamp, int attempt = 1);

// Merges the documents of `request`. The first document that can be read is the base: the
// output keeps its page setup, headers, styles and settings, and every later document is
// inserted at its end (a document that cannot be read is left out and reported). Legacy inputs
// (.doc, .rtf, .wps, .odt) are converted in one LibreOffice start; the output (.doc) in
// another. The output never replaces an existing file: a merge within the same second gets the
// next free name. Never throws; every failure is in the result.
MergeResult mergeDocuments(const MergeRequest& request);

} // namespace app::merge
