// The main window without batches: its layout, the first start, setup.ini written by every
// settings control and read back with the loading flag's rules, the line-spacing rule, the
// file list's pattern and selection, folders, printers, exit, About and help.

#include <QAction>
#include <QMenu>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>
#include <set>

#include "../common/default_properties.h"
#include "app/gui/chinese.h"
#include "app/gui/filelist.h"
#include "app/gui/settings_controls.h"
#include "gui_test_support.h"

using gui_test::Harness;

class FrmMainSettingsTest : public QObject {
  Q_OBJECT

private slots:
  void layout_navigation();
  void layout_controlsAndLists();
  void layout_menus();
  void firstStartShowsTheDefaults();
  void aFreshInstallSavesRealFonts_data();
  void aFreshInstallSavesRealFonts();
  void fileListSortsByPinyin();
  void layoutAtLaptopWidth();
  void qtDialogsSpeakChinese();
  void eachSettingsControlWritesItsSection_data();
  void eachSettingsControlWritesItsSection();
  void typingTwelveWritesOneThenTwelve();
  void loadingRewritesParagraphAndToolOnly();
  void storedValuesReachControlsAndEngine_data();
  void storedValuesReachControlsAndEngine();
  void lineSpacingRule();
  void controlStates_data();
  void controlStates();
  void controlTableCoversTheSettings();
  void patternMatching_data();
  void patternMatching();
  void fileListPatternAndProgressRange();
  void selectionGivesNamesInListOrder();
  void foldersAndPictures();
  void printers();
  void exitWritesTheFolders();
  void aboutWindow();
  void helpPage();
};

void FrmMainSettingsTest::layout_navigation() {
  Harness h;
  const char* captions[] = {"欢迎",          " 1. 选择文件",  " 2. 输出目录",  "3. 页面设置",
                            "4. 页眉与页脚", "5. 字体与字号", "6. 段落与缩进", "7. 水印设置",
                            "8. 其他设置",   "9. 支持",       "10. 工作台"};
  const char* colours[] = {"",        "#C0C0FF", "#C0FFFF", "#C0FFC0", "#FFE0C0", "#FFFFC0",
                           "#FFC0C0", "#FFC0FF", "#FFFFFF", "#E0E0E0", "#C0C0FF"};
  auto* tab = h.find<QTabWidget>("SSTab1");
  QCOMPARE(tab->count(), 11);
  int width = -1;
  for (int i = 0; i < 11; ++i) {
    QPushButton* b = h.find<QPushButton>(QStringLiteral("Option1_%1").arg(i));
    QVERIFY(b);
    QCOMPARE(b->text().trimmed(), QString::fromUtf8(captions[i]).trimmed());
    QVERIFY(b->text().startsWith(QString::fromUtf8(captions[i])));
    if (i > 0) {
      // Padded with trailing spaces to one width (a Chinese character counts two columns).
      int w = 0;
      for (QChar c : b->text())
        w += c.unicode() >= 0x1100 ? 2 : 1;
      if (width < 0)
        width = w;
      QCOMPARE(w, width);
      QVERIFY(b->styleSheet().contains(QString::fromUtf8(colours[i]), Qt::CaseInsensitive));
    }
    QTest::mouseClick(b, Qt::LeftButton);
    QCOMPARE(tab->currentIndex(), i);
    QVERIFY(b->isChecked());
  }
  QCOMPARE(h.button("opClose")->text(), QStringLiteral("关闭"));
  QTest::mouseClick(h.button("opClose"), Qt::LeftButton);
  QVERIFY(!h.window->isVisible());
}

