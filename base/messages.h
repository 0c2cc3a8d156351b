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

// {0} paragraphs, {1} MiB needed, {2} MiB available.
inline constexpr const char* kDocumentTooLargeForMemory =
    "文档过大：正文有 {} 段，排版约需 {} MB 内存，而本机只剩 {} MB 可用。"
    "请关闭其他程序，或把文档拆成几份再排版";
inline constexpr const char* kOutOfMemory =
    "内存不足，文档未能排完（没有写出任何文件）。请关闭其他程序，或把文档拆成几份再排版";

// ---- The integrity check of an output against its source ------------------------------------

// ---- The command line --------------------------------------------------------------------------

// ---- The engine server and its client ----------------------------------------------------------

// ---- Merge and print ----------------------------------------------------------------------------

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

// Dialogs and boxes.
inline constexpr const char* kBoxTitle = "提示";
inline constexpr const char* kOk = "确定";
inline constexpr const char* kFolderPrompt = "请选择文件夹";
inline constexpr const char* kChoosePictureTitle = "选择图片";
inline constexpr const char* kCannotListFolder =
    "无法读取目录：{}。请确认该目录存在并且有读取权限。";
inline constexpr const char* kSelectFiles = "请选择要排版的文件！";
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
inline constexpr const char* kAskCloseMergePrint = "文档合并或打印尚未结束。要在结束后退出吗？";
inline constexpr const char* kQuitWhenDone = "结束后退出";
inline constexpr const char* kCannotOpen =
    "无法打开：{}。请确认文件仍在，并且系统中有能打开它的程序。";

// The batch: status line, message list, closing box.
inline constexpr const char* kProcessing = "正在处理：{}";
inline constexpr const char* kConverting = "正在转换 {} 个旧格式文档…";
inline constexpr const char* kWritingLegacy = "正在写出 {} 个旧格式文档…";
inline constexpr const char* kFinishing = "正在结束…";
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
inline constexpr const char* kPdfNoOutput = "没有排版结果，不生成 PDF";
inline constexpr const char* kPdfCannotCreateFolder = "无法创建输出目录 {}：{}";
inline constexpr const char* kPdfSameName = "与本批的“{}”同名，PDF 会互相覆盖；请分两批生成";

// The window: PDF checkbox and the preview pane.
inline constexpr const char* kAlsoPdf = "同时输出 PDF";
inline constexpr const char* kPreviewTitle = "预览";
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
