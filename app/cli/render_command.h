#pragma once
// `quillfold render` (documents to PDF), `quillfold fonts` (the official font names and what
// stands in for them) and the PDFs of `typeset --pdf`.

#include <iosfwd>
#include <string>
#include <vector>

#include "app/cli/typeset_job.h"

namespace quillfold::cli {

struct RenderCommand {
  std::vector<std::string> files;
  std::string out = ".";
  bool json = false;
};

// Turns every file into "<stem>.pdf" in the output folder (created when missing) with one
// LibreOffice start. A document that cannot be rendered is reported on `err` (JSON: an object
// on `out`) and the others go on. Returns 0 when every PDF was written, kExitFailed otherwise,
// kExitUsage when the output folder cannot be made.
int runRender(const RenderCommand& command, std::ostream& out, std::ostream& err);

// Lists each official font name, whether it is installed and the face used for it.
int runFonts(bool json, std::ostream& out, std::ostream& err);

// After a typeset batch: a PDF beside each output of a document that did not fail, in one
// LibreOffice start. Each PDF written is shown on `out`; each failure goes to the printer as a
// batch error (so the exit status becomes kExitFailed).
void writeBatchPdfs(EventPrinter& printer, const std::string& outputFolder, OutputStyle style,
                    std::ostream& out);

} // namespace quillfold::cli
