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
inline constexpr const char* kInsertIntoItself = "不能把文档插入它自身";
inline constexpr const char* kListFormatUnknown =
    "列表编号格式 {} 无法识别，这些编号已按阿拉伯数字写成文字；请核对编号";

// Documents as a whole.
inline constexpr const char* kTempFolderFailed =
    "无法建立临时文件夹：{}；请检查临时文件夹（TMPDIR）所在磁盘的空间和权限";
inline constexpr const char* kNoDocumentOpen = "没有打开的文档（内部错误）";
// Values a member of the model refuses. {0} is one of the names below, {1} the value (with its
// unit where it has one). Out of range: a value that may come from a setting. Invalid: a value
// only the program itself can pass, so an internal fault.
inline constexpr const char* kValueOutOfRange = "{}的值 {} 超出允许的范围，请检查相应的设置";
inline constexpr const char* kValueInvalid = "{}的值 {} 无效（内部错误），文档没有保存";
inline constexpr const char* kUnitPoints = "{} 磅";
inline constexpr const char* kUnitCharacters = "{} 字符";
inline constexpr const char* kUnitLines = "{} 行";
// Paragraph format.
inline constexpr const char* kWhatLeftIndent = "左缩进";
inline constexpr const char* kWhatRightIndent = "右缩进";
inline constexpr const char* kWhatFirstLineIndent = "首行缩进";
inline constexpr const char* kWhatSpaceBefore = "段前间距";
inline constexpr const char* kWhatSpaceAfter = "段后间距";
inline constexpr const char* kWhatLineSpacing = "行距";
inline constexpr const char* kWhatLineSpacingRule = "行距规则";
inline constexpr const char* kWhatOutlineLevel = "大纲级别";
inline constexpr const char* kWhatBaselineAlignment = "文字的垂直对齐方式";
inline constexpr const char* kWhatCharacterSpacing = "字符间距";
inline constexpr const char* kWhatTabStop = "制表位";
inline constexpr const char* kFormatNeedsStandalone = "段落格式只能从独立的格式复制（内部错误）";
// Page setup.
inline constexpr const char* kWhatTopMargin = "上边距";
inline constexpr const char* kWhatBottomMargin = "下边距";
inline constexpr const char* kWhatLeftMargin = "左边距";
inline constexpr const char* kWhatRightMargin = "右边距";
inline constexpr const char* kWhatGutter = "装订线";
inline constexpr const char* kWhatHeaderDistance = "页眉距边界";
inline constexpr const char* kWhatFooterDistance = "页脚距边界";
inline constexpr const char* kWhatPageWidth = "纸张宽度";
inline constexpr const char* kWhatPageHeight = "纸张高度";
inline constexpr const char* kWhatOrientation = "纸张方向";
inline constexpr const char* kWhatGutterPos = "装订线位置";
inline constexpr const char* kWhatLayoutMode = "文档网格";
inline constexpr const char* kWhatColumnCount = "分栏数";
inline constexpr const char* kWhatColumnSpacing = "栏间距";
inline constexpr const char* kWhatSectionStart = "节的起始位置";
inline constexpr const char* kSettingsPartInvalid =
    "文档的设置部件“{}”内容无效，文档可能已损坏：请用 Word 或 LibreOffice 打开后另存，再排版";
// Headers, footers, page numbers, fields, breaks and borders.
inline constexpr const char* kWhatHeaderFooterIndex = "页眉页脚的类型";
inline constexpr const char* kWhatBorderSide = "段落边框的位置";
inline constexpr const char* kWhatView = "视图类型";
inline constexpr const char* kWhatPane = "窗格";
inline constexpr const char* kWhatSeekView = "要转到的视图";
inline constexpr const char* kWhatPageNumberStyle = "页码样式";
inline constexpr const char* kWhatChapterLevel = "页码中章节号的标题级别";
inline constexpr const char* kWhatChapterSeparator = "章节号与页码的分隔符";
inline constexpr const char* kWhatStartingNumber = "起始页码";
inline constexpr const char* kWhatFieldType = "域类型";
inline constexpr const char* kWhatBreakType = "分隔符类型";
inline constexpr const char* kWhatBorderLineStyle = "边框线型";
inline constexpr const char* kWhatBorderWidth = "边框线宽";
inline constexpr const char* kWhatBorderColour = "边框颜色";
inline constexpr const char* kHeaderNeedsPrintLayout =
    "只有在页面视图中才能编辑页眉和页脚（内部错误）";