void FrmMainSettingsTest::layout_controlsAndLists() {
  Harness h;
  struct ListCase {
    const char* name;
    QStringList entries;
  };
  const QStringList fonts = {"宋体", "黑体", "仿宋_GB2312", "楷体_GB2312"};
  const QStringList align = {"两端对齐", "居中", "右对齐"};
  const QStringList sizes = {"初号", "小初", "一号", "小一", "二号", "小二", "三号", "小三",
                             "四号", "小四", "大五", "五号", "小五", "六号", "小六"};
  QStringList sizesNoDaWu = sizes;
  sizesNoDaWu.removeAt(10);
  const ListCase lists[] = {
      {"cbFilter", {"*.doc", "*.txt"}},
      {"cboPageSize", {"A4", "B5", "A3"}},
      {"cboPageO", {"纵向", "横向"}},
      {"cboGutterPos", {"左侧", "右侧", "上侧"}},
      {"cbAlign", align},
      {"cbFontYm", fonts},
      {"cbFontSizeYm", sizes},
      {"cbStyle", {"1, 2, 3 , ...", "- 1 - , - 2 - , - 3 -, ..."}},
      {"cbAlignYj", align},
      {"cbFontZw", fonts},
      {"cbFontSizeZw", sizes},
      {"cbFontBt", fonts},
      {"cbFontSizeBt", sizesNoDaWu},
      {"cbHangJu", {"单倍行距", "1.5倍行距", "2倍行距", "固定值"}},
      {"cbShuiYinFontName", fonts},
      {"cbShuiYinStyle", {"水平", "斜式"}},
      {"cbColor", {"灰色", "红色", "黑色", "蓝色", "绿色"}},
      {"cbBtAlign", align},
      {"cbFontJJ", {"增加", "减小"}},
  };
  for (const ListCase& c : lists) {
    QComboBox* box = h.combo(c.name);
    QVERIFY2(box, c.name);
    QStringList got;
    for (int i = 0; i < box->count(); ++i)
      got << box->itemText(i);
    QCOMPARE(got, c.entries);
  }
  for (const char* name :
       {"txtPath", "txtOut", "txtPageLeft", "txtPageTop", "txtPageBottom", "txtPageRight",
        "txtGutter", "txtHeaderDistance", "txtFooterDistance", "txtYeMei", "txtBang", "txtLeft",
        "txtRight", "txtDuanQian", "txtDuanHou", "txtJpg", "txtShuiYin"})
    QVERIFY2(h.text(name), name);
  struct Captioned {
    const char* name;
    const char* caption;
  };
  const Captioned checks[] = {
      {"chkUseHeader", "使用页眉"},
      {"chkZHYeMei",
       "使用 【 页眉文字+文章标题 】 组合为页眉文字，并分散对齐（【页眉对齐】参数失效）"},
      {"chkUseFooter", "使用页码"},
      {"chkBzw", "加粗"},
      {"chkB", "加粗"},
      {"chkBt", "第一段为标题"},
      {"chkKongGe", "删除文本内空格"},
      {"chkBiaoDian", "修正逗号、冒号、问号、叹号、分号为全角"},
      {"chkKongHang", "去掉空换行"},
      {"chkTouKongGe", "文章开头加2个全角空格(如果第一行不是标题，请选择)"},
      {"chkXiaoKuoHao", "全角小括号替换为半角小括号"},
      {"chkFenLan", "分 2 栏"},
      {"chkJuHao", "修正句号 (注意：有可能对小数点进行句号转换，谨慎使用)"},
  };
  for (const Captioned& c : checks) {
    QCheckBox* box = h.check(c.name);
    QVERIFY2(box, c.name);
    QCOMPARE(box->text(), QString::fromUtf8(c.caption));
  }
  const Captioned buttons[] = {
      {"cmdOpen", "打开目录"}, {"cmdBrowser", "..."},   {"cmdBrowse", "选择图片"},
      {"cmd排版_0", "排版"},   {"cmd排版_1", "仅页眉"}, {"cmd排版_2", "仅页面"},
      {"cmd排版_3", "仅字号"}, {"cmd合并", "文档合并"}, {"cmd打印", "文档打印"},
  };
  for (const Captioned& c : buttons) {
    QPushButton* b = h.button(c.name);
    QVERIFY2(b, c.name);
    QCOMPARE(b->text(), QString::fromUtf8(c.caption));
    QVERIFY(!b->isHidden());
  }
  const Captioned options[] = {{"op1", "无水印"}, {"op2", "图片水印"}, {"op3", "文字水印"}};
  for (const Captioned& c : options)
    QCOMPARE(h.radio(c.name)->text(), QString::fromUtf8(c.caption));

  // Every text of the window's labels, as they are written.
  QStringList texts;
  for (QLabel* l : h.window->findChildren<QLabel*>())
    texts << l->text();
  for (const char* t :
       {"本软件对纯文字性文档支持较好，暂时不能对含有表格及图片的文档进行排版。",
        "本软件旨在提高文档处理速度，希望能减轻经常进行文档处理的人员的工作量。",
        "感谢您使用本软件！",
        "选择要排版文件所在目录(选择后，该目录下有关文件列示在下面的列表框中)",
        "过滤：",
        "通过输入过滤关键词可过滤掉无关的文件",
        "第一步要选择文件，才能排版(可利用Shift、Ctrl+鼠标点击)",
        "排版后输出到目录   (排版后的文件存放在此目录下) ：",
        "本软件排版时不会对原文件做任何修改，经软件排版后的文件保存在：输出目录中。",
        "页边距左：",
        "页边距上：",
        "页边距下：",
        "页边距右：",
        "纸张大小：",
        "纸张方向：",
        "装订线：",
        "线位置：",
        "页眉距边界：",
        "页脚距边界：",
        "页眉文字：",
        "页眉对齐：",
        "页眉字体：",
        "页眉字号：",
        "页码样式：",
        "页码对齐：",
        "正文：",
        "字号：",
        "标题：",
        "行距：",
        "设置值：",
        "磅",
        "左缩进：",
        "右缩进：",
        "段前：",
        "段后：",
        "字符",
        "行",
        "标题对齐：",
        "使用全部设置参数对选定的文档进行处理。",
        "仅按【页眉】设置部分的参数对选定的文档进行处理。",
        "仅按【页面设置】部分中的参数对选定的文档进行处理。",
        "仅将【字号>10.5】的字号全部减小或增大1号。",
        "将选定的文档合并为一个文档。",
        "将选定的文档输出到选定打印机："})
    QVERIFY2(texts.contains(QString::fromUtf8(t)), t);
  QCOMPARE(texts.count(QStringLiteral("厘米")), 7);
  QCOMPARE(texts.count(QStringLiteral("字符")), 2);
  QCOMPARE(texts.count(QStringLiteral("行")), 2);
  QCOMPARE(h.label("Label1_30")->text(), QStringLiteral("设置值："));
  QCOMPARE(h.label("Label1_31")->text(), QStringLiteral("磅"));
  QCOMPARE(h.label("Label1_54")->text(), QString());
  QVERIFY(h.find<QFrame>("Line1") && h.find<QFrame>("Line2"));
  QVERIFY(h.find<QLabel>("Image1"));
  QVERIFY(h.find<QTextBrowser>("WebBrowser1"));
  QVERIFY(h.find<QListWidget>("List1"));
  QVERIFY(h.find<app::gui::FileListBox>("File1"));
  QCOMPARE(h.find<QListWidget>("File1")->selectionMode(), QAbstractItemView::ExtendedSelection);
}

void FrmMainSettingsTest::layout_menus() {
  Harness h;
  auto* file = h.find<QMenu>("mnuFile");
  auto* help = h.find<QMenu>("mnuHelp");
  QVERIFY(file && help);
  QCOMPARE(file->title(), QStringLiteral("文件"));
  QCOMPARE(help->title(), QStringLiteral("帮助"));
  QStringList entries;
  for (QAction* a : file->actions())
    entries << (a->isSeparator() ? QStringLiteral("-") : a->objectName() + "=" + a->text());
  QCOMPARE(entries, QStringList({"mnuOpen=打开...", "mnuStart=排版", "mnuPrint=打印",
                                 "mnuMerge=合并", "-", "mnuClose=退出"}));
  QCOMPARE(help->actions().size(), 1);
  QCOMPARE(help->actions()[0]->objectName(), QStringLiteral("mnuAbout"));
  QCOMPARE(help->actions()[0]->text(), QStringLiteral("关于"));

  // mnuOpen does what cmdOpen does; mnuClose closes the window.
  QString folder = h.folderWith("menu", {"a.doc"});
  h.nextFolder = folder;
  h.find<QAction>("mnuOpen")->trigger();
  QCOMPARE(h.list("File1")->count(), 1);
  QCOMPARE(h.find<QTabWidget>("SSTab1")->currentIndex(), 1);
  h.find<QAction>("mnuClose")->trigger();
  QVERIFY(!h.window->isVisible());
}

