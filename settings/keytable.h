#pragma once
// The keys of setup.ini as data: for each key its section and name, its default, how the
// stored text becomes the engine's value, the list a position indexes, and the engine property
// (by its Chinese name) that receives the value. This table is the one list of the engine's
// settings properties and their order; the window's controls for each key are its own
// business (app/gui).
//
// Every value travels as text. Lists store the selected position ("0" is the first entry,
// "-1" no selection), check boxes "0" or "1", the watermark option "0", "1" or "2", free
// fields the typed text. Only the kinds IndexToName and IndexToSize hand the engine something
// other than the stored text: the entry's name or point value.

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace settings {

enum class Conversion {
  Text,        // free text; the engine receives it
  Index,       // a list position; the engine receives the stored text
  IndexToName, // a list position; the engine receives the entry's text (a font name)
  IndexToSize, // a list position; the engine receives the entry's point value as text
  Check,       // a check box, "0" or "1"; the engine receives the stored text
  Option,      // the watermark option buttons; the engine receives the stored text
  LineSpacing, // "0", "1", "2" list positions, a number above 2 a fixed spacing in points
};

// The lists a position indexes (the window offers the same entries, in the same order).
enum class ValueList {
  None,
  FontNames,        // 宋体, 黑体, 仿宋_GB2312, 楷体_GB2312
  SizesWithDaWu,    // 15 Chinese size names with point values, 大五 at position 10
  SizesWithoutDaWu, // the same 14 without 大五 (title sizes)
  Alignment,        // 两端对齐, 居中, 右对齐
  FontSizeStep,     // 增加, 减小
  PaperSize,        // A4, B5, A3
  Orientation,      // 纵向, 横向
  GutterPosition,   // 左侧, 右侧, 上侧
  PageNumberStyle,  // "1, 2, 3 , ...", "- 1 - , - 2 - , - 3 -, ..."
  WatermarkStyle,   // 水平, 斜式
  WatermarkColor,   // 灰色, 红色, 黑色, 蓝色, 绿色
  WatermarkOption,  // 无水印, 图片水印, 文字水印 (the three option buttons)
  LineSpacing,      // 单倍行距, 1.5倍行距, 2倍行距, 固定值
};

// One list entry: its text and, for the size lists, its integer point value (0 elsewhere).
struct ListEntry {
  std::string_view name;
  int points = 0;
};

// The entries of `list` by position, 0 first (empty for ValueList::None).
std::span<const ListEntry> listEntries(ValueList list);

// One row of the key table.
struct KeyInfo {
  std::string_view property;    // engine property (UTF-8 Chinese name); "" for the sys keys
  std::string_view section;     // as written, e.g. "font"
  std::string_view key;         // as the window writes it, e.g. "TouKongGe"
  std::string_view defaultText; // stored text when the file, section or key is missing
  Conversion conversion;
  ValueList list;
  // IndexToSize only: the entry worth 10 points (五号) reaches the engine as "10.5".
  bool tenPointsIsTenAndAHalf;
};

// Number of engine settings properties.
inline constexpr int kEnginePropertyCount = 46;
// Number of properties of the standard run (the [standard] section).
inline constexpr int kStandardPropertyCount = 17;

// All keys: the 46 engine keys in the engine's property order (纸张大小 first, 水印颜色 last),
// the 17 keys of the standard run ([standard]: the elements it handles and its fonts), then
// sys/docpath, sys/outpath and sys/pdf, which fill no property. The defaults of the two
// folders depend on the program folder (settings.h); their defaultText is therefore "".
std::span<const KeyInfo> keyTable();

// The 46 engine keys in the engine's property order: the first rows of keyTable().
std::span<const KeyInfo> engineKeys();
// The keys of the standard run, whose properties only its run mode and the check read: the
// rows after the engine keys.
std::span<const KeyInfo> standardKeys();

// The row of section/key (both matched without regard to ASCII case), or null.
const KeyInfo* findKey(std::string_view section, std::string_view key);

// The row whose engine property (or standard-run property) is `property` (exact UTF-8
// match), or null.
const KeyInfo* findProperty(std::string_view property);

// `text` read as a decimal number (blanks around it, an optional sign, digits with an optional
// '.' fraction and an optional exponent) and rounded to an integer, halves to the even
// neighbour ("10.5" gives 10, "11.5" 12). Nothing for anything else (empty text, letters,
// hexadecimal, thousands separators) or a number beyond the range of a list position
// (-32768..32767).
std::optional<int> roundedNumber(std::string_view text);

// The list position that `stored` holds for a key of a list kind: the text read as a number
// and rounded (roundedNumber), -1 for no selection. Nothing for text that is no number, a
// position past the end of the list (for LineSpacing past its first three entries: see
// isFixedLineSpacing), and keys without a list.
std::optional<int> storedPosition(const KeyInfo& key, std::string_view stored);

// LineSpacing: whether `stored` is a number above 2, a fixed line spacing in points (固定值)
// rather than a list position.
bool isFixedLineSpacing(std::string_view stored);

// The value the engine receives for `stored`. IndexToName: the list entry's text;
// IndexToSize: the entry's point value as decimal text, "10.5" for the 10-point entry when the
// key says so. A number that is no position in the list ("-1" for no selection, a position past
// the end) gives the value of the key's default (宋体 for the font lists, 大五 "11" for the body
// size). Text that is no number, and every other kind, give `stored` itself.
std::string engineValue(const KeyInfo& key, std::string_view stored);

} // namespace settings