inline constexpr const char* kOnlyPaneCannotClose = "窗口只有一个窗格，不能关闭（内部错误）";
inline constexpr const char* kSelectionNotInHeader = "所选内容不在页眉或页脚中（内部错误）";
inline constexpr const char* kMoveDownUnit = "向下移动只能按段落或按行（内部错误）";
inline constexpr const char* kFieldNeedsStory = "域只能插在正文、页眉或页脚中（内部错误）";
inline constexpr const char* kSectionBreakOnlyInMainText = "分节符只能插在正文中（内部错误）";
inline constexpr const char* kBordersNeedParagraphs = "边框只能设在段落上（内部错误）";
// Shapes, pictures and WordArt.
inline constexpr const char* kWhatRelativePosition = "图形位置的参照";
inline constexpr const char* kWhatShapeAlignment = "图形的对齐方式";
inline constexpr const char* kWhatShapeWidth = "图形宽度";
inline constexpr const char* kWhatShapeHeight = "图形高度";
inline constexpr const char* kWhatZOrder = "图形的叠放次序";
inline constexpr const char* kWhatColour = "颜色";
inline constexpr const char* kWhatTransparency = "透明度";
inline constexpr const char* kWhatLineWeight = "线条粗细";
inline constexpr const char* kWhatDashStyle = "虚线线型";
inline constexpr const char* kWhatLineStyle = "线型";
inline constexpr const char* kWhatBrightness = "亮度";
inline constexpr const char* kWhatContrast = "对比度";
inline constexpr const char* kWhatCrop = "裁剪量";
inline constexpr const char* kWhatWrapSide = "文字环绕的一侧";
inline constexpr const char* kWhatWrapDistance = "文字与图形的距离";
inline constexpr const char* kWhatWrapType = "文字环绕方式";
inline constexpr const char* kWhatWordArtPreset = "艺术字样式";
inline constexpr const char* kWhatWordArtShape = "艺术字形状";
inline constexpr const char* kShapeRangeEmpty = "没有选中任何图形（内部错误）";
inline constexpr const char* kShapeNotForDrawingMl =
    "该操作不适用于 Word 2007 以后的新式图形（内部错误）";
inline constexpr const char* kShapeNotAnchored = "图形不在文档的这一部分中（内部错误）";
inline constexpr const char* kShapeMissing = "第 {} 个图形不存在（内部错误）";
inline constexpr const char* kPicturesOnly = "该操作只适用于图片（内部错误）";
inline constexpr const char* kWordArtOnly = "该操作只适用于艺术字（内部错误）";
inline constexpr const char* kWordArtTextEmpty = "艺术字没有文字";
inline constexpr const char* kWordArtSizeInvalid = "艺术字的字号 {} 磅超出范围（1 至 1638 磅）";
inline constexpr const char* kPictureNeedsDocument = "图片只能插入到文档中（内部错误）";
// A picture file to insert. {0} is its path.
inline constexpr const char* kPictureNoPath = "没有给出图片文件（路径为空）";
inline constexpr const char* kPictureNotFound = "图片文件“{}”不存在";
inline constexpr const char* kPictureIsFolder = "“{}”是文件夹，不是图片文件";
inline constexpr const char* kPictureNotRegular = "“{}”不是普通文件，不能用作图片";
inline constexpr const char* kPictureTooLarge = "图片文件“{}”太大（超过 64 MB）";
inline constexpr const char* kPictureCannotRead = "无法读取图片文件“{}”：{}";
inline constexpr const char* kPictureUnknownFormat = "“{}”不是 PNG、JPEG、GIF 或 BMP 图片";
// Inserting one document into another (merge).
inline constexpr const char* kInsertRelationshipMissing =
    "“{}”引用的关系 {} 不存在，该引用原样保留";
inline constexpr const char* kInsertRelationshipTarget =
    "“{}”引用的关系 {} 指向不存在的部件“{}”，该引用原样保留";
inline constexpr const char* kInsertNoteMissing = "引用的脚注或尾注 {} 不存在，该引用原样保留";

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

inline constexpr const char* kArchiveBuildFailed =
    "无法生成要保存的压缩包（{}）；请检查磁盘空间和内存后重试";
inline constexpr const char* kArchiveBuildNoMemory = "内存不足";
inline constexpr const char* kArchiveBuildReadBack = "无法读回刚生成的压缩包";
inline constexpr const char* kArchiveBuildEntry = "条目 {}：{}";
inline constexpr const char* kArchiveBuildTempFile =
    "条目 {}：临时文件写入失败，请检查临时文件夹所在磁盘的剩余空间";

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
inline constexpr const char* kSaveNoOutputFolder = "没有指定输出文件夹";
inline constexpr const char* kSaveCannotMakeFolder = "无法创建输出文件夹“{}”：{}";
inline constexpr const char* kSaveFolderIsFile = "同名的文件已经存在，它不是文件夹";
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

// {0} paragraphs, {1} MiB needed, {2} MiB available.
inline constexpr const char* kDocumentTooLargeForMemory =
    "文档过大：正文有 {} 段，排版约需 {} MB 内存，而本机只剩 {} MB 可用。"
    "请关闭其他程序，或把文档拆成几份再排版";
inline constexpr const char* kOutOfMemory =
    "内存不足，文档未能排完（没有写出任何文件）。请关闭其他程序，或把文档拆成几份再排版";
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