void FrmMainSettingsTest::firstStartShowsTheDefaults() {
  Harness h;
  // Folders: the program folder, and its "out" folder for the output (not created).
  auto* files = h.find<app::gui::FileListBox>("File1");
  QCOMPARE(files->path(), h.program);
  QCOMPARE(h.label("Label1_36")->text(), QStringLiteral("当前目录：") + h.program);
  QCOMPARE(h.text("txtOut")->text(), h.program + "/out");
  QVERIFY(!QDir(h.program + "/out").exists());
  QCOMPARE(h.combo("cbFilter")->currentIndex(), 0);
  QCOMPARE(files->pattern(), QStringLiteral("**.doc"));

  struct Index {
    const char* name;
    int index;
  };
  const Index lists[] = {
      {"cbFontZw", 0},  {"cbFontSizeZw", 10}, {"cbFontBt", 0},          {"cbFontSizeBt", 10},
      {"cbBtAlign", 0}, {"cbFontJJ", 0},      {"cbShuiYinFontName", 0}, {"cbShuiYinStyle", 0},
      {"cbColor", 0},   {"cboPageSize", 0},   {"cboPageO", 0},          {"cboGutterPos", 0},
      {"cbAlign", 0},   {"cbFontYm", 0},      {"cbFontSizeYm", 10},     {"cbStyle", 0},
      {"cbAlignYj", 0}, {"cbHangJu", 0},      {"cbPrinter", -1},
  };
  for (const Index& l : lists)
    QVERIFY2(h.combo(l.name)->currentIndex() == l.index, l.name);
  QCOMPARE(h.combo("cbFontSizeZw")->currentText(), QStringLiteral("大五"));
  QCOMPARE(h.combo("cbFontSizeBt")->currentText(), QStringLiteral("五号"));
  struct Text {
    const char* name;
    const char* text;
  };
  const Text texts[] = {{"txtPageTop", "3"},
                        {"txtPageBottom", "3"},
                        {"txtPageLeft", "2.5"},
                        {"txtPageRight", "2.5"},
                        {"txtGutter", "0"},
                        {"txtHeaderDistance", "1.5"},
                        {"txtFooterDistance", "1.75"},
                        {"txtYeMei", ""},
                        {"txtLeft", "0"},
                        {"txtRight", ""},
                        {"txtDuanQian", "0"},
                        {"txtDuanHou", "0"},
                        {"txtShuiYin", "Morvane软件"},
                        {"txtJpg", ""},
                        {"txtPath", ""}};
  for (const Text& t : texts)
    QVERIFY2(h.text(t.name)->text() == QString::fromUtf8(t.text), t.name);
  for (const char* name :
       {"chkBzw", "chkB", "chkBt", "chkUseHeader", "chkUseFooter", "chkZHYeMei", "chkBiaoDian",
        "chkKongGe", "chkKongHang", "chkTouKongGe", "chkXiaoKuoHao", "chkFenLan", "chkJuHao"})
    QVERIFY2(!h.check(name)->isChecked(), name);
  QVERIFY(h.radio("op1")->isChecked());
  QVERIFY(h.text("txtBang")->isHidden());
  QVERIFY(h.label("Label1_30")->isHidden());
  QVERIFY(h.label("Label1_31")->isHidden());

  // What the engine would receive.
  const auto& expected = qftest::kDefaultProperties;
  QVERIFY(h.window->engineProperties() == expected);
}

// On a fresh install, whatever the user touches first writes the font lists as real entries
// (the default, 宋体), never "-1", and the engine receives font names.
void FrmMainSettingsTest::aFreshInstallSavesRealFonts_data() {
  QTest::addColumn<QString>("control");
  QTest::addColumn<QString>("section");
  QTest::addColumn<QStringList>("keys");
  const QStringList font = {"fontnamezw", "fontnamebt"};
  QTest::newRow("第一段为标题") << "chkBt"
                                << "font" << font;
  QTest::newRow("加粗") << "chkBzw"
                        << "font" << font;
  QTest::newRow("标题对齐") << "cbBtAlign"
                            << "font" << font;
  QTest::newRow("增加/减小") << "cbFontJJ"
                             << "font" << font;
  QTest::newRow("字号") << "cbFontSizeZw"
                        << "font" << font;
  QTest::newRow("水印样式") << "cbShuiYinStyle"
                            << "shuiyin" << QStringList{"txtfontname"};
  QTest::newRow("文字水印") << "op3"
                            << "shuiyin" << QStringList{"txtfontname"};
  QTest::newRow("页眉") << "chkUseHeader"
                        << "headerfooter" << QStringList{"headerfontname"};
}

void FrmMainSettingsTest::aFreshInstallSavesRealFonts() {
  QFETCH(QString, control);
  QFETCH(QString, section);
  QFETCH(QStringList, keys);
  Harness h;
  QWidget* w = h.window->findChild<QWidget*>(control);
  QVERIFY(w);
  if (auto* box = qobject_cast<QComboBox*>(w))
    box->setCurrentIndex(1);
  else if (auto* check = qobject_cast<QAbstractButton*>(w))
    check->click();
  for (const QString& key : keys)
    QVERIFY2(h.ini(section.toUtf8().constData(), key.toUtf8().constData()) == "0", qPrintable(key));
  // The file as it is now, read again for a batch, gives the engine real font names.
  h.window->getFontInfo();
  h.window->getShuiYinInfo();
  h.window->getHeaderFooterInfo();
  for (const auto& [name, value] : h.window->engineProperties())
    if (name == "正文字体" || name == "标题字体" || name == "水印字体" || name == "页眉字体")
      QVERIFY2(value == "宋体", name.c_str());
}

void FrmMainSettingsTest::fileListSortsByPinyin() {
  Harness h;
  h.openFolder(h.folderWith("pinyin", {"通知.doc", "决定.doc", "办法.doc", "Zhang.doc", "anhui.doc",
                                       "10号文.doc", "9号文.doc"}));
  QStringList names;
  for (int i = 0; i < h.list("File1")->count(); ++i)
    names << h.list("File1")->item(i)->text();
  // Numbers by value; Chinese by pinyin (ban < jue < tong, not by character code, where 决 <
  // 办 < 通); Latin letters after the Chinese names, without regard to case.
  QCOMPARE(names, QStringList({"9号文.doc", "10号文.doc", "办法.doc", "决定.doc", "通知.doc",
                               "anhui.doc", "Zhang.doc"}));
}

// At 1366 px the lists of the workbench stay beside their notes, the page-number style shows
// its whole text, and the two rules of the header page do not run together.
void FrmMainSettingsTest::layoutAtLaptopWidth() {
  Harness h;
  h.printers = {"Office-Laser"};
  h.window->resize(1366, 768);
  auto besideItsNote = [&](const char* list, const char* note) {
    h.window->showPage(10);
    QApplication::processEvents();
    QComboBox* box = h.combo(list);
    QLabel* label = nullptr;
    for (QLabel* l : h.window->findChildren<QLabel*>())
      if (l->text() == QString::fromUtf8(note))
        label = l;
    QVERIFY2(label, note);
    const int gap = box->mapTo(h.window.get(), QPoint(0, 0)).x() -
                    label->mapTo(h.window.get(), QPoint(label->width(), 0)).x();
    QVERIFY2(gap >= 0 && gap < 40, qPrintable(QStringLiteral("%1: %2 px").arg(list).arg(gap)));
  };
  besideItsNote("cbFontJJ", "仅将【字号>10.5】的字号全部减小或增大1号。");
  besideItsNote("cbPrinter", "将选定的文档输出到选定打印机：");

  h.window->showPage(4);
  QApplication::processEvents();
  QComboBox* style = h.combo("cbStyle");
  style->setCurrentIndex(1);
  QApplication::processEvents();
  const int needed = style->fontMetrics().horizontalAdvance(style->itemText(1));
  QVERIFY2(style->width() > needed + 20, qPrintable(QString::number(style->width())));
  auto* line1 = h.find<QFrame>("Line1");
  auto* line2 = h.find<QFrame>("Line2");
  const int top2 = line2->mapTo(h.window.get(), QPoint(0, 0)).y();
  const int bottom1 = line1->mapTo(h.window.get(), QPoint(0, line1->height())).y();
  QVERIFY2(top2 - bottom1 >= 4, qPrintable(QString::number(top2 - bottom1)));
}

