// quillfold: the command-line tool. Parses the command line and hands the work to
// typeset_job / settings_command.

#include <sys/ioctl.h>
#include <unistd.h>

#include <iostream>

#include <CLI/CLI.hpp>

#include "app/cli/check_command.h"
#include "app/cli/document_commands.h"
#include "app/cli/render_command.h"
#include "app/cli/settings_command.h"
#include "app/cli/typeset_job.h"
#include "base/interrupt.h"
#include "base/messages.h"
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
按 setup.ini 的设置排版文档，结果以原名写入输出文件夹；以 ".txt" 结尾的名称改为 ".doc"。
源文件从不改动，会覆盖源文件的输出一律拒绝。.doc、.rtf、.wps 和 .odt 文档经 LibreOffice
（libreoffice-writer-nogui）读写。

运行方式（--mode）：
  full    全部步骤（清理、标点、缩进、落款、页面、段落、字体、页眉页码、分栏、水印、标题）
  header  仅页眉和页码设置
  page    仅页面设置
  size    仅字号：大于 10.5 磅（16 磅除外）的字号按 font/fontJJ 增大（0）或减小（1）2 磅
  standard  按 GB/T 9704-2012《党政机关公文格式》排版：A4，版心 156×225 毫米，每页 22 行、
          每行 28 字，标题、主送机关、层次标题、附件说明、落款、附注、版记和奇偶页页码
          各按标准排；字体与所处理的要素见 setup.ini 的 [standard] 节

退出状态：
  0  所有文档都已排版
  1  命令行有误、设置文件不可用，或输出文件夹无法建立或写入；没有排版任何文档
  2  至少一个文档排版失败（其余的已排版）
  3  所有文档都已排版，但有警告

示例：
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

const char* kCheckFooter = R"(
按 GB/T 9704-2012《党政机关公文格式》的可测条款检查文档：纸张、版心与边距、每页 22 行每行 28 字、
标题、主送机关、正文与层次标题的字体字号和缩进、附件说明、落款与成文日期、附注、版记、发文字号、
页码。每处不符合都列出所在段落（序号和开头几个字）、实际情况和标准的要求。文档只读不改；.doc 等
旧格式经 LibreOffice 读取。要检查的要素和各级字体取 setup.ini 的 [standard] 节。

退出状态：0 全部符合；3 有文档不符合；2 有文档无法读取；1 命令行有误或设置文件不可用。

