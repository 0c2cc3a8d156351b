#include "app/merge/merge.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <fmt/format.h>

#include "base/interrupt.h"
#include "base/messages.h"
#include "base/system_error.h"
#include "word/batch.h"
#include "word/document.h"
#include "word/error.h"
#include "word/insertfile.h"

namespace fs = std::filesystem;

namespace app::merge {

namespace {

std::string fileName(const std::string& path) {
  return fs::path(path).filename().string();
}

std::string reasonOf(const word::DocumentError& e) {
  return e.reason().empty() ? std::string(e.what()) : e.reason();
}

} // namespace

std::string timeStamp(std::time_t t) {
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y%m%d%H%M%S", &tm);
  return buf;
}

std::string mergeFileName(const std::string& stamp, int attempt) {
  return attempt <= 1 ? "merge" + stamp + ".doc" : fmt::format("merge{}_{}.doc", stamp, attempt);
}

std::string MergeResult::summary() const {
  if (tooFewFiles)
    return kTooFewFiles;
  std::string out;
  if (saved()) {
    out = msg::text(msg::kMergeDone, outputName);
  } else if (!saveError.empty()) {
    out = msg::text(msg::kMergeFailed, saveError);
  } else {
    out = msg::kMergeNothingReadable;
  }
  if (!failures.empty()) {
    out += msg::text(msg::kMergeLeftOut, failures.size());
    for (size_t i = 0; i < failures.size(); ++i)
      out += (i ? "、" : "") + fileName(failures[i].file);
  }
  return out;
}

MergeResult mergeDocuments(const MergeRequest& request) {
  MergeResult result;
  const int total = static_cast<int>(request.files.size());
  if (total < 2) {
    result.tooFewFiles = true;
    return result;
  }
  int done = 0;
  auto report = [&](const std::string& file, const std::string& line, bool ok) {
    ++done;
    if (request.progress)
      request.progress({done, total, file, line, ok});
  };
  auto fail = [&](const std::string& file, const std::string& reason) {
    result.failures.push_back({file, reason});
    report(file, msg::text(msg::kMergeCannotMerge, fileName(file), reason), false);
  };

  // The output folder first: without it there is nothing to merge into.
  std::error_code ec;
  if (request.outputFolder.empty()) {
    result.saveError = msg::kSaveNoOutputFolder;
  } else {
    fs::create_directories(request.outputFolder, ec);
    if (ec || !fs::is_directory(request.outputFolder))
      result.saveError =
          msg::text(msg::kSaveCannotMakeFolder, request.outputFolder,
                    ec ? msg::systemError(ec.value()) : std::string(msg::kSaveFolderIsFile));
  }
  if (!result.saveError.empty()) {
    for (const std::string& f : request.files)
      report(f, msg::text(msg::kMergeCannotMerge, fileName(f), result.saveError), false);
    return result;
  }

  // The application owns every open document; each inserted one is closed at once. Legacy
  // inputs go through LibreOffice together, paying its start once.
  word::Application app;
  word::Batch batch(app, request.convert);
  try {
    batch.temporaryFolder();
  } catch (const word::DocumentError&) {
    result.saveError = msg::kMergeNoTempFolder;
    for (const std::string& f : request.files)
      report(f, msg::text(msg::kMergeCannotMerge, fileName(f), result.saveError), false);
    return result;
  }
  batch.addSources(request.files);

  word::Document* base = nullptr;
  for (const std::string& file : request.files) {
    try {
      word::Document* doc = &batch.open(file);
      // A document whose text would not read back would make the whole output unreadable:
      // it is left out here, by name, and the others are merged.
      if (std::string problem = doc->readBackProblem(); !problem.empty()) {
        app.close(*doc);
        fail(file, msg::text(msg::kMergeUnreadableText, problem));
        continue;
      }
      if (!base) {
        base = doc;
      } else {
        try {
          base->insertDocument(*doc);
        } catch (...) {
          app.close(*doc);
          throw;
        }
        app.close(*doc);
      }
      ++result.merged;
      report(file, msg::text(msg::kMergeMerged, fileName(file)), true);
    } catch (const word::DocumentError& e) {
      fail(file, reasonOf(e));
    } catch (const std::exception& e) {
      fail(file, msg::text(msg::kMergeInternalError, e.what()));
    }
  }
  if (!base)
    return result;

  // A free name, claimed at once so that a merge in the same second cannot take it too.
  std::string stamp = timeStamp(request.clock ? request.clock() : std::time(nullptr));
  std::string path;
  for (int attempt = 1; attempt < 1000 && path.empty(); ++attempt) {
    std::string candidate =
        (fs::path(request.outputFolder) / mergeFileName(stamp, attempt)).string();
    // O_EXCL never follows a link: an entry of that name, a link included, takes the next name.
    int fd = -1;
    base::interrupt::createFile([&]() -> std::string {
      fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
      return fd >= 0 ? candidate : std::string();
    });
    if (fd >= 0) {
      ::close(fd);
      path = candidate;
      result.outputName = mergeFileName(stamp, attempt);
    } else if (errno != EEXIST) {
      result.saveError =
          msg::text(msg::kMergeCannotCreate, request.outputFolder, msg::systemError(errno));
      return result;
    }
  }
  if (path.empty()) {
    result.saveError = msg::kMergeTooManyInASecond;
    return result;
  }
  try {
    base->saveAs(path, request.convert);
    result.outputPath = path;
    base::interrupt::forgetFile(path);
    base::interrupt::noteFinished(path);
  } catch (const word::DocumentError& e) {
    base::interrupt::settleFile(path, [&] { return ::unlink(path.c_str()); });
    result.outputName.clear();
    result.saveError = msg::text(msg::kMergeCannotSave, fileName(path), reasonOf(e));
  }
  return result;
}

} // namespace app::merge