void FrmMainSettingsTest::qtDialogsSpeakChinese() {
  QVERIFY2(app::gui::installQtChinese(*QCoreApplication::instance()),
           "Qt's Chinese translation (qt6-translations-l10n) is not installed");
  QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
  QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("查找范围："));
}

// The control-to-section table: each control, what the user does to it, and the key that
// must then hold the control's new state.
void FrmMainSettingsTest::eachSettingsControlWritesItsSection_data() {
  QTest::addColumn<QString>("control");
  QTest::addColumn<QString>("section");
  QTest::addColumn<QString>("key");
  struct Row {
    const char* control;
    const char* section;
    const char* key;
  };
  const Row rows[] = {
      {"cbFontZw", "font", "fontnamezw"},
      {"cbFontSizeZw", "font", "fontsizezw"},
      {"cbFontBt", "font", "fontnamebt"},
      {"cbFontSizeBt", "font", "fontsizebt"},
      {"chkBzw", "font", "fontboldzw"},
      {"chkB", "font", "fontboldbt"},
      {"chkBt", "font", "firstparagraph"},
      {"cbBtAlign", "font", "btAlign"},
      {"cbFontJJ", "font", "fontJJ"},
      {"chkUseHeader", "headerfooter", "useheader"},
      {"chkUseFooter", "headerfooter", "usefooter"},
      {"txtYeMei", "headerfooter", "header"},
      {"cbAlign", "headerfooter", "headeralign"},
      {"cbFontYm", "headerfooter", "headerfontname"},
      {"cbFontSizeYm", "headerfooter", "headerfontsize"},
      {"cbStyle", "headerfooter", "numberstyle"},
      {"cbAlignYj", "headerfooter", "numberalign"},
      {"chkZHYeMei", "headerfooter", "zhyemei"},
      {"cboPageSize", "pageinfo", "PageSize"},
      {"cboPageO", "pageinfo", "Orientation"},
      {"cboGutterPos", "pageinfo", "GutterPos"},
      {"txtPageTop", "pageinfo", "TopMargin"},
      {"txtPageBottom", "pageinfo", "BottomMargin"},
      {"txtPageLeft", "pageinfo", "LeftMargin"},
      {"txtPageRight", "pageinfo", "RightMargin"},
      {"txtGutter", "pageinfo", "Gutter"},
      {"txtHeaderDistance", "pageinfo", "HeaderDistance"},
      {"txtFooterDistance", "pageinfo", "FooterDistance"},
      {"cbHangJu", "paragraph", "LineSpacingRule"},
      {"txtLeft", "paragraph", "LeftIndent"},
      {"txtRight", "paragraph", "RightIndent"},
      {"txtDuanQian", "paragraph", "LineUnitBefore"},
      {"txtDuanHou", "paragraph", "LineUnitAfter"},
      {"chkBiaoDian", "tool", "BiaoDian"},
      {"chkKongGe", "tool", "KongGe"},
      {"chkKongHang", "tool", "KongHang"},
      {"chkTouKongGe", "tool", "TouKongGe"},
      {"chkXiaoKuoHao", "tool", "XiaoKuoHao"},
      {"chkFenLan", "tool", "FenLan"},
      {"chkJuHao", "tool", "JuHao"},
      {"op2", "shuiyin", "op"},
      {"op3", "shuiyin", "op"},
      {"cbShuiYinFontName", "shuiyin", "txtfontname"},
      {"cbShuiYinStyle", "shuiyin", "txtstyle"},
      {"cbColor", "shuiyin", "color"},
      {"txtShuiYin", "shuiyin", "txt"},
      {"txtJpg", "shuiyin", "jpg"},
  };
  for (const Row& r : rows)
    QTest::newRow(r.control) << QString::fromUtf8(r.control) << r.section << r.key;
}

void FrmMainSettingsTest::eachSettingsControlWritesItsSection() {
  QFETCH(QString, control);
  QFETCH(QString, section);
  QFETCH(QString, key);
  Harness h;
  QWidget* w = h.find<QWidget>(control);
  QVERIFY(w);
  const std::string sec = section.toStdString(), k = key.toStdString();
  QString expected;
  if (auto* box = qobject_cast<QComboBox*>(w)) {
    QTest::keyClick(box, Qt::Key_Down);
    expected = QString::number(box->currentIndex());
  } else if (auto* option = qobject_cast<QRadioButton*>(w)) {
    QTest::keyClick(option, Qt::Key_Space);
    QVERIFY(option->isChecked());
    expected = control == "op2" ? "1" : "2";
  } else if (auto* check = qobject_cast<QCheckBox*>(w)) {
    QTest::keyClick(check, Qt::Key_Space);
    QVERIFY(check->isChecked());
    expected = "1";
  } else if (auto* text = qobject_cast<QLineEdit*>(w)) {
    QTest::keyClicks(text, QStringLiteral("7"));
    expected = text->text();
  }
  QCOMPARE(QString::fromStdString(h.ini(sec.c_str(), k.c_str())), expected);
  // The other keys of the section were written with it.
  for (const char* other : {"font/fontJJ", "headerfooter/zhyemei", "pageinfo/FooterDistance",
                            "paragraph/LineUnitAfter", "tool/JuHao", "shuiyin/color"}) {
    QString o = QString::fromUtf8(other);
    if (o.section('/', 0, 0) == section)
      QVERIFY2(h.ini(sec.c_str(), o.section('/', 1).toUtf8().constData()) != "<missing>", other);
  }
}

void FrmMainSettingsTest::typingTwelveWritesOneThenTwelve() {
  Harness h;
  QLineEdit* top = h.text("txtPageTop");
  top->selectAll();
  QTest::keyClick(top, Qt::Key_Delete);
  QCOMPARE(h.ini("pageinfo", "TopMargin"), std::string(""));
  QTest::keyClick(top, Qt::Key_1);
  QCOMPARE(h.ini("pageinfo", "TopMargin"), std::string("1"));
  QTest::keyClick(top, Qt::Key_2);
  QCOMPARE(h.ini("pageinfo", "TopMargin"), std::string("12"));
  // No validation: any text is stored as typed.
  top->insert(QStringLiteral("厘米x")); // as an input method commits it
  QCOMPARE(h.ini("pageinfo", "TopMargin"), std::string("12厘米x"));
}

