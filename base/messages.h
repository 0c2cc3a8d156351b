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

// A font size outside what Word accepts.
inline constexpr const char* kFontSizeInvalid = "字号 {} 磅超出范围（1 至 1638 磅）";
// Internal faults of a step: a paragraph or member looked up that is not (or no longer) there.
inline constexpr const char* kParagraphGone = "要处理的段落已不存在（内部错误），文档没有保存";
inline constexpr const char* kParagraphMissing =
    "第 {} 段不存在（该部分共 {} 段，内部错误），文档没有保存";
inline constexpr const char* kSectionMissing =
    "第 {} 节不存在（文档共 {} 节，内部错误），文档没有保存";
inline constexpr const char* kFieldMissing = "第 {} 个域不存在（内部错误），文档没有保存";
inline constexpr const char* kHeaderPartMissing =
    "页眉或页脚部件不存在，文档可能已损坏：请用 Word 或 LibreOffice 打开后另存，再排版";
inline constexpr const char* kAlignmentInvalid = "段落对齐方式的值无效（内部错误）";
inline constexpr const char* kFindUnsupported = "不支持通配符、同音和词形查找（内部错误）";
inline constexpr const char* kSectionBreakInTable = "分节符不能插在表格中间";

// ---- LibreOffice conversion ------------------------------------------------------------------

// ---- Saving -----------------------------------------------------------------------------------

// ---- Settings (setup.ini) -------------------------------------------------------------------

// ---- The engine: events and steps ------------------------------------------------------------

// A page setting that leaves no room for text on the page (setupPage).
inline constexpr const char* kMarginsExceedPageHeight =
    "页面设置无法使用：上边距 {} 厘米与下边距 {} 厘米{}之和不小于纸张高度 {} 厘米，"
    "页面上没有留给正文的地方。请在“页面设置”中减小上下边距";
inline constexpr const char* kMarginsExceedPageWidth =
    "页面设置无法使用：左边距 {} 厘米与右边距 {} 厘米{}之和不小于纸张宽度 {} 厘米，"
    "页面上没有留给正文的地方。请在“页面设置”中减小左右边距";
inline constexpr const char* kWithGutter = "及装订线 {} 厘米";
// A font size setting outside what Word accepts (1 to 1638 points).
inline constexpr const char* kFontSizeOutOfRange =
    "设置“{}”的值 {} 磅超出字号的范围（1 至 1638 磅），请改为这个范围内的字号";

// ---- The integrity check of an output against its source ------------------------------------

// ---- The command line --------------------------------------------------------------------------

// ---- The engine server and its client ----------------------------------------------------------

// ---- Merge and print ----------------------------------------------------------------------------

// ---- The window ---------------------------------------------------------------------------------

} // namespace msg
