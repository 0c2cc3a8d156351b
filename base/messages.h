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

inline constexpr const char* kFileEmpty = "文件是空的（0 字节），可能已损坏；请换用完好的文件";
inline constexpr const char* kFileNotReadable = "无权读取该文件；请检查文件的权限";
inline constexpr const char* kFileMissing = "文件不存在；请检查文件名和所在的文件夹";
inline constexpr const char* kFileIsFolder = "这是一个文件夹，不是文件";
inline constexpr const char* kFileNotRegular =
    "这不是普通文件（可能是设备或管道），无法作为文档打开";
inline constexpr const char* kFileUnreadable =
    "无法读取文件（{}）；请检查文件是否存在、是否被占用以及读取权限";
inline constexpr const char* kReadError = "读取出错";
inline constexpr const char* kFileTooLarge = "文件太大（{}，上限为 {}）";
inline constexpr const char* kUnsupportedFileType =
    "不支持的文件类型 {}；能打开的是 .docx、.docm、.dotx、.doc、.rtf、.wps、.odt 和 .txt 文件";
inline constexpr const char* kNoExtension = "（无扩展名）";
inline constexpr const char* kTextNoEncoding =
    "文本不是能识别的编码（UTF-8、UTF-16、GB18030、Big5）；请将文件另存为 UTF-8 后重试";
inline constexpr const char* kTextBadBom =
    "文本以 {0} 字节顺序标记开头，但内容不是有效的 {0}；文件可能已损坏，请另存为 UTF-8 后重试";
inline constexpr const char* kTextTooLarge =
    "文本文件大于 128 MiB，无法排版；请拆分成几个文件后再试";
inline constexpr const char* kTempFolderFailed =
    "无法创建临时文件夹；请检查系统临时目录（/tmp）的剩余空间和权限";
inline constexpr const char* kNoDocumentOpen = "没有打开的文档";
inline constexpr const char* kTextEncodingUsed = "文本文件按 {} 编码读取";
inline constexpr const char* kTextEncodingUncertain =
    "无法确定文本文件的编码，已按 {} 读取；如有乱码，请将文件另存为 UTF-8 后重试";

// ---- The package: zip archive, parts, XML ----------------------------------------------------

inline constexpr const char* kXmlPosition = "第 {} 行第 {} 列";
inline constexpr const char* kArchiveTruncated =
    "压缩包已损坏（目录缺失或无法读取，文件可能不完整）；请重新获取该文件";
inline constexpr const char* kNotZipButRtf = "不是 Word 文档（不是 zip 压缩包），而是扩展名被改为 "
                                             ".docx 的 RTF 文件；请将扩展名改为 .rtf 后重试";
inline constexpr const char* kNotZipButPdf =
    "不是 Word 文档（不是 zip 压缩包），而是扩展名被改为 .docx 的 PDF 文件";
inline constexpr const char* kNotZip = "不是 Word 文档（不是 zip 压缩包），可能是扩展名被改为 "
                                       ".docx 的文本文件；如是文本，请将扩展名改为 .txt 后重试";
inline constexpr const char* kOleNotPackage =
    "这是加密（设有打开密码）的文档或 Word 97-2003 文件，不是 zip 压缩包；加密的文档请先在 Word "
    "中取消密码";
inline constexpr const char* kDuplicateEntries = "压缩包中有重名的条目；文件已损坏";
inline constexpr const char* kDuplicateEntry = "压缩包中有重名的条目 {}；文件已损坏";
inline constexpr const char* kArchiveInconsistent =
    "压缩包已损坏（目录与条目不符）；请重新获取该文件";
inline constexpr const char* kArchiveMultiDisk = "不支持分卷 zip 压缩包；请先合并成一个文件";
inline constexpr const char* kArchiveNoMemory = "内存不足，无法读取压缩包";
inline constexpr const char* kArchiveDamaged = "压缩包已损坏（{}）；请重新获取该文件";
inline constexpr const char* kArchiveTocUnreadable =
    "压缩包已损坏（目录无法读取）；请重新获取该文件";
inline constexpr const char* kEntryMethod = "条目 {} 使用了不支持的压缩方式";
inline constexpr const char* kEntryEncrypted = "条目 {} 已加密；请在 Word 中取消密码后另存再试";
inline constexpr const char* kEntryChecksum =
    "压缩包已损坏（条目 {} 的校验和不符）；请重新获取该文件";
