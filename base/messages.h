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

// ---- The window ---------------------------------------------------------------------------------

} // namespace msg