// Events of a batch (see docs/messages.md). {} is the document's bare name.
inline constexpr const char* kEventProcessing = "正在处理";
inline constexpr const char* kEventDone = "完成：{}";
inline constexpr const char* kEventFailed = "失败：{}";
inline constexpr const char* kEventBatchDone = "处理完毕！";
// {0} the document's name, {1} the reason.
inline constexpr const char* kEventTypesetFailed = "排版失败：{}：{}";
inline constexpr const char* kEventNoFileName = "（空文件名）";
inline constexpr const char* kEventUnknownMode =
    "未知的运行模式“{}”（应为 0、YeMei、YeMian、ZiHao 或 Standard），没有处理任何文档";
inline constexpr const char* kEventInterrupted = "排版中断：内部错误";
inline constexpr const char* kEventConverted = "已用 LibreOffice 从 {} 格式转换";
inline constexpr const char* kEventLegacyWord = "旧版 Word";
inline constexpr const char* kEventFontSizesUnchanged = "有 {} 处文字的字号未能修改";

// Reasons of a failed document.
inline constexpr const char* kUnknownFailure = "未知的内部错误，文档没有保存";
// {0} the file or folder, {1} the system's reason.
inline constexpr const char* kFileSystemFailed = "无法访问“{}”：{}";
inline constexpr const char* kUnknownProperty = "未知的引擎属性“{}”";
inline constexpr const char* kFileNameEmpty = "文件名为空";
inline constexpr const char* kLibreOfficeCannotConvert =
    "LibreOffice 无法转换该文件（文件可能已损坏）；请用 Word 或 LibreOffice 打开它，"
    "另存为 .docx 后再排版";
inline constexpr const char* kConvertedUnreadable = "LibreOffice 转换得到的文档无法读取：{}";

// Settings a step reads. {0} is the setting's name, {1} its value.
inline constexpr const char* kSettingEmpty = "设置“{}”的值为空，应为数字";
inline constexpr const char* kSettingNotNumber = "设置“{}”的值“{}”不是数字";
inline constexpr const char* kSettingNotInteger = "设置“{}”的值“{}”超出整数范围";
inline constexpr const char* kSettingSpacingRange = "设置“{}”的值“{}”超出段落间距范围";
inline constexpr const char* kWatermarkTextEmpty =
    "设置“水印文字”为空：文字水印需要文字；请在“水印设置”中填写水印文字，或选择无水印";
inline constexpr const char* kWatermarkPictureEmpty =
    "设置“水印图片”为空：图片水印需要图片文件的路径；请在“水印设置”中选择图片";
// {} is the model's reason about the picture file.
inline constexpr const char* kWatermarkPictureUnusable =
    "水印图片无法使用：{}；请在“水印设置”中另选一个图片文件，或改用文字水印";

// Saving the output.

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

// ---- The standard run (GB/T 9704-2012) and its check ---------------------------------------

// The elements of an official document.
inline constexpr const char* kStdElementBlank = "空行";
inline constexpr const char* kStdElementMasthead = "版头";
inline constexpr const char* kStdElementDocNumber = "发文字号";
inline constexpr const char* kStdElementTitle = "标题";
inline constexpr const char* kStdElementAddressee = "主送机关";
inline constexpr const char* kStdElementBody = "正文";
inline constexpr const char* kStdElementHeading1 = "一级标题";
inline constexpr const char* kStdElementHeading2 = "二级标题";
inline constexpr const char* kStdElementHeading3 = "三级标题";
inline constexpr const char* kStdElementHeading4 = "四级标题";
inline constexpr const char* kStdElementAttachment = "附件说明";
inline constexpr const char* kStdElementSignature = "发文机关署名";
inline constexpr const char* kStdElementDate = "成文日期";
inline constexpr const char* kStdElementNote = "附注";
inline constexpr const char* kStdElementCopyTo = "抄送";
inline constexpr const char* kStdElementPrintedBy = "印发机关和印发日期";
inline constexpr const char* kStdElementTable = "表格";
// A notice of the standard run about one document.
inline constexpr const char* kStdHeaderOddPagesOnly =
    "文档有页眉：公文不设页眉，且页码分奇偶页后，偶数页不再显示原页眉；需要时请在输出文件中补设";
