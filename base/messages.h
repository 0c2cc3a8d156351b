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

// ---- The engine: events and steps ------------------------------------------------------------

// ---- The integrity check of an output against its source ------------------------------------

// A difference between an output and its source that the run did not intend; {} is one of the
// phrases below. The document's name travels with the message.
inline constexpr const char* kIntegrityWarning = "与源文件相比，{}；请核对输出文件";
// The same for a legacy output read back after LibreOffice wrote it: {} the format (".doc"),
// {} the phrase.
inline constexpr const char* kIntegrityAfterExport =
    "保存为 {} 格式后再读回，与排版结果相比，{}；这是 LibreOffice 写该格式时造成的，"
    "需要完整保留时请改存为 .docx";
// The read-back itself failed: {} the format, {} the reason.
inline constexpr const char* kIntegrityReadBackFailed =
    "无法读回保存的 {} 文件来核对内容：{}；请打开输出文件核对";
// {} what, {} before, {} after: "表格由 3 个变为 1 个".
inline constexpr const char* kIntegrityCountChanged = "{}由 {} 个变为 {} 个";
// {} which text, {} the position (1-based, in letters and digits), {} the source's, {} the
// output's words from there.
inline constexpr const char* kIntegrityTextChanged =
    "{}的文字自第 {} 个字起不同：原为“{}”，现为“{}”";
inline constexpr const char* kIntegrityNothing = "（无）";
// {} 页眉 or 页脚, {} what it held, {} what it holds (kIntegrityFurnitureKey or 无).
inline constexpr const char* kIntegrityFurnitureChanged = "{}的内容有变化：原为{}，现为{}";
// A header's or footer's content: {} its letters and digits, {} pictures, {} fields, {} tables.
inline constexpr const char* kIntegrityFurnitureKey = "“{}”（图片 {} 个，域 {} 个，表格 {} 个）";
inline constexpr const char* kIntegrityTables = "表格";
inline constexpr const char* kIntegrityCells = "表格单元格";
inline constexpr const char* kIntegrityPictures = "图片和图形";
inline constexpr const char* kIntegrityFields = "域";
inline constexpr const char* kIntegrityFormFields = "窗体域";
inline constexpr const char* kIntegrityContentControls = "内容控件";
inline constexpr const char* kIntegrityBookmarks = "书签";
inline constexpr const char* kIntegrityFootnotes = "脚注";
inline constexpr const char* kIntegrityEndnotes = "尾注";
inline constexpr const char* kIntegrityComments = "批注";
inline constexpr const char* kIntegritySections = "节";
inline constexpr const char* kIntegrityHeaders = "非空页眉";
inline constexpr const char* kIntegrityFooters = "非空页脚";
inline constexpr const char* kIntegrityBodyText = "正文";
inline constexpr const char* kIntegrityNotesText = "脚注、尾注和批注";
inline constexpr const char* kIntegrityHeaderWord = "页眉";
inline constexpr const char* kIntegrityFooterWord = "页脚";

// ---- The command line --------------------------------------------------------------------------

// ---- The engine server and its client ----------------------------------------------------------

// ---- Merge and print ----------------------------------------------------------------------------

// ---- The window ---------------------------------------------------------------------------------

} // namespace msg
