#pragma once
// The catalogue of every text a person reads: the document model's reasons, the converter's,
// the settings store's, the engine's events, the command line's lines and the window's dialogs.
// Texts are Chinese; a placeholder is fmt's "{}" and is filled with msg::text(). A reason names
// what went wrong and, where there is something to do, what the user can do about it. Program,
// package and file names stay as they are.
//
// Keep each text in the section of the layer that raises it, one constant per text, so a text
// is changed in one place and the tests can check that none is left in English.

#include <string>
#include <utility>

#include <fmt/format.h>

namespace msg {

// Fills the placeholders of a catalogue text.
template <typename... Args> std::string text(const char* pattern, Args&&... args) {
  return fmt::format(fmt::runtime(pattern), std::forward<Args>(args)...);
}

// ---- Reading a file: kinds, sizes, encodings -------------------------------------------------

// ---- The package: zip archive, parts, XML ----------------------------------------------------

// ---- The document model: stories, ranges, formatting, headers, shapes, numbering ------------

// ---- LibreOffice conversion ------------------------------------------------------------------

// ---- Saving -----------------------------------------------------------------------------------

// ---- Settings (setup.ini) -------------------------------------------------------------------

// Reading. {0} is the settings file.
inline constexpr const char* kSettingsCannotRead = "无法读取设置文件“{}”：{}";
inline constexpr const char* kSettingsNotRegularFile = "它不是普通文件";
inline constexpr const char* kSettingsTooLarge = "文件大于 {} 字节，不是设置文件";
inline constexpr const char* kSettingsUtf16 =
    "设置文件“{}”是 UTF-16 文本，无法读取；请用文本编辑器把它另存为 UTF-8";
inline constexpr const char* kSettingsNotText =
    "设置文件“{}”不是文本文件（{} 字节中有 {} 个控制字符或无法解码的字节），没有使用；"
    "请删除它或换成正确的 setup.ini";
inline constexpr const char* kSettingsBytesReplaced =
    "设置文件“{}”中有 {} 个字节不是有效的 {} 文本，已当作“\xEF\xBF\xBD”读取；"
    "请用文本编辑器检查该文件";

// Writing. {0} is the settings file.
inline constexpr const char* kSettingsCannotWrite = "无法写入设置文件“{}”：{}";
inline constexpr const char* kSettingsReadOnly =
    "文件是只读的，设置没有保存；请先去掉它的只读属性（例如 chmod u+w）";
inline constexpr const char* kSettingsUnreadableNotWritten = "{}（设置没有保存）";
inline constexpr const char* kSettingsWouldMisread =
    "该文件含有许多无法解码的字节，改动后会被误读，设置没有保存；请用文本编辑器修正或删除该文件";
inline constexpr const char* kSettingsLockFailed = "无法锁定设置文件（锁文件“{}”）：{}";
inline constexpr const char* kSettingsTempFailed = "无法在文件夹“{}”中建立临时文件：{}";
inline constexpr const char* kSettingsWriteStepFailed = "{}：{}";
inline constexpr const char* kSettingsStepPermissions = "无法设置新文件的权限";
inline constexpr const char* kSettingsStepWrite = "无法写入临时文件";
inline constexpr const char* kSettingsStepFlush = "无法把临时文件写到磁盘";
inline constexpr const char* kSettingsStepClose = "无法关闭临时文件";
inline constexpr const char* kSettingsStepRename = "无法替换原文件";
inline constexpr const char* kSettingsNameEmpty = "{}名为空";
inline constexpr const char* kSettingsNameBadChar = "{}名“{}”含有换行符、NUL 或无效的 UTF-8";
inline constexpr const char* kSettingsNameBlanks = "{}名“{}”的首尾有空白";
inline constexpr const char* kSettingsSectionWord = "节";
inline constexpr const char* kSettingsKeyWord = "键";
inline constexpr const char* kSettingsSectionBracket = "节名“{}”含有“]”";
inline constexpr const char* kSettingsKeyBadStart = "键名“{}”含有“=”，或以“[”或“;”开头";
inline constexpr const char* kSettingsValueBadChar = "{}/{} 的值含有换行符、NUL 或无效的 UTF-8";
inline constexpr const char* kSettingsNotEncodable =
    "{}/{} 的值含有 GB18030 无法表示的字符，而该文件是 GB18030 编码";

// System error numbers, as the reason after a file operation.
inline constexpr const char* kErrNoAccess = "没有权限";
inline constexpr const char* kErrNotFound = "文件或文件夹不存在";
inline constexpr const char* kErrIsFolder = "它是一个文件夹";
inline constexpr const char* kErrNotFolder = "路径中的某一部分不是文件夹";
inline constexpr const char* kErrReadOnlyFs = "文件系统是只读的";
inline constexpr const char* kErrNoSpace = "磁盘空间不足";
inline constexpr const char* kErrQuota = "超出磁盘配额";
inline constexpr const char* kErrNameTooLong = "文件名太长";
inline constexpr const char* kErrLoop = "符号链接层数太多";
inline constexpr const char* kErrTooBig = "文件太大";
inline constexpr const char* kErrIo = "输入输出错误";
inline constexpr const char* kErrOther = "系统错误（错误号 {}）";

// ---- The engine: events and steps ------------------------------------------------------------

// ---- The integrity check of an output against its source ------------------------------------

// ---- The command line --------------------------------------------------------------------------

// Every reason the command line prints begins with the program's name.
inline constexpr const char* kCliPrefix = "quillfold：{}";

// Gathering the documents of `typeset`.
inline constexpr const char* kCliFilesAndDir = "请只给出文件或 --dir 文件夹之一，不要同时给出";
inline constexpr const char* kCliFilterNeedsDir =
    "--filter 和 --ext 用于挑选文件夹中的文件：请与 --dir 一起使用";
inline constexpr const char* kCliNoDocuments = "没有给出文档：请列出文件，或用 --dir 指定文件夹";
inline constexpr const char* kCliCannotList = "无法列出文件夹“{}”中的文件：{}";
inline constexpr const char* kCliNothingToTypeset = "文件夹“{}”中没有可排版的文档";
inline constexpr const char* kCliUnknownMode = "未知的 --mode“{}”（应为 full、header、page 或 size）";
inline constexpr const char* kCliOutNeedsFolder = "--out 需要一个文件夹";

// The output folder, checked before anything is typeset or merged.
inline constexpr const char* kCliOutputNotFolder =
    "输出文件夹“{}”不可用：同名的文件已经存在，它不是文件夹；请另选输出文件夹";
inline constexpr const char* kCliOutputCannotCreate =
    "无法建立输出文件夹“{}”：{}；请另选输出文件夹";
inline constexpr const char* kCliOutputNotWritable =
    "输出文件夹“{}”不能写入：{}；请另选输出文件夹或修改它的权限";

// The settings file as `typeset` and `settings` read it.
inline constexpr const char* kCliSettingsMissing = "设置文件“{}”不存在，按默认设置排版";
inline constexpr const char* kCliSettingsShowMissing = "（文件不存在，显示的是默认值）";

// The summary of `typeset`.
inline constexpr const char* kCliSummary = "共 {} 个文档：成功 {} 个，失败 {} 个，有警告 {} 个。";
inline constexpr const char* kCliResultsIn = "结果在 {}";
inline constexpr const char* kCliProcessing = "正在处理：";
inline constexpr const char* kCliNotice = "提示：";
inline constexpr const char* kCliWarning = "警告：";
inline constexpr const char* kCliError = "错误：";

// `quillfold settings`.
inline constexpr const char* kCliNotSectionKey = "“{}”不是“节/键”的形式，例如 font/fontsizezw";
inline constexpr const char* kCliNoSuchKey = "没有键 {}（quillfold settings show 列出所有的键）";
inline constexpr const char* kCliNoSuchKeyForce =
    "没有键 {}（quillfold settings show 列出所有的键；加 --force 仍然写入）";
inline constexpr const char* kCliValueDoesNotFit = "{}：“{}”不合适：{}（加 --force 仍然写入）";
inline constexpr const char* kCliCheckTakes = "复选框只能取 0 或 1";
inline constexpr const char* kCliOptionTakes = "水印选项只能取 0（无水印）、1（图片水印）或 2（文字水印）";
inline constexpr const char* kCliListTakes = "这个列表取位置或名称：{}{}";
inline constexpr const char* kCliListFixedSpacing = "；或大于 2 的固定行距（磅）";
inline constexpr const char* kCliNumberTakes = "这个键只能取数字";

// `merge`, `print` and `printers`.
inline constexpr const char* kCliMergeTooFew = "{}（合并至少需要两个文件）";
inline constexpr const char* kCliPrintNothing = "{}（请列出要打印的文件）";
inline constexpr const char* kCliNoPrinters = "没有可用的打印机（CUPS 没有打印机，或没有运行）";
inline constexpr const char* kCliDefaultPrinter = "默认";

// Mistakes on the command line found by the parser.
inline constexpr const char* kCliParseExtra = "多余的参数：{}";
inline constexpr const char* kCliParseRequired = "缺少必需的参数或子命令：{}";
inline constexpr const char* kCliParseValue = "参数的值不合适：{}";
inline constexpr const char* kCliParseUnknown = "命令行有误：{}";
inline constexpr const char* kCliParseHint = "运行 quillfold --help 查看用法";

// ---- The engine server and its client ----------------------------------------------------------

// ---- Merge and print ----------------------------------------------------------------------------

// ---- The window ---------------------------------------------------------------------------------

} // namespace msg