// A finding of the check. {0} paragraph number, {1} its first words, {2} the element, {3} the
// measure, {4} what was found, {5} what the standard asks.
inline constexpr const char* kStdFindingParagraph = "第 {} 段“{}”（{}）：{}为{}，应为{}";
// {0} where (页面, 奇数页页脚 …), {1} the measure, {2} found, {3} asked.
inline constexpr const char* kStdFindingDocument = "{}：{}为{}，应为{}";
inline constexpr const char* kStdWherePage = "页面";
inline constexpr const char* kStdWherePageNumbers = "页码";
inline constexpr const char* kStdWhereOddFooter = "奇数页页码";
inline constexpr const char* kStdWhereEvenFooter = "偶数页页码";
// The measures.
inline constexpr const char* kStdWhatPaper = "纸张";
inline constexpr const char* kStdWhatTopMargin = "上边距（天头）";
inline constexpr const char* kStdWhatBottomMargin = "下边距";
inline constexpr const char* kStdWhatLeftMargin = "左边距（订口）";
inline constexpr const char* kStdWhatRightMargin = "右边距";
inline constexpr const char* kStdWhatLinesPerPage = "每页行数";
inline constexpr const char* kStdWhatCharsPerLine = "每行字数";
inline constexpr const char* kStdWhatLineSpacing = "行距";
inline constexpr const char* kStdWhatFont = "字体";
inline constexpr const char* kStdWhatSize = "字号";
inline constexpr const char* kStdWhatAlignment = "对齐方式";
inline constexpr const char* kStdWhatIndent = "缩进";
inline constexpr const char* kStdWhatBlankAbove = "上方的空行";
inline constexpr const char* kStdWhatColon = "冒号";
inline constexpr const char* kStdWhatHeadingNumber = "层次序数";
inline constexpr const char* kStdWhatForm = "写法";
inline constexpr const char* kStdWhatPlace = "位置";
inline constexpr const char* kStdWhatLeftSpace = "左侧空字";
inline constexpr const char* kStdWhatRightSpace = "右侧空字";
inline constexpr const char* kStdWhatRuleAbove = "上方分隔线";
inline constexpr const char* kStdWhatRuleBelow = "下方分隔线";
inline constexpr const char* kStdWhatRuleWidth = "分隔线宽度";
inline constexpr const char* kStdWhatOddEven = "奇偶页";
inline constexpr const char* kStdWhatPageNumber = "页码";
// Values.
inline constexpr const char* kStdPoints = "{} 磅";
inline constexpr const char* kStdMillimetres = "{} 毫米";
inline constexpr const char* kStdCharacters = "{} 字";
inline constexpr const char* kStdLines = "{} 行";
inline constexpr const char* kStdChars = "{} 字";
inline constexpr const char* kStdQuoted = "“{}”";
inline constexpr const char* kStdMixed = "不一致";
inline constexpr const char* kStdNone = "无";
inline constexpr const char* kStdPaperFound = "宽 {}、高 {}";
inline constexpr const char* kStdPaperExpected = "A4 纵向（宽 210 毫米、高 297 毫米）";
inline constexpr const char* kStdNoGrid = "未设文档网格";
inline constexpr const char* kStdNoCharGrid = "未设字符网格";
inline constexpr const char* kStdExactly = "固定值 {}";
inline constexpr const char* kStdAtLeast = "最小值 {}";
inline constexpr const char* kStdMultiple = "{} 倍行距";
inline constexpr const char* kStdLineSpacingExpected =
    "每行占一个网格行（固定值 {} 磅，每页 22 行）";
inline constexpr const char* kStdAlignLeft = "左对齐";
inline constexpr const char* kStdAlignCentre = "居中";
inline constexpr const char* kStdAlignRight = "右对齐";
inline constexpr const char* kStdAlignJustify = "两端对齐";
inline constexpr const char* kStdAlignOther = "分散对齐";
// {0} first-line indent, {1} left indent, {2} right indent.
inline constexpr const char* kStdPlacement = "首行缩进 {}、左缩进 {}、右缩进 {}";
inline constexpr const char* kStdBodyIndent = "首行缩进 2 字、无其他缩进";
inline constexpr const char* kStdFlushLeft = "顶格（无缩进）";
// {0} the alignment, {1} the space.
inline constexpr const char* kStdAlignedWithRight = "{}、右空 {}";
inline constexpr const char* kStdAlignedWithLeft = "{}、左空 {}";
inline constexpr const char* kStdSignatureExpected = "右对齐、右空 2 字";
inline constexpr const char* kStdStartsAt = "首字距左边 {}";
inline constexpr const char* kStdNoteExpected = "全角圆括号括入，如“（此件公开发布）”";
inline constexpr const char* kStdRuleExpected = "与版心等宽的分隔线";
inline constexpr const char* kStdRuleNarrower = "比版心窄（段落有缩进）";
inline constexpr const char* kStdNotPlaced = "未定位";
inline constexpr const char* kStdSameOnAllPages = "各页页码相同";
inline constexpr const char* kStdOddEvenExpected = "奇数页居右、偶数页居左（奇偶页不同）";
inline constexpr const char* kStdPageNumberExpected = "“— 1 —”（数字两侧各一条一字线）";
inline constexpr const char* kStdOddPageExpected = "右对齐、右空 1 字";
inline constexpr const char* kStdEvenPageExpected = "左对齐、左空 1 字";

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
inline constexpr const char* kCliUnknownMode =
    "未知的 --mode“{}”（应为 full、header、page、size 或 standard）";
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

// Running the batch on the engine servers. {0} the program's folder; {0} the reason.
inline constexpr const char* kCliEngineNotFound =
    "找不到排版引擎 quillfold-engine：程序目录 {} 和 PATH 中都没有；请重新安装 Quillfold，"
    "或把 quillfold-engine 放回程序目录";
inline constexpr const char* kCliBatchNotStarted = "无法开始排版：{}";

// `quillfold settings`.
inline constexpr const char* kCliNotSectionKey = "“{}”不是“节/键”的形式，例如 font/fontsizezw";
inline constexpr const char* kCliNoSuchKey = "没有键 {}（quillfold settings show 列出所有的键）";
inline constexpr const char* kCliNoSuchKeyForce =
    "没有键 {}（quillfold settings show 列出所有的键；加 --force 仍然写入）";
