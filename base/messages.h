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

// ---- The engine server and its client ----------------------------------------------------------

// ---- Merge and print ----------------------------------------------------------------------------

// ---- The window ---------------------------------------------------------------------------------

} // namespace msg
