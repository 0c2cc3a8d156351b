// quillfold: the command-line tool. Parses the command line and hands the work to
// typeset_job / settings_command.

#include <sys/ioctl.h>
#include <unistd.h>

#include <iostream>

#include <CLI/CLI.hpp>

#include "app/cli/document_commands.h"
#include "app/cli/render_command.h"
#include "app/cli/settings_command.h"
#include "app/cli/typeset_job.h"
#include "settings/settings.h"

namespace qc = quillfold::cli;

namespace {

int terminalColumns() {
  winsize ws{};
  if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0)
    return ws.ws_col;
  return 80;
}

const char* kTypesetFooter = R"(
The documents are typeset with the settings of setup.ini and written into the output folder
under their own names; a name ending in ".txt" becomes ".doc". Sources are never changed, and
an output that would replace a source is refused. .doc, .rtf, .wps and .odt documents are read
and written through LibreOffice (libreoffice-writer-nogui).

Modes:
  full    every step (clean-up, punctuation, indentation, signature, page, paragraphs, fonts,
          header and page numbers, columns, watermark, headings)
  header  only the header and page-number settings
  page    only the page setup
  size    only font sizes: sizes above 10.5 pt except 16 pt change by 2 pt, smaller or larger
          as font/fontJJ says (1 smaller, 0 larger)

Exit status:
  0  every document was typeset
  1  wrong command line or unreadable settings; nothing was typeset
  2  at least one document failed (the others were typeset)
  3  every document was typeset, with warnings

Examples:
  quillfold typeset --dir samples --out out
  quillfold typeset --dir ~/公文 --ext doc --filter 通知 --out ~/排版结果
  quillfold typeset 通知.docx 办法.doc --mode size --out /tmp/out
  quillfold typeset --dir in --json --out out | jq -c 'select(.event=="Error")'
)";

const char* kRenderFooter = R"(
Each document becomes <name>.pdf in the output folder (two documents with the same name but
different extensions become <name>.<ext>.pdf). LibreOffice renders them in one start, with
Quillfold's font configuration: the official Chinese font names are drawn with installed faces
of the same class ("quillfold fonts" shows which). A document that cannot be rendered is
reported and the others go on.

Exit status: 0 every PDF written, 1 wrong command line, 2 a document could not be rendered.

Example:
  quillfold render 通知.docx 办法.doc --out ~/PDF
)";

const char* kSettingsFooter = R"(
SECTION/KEY names a key of setup.ini, for example font/fontsizezw or tool/BiaoDian (case does
not matter). List keys take a position (0 is the first entry) or the entry's name, e.g.
"quillfold settings set font/fontnamezw 黑体". "quillfold settings show" lists every key.

Examples:
  quillfold settings show
  quillfold settings get pageinfo/TopMargin
  quillfold settings set headerfooter/header "某某市人民政府文件"
  quillfold settings properties --settings ./setup.ini
)";

const char* kMergeFooter = R"(
The documents are inserted one after another, in the order given, into one new document saved
as merge<yyyymmddhhmmss>.doc in the output folder (merge<…>_2.doc and so on when that name is
taken). The first readable document gives the page setup; every document keeps its own
formatting, lists and pictures. A document that cannot be read is left out and reported.

Exit status: 0 all merged, 1 wrong command line, 2 a document was left out or nothing was saved.

Example:
  quillfold merge 通知.docx 附件一.doc 附件二.docx --out ~/合并
)";

const char* kPrintFooter = R"(
Each document is rendered by LibreOffice and sent to the printer as a job of its own, in the
order given. "quillfold printers" lists the printers.

Exit status: 0 all printed, 1 wrong command line, 2 a document was not printed or there is no
printer.

Example:
  quillfold print 通知.docx 办法.doc --printer Office_Laser --wait
)";

} // namespace

