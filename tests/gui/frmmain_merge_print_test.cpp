// The window's merge (cmd合并) and print (cmd打印) commands, run for real: LibreOffice for the
// documents and the Quillfold_PDF queue of scripts/start-cups for printing.

// The document model first: Qt's keyword macros (slots, signals) must not reach its headers.
#include "tests/merge/merge_fixtures.h"
#include "word/convert.h"
#include "word/document.h"

#include <QtTest>

#include <algorithm>
#include <cstdlib>

#include "app/print/print.h"
#include "gui_test_support.h"

namespace {

bool haveQueue() {
  auto names = app::print::printers().names;
  return std::find(names.begin(), names.end(), "Quillfold_PDF") != names.end();
}

// Real documents named in `names` (each holding its own name as text) in a folder.
QString folderOfDocuments(gui_test::Harness& h, const QStringList& names) {
  QString folder = h.folderWith(QStringLiteral("文档"), {});
  for (const QString& n : names)
    mergetest::writeFile((folder + "/" + n).toStdString(),
                         mergetest::simpleDocx({QFileInfo(n).completeBaseName().toStdString()}));
  return folder;
}

std::vector<std::string> paragraphsOf(const QString& path) {
  word::Application app;
  word::Document& d = app.open(path.toStdString());
  std::vector<std::string> out;
  auto ps = d.paragraphs();
  for (int i = 1; i <= ps.count(); ++i) {
    std::string t = ps.item(i).range().text();
    t.pop_back();
    if (!t.empty())
      out.push_back(t);
  }
  return out;
}

} // namespace

class FrmMainMergePrintTest : public QObject {
  Q_OBJECT
private slots:
  void mergeNeedsTwoDocuments();
  void mergeFollowsTheListNotTheClicks();
  void mergeReportsWhatItLeftOut();
  void printNeedsADocument();
  void printsTheLastTwoOfTen();
  void printWithoutPrinterAndWithoutDefault();
  void offersThePrintersThePrintModuleLists();
};

void FrmMainMergePrintTest::mergeNeedsTwoDocuments() {
  gui_test::Harness h;
  h.openFolder(folderOfDocuments(h, {"甲.docx", "乙.docx"}));
  h.select({1});
  QTest::mouseClick(h.button("cmd合并"), Qt::LeftButton);
  QCOMPARE(h.infos.size(), size_t(1));
  QCOMPARE(h.infos[0].title, QStringLiteral("提示"));
  QCOMPARE(h.infos[0].text, QStringLiteral("请选择要合并的文件，至少2个！"));
}

void FrmMainMergePrintTest::mergeFollowsTheListNotTheClicks() {
  if (word::findSoffice().empty())
    QSKIP("LibreOffice is not installed");
  gui_test::Harness h;
  h.openFolder(folderOfDocuments(h, {"a一.docx", "b二.docx", "c三.docx", "d四.docx"}));
  h.text("txtOut")->setText(h.program + "/合并结果");
  // Clicked last to first; merged in list order.
  QListWidget* files = h.list("File1");
  files->clearSelection();
  for (int i : {3, 2, 0})
    files->item(i)->setSelected(true);
  QTest::mouseClick(h.button("cmd合并"), Qt::LeftButton);
  QCOMPARE(h.infos.size(), size_t(1));
  const QString text = h.infos[0].text;
  QVERIFY2(text.startsWith(QStringLiteral("合并完毕！文件名为:merge")), qPrintable(text));
  QVERIFY(text.endsWith(QStringLiteral(".doc")));
  QCOMPARE(h.progress()->minimum(), 0);
  QCOMPARE(h.progress()->maximum(), 3);
  QCOMPARE(h.progress()->value(), 3);
  const QString name = text.mid(text.indexOf(':') + 1);
  const QString path = h.program + "/合并结果/" + name;
  QVERIFY(QFileInfo::exists(path));
  QCOMPARE(paragraphsOf(path), (std::vector<std::string>{"a一", "c三", "d四"}));
  QVERIFY(h.button("cmd排版_0")->isEnabled());
}

