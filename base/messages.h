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

inline constexpr const char* kConvertCouldNot =
    "LibreOffice 无法转换该文件（文件可能已损坏，或不是它支持的格式）";
inline constexpr const char* kConvertCouldNotWrite = "LibreOffice 未能写出该文件";
inline constexpr const char* kConvertCannotStart = "无法启动 LibreOffice（{}）：{}";
inline constexpr const char* kConvertCannotReadOutput = "无法读取 LibreOffice 的输出：{}";
inline constexpr const char* kConvertCannotWriteFolder =
    "无法写入输出文件夹“{}”：{}；请检查该文件夹是否可写、磁盘是否已满";
inline constexpr const char* kConvertCannotWrite = "无法写入“{}”：{}";
inline constexpr const char* kConvertCannotReplace = "无法替换“{}”：{}";
inline constexpr const char* kConvertNoExtension = "不能转换为没有扩展名的文件";
inline constexpr const char* kConvertUnknownFormat = "不能转换为“{}”格式的文件";
inline constexpr const char* kConvertCannotRead = "无法读取该文件：{}";
inline constexpr const char* kConvertNotRegular = "不是普通文件";
inline constexpr const char* kConvertOutputIsInput = "输出文件“{}”就是源文件本身";
inline constexpr const char* kConvertNoOutputFolder = "输出文件夹“{}”不存在";
inline constexpr const char* kConvertNoTempFolder = "无法创建临时文件夹：{}";
inline constexpr const char* kConvertTimeout = "LibreOffice 未能在 {} 秒内完成转换";
inline constexpr const char* kConvertStoppedSignal = "LibreOffice 在转换该文件之前因信号 {} 终止";
inline constexpr const char* kConvertStoppedStatus = "LibreOffice 在转换该文件之前以状态 {} 退出";
inline constexpr const char* kConvertLogTail = "：{}";
inline constexpr const char* kConvertDamagedOutput = "LibreOffice 写出的 .{} 文件已损坏";
inline constexpr const char* kConvertNoLibreOffice =
    "没有安装 LibreOffice；要打开和保存 .doc、.rtf、.wps 和 .odt 文件，请安装 Debian 软件包 "
    "libreoffice-writer-nogui";

// ---- Saving -----------------------------------------------------------------------------------

inline constexpr const char* kSaveIsFolder = "无法保存：输出路径是一个文件夹";
inline constexpr const char* kSaveNoFolder = "无法保存：文件夹“{}”不存在";
inline constexpr const char* kSaveCannotCreate =
    "无法保存：不能在文件夹“{}”中创建文件（{}）；请检查该文件夹是否可写、磁盘是否已满";
inline constexpr const char* kSaveWriteFailed = "无法保存：写入失败（{}）；请检查磁盘空间";
inline constexpr const char* kSaveUnreadable =
    "无法保存：写出的文件不能重新读取（{}），已放弃该输出，原有文件保持不变";
inline constexpr const char* kSaveCannotReplace = "无法保存：不能替换原有文件（{}）";
inline constexpr const char* kSavePartReason = "部件 {}：{}";
inline constexpr const char* kSaveNotUtf8 = "第 {} 字节处的内容不是 UTF-8 编码";
inline constexpr const char* kSaveBadChar = "包含 XML 不允许的字符 U+{:04X}（第 {} 字节处）";
inline constexpr const char* kSaveNoContentTypes = "缺少内容类型部件 [Content_Types].xml";
inline constexpr const char* kSaveNoRootRels = "缺少包关系部件 _rels/.rels";
inline constexpr const char* kSaveNoMainPart = "包关系没有指向正文部件";
inline constexpr const char* kSaveOverSource = "不能保存在源文档“{}”上";
inline constexpr const char* kSaveUnknownFormat = "不能以“{}”格式保存";
inline constexpr const char* kSaveNoOutputFolder = "没有指定输出文件夹";
inline constexpr const char* kSaveCannotMakeFolder = "无法创建输出文件夹“{}”：{}";
inline constexpr const char* kSaveFolderIsFile = "已有同名文件";
inline constexpr const char* kSaveNoOutputName = "没有输出文件名";
inline constexpr const char* kSaveOutputIsSource =
    "输出文件“{}”就是源文件，不能覆盖；请另选输出文件夹";
inline constexpr const char* kSaveOutputIsSourceFolderFile =
    "输出文件“{}”指向源文件夹中的文件“{}”，为免覆盖源文件未予保存；请删除该链接或另选输出文件夹";
inline constexpr const char* kSaveOutputInSourceFolder =
    "输出文件夹就是源文件夹，其中已有“{}”；为免覆盖源文件，请另选输出文件夹";