int main(int argc, char** argv) {
  CLI::App app{"Quillfold typesets Chinese documents in batches by fixed house rules.",
               "quillfold"};
  app.require_subcommand(1);
  app.set_version_flag("--version", "quillfold " QF_VERSION);
  app.footer("Run \"quillfold COMMAND --help\" for the options of a command.");

  qc::TypesetRequest request;
  bool json = false;
  std::string settingsFile;
  auto* typeset = app.add_subcommand("typeset", "Typeset documents into an output folder");
  typeset->add_option("FILES", request.files, "Documents to typeset")->type_name("FILE");
  typeset->add_option("-d,--dir", request.dir, "Typeset the documents of DIR (not its subfolders)")
      ->type_name("DIR");
  typeset
      ->add_option("-f,--filter", request.filter,
                   "With --dir: only documents whose name contains KEYWORD")
      ->type_name("KEYWORD");
  typeset
      ->add_option("-e,--ext", request.exts,
                   "With --dir: only these extensions (repeat or separate by commas; "
                   "default: doc,docx,docm,txt,rtf,wps,odt)")
      ->delimiter(',')
      ->type_name("EXT");
  typeset
      ->add_option("-o,--out", request.out,
                   "Output folder, created with its parents (default: ./quillfold-out)")
      ->type_name("DIR");
  typeset->add_option("-m,--mode", request.mode, "Run mode: full, header, page or size")
      ->check(CLI::IsMember({"full", "header", "page", "size"}))
      ->type_name("MODE");
  typeset
      ->add_option("-s,--settings", settingsFile,
                   "Settings file (default: setup.ini beside the program, else "
                   "$XDG_CONFIG_HOME/quillfold/setup.ini)")
      ->type_name("FILE");
  typeset->add_flag("-j,--json", json,
                    "Print one JSON object per event and a summary object, for scripts");
  typeset->add_flag("--pdf", request.pdf,
                    "Also write a PDF beside each output (LibreOffice, Quillfold's fonts)");
  typeset->footer(kTypesetFooter);

  auto* settingsCmd = app.add_subcommand("settings", "Read and change setup.ini");
  settingsCmd->require_subcommand(1);
  settingsCmd->footer(kSettingsFooter);
  settingsCmd->add_option("-s,--settings", settingsFile, "Settings file (default as for typeset)")
      ->type_name("FILE");
  auto* show = settingsCmd->add_subcommand("show", "Print every key and its value");
  std::string sectionKey, value;
  bool force = false;
  auto* get = settingsCmd->add_subcommand("get", "Print the value of SECTION/KEY");
  get->add_option("SECTION/KEY", sectionKey, "The key, e.g. font/fontsizezw")->required();
  auto* set = settingsCmd->add_subcommand("set", "Set SECTION/KEY to VALUE");
  set->add_option("SECTION/KEY", sectionKey, "The key, e.g. font/fontsizezw")->required();
  set->add_option("VALUE", value, "The new value")->required();
  set->add_flag("--force", force, "Write even an unknown key or a value that does not fit");
  auto* properties = settingsCmd->add_subcommand(
      "properties", "Print the 46 values the engine receives, in the engine's order");
  for (auto* sub : {show, get, set, properties})
    sub->add_option("-s,--settings", settingsFile, "Settings file")->type_name("FILE");

  qc::MergeCommand mergeCmd;
  auto* merge = app.add_subcommand("merge", "Merge documents into one new document");
  merge->add_option("FILES", mergeCmd.files, "Documents to merge, in this order (at least two)")
      ->type_name("FILE")
      ->required();
  merge->add_option("-o,--out", mergeCmd.out, "Output folder, created when missing (default: .)")
      ->type_name("DIR");
  merge->add_flag("-j,--json", mergeCmd.json, "Print JSON objects, for scripts");
  merge->footer(kMergeFooter);
  qc::PrintCommand printCmd;
  auto* print = app.add_subcommand("print", "Print documents on a printer");
  print->add_option("FILES", printCmd.files, "Documents to print, in this order")
      ->type_name("FILE")
      ->required();
  print->add_option("-p,--printer", printCmd.printer, "Printer (default: the system's default)")
      ->type_name("NAME");
  print->add_flag("-w,--wait", printCmd.wait, "Wait until each job has been printed");
  print
      ->add_option("--time-limit", printCmd.timeLimitSeconds,
                   "With --wait: seconds to wait for each job (default: 120)")
      ->type_name("SECONDS");
  print->add_flag("-j,--json", printCmd.json, "Print JSON objects, for scripts");
  print->footer(kPrintFooter);
  qc::RenderCommand renderCmd;
  auto* render = app.add_subcommand("render", "Turn documents into PDF");
  render->add_option("FILES", renderCmd.files, "Documents to render")
      ->type_name("FILE")
      ->required();
  render->add_option("-o,--out", renderCmd.out, "Output folder, created when missing (default: .)")
      ->type_name("DIR");
  render->add_flag("-j,--json", renderCmd.json, "Print JSON objects, for scripts");
  render->footer(kRenderFooter);
  bool fontsJson = false;
  auto* fontsCmd = app.add_subcommand(
      "fonts",
      "List the official Chinese font names, whether each is installed and what stands in");
  fontsCmd->add_flag("-j,--json", fontsJson, "Print a JSON object");
  bool printersJson = false;
  auto* printersCmd = app.add_subcommand("printers", "List the printers");
  printersCmd->add_flag("-j,--json", printersJson, "Print a JSON object");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : qc::kExitUsage;
  }

  const std::filesystem::path settingsPath =
      settingsFile.empty() ? settings::defaultSettingsPath() : std::filesystem::path(settingsFile);
  if (*typeset) {
    request.settings = settingsFile;
    if (json)
      request.style = qc::OutputStyle::Json;
    else if (::isatty(STDOUT_FILENO))
      request.style = qc::OutputStyle::ProgressBar;
    request.terminalWidth = terminalColumns();
    return qc::runTypeset(request, std::cout, std::cerr);
  }
  if (*merge)
    return qc::runMerge(mergeCmd, std::cout, std::cerr);
  if (*print)
    return qc::runPrint(printCmd, std::cout, std::cerr);
  if (*render)
    return qc::runRender(renderCmd, std::cout, std::cerr);
  if (*fontsCmd)
    return qc::runFonts(fontsJson, std::cout, std::cerr);
  if (*printersCmd)
    return qc::runPrinters(printersJson, std::cout, std::cerr);
  if (*show)
    return qc::settingsShow(settingsPath, std::cout, std::cerr);
  if (*get)
    return qc::settingsGet(settingsPath, sectionKey, std::cout, std::cerr);
  if (*set)
    return qc::settingsSet(settingsPath, sectionKey, value, force, std::cout, std::cerr);
  if (*properties)
    return qc::settingsProperties(settingsPath, std::cout, std::cerr);
  return qc::kExitUsage;
}