void FrmMainSettingsTest::loadingRewritesParagraphAndToolOnly() {
  Harness h(QF_FAKE_ENGINE, false);
  h.writeIni("[font]\nfontboldzw=1\n"
             "[shuiyin]\nop=2\n"
             "[pageinfo]\nTopMargin=4\n"
             "[headerfooter]\nuseheader=1\n"
             "[paragraph]\nLeftIndent=5\n"
             "[tool]\nbiaodian=1\nkongge=abc\n");
  h.open();
  QVERIFY(!h.window->loading());
  // The four suppressed sections hold only what was there.
  QCOMPARE(h.ini("font", "fontboldzw"), std::string("1"));
  QCOMPARE(h.ini("font", "fontsizezw"), std::string("<missing>"));
  QCOMPARE(h.ini("shuiyin", "txt"), std::string("<missing>"));
  QCOMPARE(h.ini("pageinfo", "BottomMargin"), std::string("<missing>"));
  QCOMPARE(h.ini("headerfooter", "header"), std::string("<missing>"));
  // Paragraph and tool were written back whole, with the loaded values.
  QCOMPARE(h.ini("paragraph", "LineSpacingRule"), std::string("0"));
  QCOMPARE(h.ini("paragraph", "LeftIndent"), std::string("5"));
  QCOMPARE(h.ini("paragraph", "RightIndent"), std::string(""));
  QCOMPARE(h.ini("paragraph", "LineUnitAfter"), std::string("0"));
  QCOMPARE(h.ini("tool", "BiaoDian"), std::string("1"));
  QCOMPARE(h.ini("tool", "JuHao"), std::string("0"));
  // A stored text the check box cannot take: the box keeps its state, the file gets that
  // state, and the engine receives what the file now holds.
  QCOMPARE(h.ini("tool", "KongGe"), std::string("0"));
  QVERIFY(!h.check("chkKongGe")->isChecked());
  for (const auto& [name, value] : h.window->engineProperties())
    if (name == "空格")
      QCOMPARE(value, std::string("0"));
  // The controls show the loaded values.
  QVERIFY(h.check("chkBzw")->isChecked());
  QVERIFY(h.radio("op3")->isChecked());
  QCOMPARE(h.text("txtPageTop")->text(), QStringLiteral("4"));
  QVERIFY(h.check("chkUseHeader")->isChecked());
  QCOMPARE(h.text("txtLeft")->text(), QStringLiteral("5"));
  QVERIFY(h.check("chkBiaoDian")->isChecked());

  // A load of a suppressed section writes nothing even though its controls change.
  h.closeWindow();
  h.writeIni("[font]\nfontboldzw=0\n");
  QByteArray before;
  h.open();
  before = h.iniBytes();
  h.writeIni(before + "[pageinfo]\nTopMargin=9\n");
  before = h.iniBytes();
  h.window->getPageInfo();
  QCOMPARE(h.text("txtPageTop")->text(), QStringLiteral("9"));
  QCOMPARE(h.iniBytes(), before);
  // ... while a change by the user writes at once.
  QTest::keyClicks(h.text("txtPageTop"), QStringLiteral("5"));
  QCOMPARE(h.ini("pageinfo", "TopMargin"), std::string("95"));
}

void FrmMainSettingsTest::storedValuesReachControlsAndEngine_data() {
  QTest::addColumn<QByteArray>("ini");
  QTest::addColumn<QString>("control");
  QTest::addColumn<int>("state"); // list index, check 0/1, or the option button 1..3
  QTest::addColumn<QString>("property");
  QTest::addColumn<QString>("engine");
  QTest::newRow("body size 10.5 is 大五")
      << QByteArray("[font]\nfontsizezw=10.5\n") << "cbFontSizeZw" << 10 << "正文字号"
      << "11";
  QTest::newRow("title size 10.5 is 五号")
      << QByteArray("[font]\nfontsizebt=10.5\n") << "cbFontSizeBt" << 10 << "标题字号"
      << "10.5";
  QTest::newRow("11.5 rounds to even")
      << QByteArray("[font]\nfontsizezw=11.5\n") << "cbFontSizeZw" << 12 << "正文字号"
      << "9";
  QTest::newRow("9.5 rounds to even")
      << QByteArray("[font]\nfontsizezw=9.5\n") << "cbFontSizeZw" << 10 << "正文字号"
      << "11";
  QTest::newRow("header 五号 stays 10")
      << QByteArray("[headerfooter]\nheaderfontsize=11\n") << "cbFontSizeYm" << 11 << "页眉字号"
      << "10";
  QTest::newRow("font by position")
      << QByteArray("[font]\nfontnamezw=2\n") << "cbFontZw" << 2 << "正文字体"
      << "仿宋_GB2312";
  QTest::newRow("font by name selects it")
      << QByteArray("[font]\nfontnamebt=黑体\n") << "cbFontBt" << 1 << "标题字体"
      << "黑体";
  // A list never shows "no selection"; the engine gets the stored text converted as the
  // command line converts it: a font or size list's default entry, an Index key's text itself.
  QTest::newRow("body font -1 is 宋体")
      << QByteArray("[font]\nfontnamezw=-1\n") << "cbFontZw" << 0 << "正文字体"
      << "宋体";
  QTest::newRow("title font -1 is 宋体")
      << QByteArray("[font]\nfontnamebt=-1\n") << "cbFontBt" << 0 << "标题字体"
      << "宋体";
  QTest::newRow("watermark font -1 is 宋体")
      << QByteArray("[shuiyin]\ntxtfontname=-1\n") << "cbShuiYinFontName" << 0 << "水印字体"
      << "宋体";
  QTest::newRow("font past the end is 宋体")
      << QByteArray("[font]\nfontnamezw=9\n") << "cbFontZw" << 0 << "正文字体"
      << "宋体";
  QTest::newRow("-1 shows the default")
      << QByteArray("[font]\nbtAlign=-1\n") << "cbBtAlign" << 0 << "标题对齐"
      << "-1";
  QTest::newRow("position past the end shows the default")
      << QByteArray("[shuiyin]\ncolor=9\n") << "cbColor" << 0 << "水印颜色"
      << "9";
  QTest::newRow("op 7 is the text watermark")
      << QByteArray("[shuiyin]\nop=7\n") << "op" << 3 << "水印"
      << "7";
  QTest::newRow("op 1 is the picture watermark")
      << QByteArray("[shuiyin]\nop=1\n") << "op" << 2 << "水印"
      << "1";
  QTest::newRow("capitalised tool key read back")
      << QByteArray("[tool]\nTouKongGe=1\n") << "chkTouKongGe" << 1 << "头空格"
      << "1";
  QTest::newRow("quoted and padded value")
      << QByteArray("[pageinfo]\nPageSize = \"2\" \n") << "cboPageSize" << 2 << "纸张大小"
      << "2";
  QTest::newRow("GB18030 file") << QByteArray("[shuiyin]\ntxt=\xB2\xE2\xCA\xD4\n") << "txtShuiYin"
                                << 0 << "水印文字"
                                << "测试";
}