inline constexpr const char* kCliValueDoesNotFit = "{}：“{}”不合适：{}（加 --force 仍然写入）";
inline constexpr const char* kCliCheckTakes = "复选框只能取 0 或 1";
inline constexpr const char* kCliOptionTakes =
    "水印选项只能取 0（无水印）、1（图片水印）或 2（文字水印）";
inline constexpr const char* kCliListTakes = "这个列表取位置或名称：{}{}";
inline constexpr const char* kCliListFixedSpacing = "；或大于 2 的固定行距（磅）";
inline constexpr const char* kCliNumberTakes = "这个键只能取数字";

// `merge`, `print` and `printers`.
inline constexpr const char* kCliMergeTooFew = "{}（合并至少需要两个文件）";
inline constexpr const char* kCliPrintNothing = "{}（请列出要打印的文件）";
inline constexpr const char* kCliNoPrinters = "没有可用的打印机（CUPS 没有打印机，或没有运行）";
inline constexpr const char* kCliDefaultPrinter = "默认";

// `check`. {0} the file.
inline constexpr const char* kCliCheckConforms = "{}：符合 GB/T 9704-2012 的各项可测条款";
// {0} the file, {1} how many findings.
inline constexpr const char* kCliCheckBreaks = "{}：有 {} 处不符合 GB/T 9704-2012：";
// {0} the file, {1} the reason.
inline constexpr const char* kCliCheckUnreadable = "{}：无法读取，没有检查：{}";
// {0} documents, {1} conforming, {2} not conforming, {3} unreadable.
inline constexpr const char* kCliCheckSummary =
    "共检查 {} 个文档：符合 {} 个，不符合 {} 个，无法读取 {} 个。";

// Mistakes on the command line found by the parser.
inline constexpr const char* kCliParseExtra = "多余的参数：{}";
inline constexpr const char* kCliParseRequired = "缺少必需的参数或子命令：{}";
inline constexpr const char* kCliParseValue = "参数的值不合适：{}";
inline constexpr const char* kCliParseJobs =
    "--jobs 的值不合适：应为 1 至 {} 之间的整数（同时排版的引擎数）";
inline constexpr const char* kCliParseUnknown = "命令行有误：{}";
inline constexpr const char* kCliParseHint = "运行 quillfold --help 查看用法";

// ---- The engine server and its client ----------------------------------------------------------

inline constexpr const char* kServerLineNotJson = "请求行不是 JSON";
inline constexpr const char* kServerLineNotObject = "请求行不是 JSON 对象";
inline constexpr const char* kServerNoOp = "请求缺少文本成员 \"op\"";
inline constexpr const char* kServerMissingText = "请求 \"{}\" 缺少文本成员 \"{}\"";
inline constexpr const char* kServerNamesNotList = "请求 \"{}\" 缺少数组成员 \"names\"";
inline constexpr const char* kServerNameNotText = "\"names\" 的每一项都必须是文本";
inline constexpr const char* kServerUnknownOp = "未知的请求 \"{}\"";
inline constexpr const char* kServerNoEvent = "事件行缺少文本成员 \"event\"";
inline constexpr const char* kServerUnknownEvent = "未知的事件 \"{}\"";
inline constexpr const char* kServerLineTooLong = "请求行超过 {} MiB 的上限，已整行丢弃";
inline constexpr const char* kServerRequestTooLarge = "请求超过 {} MiB 的上限，未予处理";
inline constexpr const char* kServerRequestTooDeep = "请求的嵌套超过 {} 层，未予处理";
inline constexpr const char* kServerRequestTooManyValues = "请求包含的值超过 {} 个，未予处理";
inline constexpr const char* kServerUsage =
    "用法：{} [--client]\n"
    "从标准输入读取 JSON 行形式的请求，把排版引擎的事件以 JSON 行写到标准输出"
    "（见 docs/engine-protocol.md）。\n"
    "  --client  由客户端驱动：中断时由客户端报告已完成的输出，服务器自己不报告\n";

// The client of the engine server. {0} is the server program where it is named.
inline constexpr const char* kClientNoConnection = "无法建立与排版引擎的连接：{}";
inline constexpr const char* kClientCannotStart = "无法启动排版引擎 {}：{}";
inline constexpr const char* kClientNotTheEngine =
    "{} 不是 Quillfold 排版引擎（启动后的第一行不是 Ready）";
inline constexpr const char* kClientExitedAtStart = "排版引擎 {} 启动后立即退出（{}）";
inline constexpr const char* kClientNoAnswer = "排版引擎 {} 在规定时间内没有响应";
inline constexpr const char* kClientCannotRead = "无法读取排版引擎的输出：{}";
inline constexpr const char* kClientBusy = "排版正在进行，请等待当前批处理结束";
// How the server ended: {0} the signal's number, {1} " SIG" and its name (or nothing).
inline constexpr const char* kClientKilledBySignal = "被信号 {}{} 终止";
inline constexpr const char* kClientExitCode = "退出码 {}";
inline constexpr const char* kClientExitUnknown = "原因不明";
// {0} how the server ended.
inline constexpr const char* kClientDiedAtBatchEnd =
    "排版引擎在结束批处理时意外退出（{}），由 LibreOffice 转换的输出文件可能没有写出";