示例：
  quillfold check 通知.docx
  quillfold check out/*.docx --json | jq -c 'select(.event=="document")'
)";

const char* kSettingsFooter = R"(
节/键 指 setup.ini 中的一个键，例如 font/fontsizezw 或 tool/BiaoDian（不分大小写）。列表类的键
取位置（0 为第一项）或列表项的名称，例如 "quillfold settings set font/fontnamezw 黑体"。
"quillfold settings show" 列出所有的键。设置文件是只读的或不是文本文件时，不会写入（退出状态 1）。

示例：
  quillfold settings show
  quillfold settings get pageinfo/TopMargin
  quillfold settings set headerfooter/header "某某市人民政府文件"
  quillfold settings properties --settings ./setup.ini
)";

const char* kMergeFooter = R"(
按给出的顺序把文档逐个插入一个新文档，保存为输出文件夹中的 merge<年月日时分秒>.doc（名称已被
占用时为 merge<…>_2.doc 等）。第一个可读的文档决定页面设置；每个文档保留自己的格式、编号和图片。
无法读取的文档不合并，并报告原因。

退出状态：0 全部合并；1 命令行有误或输出文件夹不可用；2 有文档未合并或没有保存。

示例：
  quillfold merge 通知.docx 附件一.doc 附件二.docx --out ~/合并
)";

const char* kPrintFooter = R"(
每个文档由 LibreOffice 渲染后作为一个单独的打印作业按顺序送往打印机。"quillfold printers"
列出打印机。

退出状态：0 全部打印；1 命令行有误；2 有文档没有打印，或没有打印机。

示例：
  quillfold print 通知.docx 办法.doc --printer Office_Laser --wait
)";

// A parse error of the command line in Chinese: what is wrong, with the user's own words
// (option names, extra arguments) taken from the parser's message, and where help is.
std::string parseFailure(const CLI::App*, const CLI::Error& e) {
  const std::string what = e.what();
  const std::string name = e.get_name();
  auto after = [&](const std::string& text) {
    size_t colon = text.find(": ");
    return colon == std::string::npos ? std::string() : text.substr(colon + 2);
  };
  auto before = [&](const std::string& text) {
    size_t colon = text.find(": ");
    return colon == std::string::npos ? std::string() : text.substr(0, colon);
  };
  std::string reason;
  if (name == "ExtrasError") {
    reason = msg::text(msg::kCliParseExtra, after(what));
  } else if (name == "RequiredError") {
    const std::string suffix = " is required";
    std::string option = what.size() > suffix.size() && what.compare(what.size() - suffix.size(),
                                                                     suffix.size(), suffix) == 0
                             ? what.substr(0, what.size() - suffix.size())
                             : std::string("子命令");
    if (option.find(' ') != std::string::npos)
      option = "子命令";
    reason = msg::text(msg::kCliParseRequired, option);
  } else if (name == "ValidationError" || name == "ConversionError" || name == "ArgumentMismatch" ||
             name == "InvalidError") {
    std::string option = before(what);
    if (option == "--jobs")
      reason = msg::text(msg::kCliParseJobs, qc::kMaxJobs);
    else
      reason = msg::text(
          msg::kCliParseValue,
          option.find(' ') == std::string::npos && !option.empty() ? option : std::string("?"));
  } else {
    reason = msg::text(msg::kCliParseUnknown, msg::kCliParseHint);
    return msg::text(msg::kCliPrefix, qc::terminalSafe(reason)) + "\n";
  }
  return msg::text(msg::kCliPrefix, qc::terminalSafe(reason)) + "；" + msg::kCliParseHint + "\n";
}

} // namespace

int main(int argc, char** argv) {
  // Ctrl+C, SIGTERM and SIGHUP end LibreOffice and remove temporary and partial files, report
  // what was finished and exit 130, 143 or 129.
  base::interrupt::installInterruptHandling(base::interrupt::reportOnStderr);
  CLI::App app{"Quillfold typesets Chinese documents in batches by fixed house rules.",
               "quillfold"};
  app.require_subcommand(1);
  app.set_version_flag("--version", "quillfold " QF_VERSION);
  app.footer("运行 \"quillfold 命令 --help\" 查看某个命令的选项。");
  app.failure_message(parseFailure);

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
  typeset->add_option("-m,--mode", request.mode, "Run mode: full, header, page, size or standard")
      ->check(CLI::IsMember({"full", "header", "page", "size", "standard"}))
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
  typeset
      ->add_option("--jobs", request.jobs,
                   "Engine servers typesetting at once, each with its own LibreOffice (1 to " +
                       std::to_string(qc::kMaxJobs) + "; default: the number of cores)")
      ->check(CLI::Range(std::size_t{1}, qc::kMaxJobs))
      ->type_name("N");
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
  qc::CheckCommand checkCmd;
  auto* check = app.add_subcommand(
      "check", "List the clauses of the national layout standard that documents break");
  check->add_option("FILES", checkCmd.files, "Documents to check")->type_name("FILE")->required();
  check->add_option("-s,--settings", checkCmd.settings, "Settings file ([standard] section)")
      ->type_name("FILE");
  check->add_flag("-j,--json", checkCmd.json, "Print one JSON object per document, for scripts");
  check->footer(kCheckFooter);
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
  if (*check)
    return qc::runCheck(checkCmd, std::cout, std::cerr);
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
