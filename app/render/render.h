#pragma once
// Documents to PDF through LibreOffice with our fonts: `quillfold render`, `typeset --pdf`, the
// window's PDF checkbox and its preview all come here.

#include <cstdint>
#include <string>
#include <vector>

#include "word/convert.h"

namespace app::render {

// One document to turn into PDF.
struct PdfJob {
  std::string input; // the document (read only)
  std::string pdf;   // the PDF to write
  std::string error; // why it failed; empty when it worked
  bool ok = false;
};

// The PDF names for `inputs` in `folder`: "<stem>.pdf"; where two inputs share a stem (a.doc and
// a.docx) each of them gets "<name>.pdf" (a.doc.pdf, a.docx.pdf), so none replaces another.
std::vector<PdfJob> pdfJobsFor(const std::vector<std::string>& inputs, const std::string& folder);

// Renders every job with one LibreOffice start per 50 documents (word::convertFiles: private
// profile, time limit, output checked and moved into place atomically). A job that fails keeps
// its reason; the others go on. Never throws.
void renderPdfs(std::vector<PdfJob>& jobs,
                const word::ConvertOptions& options = word::ConvertOptions::onEveryCore());

// The preview cache: the PDF of a document lives under `cacheFolder` by its path, size and
// modification time, so a changed document is rendered again and an unchanged one never.
struct CachedPdf {
  std::string input;
  std::string pdf;   // the cached PDF (exists when ok)
  std::string error; // why it could not be rendered
  bool ok = false;
  bool fromCache = false; // it was there already
};
// The cache file of `input` ("" when the file cannot be read).
std::string cacheFileFor(const std::string& input, const std::string& cacheFolder);
// Makes sure every input has its PDF in the cache, rendering the missing ones in one start.
std::vector<CachedPdf> cachedPdfs(const std::vector<std::string>& inputs,
                                  const std::string& cacheFolder,
                                  const word::ConvertOptions& options = {});
// The default cache folder: $XDG_CACHE_HOME/quillfold/preview, else ~/.cache/quillfold/preview.
std::string defaultCacheFolder();

} // namespace app::render
