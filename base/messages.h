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
inline constexpr const char* kTextEncodingUsed = "文本文件按 {} 编码读取";
inline constexpr const char* kTextEncodingUncertain =
    "无法确定文本文件的编码，已按 {} 读取；如有乱码，请将文件另存为 UTF-8 后重试";

// ---- The package: zip archive, parts, XML ----------------------------------------------------

inline constexpr const char* kXmlPosition = "第 {} 行第 {} 列";
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