void FrmMainSettingsTest::storedValuesReachControlsAndEngine() {
  QFETCH(QByteArray, ini);
  QFETCH(QString, control);
  QFETCH(int, state);
  QFETCH(QString, property);
  QFETCH(QString, engine);
  Harness h(QF_FAKE_ENGINE, false);
  h.writeIni(ini);
  h.open();
  QWidget* w = h.window->findChild<QWidget*>(control);
  if (control == "op") {
    QVERIFY(h.radio(("op" + std::to_string(state)).c_str())->isChecked());
  } else if (auto* box = qobject_cast<QComboBox*>(w)) {
    QCOMPARE(box->currentIndex(), state);
  } else if (auto* check = qobject_cast<QCheckBox*>(w)) {
    QCOMPARE(check->isChecked() ? 1 : 0, state);
  } else {
    auto* text = qobject_cast<QLineEdit*>(w);
    QVERIFY(text);
    QCOMPARE(text->text(), engine);
  }
  bool found = false;
  for (const auto& [name, value] : h.window->engineProperties())
    if (QString::fromStdString(name) == property) {
      QCOMPARE(QString::fromStdString(value), engine);
      found = true;
    }
  QVERIFY(found);
}

void FrmMainSettingsTest::lineSpacingRule() {
  Harness h;
  QComboBox* rule = h.combo("cbHangJu");
  QLineEdit* value = h.text("txtBang");
  // The value box and its two labels are shown or hidden together.
  auto shown = [&] {
    bool v = !value->isHidden();
    if (h.label("Label1_30")->isHidden() == v || h.label("Label1_31")->isHidden() == v)
      qWarning("the value box and its labels differ");
    return v && !h.label("Label1_30")->isHidden() && !h.label("Label1_31")->isHidden();
  };
  QVERIFY(!shown() && h.label("Label1_30")->isHidden());
  rule->setCurrentIndex(3);
  QVERIFY(shown());
  QTest::keyClicks(value, QStringLiteral("28"));
  QCOMPARE(h.ini("paragraph", "LineSpacingRule"), std::string("28"));
  value->selectAll();
  QTest::keyClick(value, Qt::Key_Backspace);
  QCOMPARE(h.ini("paragraph", "LineSpacingRule"), std::string(""));
  rule->setCurrentIndex(0);
  QVERIFY(!shown() && h.label("Label1_30")->isHidden() && h.label("Label1_31")->isHidden());
  QCOMPARE(h.ini("paragraph", "LineSpacingRule"), std::string("0"));
  rule->setCurrentIndex(2);
  QCOMPARE(h.ini("paragraph", "LineSpacingRule"), std::string("2"));

  // Read back: 2 is 2倍行距, 2.5 a fixed spacing of 2.5 points.
  h.closeWindow();
  h.writeIni("[paragraph]\nLineSpacingRule=2\n");
  h.open();
  QCOMPARE(h.combo("cbHangJu")->currentIndex(), 2);
  QVERIFY(h.text("txtBang")->isHidden());
  h.closeWindow();
  h.writeIni("[paragraph]\nLineSpacingRule=2.5\n");
  h.open();
  QCOMPARE(h.combo("cbHangJu")->currentIndex(), 3);
  QCOMPARE(h.text("txtBang")->text(), QStringLiteral("2.5"));
  QVERIFY(!h.text("txtBang")->isHidden());
  QCOMPARE(h.ini("paragraph", "LineSpacingRule"), std::string("2.5"));
  for (const auto& [name, v] : h.window->engineProperties())
    if (name == "行距")
      QCOMPARE(v, std::string("2.5"));
}

// The state a control takes for a stored text; -2 stands for "keeps its state".
void FrmMainSettingsTest::controlStates_data() {
  QTest::addColumn<QString>("sectionKey");
  QTest::addColumn<QString>("stored");
  QTest::addColumn<int>("state");
  const int keep = -2;
  const struct {
    const char* sectionKey;
    const char* stored;
    int state;
  } rows[] = {
      {"font/fontsizezw", "10.5", 10},
      {"font/fontsizebt", "10.5", 10},
      {"font/fontsizezw", "11.5", 12},
      {"font/fontsizebt", "14", keep},
      {"font/fontnamezw", "宋体", keep},
      {"font/fontnamezw", "-1", -1},
      {"font/fontnamezw", "-2", keep},
      {"font/btAlign", "2", 2},
      {"font/btAlign", "3", keep},
      {"pageinfo/PageSize", "", keep},
      {"font/fontboldzw", "0", 0},
      {"font/fontboldzw", "1", 1},
      {"font/fontboldzw", "0.4", 0},
      {"font/fontboldzw", "2", keep},
      {"tool/JuHao", "yes", keep},
      {"shuiyin/op", "0", 0},
      {"shuiyin/op", "1", 1},
      {"shuiyin/op", "2", 2},
      {"shuiyin/op", "7", 2},
      {"shuiyin/op", "", 2},
      {"shuiyin/op", "1.0", 2},
      {"paragraph/LineSpacingRule", "0", 0},
      {"paragraph/LineSpacingRule", "2", 2},
      {"paragraph/LineSpacingRule", "2.0", 2},
      {"paragraph/LineSpacingRule", "2.5", 3},
      {"paragraph/LineSpacingRule", "28", 3},
      {"paragraph/LineSpacingRule", "1.5", 2},
      {"paragraph/LineSpacingRule", "-1", -1},
      {"paragraph/LineSpacingRule", "-3", keep},
      {"paragraph/LineSpacingRule", "abc", keep},
      {"shuiyin/txt", "0", keep},
      {"pageinfo/TopMargin", "3", keep},
  };
  for (const auto& r : rows)
    QTest::newRow((QString::fromUtf8(r.sectionKey) + " = " + QString::fromUtf8(r.stored))
                      .toUtf8()
                      .constData())
        << QString::fromUtf8(r.sectionKey) << QString::fromUtf8(r.stored) << r.state;
}

void FrmMainSettingsTest::controlStates() {
  QFETCH(QString, sectionKey);
  QFETCH(QString, stored);
  QFETCH(int, state);
  const settings::KeyInfo* key = settings::findKey(sectionKey.section('/', 0, 0).toStdString(),
                                                   sectionKey.section('/', 1).toStdString());
  QVERIFY(key);
  QCOMPARE(app::gui::controlState(*key, stored.toStdString()).value_or(-2), state);
}