void FrmMainMergePrintTest::mergeReportsWhatItLeftOut() {
  if (word::findSoffice().empty())
    QSKIP("LibreOffice is not installed");
  gui_test::Harness h;
  QString folder = folderOfDocuments(h, {"a.docx", "c.docx"});
  mergetest::writeFile((folder + "/b坏.docx").toStdString(), "not a document");
  h.openFolder(folder);
  h.text("txtOut")->setText(h.program + "/out");
  h.select({0, 1, 2});
  QTest::mouseClick(h.button("cmd合并"), Qt::LeftButton);
  QCOMPARE(h.infos.size(), size_t(1));
  QVERIFY2(h.infos[0].text.contains(QStringLiteral("有 1 个文件未能合并：b坏.docx")),
           qPrintable(h.infos[0].text));
  const QStringList lines = h.messages();
  QVERIFY2(std::any_of(lines.begin(), lines.end(),
                       [](const QString& l) {
                         return l.startsWith(QStringLiteral("无法合并：b坏.docx："));
                       }),
           qPrintable(lines.join('\n')));
  QCOMPARE(h.progress()->value(), 3);
}

void FrmMainMergePrintTest::printNeedsADocument() {
  gui_test::Harness h;
  h.openFolder(folderOfDocuments(h, {"甲.docx"}));
  h.list("File1")->clearSelection();
  QTest::mouseClick(h.button("cmd打印"), Qt::LeftButton);
  QCOMPARE(h.infos.size(), size_t(1));
  QCOMPARE(h.infos[0].text, QStringLiteral("请选择要打印的文件！"));
}

void FrmMainMergePrintTest::printsTheLastTwoOfTen() {
  if (word::findSoffice().empty() || !haveQueue())
    QSKIP("needs LibreOffice and the Quillfold_PDF queue (scripts/start-cups)");
  gui_test::Harness h(QF_FAKE_ENGINE, false);
  h.printers = {"Quillfold_PDF"};
  h.open();
  QStringList names;
  for (int i = 0; i < 10; ++i)
    names << QStringLiteral("%1.docx").arg(i);
  h.openFolder(folderOfDocuments(h, names));
  h.select({8, 9});
  QCOMPARE(h.combo("cbPrinter")->currentText(), QStringLiteral("Quillfold_PDF"));
  h.progress()->setValue(1); // so that the reset to 0 shows
  std::vector<int> values;
  connect(h.progress(), &QProgressBar::valueChanged, this, [&](int v) { values.push_back(v); });
  QTest::mouseClick(h.button("cmd打印"), Qt::LeftButton);
  QCOMPARE(h.infos.size(), size_t(1)); // once, after the last document
  QCOMPARE(h.infos[0].text, QStringLiteral("打印完毕！"));
  QCOMPARE(h.progress()->maximum(), 2);
  QCOMPARE(values, (std::vector<int>{0, 1, 2}));
  QVERIFY(h.messages().isEmpty());
}

void FrmMainMergePrintTest::printWithoutPrinterAndWithoutDefault() {
  gui_test::Harness h(QF_FAKE_ENGINE, false);
  h.printers = {};
  h.open();
  QCOMPARE(h.combo("cbPrinter")->count(), 0);
  h.openFolder(folderOfDocuments(h, {"甲.docx"}));
  h.select({0});
  ::setenv("LPDEST", "No_Such_Default_Quillfold", 1);
  QTest::mouseClick(h.button("cmd打印"), Qt::LeftButton);
  ::unsetenv("LPDEST");
  QCOMPARE(h.infos.size(), size_t(1));
  QCOMPARE(h.infos[0].text,
           QStringLiteral("没有可用的打印机：系统没有设置默认打印机，未打印任何文件。"));
  QCOMPARE(h.messages().size(), 1);
  QCOMPARE(h.progress()->value(), 1);
}

// Left to itself the window offers exactly the destinations the print module lists (the same
// list `quillfold printers` shows), in its order, the first one chosen.
void FrmMainMergePrintTest::offersThePrintersThePrintModuleLists() {
  if (!haveQueue())
    QSKIP("needs the Quillfold_PDF queue (scripts/start-cups)");
  gui_test::Harness h(QF_FAKE_ENGINE, false);
  h.systemPrinters = true;
  h.open();
  QStringList expected;
  for (const std::string& name : app::print::printers().names)
    expected << QString::fromStdString(name);
  QStringList offered;
  QComboBox* box = h.combo("cbPrinter");
  for (int i = 0; i < box->count(); ++i)
    offered << box->itemText(i);
  QCOMPARE(offered, expected);
  QVERIFY(offered.contains(QStringLiteral("Quillfold_PDF")));
  QCOMPARE(box->currentIndex(), 0);
}

QTEST_MAIN(FrmMainMergePrintTest)
#include "frmmain_merge_print_test.moc"