inline constexpr const char* kSaveSameOutputName = "输出文件“{}”与本批的“{}”同名，替换了它的结果";
inline constexpr const char* kSaveFailed = "保存失败：{}：{}";
inline constexpr const char* kSaveCannotSave = "无法保存“{}”：{}";
inline constexpr const char* kInterrupted = "已中断（{}）。已完成的 {} 个输出完整保留：";
inline constexpr const char* kInterruptedFinished = "\n  {}";
inline constexpr const char* kInterruptedCleaned =
    "\n未完成的文档没有输出；已结束 LibreOffice 等子进程，并删除了临时文件和未写完的文件。";

// ---- Settings (setup.ini) -------------------------------------------------------------------

// ---- The engine: events and steps ------------------------------------------------------------

// ---- The integrity check of an output against its source ------------------------------------

// ---- The command line --------------------------------------------------------------------------

// ---- The engine server and its client ----------------------------------------------------------

inline constexpr const char* kServerLineNotJson = "请求行不是 JSON";
inline constexpr const char* kServerLineNotObject = "请求行不是 JSON 对象";
inline constexpr const char* kServerNoOp = "请求缺少文本成员 \"op\"";
inline constexpr const char* kServerMissingText = "请求 \"{}\" 缺少文本成员 \"{}\"";
inline constexpr const char* kServerNamesNotList = "请求 \"setFiles\" 缺少数组成员 \"names\"";
inline constexpr const char* kServerNameNotText = "\"names\" 的每一项都必须是文本";
inline constexpr const char* kServerUnknownOp = "未知的请求 \"{}\"";
inline constexpr const char* kServerNoEvent = "事件行缺少文本成员 \"event\"";
inline constexpr const char* kServerUnknownEvent = "未知的事件 \"{}\"";
inline constexpr const char* kServerLineTooLong = "请求行超过 {} MiB 的上限，已整行丢弃";
inline constexpr const char* kServerRequestTooLarge = "请求超过 {} MiB 的上限，未予处理";
inline constexpr const char* kServerRequestTooDeep = "请求的嵌套超过 {} 层，未予处理";
inline constexpr const char* kServerRequestTooManyValues = "请求包含的值超过 {} 个，未予处理";

// ---- Merge and print ----------------------------------------------------------------------------

inline constexpr const char* kMergeTooFewFiles = "请选择要合并的文件，至少2个！";
inline constexpr const char* kMergeBoxTitle = "提示";
inline constexpr const char* kMergeDone = "合并完毕！文件名为:{}";
inline constexpr const char* kMergeFailed = "合并失败！{}";
inline constexpr const char* kMergeNothingReadable = "合并失败！没有能打开的文件，未生成合并文档。";
inline constexpr const char* kMergeLeftOut = "\n有 {} 个文件未能合并：";
inline constexpr const char* kMergeCannotMerge = "无法合并：{}：{}";
inline constexpr const char* kMergeMerged = "已合并：{}";
inline constexpr const char* kMergeNoTempFolder = "无法创建临时文件夹";
inline constexpr const char* kMergeLibreOfficeCannotRead = "LibreOffice 未能读取该文件";
inline constexpr const char* kMergeUnreadableText =
    "文档的内容无法正确读取（{}），已跳过该文档；请用 Word 或 WPS 打开后另存为 .docx 再试";
inline constexpr const char* kMergeInternalError = "内部错误：{}";
inline constexpr const char* kMergeCannotCreate = "无法在“{}”中创建文件：{}";
inline constexpr const char* kMergeTooManyInASecond = "同一秒内的合并文档过多，请稍后再试";
inline constexpr const char* kMergeCannotSave = "未能保存 {}：{}";
inline constexpr const char* kPrintNothingSelected = "请选择要打印的文件！";
inline constexpr const char* kPrintCupsNoReason = "CUPS 未说明原因";
inline constexpr const char* kPrintJobCancelled = "打印任务 {} 被取消";
inline constexpr const char* kPrintJobAborted = "打印任务 {} 被打印机中止";
inline constexpr const char* kPrintJobTimeout = "打印任务 {} 在 {} 秒内没有打印完（仍在队列中）";
inline constexpr const char* kPrintDone = "打印完毕！";
inline constexpr const char* kPrintSomeFailed = "\n共 {} 个文件，其中 {} 个未能打印：";
inline constexpr const char* kPrintCannotPrint = "未能打印：{}：{}";
inline constexpr const char* kPrintNoDefaultPrinter =
    "没有可用的打印机：系统没有设置默认打印机，未打印任何文件。";
inline constexpr const char* kPrintNoSuchPrinter = "找不到打印机“{}”，未打印任何文件。";
inline constexpr const char* kPrintNoTempFolder = "无法创建临时文件夹";
inline constexpr const char* kPrintFileMissing = "文件不存在";
inline constexpr const char* kPrintNotADocument = "不是文档文件";
inline constexpr const char* kPrintLibreOfficeCannotConvert = "LibreOffice 未能转换该文件";
inline constexpr const char* kPrintJobRefused = "打印机“{}”没有接受打印任务：{}";
inline constexpr const char* kPrintPrinted = "已打印：{}（{}，任务 {}）";

// ---- The window ---------------------------------------------------------------------------------

} // namespace msg