inline constexpr const char* kEntryNoMemory = "内存不足，无法解压条目 {}";
inline constexpr const char* kEntryUnreadable =
    "压缩包已损坏（第 {} 个条目无法读取）；请重新获取该文件";
inline constexpr const char* kTooManyEntries = "压缩包的条目太多（{} 个，上限为 {} 个）";
inline constexpr const char* kUnsafeEntryName = "压缩包含有不安全的条目名 {}，已拒绝打开";
inline constexpr const char* kEntryTooLarge = "条目解压后太大（{}：超过 {}）";
inline constexpr const char* kDocumentTooLarge = "文档解压后太大（超过 {}）";
inline constexpr const char* kZipBomb =
    "条目 {} 的压缩比异常（超过 {} 比 1），疑似压缩炸弹，已拒绝打开";
inline constexpr const char* kXmlDoctype =
    "含有 DOCTYPE 或实体声明，Word 文档中不允许出现，已拒绝打开";
inline constexpr const char* kXmlMalformed =
    "XML 格式错误：{}（{}）；文件已损坏，请用 Word 或 WPS 打开后另存再试";
inline constexpr const char* kXmlTooDeep = "XML 嵌套超过 {} 层，已拒绝打开";
inline constexpr const char* kRelsNoRoot = "关系部件没有根元素；文件已损坏";
inline constexpr const char* kTypesNoRoot = "内容类型部件没有根元素；文件已损坏";
inline constexpr const char* kNoMainPart =
    "包中没有主文档部件（word/document.xml）；这不是 Word 文档，或文件已损坏";
inline constexpr const char* kMainPartNotWordprocessing =
    "主文档部件不是 WordprocessingML 文档；文件已损坏，请用 Word 或 WPS 打开后另存再试";
inline constexpr const char* kPartEncodingMismatch =
    "部件声明的编码为 {}，但其字节不符合该编码；文件已损坏，请用 Word 或 WPS 打开后另存再试";
inline constexpr const char* kPartEncodingUnknown =
    "部件声明了无法识别的编码 {}；请用 Word 或 WPS 打开后另存再试";
inline constexpr const char* kPartNotUtf8 =
    "部件声明的编码为 {}，但{}处的字节不符合该编码；文件已损坏，请用 Word 或 WPS 打开后另存再试";
inline constexpr const char* kPackageRootRelsRepaired =
    "文件缺少 _rels/.rels（包的根关系），已按 {} 为主文档补上";
inline constexpr const char* kPackageContentTypesRepaired =
    "文件缺少 {}（部件的内容类型），已按包中的部件补上";
inline constexpr const char* kPartControlCharacters =
    "部件 {} 含有 {} 个 XML 不允许的控制字符，已删除";

// ---- The document model: stories, ranges, formatting, headers, shapes, numbering ------------

inline constexpr const char* kValueOutOfRange = "{} 的值超出范围（{}）";
inline constexpr const char* kValueOutOfRangeBare = "{} 的值超出范围";
inline constexpr const char* kColumnsOutOfRange = "分栏数超出范围（{}）";
inline constexpr const char* kFormatNotStandalone =
    "内部错误：段落格式只能从独立的格式对象复制（ParagraphFormat::apply）";
inline constexpr const char* kSettingsNoRoot = "settings 部件没有 w:settings 元素；文件已损坏";
inline constexpr const char* kInsertIntoItself = "不能把文档插入它自身";
inline constexpr const char* kInsertMissingRelationship =
    "插入的文档中，{} 引用的关系 {} 不存在，该引用保持原样";
inline constexpr const char* kInsertRelationshipOutside =
    "插入的文档中，{} 的关系 {} 指向 {}，而文档中没有该部件，该引用保持原样";
inline constexpr const char* kInsertMissingNote = "插入的文档中，{} {} 不存在，该引用保持原样";
inline constexpr const char* kListFormatUnknown =
    "列表编号格式 {} 无法识别，这些编号已按阿拉伯数字写成文字；请核对编号";

// ---- LibreOffice conversion ------------------------------------------------------------------

// ---- Saving -----------------------------------------------------------------------------------

// ---- Settings (setup.ini) -------------------------------------------------------------------

// ---- The engine: events and steps ------------------------------------------------------------

// ---- The integrity check of an output against its source ------------------------------------

// ---- The command line --------------------------------------------------------------------------

// ---- The engine server and its client ----------------------------------------------------------

// ---- Merge and print ----------------------------------------------------------------------------

// ---- The window ---------------------------------------------------------------------------------

} // namespace msg