// Every engine setting has one control, named after a control of the window, and each
// section is written and read in the window's own order.
void FrmMainSettingsTest::controlTableCoversTheSettings() {
  Harness h;
  std::set<const settings::KeyInfo*> covered;
  for (const app::gui::SettingsControl& row : app::gui::settingsControls()) {
    const settings::KeyInfo* key = settings::findKey(row.section, row.key);
    QVERIFY2(key && !key->property.empty(), row.key.data());
    QVERIFY2(covered.insert(key).second, row.key.data());
    QCOMPARE(app::gui::controlOf(*key), &row);
    for (const QString& name : QString::fromUtf8(row.control.data(), row.control.size()).split(','))
      QVERIFY2(h.find<QWidget>(name), qPrintable(name));
  }
  QCOMPARE(covered.size(), std::size_t(settings::kEnginePropertyCount));
  QCOMPARE(app::gui::controlOf(*settings::findKey("sys", "docpath")), nullptr);

  auto names = [](const std::vector<const settings::KeyInfo*>& keys) {
    QStringList out;
    for (const settings::KeyInfo* k : keys)
      out << QString::fromUtf8(k->key.data(), k->key.size());
    return out;
  };
  QCOMPARE(names(app::gui::saveOrder("font")),
           QStringList({"fontnamezw", "fontsizezw", "fontnamebt", "fontsizebt", "fontboldzw",
                        "fontboldbt", "firstparagraph", "btAlign", "fontJJ"}));
  QCOMPARE(names(app::gui::saveOrder("shuiyin")),
           QStringList({"txtfontname", "txt", "jpg", "txtstyle", "op", "color"}));
  QCOMPARE(names(app::gui::saveOrder("pageinfo")),
           QStringList({"PageSize", "Orientation", "TopMargin", "BottomMargin", "LeftMargin",
                        "RightMargin", "Gutter", "GutterPos", "HeaderDistance", "FooterDistance"}));
  QCOMPARE(names(app::gui::saveOrder("headerfooter")),
           QStringList({"useheader", "usefooter", "header", "headeralign", "headerfontname",
                        "headerfontsize", "numberstyle", "numberalign", "zhyemei"}));
  QCOMPARE(names(app::gui::saveOrder("tool")),
           QStringList(
               {"BiaoDian", "KongGe", "KongHang", "TouKongGe", "XiaoKuoHao", "FenLan", "JuHao"}));
  QStringList shuiyin, tool;
  for (std::string_view k : app::gui::loadOrder("shuiyin"))
    shuiyin << QString::fromUtf8(k.data(), k.size());
  for (std::string_view k : app::gui::loadOrder("tool"))
    tool << QString::fromUtf8(k.data(), k.size());
  QCOMPARE(shuiyin, QStringList({"txtfontname", "txtstyle", "jpg", "txt", "op", "color"}));
  QCOMPARE(tool, QStringList({"biaodian", "kongge", "konghang", "toukongge", "xiaokuohao", "fenlan",
                              "juhao"}));

  // A section the window writes afresh has its keys in that order.
  QTest::keyClick(h.check("chkBzw"), Qt::Key_Space);
  const QByteArray bytes = h.iniBytes();
  int last = -1;
  for (const char* key : {"fontnamezw=", "fontsizezw=", "fontnamebt=", "fontsizebt=", "fontboldzw=",
                          "fontboldbt=", "firstparagraph=", "btAlign=", "fontJJ="}) {
    const int at = static_cast<int>(bytes.indexOf(key));
    QVERIFY2(at > last, key);
    last = at;
  }
}

void FrmMainSettingsTest::patternMatching_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("pattern");
  QTest::addColumn<bool>("matches");
  const struct {
    const char* name;
    const char* pattern;
    bool matches;
  } rows[] = {
      {"关于通知.doc", "*通知*.doc", true},
      {"通知.doc", "*通知*.doc", true},
      {"通报.doc", "*通知*.doc", false},
      {"关于通知.docx", "*通知*.doc", true}, // the three-letter extension covers .docx
      {"关于通知.docm", "**.doc", true},
      {"a.doc.bak", "**.doc", false},
      {"a.do", "**.doc", false},
      {"REPORT.DOC", "**.doc", true}, // case-blind
      {"a.txt", "**.doc", false},
      {"a.txt~", "**.txt", false}, // only plain longer extensions
      {"报告.txt", "*报告*.txt", true},
      {"年度报告草稿.TXT", "*报告*.txt", true},
      {"报告.doc", "*报告*.txt", false},
      {"a1.doc", "a?.doc", true},
      {"a12.doc", "a?.doc", false},
      {"x.doc", "*.txt;*.doc", true}, // several patterns
      {"x.rtf", "*.txt;*.doc", false},
      {"noext", "**.doc", false},
      {"[a].doc", "[a]*.doc", true}, // brackets are plain characters
  };
  for (const auto& r : rows)
    QTest::newRow((QString::fromUtf8(r.name) + " ~ " + r.pattern).toUtf8().constData())
        << QString::fromUtf8(r.name) << QString::fromUtf8(r.pattern) << r.matches;
}

void FrmMainSettingsTest::patternMatching() {
  QFETCH(QString, name);
  QFETCH(QString, pattern);
  QFETCH(bool, matches);
  QCOMPARE(app::gui::matchesPattern(name, pattern), matches);
}

void FrmMainSettingsTest::fileListPatternAndProgressRange() {
  Harness h;
  QString folder =
      h.folderWith("docs", {"关于报告.txt", "报告草稿.TXT", "报告.doc", "工作报告.docx", "其他.txt",
                            ".隐藏报告.txt", "~$报告.doc", "notes.txt~"});
  h.find<QTabWidget>("SSTab1")->setCurrentIndex(0);
  h.openFolder(folder);
  QCOMPARE(h.find<QTabWidget>("SSTab1")->currentIndex(), 1);
  QCOMPARE(h.label("Label1_36")->text(), QStringLiteral("当前目录：") + folder);
  auto names = [&] {
    QStringList n;
    for (int i = 0; i < h.list("File1")->count(); ++i)
      n << h.list("File1")->item(i)->text();
    return n;
  };
  QCOMPARE(names(), QStringList({"报告.doc", "工作报告.docx"})); // bao before gong
  QCOMPARE(h.progress()->minimum(), 1);
  QCOMPARE(h.progress()->maximum(), 2);

  h.text("txtPath")->insert(QStringLiteral("报告"));
  h.combo("cbFilter")->setCurrentIndex(1);
  QCOMPARE(h.find<app::gui::FileListBox>("File1")->pattern(), QStringLiteral("*报告*.txt"));
  QCOMPARE(names(), QStringList({"报告草稿.TXT", "关于报告.txt"}));
  QCOMPARE(h.progress()->maximum(), 2);

  // An empty list: the maximum 0 is refused and the previous one stays.
  h.text("txtPath")->insert(QStringLiteral("不存在"));
  QCOMPARE(names(), QStringList());
  QCOMPARE(h.progress()->minimum(), 1);
  QCOMPARE(h.progress()->maximum(), 2);

  // A cancelled picker changes nothing but still shows page 1; one that cannot be listed
  // leaves the list where it is and says so.
  h.find<QTabWidget>("SSTab1")->setCurrentIndex(5);
  h.openFolder(QString());
  QCOMPARE(h.find<app::gui::FileListBox>("File1")->path(), folder);
  QCOMPARE(h.find<QTabWidget>("SSTab1")->currentIndex(), 1);
  h.openFolder(h.program + "/no such folder");
  QCOMPARE(h.find<app::gui::FileListBox>("File1")->path(), folder);
  QCOMPARE(h.label("Label1_36")->text(), QStringLiteral("当前目录：") + folder);
  QCOMPARE(h.infos.size(), std::size_t(1));
  QVERIFY(h.infos[0].text.contains("no such folder"));
  // The picker starts in the program folder with its prompt.
  QCOMPARE(h.folderStarts.last(), h.program);
  QCOMPARE(h.folderCaptions.last(), QStringLiteral("请选择文件夹"));
}