// {0} the document's name, {1} how the server ended.
inline constexpr const char* kClientDiedOnDocument =
    "排版失败：{}：排版引擎意外退出（{}），已重新启动排版引擎，继续处理其余文档";
// {0} why no new server started, {1} the number of documents left.
inline constexpr const char* kClientRestUndone = "{}；其余 {} 个文档没有处理";

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
// Window texts are turned into QString from UTF-8 (app/gui). Captions, list entries and dialog
// buttons of Qt's own dialogs come from Qt's Chinese translation.

// Title, banner, menus.
inline constexpr const char* kWindowTitle = "Quillfold 公文排版 {}";
inline constexpr const char* kBanner = "Quillfold 公文批量排版";
inline constexpr const char* kMenuFile = "文件";
inline constexpr const char* kMenuOpen = "打开...";
inline constexpr const char* kMenuStart = "排版";
inline constexpr const char* kMenuPrint = "打印";
inline constexpr const char* kMenuMerge = "合并";
inline constexpr const char* kMenuClose = "退出";
inline constexpr const char* kMenuHelp = "帮助";
inline constexpr const char* kMenuAbout = "关于";

// The About window.
inline constexpr const char* kAboutTitle = "关于 Quillfold";
inline constexpr const char* kAboutProduct = "<b>Quillfold 公文排版</b>";
inline constexpr const char* kAboutVersion = "版本 {}";
inline constexpr const char* kAboutMaker = "Quillfold 开发组";
inline constexpr const char* kAboutDeclaration =
    "声明: 本系统旨在提高文档处理效率，并不能完全代替手工排版。";

// The navigation column and the page titles.
inline constexpr const char* kNavWelcome = "欢迎";
inline constexpr const char* kNavFiles = " 1. 选择文件";
inline constexpr const char* kNavOutput = " 2. 输出目录";
inline constexpr const char* kNavPage = "3. 页面设置";
inline constexpr const char* kNavHeader = "4. 页眉与页脚";
inline constexpr const char* kNavFonts = "5. 字体与字号";
inline constexpr const char* kNavParagraph = "6. 段落与缩进";
inline constexpr const char* kNavWatermark = "7. 水印设置";
inline constexpr const char* kNavOther = "8. 其他设置";
inline constexpr const char* kNavSupport = "9. 支持";
inline constexpr const char* kNavWorkbench = "10. 工作台";
inline constexpr const char* kNavClose = "关闭";
inline constexpr const char* kPageWelcome = "欢迎";
inline constexpr const char* kPageFiles = "选择文件";
inline constexpr const char* kPageOutput = "输出目录";
inline constexpr const char* kPagePage = "页面设置";
inline constexpr const char* kPageHeader = "页眉与页脚";
inline constexpr const char* kPageFonts = "字体与字号";
inline constexpr const char* kPageParagraph = "段落与缩进";
inline constexpr const char* kPageWatermark = "水印设置";
inline constexpr const char* kPageOther = "其他设置";
inline constexpr const char* kPageSupport = "支持";
inline constexpr const char* kPageWorkbench = "工作台";

// Page 0.
inline constexpr const char* kWelcome1 =
    "本软件对纯文字性文档支持较好，暂时不能对含有表格及图片的文档进行排版。";
inline constexpr const char* kWelcome2 =
    "本软件旨在提高文档处理速度，希望能减轻经常进行文档处理的人员的工作量。";
inline constexpr const char* kWelcome3 = "感谢您使用本软件！";

// Page 1, source files.
inline constexpr const char* kFilesHint =
    "选择要排版文件所在目录(选择后，该目录下有关文件列示在下面的列表框中)";
inline constexpr const char* kOpenFolder = "打开目录";
inline constexpr const char* kCurrentFolder = "当前目录：{}";
inline constexpr const char* kFilter = "过滤：";
inline constexpr const char* kFilterHint = "通过输入过滤关键词可过滤掉无关的文件";
inline constexpr const char* kSelectHint = "第一步要选择文件，才能排版(可利用Shift、Ctrl+鼠标点击)";

// Page 2, output folder.
inline constexpr const char* kOutputLabel = "排版后输出到目录   (排版后的文件存放在此目录下) ：";
inline constexpr const char* kOutputNote =
    "本软件排版时不会对原文件做任何修改，经软件排版后的文件保存在：输出目录中。";
inline constexpr const char* kOpenOutputFolder = "打开输出目录";

// Page 3, page setup.
inline constexpr const char* kMarginLeft = "页边距左：";
inline constexpr const char* kMarginTop = "页边距上：";
inline constexpr const char* kMarginBottom = "页边距下：";
inline constexpr const char* kMarginRight = "页边距右：";
inline constexpr const char* kPaperSize = "纸张大小：";
inline constexpr const char* kOrientation = "纸张方向：";
inline constexpr const char* kGutter = "装订线：";
inline constexpr const char* kGutterPos = "线位置：";
inline constexpr const char* kHeaderDistance = "页眉距边界：";
inline constexpr const char* kFooterDistance = "页脚距边界：";
inline constexpr const char* kCentimetres = "厘米";

// Page 4, header and page numbers.
inline constexpr const char* kUseHeader = "使用页眉";
inline constexpr const char* kHeaderText = "页眉文字：";
inline constexpr const char* kHeaderAlign = "页眉对齐：";
inline constexpr const char* kHeaderFont = "页眉字体：";
inline constexpr const char* kHeaderSize = "页眉字号：";
inline constexpr const char* kCombinedHeader =
    "使用 【 页眉文字+文章标题 】 组合为页眉文字，并分散对齐（【页眉对齐】参数失效）";
inline constexpr const char* kUseFooter = "使用页码";
inline constexpr const char* kNumberStyle = "页码样式：";
inline constexpr const char* kNumberAlign = "页码对齐：";

// Page 5, fonts.
inline constexpr const char* kBodyFont = "正文：";
inline constexpr const char* kTitleFont = "标题：";
inline constexpr const char* kFontSize = "字号：";
inline constexpr const char* kBold = "加粗";

// Page 6, paragraphs.
inline constexpr const char* kLineSpacing = "行距：";
inline constexpr const char* kFixedValue = "设置值：";
inline constexpr const char* kPoints = "磅";
inline constexpr const char* kLeftIndent = "左缩进：";
inline constexpr const char* kRightIndent = "右缩进：";
inline constexpr const char* kSpaceBefore = "段前：";
inline constexpr const char* kSpaceAfter = "段后：";
inline constexpr const char* kCharacters = "字符";
inline constexpr const char* kLines = "行";

// Page 7, watermark.
inline constexpr const char* kNoWatermark = "无水印";
inline constexpr const char* kPictureWatermark = "图片水印";
inline constexpr const char* kTextWatermark = "文字水印";
inline constexpr const char* kChoosePicture = "选择图片";
inline constexpr const char* kWatermarkText = "水印文字：";
inline constexpr const char* kWatermarkFont = "字体：";
inline constexpr const char* kWatermarkStyle = "样式：";
inline constexpr const char* kWatermarkColor = "颜色：";
inline constexpr const char* kPictureFilterJpg = "JPEG 图片 (*.jpg *.jpeg)";
inline constexpr const char* kPictureFilterPng = "PNG 图片 (*.png)";

// Page 8, other settings.
inline constexpr const char* kFirstIsTitle = "第一段为标题";
inline constexpr const char* kRemoveSpaces = "删除文本内空格";
inline constexpr const char* kFullWidthPunctuation = "修正逗号、冒号、问号、叹号、分号为全角";
inline constexpr const char* kRemoveEmptyLines = "去掉空换行";
inline constexpr const char* kLeadingSpaces = "文章开头加2个全角空格(如果第一行不是标题，请选择)";
inline constexpr const char* kHalfWidthParentheses = "全角小括号替换为半角小括号";
inline constexpr const char* kTwoColumns = "分 2 栏";
inline constexpr const char* kFullStops = "修正句号 (注意：有可能对小数点进行句号转换，谨慎使用)";
inline constexpr const char* kTitleAlign = "标题对齐：";

// Page 10, workbench.
inline constexpr const char* kStartFull = "排版";
inline constexpr const char* kStartHeader = "仅页眉";
inline constexpr const char* kStartPage = "仅页面";
inline constexpr const char* kStartSizes = "仅字号";
inline constexpr const char* kStartFullNote = "使用全部设置参数对选定的文档进行处理。";
inline constexpr const char* kStartHeaderNote = "仅按【页眉】设置部分的参数对选定的文档进行处理。";
inline constexpr const char* kStartPageNote = "仅按【页面设置】部分中的参数对选定的文档进行处理。";
inline constexpr const char* kStartSizesNote = "仅将【字号>10.5】的字号全部减小或增大1号。";
inline constexpr const char* kMerge = "文档合并";
inline constexpr const char* kMergeNote = "将选定的文档合并为一个文档。";
inline constexpr const char* kPrint = "文档打印";
inline constexpr const char* kPrintNote = "将选定的文档输出到选定打印机：";
inline constexpr const char* kStartStandard = "国标排版";
inline constexpr const char* kStartStandardNote =
    "按 GB/T 9704-2012《党政机关公文格式》排版选定的文档（处理的要素和字体见 setup.ini 的 "
    "[standard] 节）。";
inline constexpr const char* kCheckStandard = "国标检查";
inline constexpr const char* kCheckStandardNote =
    "列出选定的文档不符合 GB/T 9704-2012 的各处，文档不作改动。";

// Dialogs and boxes.
inline constexpr const char* kBoxTitle = "提示";
inline constexpr const char* kOk = "确定";
inline constexpr const char* kFolderPrompt = "请选择文件夹";
inline constexpr const char* kChoosePictureTitle = "选择图片";
inline constexpr const char* kCannotListFolder =
    "无法读取目录：{}。请确认该目录存在并且有读取权限。";