void FrmMainSettingsTest::selectionGivesNamesInListOrder() {
  Harness h;
  QString folder =
      h.folderWith("six", {"f.docx", "a.docx", "e.docx", "b.docx", "d.docx", "c,1.docx"});
  h.openFolder(folder);
  QCOMPARE(h.list("File1")->count(), 6);
  // Selected in reverse order: the list order still decides.
  h.select({5, 2});
  QCOMPARE(h.window->selectedFileList(), QStringLiteral("c,1.docx,f.docx"));
  h.select({0});
  QCOMPARE(h.window->selectedFileList(), QStringLiteral("a.docx"));
  // Shift and Ctrl with the mouse.
  QListWidget* files = h.list("File1");
  h.window->showPage(1);
  QApplication::processEvents();
  auto click = [&](int row, Qt::KeyboardModifiers modifiers) {
    QRect r = files->visualItemRect(files->item(row));
    QTest::mouseClick(files->viewport(), Qt::LeftButton, modifiers, r.center());
  };
  click(1, Qt::NoModifier);
  click(3, Qt::ShiftModifier);
  click(5, Qt::ControlModifier);
  QCOMPARE(h.window->selectedFileList(), QStringLiteral("b.docx,c,1.docx,d.docx,f.docx"));
}

void FrmMainSettingsTest::foldersAndPictures() {
  Harness h;
  // The output folder appears in txtOut but is not written before exit.
  h.nextFolder = h.program + "/elsewhere";
  QTest::mouseClick(h.button("cmdBrowser"), Qt::LeftButton);
  QCOMPARE(h.text("txtOut")->text(), h.program + "/elsewhere");
  QCOMPARE(h.ini("sys", "outpath"), std::string("<missing>"));
  h.nextFolder.clear();
  QTest::mouseClick(h.button("cmdBrowser"), Qt::LeftButton);
  QCOMPARE(h.text("txtOut")->text(), h.program + "/elsewhere");

  // The watermark picture: the full path, written through its change handler.
  h.nextPicture = h.program + "/pics/../logo.png";
  QTest::mouseClick(h.button("cmdBrowse"), Qt::LeftButton);
  QCOMPARE(h.text("txtJpg")->text(), h.program + "/logo.png");
  QCOMPARE(QString::fromStdString(h.ini("shuiyin", "jpg")), h.program + "/logo.png");
  h.nextPicture.clear();
  QTest::mouseClick(h.button("cmdBrowse"), Qt::LeftButton);
  QCOMPARE(h.text("txtJpg")->text(), h.program + "/logo.png");
}

void FrmMainSettingsTest::printers() {
  {
    Harness h(QF_FAKE_ENGINE, false);
    h.printers = {"Office-Laser", "cups-pdf", "cups-pdf/draft"};
    h.open();
    QComboBox* list = h.combo("cbPrinter");
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->currentIndex(), 0);
    QCOMPARE(list->itemText(2), QStringLiteral("cups-pdf/draft"));
  }
  {
    Harness h;
    QCOMPARE(h.combo("cbPrinter")->count(), 0);
    QCOMPARE(h.combo("cbPrinter")->currentIndex(), -1);
  }
}

void FrmMainSettingsTest::exitWritesTheFolders() {
  Harness h;
  QString folder = h.folderWith("src", {"a.doc"});
  h.openFolder(folder);
  h.text("txtOut")->setText(QStringLiteral("  typed but never used "));
  QCOMPARE(h.ini("sys", "docpath"), std::string("<missing>"));
  h.window->close();
  QCOMPARE(QString::fromStdString(h.ini("sys", "docpath")), folder);
  // Written as typed; reading trims the blanks around a value, as the profile functions do.
  QVERIFY(h.iniBytes().contains("outpath=  typed but never used "));

  // The next start restores both; unchanged folders are written again at exit.
  h.closeWindow();
  h.open();
  QCOMPARE(h.find<app::gui::FileListBox>("File1")->path(), folder);
  QCOMPARE(h.text("txtOut")->text(), QStringLiteral("typed but never used"));
  h.writeIni("");
  h.window->close();
  QCOMPARE(QString::fromStdString(h.ini("sys", "docpath")), folder);
  QCOMPARE(h.ini("sys", "outpath"), std::string("typed but never used"));

  // A source folder that has gone leaves the list on the process's current folder.
  h.closeWindow();
  h.writeIni("[sys]\ndocpath=/no/such/folder\n");
  h.open();
  QCOMPARE(h.find<app::gui::FileListBox>("File1")->path(), QDir::currentPath());
  QCOMPARE(h.label("Label1_36")->text(), QStringLiteral("当前目录：") + QDir::currentPath());
}

void FrmMainSettingsTest::aboutWindow() {
  Harness h;
  QString declaration;
  bool sawOk = false;
  QTimer::singleShot(0, [&] {
    QWidget* about = QApplication::activeModalWidget();
    QVERIFY(about);
    QCOMPARE(about->objectName(), QStringLiteral("frmAbout"));
    for (QLabel* l : about->findChildren<QLabel*>())
      if (l->text().startsWith(QStringLiteral("声明")))
        declaration = l->text();
    auto* ok = about->findChild<QPushButton*>("cmdOK");
    sawOk = ok && ok->text() == QStringLiteral("确定");
    QTest::mouseClick(ok, Qt::LeftButton);
  });
  h.find<QAction>("mnuAbout")->trigger(); // returns when the window is closed
  QCOMPARE(declaration,
           QStringLiteral("声明: 本系统旨在提高文档处理效率，并不能完全代替手工排版。"));
  QVERIFY(sawOk);
  QVERIFY(!QApplication::activeModalWidget());
}

void FrmMainSettingsTest::helpPage() {
  Harness h;
  auto* browser = h.find<QTextBrowser>("WebBrowser1");
  QVERIFY(browser->toPlainText().contains(QStringLiteral("使用说明")));
  QVERIFY(browser->toPlainText().contains(QStringLiteral("快速开始")));
  h.window->showPage(9);
  QCOMPARE(h.find<QTabWidget>("SSTab1")->currentWidget()->findChild<QTextBrowser*>(), browser);
}

QTEST_MAIN(FrmMainSettingsTest)
#include "frmmain_settings_test.moc"