inline constexpr const char* kSelectFiles = "请选择要排版的文件！";
inline constexpr const char* kSelectFilesToCheck = "请选择要检查的文件！";
inline constexpr const char* kEngineNotStarted =
    "无法启动排版引擎：{}\n\n设置仍可修改；排版时将再次尝试启动引擎。";
inline constexpr const char* kBatchNotStarted = "无法开始排版：{}";
inline constexpr const char* kEngineNotFound =
    "找不到排版引擎 quillfold-engine：程序目录 {} 和 PATH 中都没有。请重新安装 Quillfold，"
    "或把 quillfold-engine 放回程序目录。";
inline constexpr const char* kAskCloseTitle = "正在排版";
inline constexpr const char* kAskClose =
    "排版尚未结束。要停止排版并退出吗？\n已处理完的文档保留在输出目录中。";
inline constexpr const char* kKeepWorking = "继续排版";
inline constexpr const char* kStopAndQuit = "停止并退出";
inline constexpr const char* kCannotOpen =
    "无法打开：{}。请确认文件仍在，并且系统中有能打开它的程序。";

// The batch: status line, message list, closing box.
inline constexpr const char* kProcessing = "正在处理：{}";
inline constexpr const char* kConverting = "正在转换 {} 个旧格式文档…";
inline constexpr const char* kCheckingDocuments = "正在检查 {} 个文档…";
inline constexpr const char* kWritingLegacy = "正在写出 {} 个旧格式文档…";
inline constexpr const char* kBatchSummary = "排版结束：成功 {} 个，失败 {} 个，有警告 {} 个。";
inline constexpr const char* kOutputFolderIs = "输出目录：{}";
inline constexpr const char* kPrintFailed = "打印失败！共 {} 个文件，均未能打印：{}";
inline constexpr const char* kListSeparator = "、";

// ---- Fonts, PDF output and the preview ---------------------------------------------------------

// The batch's notice about fonts that are not installed: {} = the names and their stand-ins.
inline constexpr const char* kFontStandIns =
    "本批文档用到的字体本机没有安装，预览、PDF 和打印时以相近字体代替：{}。"
    "安装原字体（例如放入 ~/.local/share/fonts）后即按原字体显示";
// One name and the face that stands in for it.
inline constexpr const char* kFontStandInItem = "{}（以 {} 代替）";
inline constexpr const char* kFontNoFace = "无可用字体";

// quillfold fonts.
inline constexpr const char* kFontsHeaderName = "字体名称";
inline constexpr const char* kFontsHeaderInstalled = "已安装";
inline constexpr const char* kFontsHeaderUsed = "实际使用";
inline constexpr const char* kYes = "是";
inline constexpr const char* kNo = "否";
inline constexpr const char* kFontsNote =
    "未安装的字体由同类的免费字体代替（字体配置：{}）。安装原字体后，预览、PDF 和打印即用原字体。";
inline constexpr const char* kFontsBuiltIn = "程序内置";
inline constexpr const char* kFontsHelpTitle = "公文字体在本机的显示";

// PDF output: quillfold render and typeset --pdf.
inline constexpr const char* kRenderCannotRead = "无法读取文件（{}）";
inline constexpr const char* kRenderNotAFile = "这不是一个文件";
inline constexpr const char* kPdfWritten = "已生成 PDF：{}";
inline constexpr const char* kPdfFailed = "无法生成 PDF：{}：{}";
inline constexpr const char* kPdfSummary = "共 {} 个文档：生成 PDF {} 个，失败 {} 个。PDF 在 {}";
inline constexpr const char* kPdfCannotCreateFolder = "无法创建输出目录 {}：{}";

// The window: PDF checkbox and the preview pane.
inline constexpr const char* kAlsoPdf = "同时输出 PDF";
inline constexpr const char* kPreviewSource = "原文";
inline constexpr const char* kPreviewOutput = "排版后";
inline constexpr const char* kPreviewPick = "选择一个文档即可在此预览";
inline constexpr const char* kPreviewRendering = "正在生成“{}”的预览…";
inline constexpr const char* kPreviewFailed = "无法预览“{}”：{}";
inline constexpr const char* kPreviewNoOutput =
    "输出目录中还没有“{}”的排版结果。排版后即可在此查看。";
inline constexpr const char* kPreviewDamagedPdf = "LibreOffice 生成的 PDF 无法打开";
inline constexpr const char* kPreviewPages = "第 {} 页，共 {} 页";
inline constexpr const char* kPreviewPrevPage = "上一页";
inline constexpr const char* kPreviewNextPage = "下一页";
inline constexpr const char* kPreviewZoomIn = "放大";
inline constexpr const char* kPreviewZoomOut = "缩小";
inline constexpr const char* kPreviewFitWidth = "适合宽度";
inline constexpr const char* kPreviewCacheFailed = "无法写入预览缓存目录 {}：{}";
inline constexpr const char* kPdfWriting = "正在生成 {} 个 PDF…";

} // namespace msg
