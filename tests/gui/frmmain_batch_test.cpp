// Batches from the main window: the start commands and their run modes, what reaches the
// engine server, the handling of its events, a window that stays usable while a batch runs,
// a real batch through quillfold-engine, servers that die mid-batch, a missing server, and
// an exit that leaves none of our processes behind. With QF_SCREENSHOT_DIR set, the last test
// writes a picture of every page there.

#include <QAction>
#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>
#include <csignal>
#include <cstdlib>
#include <unistd.h>

#include "app/server/engine_client.h"
#include "app/server/engine_pool.h"
#include "app/server/process_sweep.h"
#include "gui_test_support.h"
#include "settings/settings.h"

using gui_test::Harness;

namespace {

// The requests the stand-in engine received (QF_FAKE_LOG), one JSON object each.
QList<QJsonObject> requests(const QString& log) {
  QList<QJsonObject> out;
  QFile file(log);
  if (!file.open(QIODevice::ReadOnly))
    return out;
  for (const QByteArray& line : file.readAll().split('\n'))
    if (!line.isEmpty())
      out << QJsonDocument::fromJson(line).object();
  return out;
}

QString setValue(const QList<QJsonObject>& log, const QString& name) {
  QString value = QStringLiteral("<unset>");
  for (const QJsonObject& r : log)
    if (r["op"] == "set" && r["name"] == name)
      value = r["value"].toString();
  return value;
}

bool running(pid_t pid) {
  QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
  if (!stat.open(QIODevice::ReadOnly))
    return false;
  QByteArray text = stat.readAll();
  int close = text.lastIndexOf(')');
  return close > 0 && close + 2 < text.size() && text[close + 2] != 'Z';
}

std::string s(const QString& text) {
  return text.toStdString();
}

void copyCorpus(const QString& name, const QString& to) {
  QVERIFY(QFile::copy(QStringLiteral(QF_CORPUS_DIR "/word/") + name, to));
}

} // namespace

class FrmMainBatchTest : public QObject {
  Q_OBJECT

private slots:
  void initTestCase();
  void noSelectionTellsTheUser();
  void theFourButtonsPassTheFourRunModes_data();
  void theFourButtonsPassTheFourRunModes();
  void theBatchUsesWhatTheFileHolds();
  void theBatchSendsWhatTheCommandLineSends_data();
  void theBatchSendsWhatTheCommandLineSends();
  void eventHandling();
  void startsAreDisabledWhileABatchRuns();
  void aRealBatchTypesetsTwoDocuments();
  void aServerThatCrashesCostsOneDocument();
  void aRealServerKilledMidBatch();
  void aMissingServerIsReported();
  void theServerIsLookedForAtEachStart();
  void enginePathResolution();
  void legacyInputsShowTheirConversion();
  void closingDuringABatchAsksFirst();
  void exitLeavesNoProcessOfOurs();
  void screenshots();

private:
  QTemporaryDir logDir_;
  QString log_;
};

void FrmMainBatchTest::initTestCase() {
  app::ownerMarker();
  log_ = logDir_.path() + "/requests.log";
  ::setenv("QF_FAKE_LOG", log_.toUtf8().constData(), 1);
}

void FrmMainBatchTest::noSelectionTellsTheUser() {
  Harness h;
  h.openFolder(h.folderWith("docs", {"a.docx"}));
  h.progress()->setValue(1);
  QTest::mouseClick(h.button("cmd排版_0"), Qt::LeftButton);
  QCOMPARE(h.infos.size(), std::size_t(1));
  QCOMPARE(h.infos[0].title, QStringLiteral("提示"));
  QCOMPARE(h.infos[0].text, QStringLiteral("请选择要排版的文件！"));
  QVERIFY(!h.window->batchRunning());
  QCOMPARE(h.progress()->minimum(), 1); // untouched
  QCOMPARE(h.progress()->value(), 1);
}

void FrmMainBatchTest::theFourButtonsPassTheFourRunModes_data() {
  QTest::addColumn<QString>("command");
  QTest::addColumn<QString>("mode");
  QTest::newRow("排版") << QString::fromUtf8("cmd排版_0") << "0";
  QTest::newRow("仅页眉") << QString::fromUtf8("cmd排版_1") << "YeMei";
  QTest::newRow("仅页面") << QString::fromUtf8("cmd排版_2") << "YeMian";
  QTest::newRow("仅字号") << QString::fromUtf8("cmd排版_3") << "ZiHao";
  QTest::newRow("mnuStart") << "mnuStart"
                            << "0";
}

void FrmMainBatchTest::theFourButtonsPassTheFourRunModes() {
  QFETCH(QString, command);
  QFETCH(QString, mode);
  QFile::remove(log_);
  Harness h;
  h.openFolder(h.folderWith("docs", {"a.docx", "b.docx"}));
  h.select({1});
  if (command == "mnuStart")
    h.find<QAction>(command)->trigger();
  else
    QTest::mouseClick(h.find<QPushButton>(command), Qt::LeftButton);
  QVERIFY(h.waitForBatch());
  QList<QJsonObject> log = requests(log_);
  QVERIFY(!log.isEmpty());
  QCOMPARE(log.last()["op"].toString(), QStringLiteral("main"));
  QCOMPARE(log.last()["mode"].toString(), mode);
  QVERIFY(h.messages().contains(QStringLiteral("模式 ") + mode + ":b.docx"));
}

void FrmMainBatchTest::theBatchUsesWhatTheFileHolds() {
  QFile::remove(log_);
  Harness h;
  QString folder =
      h.folderWith("six", {"a.docx", "b.docx", "c.docx", "d.docx", "e.docx", "f.docx"});
  h.openFolder(folder);
  h.select({2, 5});
  h.text("txtOut")->setText(h.program + "/结果");
  // Another program changes setup.ini after the window loaded it: the batch reads it again.
  settings::IniFile other(h.iniPath().toStdString());
  QVERIFY(other.set("font", "fontboldzw", "1").ok);
  QVERIFY(other.set("font", "fontnamezw", "3").ok);
  QVERIFY(other.set("paragraph", "LineSpacingRule", "22").ok);
  QVERIFY(other.set("shuiyin", "txt", "内部资料").ok);
  QTest::mouseClick(h.button("cmd排版_0"), Qt::LeftButton);
  QVERIFY(h.waitForBatch());
  QList<QJsonObject> log = requests(log_);
  // Each server the batch runs on gets the 46 settings, the three document properties, its file
  // list, the whole batch's list when it runs a part, and Main: one server per document here.
  const int servers = static_cast<int>(std::min<std::size_t>(app::EnginePool::defaultJobs(), 2));
  QCOMPARE(log.size(), servers * (46 + 3 + 2 + (servers > 1 ? 1 : 0)));
  QCOMPARE(setValue(log, "正文加粗"), QStringLiteral("1"));
  QCOMPARE(setValue(log, "正文字体"), QStringLiteral("楷体_GB2312"));
  QCOMPARE(setValue(log, "行距"), QStringLiteral("22"));
  QCOMPARE(setValue(log, "水印文字"), QStringLiteral("内部资料"));
  QCOMPARE(setValue(log, "DocPath"), folder);
  QCOMPARE(setValue(log, "DocOutLocation"), h.program + "/结果");
  QStringList fileNames, listed;
  for (const QJsonObject& r : log) {
    if (r["op"] == "set" && r["name"] == "DocFileName")
      fileNames << r["value"].toString();
    if (r["op"] == "setFiles")
      for (const auto& name : r["names"].toArray())
        listed << name.toString();
  }
  fileNames.sort();
  listed.sort();
  QCOMPARE(fileNames,
           servers > 1 ? QStringList({"c.docx", "f.docx"}) : QStringList({"c.docx,f.docx"}));
  QCOMPARE(listed, QStringList({"c.docx", "f.docx"}));
  // The controls show the reloaded values too.
  QVERIFY(h.check("chkBzw")->isChecked());
  QCOMPARE(h.combo("cbHangJu")->currentIndex(), 3);
  QCOMPARE(h.text("txtBang")->text(), QStringLiteral("22"));
}

// The window hands the engine what loadEngineProperties gives for setup.ini as the batch's
// load left it, the road the command line takes too: values the controls cannot show reach
// the engine as the file holds them, and sections the load wrote back reach it as written.
void FrmMainBatchTest::theBatchSendsWhatTheCommandLineSends_data() {
  QTest::addColumn<QByteArray>("ini");         // setup.ini before the window opens
  QTest::addColumn<QStringList>("laterEdits"); // section/key=value, written after it opened
  QTest::addColumn<QStringList>("expected");   // property=value
  QTest::newRow("lists that select nothing")
      << QByteArray("[font]\nbtAlign=-1\nfontJJ=7\n[shuiyin]\ncolor=9\ntxtstyle=abc\n"
                    "[pageinfo]\nPageSize=\n[headerfooter]\nnumberalign=-1\n")
      << QStringList{} << QStringList{"标题对齐=-1",  "字号增减=7", "水印颜色=9",
                                      "水印样式=abc", "纸张大小=",  "页码对齐=-1"};
  QTest::newRow("font names typed into the file")
      << QByteArray("[font]\nfontnamezw=微软雅黑\n[headerfooter]\nheaderfontname=abc\n")
      << QStringList{} << QStringList{"正文字体=微软雅黑", "页眉字体=abc"};
  QTest::newRow("a list showing another entry")
      << QByteArray("[font]\nfontnamebt=1\nfontsizezw=2\n")
      << QStringList{"font/fontnamebt=9", "font/fontsizezw=99"}
      << QStringList{"标题字体=宋体", "正文字号=11"};
  QTest::newRow("tool section written back")
      << QByteArray() << QStringList{"tool/kongge=abc", "tool/biaodian=0.4", "tool/juhao=1"}
      << QStringList{"空格=0", "标点=0", "句号=1"};
  QTest::newRow("paragraph section written back")
      << QByteArray() << QStringList{"paragraph/LineSpacingRule=1.0"} << QStringList{"行距=1"};
  QTest::newRow("sections left as they are")
      << QByteArray("[font]\nfontboldzw=0.4\n[shuiyin]\nop=7\n")
      << QStringList{"headerfooter/useheader=abc"}
      << QStringList{"正文加粗=0.4", "水印=7", "使用页眉=abc"};
}

void FrmMainBatchTest::theBatchSendsWhatTheCommandLineSends() {
  QFETCH(QByteArray, ini);
  QFETCH(QStringList, laterEdits);
  QFETCH(QStringList, expected);
  QFile::remove(log_);
  Harness h(QF_FAKE_ENGINE, false);
  h.writeIni(ini);
  h.open();
  settings::IniFile other(h.iniPath().toStdString());
  for (const QString& edit : laterEdits) {
    const QString sectionKey = edit.section('=', 0, 0);
    QVERIFY(other
                .set(s(sectionKey.section('/', 0, 0)), s(sectionKey.section('/', 1)),
                     s(edit.section('=', 1)))
                .ok);
  }
  h.openFolder(h.folderWith("docs", {"a.docx"}));
  h.select({0});
  QTest::mouseClick(h.button("cmd排版_0"), Qt::LeftButton);
  QVERIFY(h.waitForBatch());

  QList<QJsonObject> log = requests(log_);
  QVERIFY(log.size() >= 46);
  const auto loaded = settings::loadEngineProperties(settings::IniFile(s(h.iniPath())));
  QCOMPARE(loaded.size(), std::size_t(46));
  QStringList differences; // every property that differs, in one message
  for (std::size_t i = 0; i < loaded.size(); ++i) {
    const QJsonObject& sent = log[static_cast<qsizetype>(i)];
    const QString name = QString::fromStdString(loaded[i].first);
    const QString value = QString::fromStdString(loaded[i].second);
    if (sent["op"] != "set" || sent["name"] != name || sent["value"] != value)
      differences << name + ": sent " + sent["name"].toString() + "=" + sent["value"].toString() +
                         ", file gives " + value;
  }
  QVERIFY2(differences.isEmpty(), qPrintable(differences.join("; ")));
  for (const QString& e : expected)
    QCOMPARE(setValue(log, e.section('=', 0, 0)), e.section('=', 1));
}

void FrmMainBatchTest::eventHandling() {
  Harness h;
  app::gui::FrmMain& w = *h.window;
  QLabel* status = h.label("Label1_54");
  QProgressBar* bar = h.progress();
  bar->setRange(0, 100);
  bar->setValue(0);

  w.Message("0", "正在处理", "1", "4", "通知.docx");
  QCOMPARE(status->text(), QStringLiteral("正在处理：通知.docx"));
  w.Message("2", "已转换", "1", "4", "通知.docx");
  w.Message("3", "警告", "1", "4", "通知.docx");
  QCOMPARE(h.messages(), QStringList({"已转换:通知.docx", "警告:通知.docx"}));
  w.Message("100", "完成：通知.docx", "1", "4", "通知.docx");
  QCOMPARE(bar->value(), 25);
  QCOMPARE(h.messages().last(), QStringLiteral("完成：通知.docx"));
  w.Message("100", "完成：b", "3", "4", "b");
  QCOMPARE(bar->value(), 75);
  // Numbers that are no numbers, or a zero total, leave the bar; the line is still added.
  w.Message("100", "x", "abc", "4", "b");
  QCOMPARE(bar->value(), 75);
  w.Message("100", "y", "1", "0", "b");
  QCOMPARE(bar->value(), 75);
  QCOMPARE(h.messages().mid(4), QStringList({"x", "y"}));
  w.Message("7", "ignored", "1", "4", "b");
  QCOMPARE(h.messages().size(), 6);
  w.Error(12, "排版失败：坏.docx：损坏");
  QCOMPARE(h.messages().last(), QStringLiteral("排版失败：坏.docx：损坏"));
  QVERIFY(h.infos.empty());
  w.Message("101", "处理完毕！", "4", "4", "");
  // Documents 1 and 3 ended (1 with a warning); 2 and 4 never did and count as failed.
  const QString summary = QStringLiteral("排版结束：成功 2 个，失败 2 个，有警告 1 个。");
  const QString folder = QStringLiteral("输出目录：") + h.program + "/out";
  QCOMPARE(h.infos.size(), std::size_t(1));
  QCOMPARE(h.infos[0].title, QStringLiteral("提示"));
  QCOMPARE(h.infos[0].text, summary + "\n" + folder);
  QCOMPARE(h.choiceButtons.last(), QStringLiteral("确定|打开输出目录"));
  QVERIFY(h.opened.isEmpty()); // 确定 opens nothing
  QCOMPARE(status->text(), QString());
  QCOMPARE(h.messages().size(), 8); // the list is never cleared
  QCOMPARE(h.messages().last(), summary + " " + folder);
  // Every line carries its whole text as a tooltip, and the list wraps instead of scrolling.
  QListWidget* list = h.list("List1");
  QCOMPARE(list->item(7)->toolTip(), list->item(7)->text());
  QVERIFY(list->wordWrap());
  QCOMPARE(list->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

void FrmMainBatchTest::startsAreDisabledWhileABatchRuns() {
  QFile::remove(log_);
  Harness h;
  h.openFolder(h.folderWith("docs", {"slow1.docx", "slow2.docx", "slow3.docx"}));
  h.select({0, 1, 2});
  QList<QPushButton*> starts;
  for (int i = 0; i < 4; ++i)
    starts << h.button(("cmd排版_" + std::to_string(i)).c_str());
  QTest::mouseClick(starts[0], Qt::LeftButton);
  QVERIFY(h.window->batchRunning());
  for (QPushButton* b : starts)
    QVERIFY(!b->isEnabled());
  QVERIFY(!h.find<QAction>("mnuStart")->isEnabled());
  // Merge and print wait for the batch too, buttons and menu entries alike.
  for (const char* name : {"cmd合并", "cmd打印"})
    QVERIFY2(!h.button(name)->isEnabled(), name);
  for (const char* name : {"mnuMerge", "mnuPrint"})
    QVERIFY2(!h.find<QAction>(name)->isEnabled(), name);
  // A second start is refused, even from code.
  h.window->startBatch(2);
  h.find<QAction>("mnuStart")->trigger();
  // The window keeps working: events arrive and the status line moves while the batch runs
  // (the last document starts when a server has ended one of the others).
  QTRY_COMPARE_WITH_TIMEOUT(h.label("Label1_54")->text(), QStringLiteral("正在处理：slow3.docx"),
                            10000);
  QVERIFY(h.window->batchRunning());
  h.text("txtPageTop")->setText(QStringLiteral("4"));
  QCOMPARE(h.ini("pageinfo", "TopMargin"), std::string("4"));
  QVERIFY(h.waitForBatch());
  for (QPushButton* b : starts)
    QVERIFY(b->isEnabled());
  QVERIFY(h.find<QAction>("mnuStart")->isEnabled());
  for (const char* name : {"cmd合并", "cmd打印"})
    QVERIFY2(h.button(name)->isEnabled(), name);
  for (const char* name : {"mnuMerge", "mnuPrint"})
    QVERIFY2(h.find<QAction>(name)->isEnabled(), name);
  // The refused starts ran nothing: each document went to a server once.
  int listed = 0;
  for (const QJsonObject& r : requests(log_))
    if (r["op"] == "setFiles")
      listed += static_cast<int>(r["names"].toArray().size());
  QCOMPARE(listed, 3);
  QCOMPARE(h.infos.size(), std::size_t(1)); // the closing box
}

void FrmMainBatchTest::aRealBatchTypesetsTwoDocuments() {
  Harness h(QF_ENGINE_SERVER, false);
  // The default right indent (empty) is no number and fails the paragraph step; a real user
  // sets it once on page 6, as the file here does.
  h.writeIni("[paragraph]\nRightIndent=0\n");
  h.open();
  QString folder = h.folderWith("in", {});
  copyCorpus("par-known-paragraphs.docx", folder + "/关于召开年度工作会议的通知.docx");
  copyCorpus("hdr-header-footer.docx", folder + "/工作总结.docx");
  h.openFolder(folder);
  QCOMPARE(h.list("File1")->count(), 2); // "*.doc" lists the .docx documents
  h.text("txtOut")->setText(h.program + "/out");
  QList<int> progress;
  connect(h.progress(), &QProgressBar::valueChanged, this, [&](int v) { progress << v; });
  h.select({0, 1});
  h.nextChoice = 1; // 打开输出目录
  QTest::mouseClick(h.button("cmd排版_0"), Qt::LeftButton);
  QVERIFY(h.waitForBatch(180));

  const QStringList lines = h.messages();
  QVERIFY2(lines.filter(QStringLiteral("失败：")).isEmpty(), qPrintable(lines.join('\n')));
  QVERIFY2(lines.contains(QStringLiteral("完成：关于召开年度工作会议的通知.docx")),
           qPrintable(lines.join('\n')));
  QVERIFY(lines.contains(QStringLiteral("完成：工作总结.docx")));
  QVERIFY(QFile::exists(h.program + "/out/关于召开年度工作会议的通知.docx"));
  QVERIFY(QFile::exists(h.program + "/out/工作总结.docx"));
  QCOMPARE(h.infos.size(), std::size_t(1));
  QCOMPARE(h.infos[0].text,
           QStringLiteral("排版结束：成功 2 个，失败 0 个，有警告 0 个。\n输出目录：") + h.program +
               "/out");
  QCOMPARE(h.opened, QStringList({h.program + "/out"}));
  QCOMPARE(progress, QList<int>({50, 100})); // from 0, one step per document
  QCOMPARE(h.label("Label1_54")->text(), QString());
  // A double-click on a document's line opens its output; other lines open nothing.
  QListWidget* list = h.list("List1");
  const auto done = list->findItems(QStringLiteral("完成：工作总结.docx"), Qt::MatchExactly);
  QCOMPARE(done.size(), 1);
  emit list->itemDoubleClicked(done.first());
  QCOMPARE(h.opened.last(), h.program + "/out/工作总结.docx");
  h.window->Error(0, "排版引擎的一条说明");
  emit list->itemDoubleClicked(list->item(list->count() - 1));
  QCOMPARE(h.opened.size(), 2);
}

void FrmMainBatchTest::aServerThatCrashesCostsOneDocument() {
  Harness h;
  h.openFolder(h.folderWith("docs", {"a.docx", "crash.docx", "c.docx"}));
  h.select({0, 1, 2});
  const std::vector<pid_t> first = h.window->enginePool()->serverPids();
  QTest::mouseClick(h.button("cmd排版_0"), Qt::LeftButton);
  QVERIFY(h.waitForBatch());
  const QStringList lines = h.messages();
  QCOMPARE(lines.filter(QStringLiteral("排版引擎意外退出")).size(), 1);
  QVERIFY(lines.filter(QStringLiteral("排版引擎意外退出")).first().contains("crash.docx"));
  QVERIFY(lines.contains(QStringLiteral("失败：crash.docx")));
  QVERIFY(lines.contains(QStringLiteral("完成：a.docx")));
  QVERIFY(lines.contains(QStringLiteral("完成：c.docx")));
  QCOMPARE(h.progress()->value(), 100);
  QCOMPARE(h.infos.size(), std::size_t(1));
  QVERIFY2(
      h.infos[0].text.startsWith(QStringLiteral("排版结束：成功 2 个，失败 1 个，有警告 0 个。")),
      qPrintable(h.infos[0].text));
  // The server that crashed is gone; the others were not touched.
  const std::vector<pid_t> now = h.window->enginePool()->serverPids();
  int gone = 0;
  for (pid_t pid : first)
    if (std::find(now.begin(), now.end(), pid) == now.end()) {
      ++gone;
      QVERIFY(!running(pid));
    }
  QCOMPARE(gone, 1);
}

void FrmMainBatchTest::aRealServerKilledMidBatch() {
  Harness h(QF_ENGINE_SERVER, false);
  h.writeIni("[paragraph]\nRightIndent=0\n");
  h.open();
  QString folder = h.folderWith("in", {});
  for (const char* name : {"1.docx", "2.docx", "3.docx"})
    copyCorpus("par-known-paragraphs.docx", folder + "/" + name);
  h.openFolder(folder);
  h.text("txtOut")->setText(h.program + "/out");
  h.select({0, 1, 2});
  QTest::mouseClick(h.button("cmd排版_0"), Qt::LeftButton);
  // Killed right after the batch was handed over: whichever document it was on is lost.
  pid_t pid = h.window->enginePool()->serverPids().front();
  QVERIFY(pid > 0);
  ::kill(pid, SIGKILL);
  QVERIFY(h.waitForBatch(180));
  const QStringList lines = h.messages();
  QCOMPARE(lines.filter(QStringLiteral("排版引擎意外退出")).size(), 1);
  QCOMPARE(lines.filter(QStringLiteral("完成：")).size(), 2);
  QCOMPARE(lines.filter(QRegularExpression("^失败：[123]\\.docx$")).size(), 1);
  QCOMPARE(h.progress()->value(), 100);
  QCOMPARE(h.infos.size(), std::size_t(1));
  QCOMPARE(QDir(h.program + "/out").entryList(QDir::Files).size(), 2);
}

void FrmMainBatchTest::aMissingServerIsReported() {
  Harness h("/nonexistent/quillfold-engine");
  QCOMPARE(h.errors.size(), std::size_t(1));
  QVERIFY(h.errors[0].text.contains("/nonexistent/quillfold-engine"));
  QVERIFY(h.window->isVisible());
  h.openFolder(h.folderWith("docs", {"a.docx"}));
  h.select({0});
  QTest::mouseClick(h.button("cmd排版_0"), Qt::LeftButton);
  QCOMPARE(h.errors.size(), std::size_t(2));
  QVERIFY(h.errors[1].text.contains(QStringLiteral("无法开始排版")));
  QVERIFY(!h.window->batchRunning());
  QVERIFY(h.button("cmd排版_0")->isEnabled());
}

void FrmMainBatchTest::theServerIsLookedForAtEachStart() {
  Harness h("", false);
  std::string where; // nowhere at first
  int lookups = 0;
  h.locateEngine = [&] {
    ++lookups;
    return where;
  };
  h.open();
  QCOMPARE(h.errors.size(), std::size_t(1));
  QVERIFY2(h.errors[0].text.contains(QStringLiteral("找不到排版引擎")),
           qPrintable(h.errors[0].text));
  h.openFolder(h.folderWith("docs", {"a.docx"}));
  h.select({0});
  QTest::mouseClick(h.button("cmd排版_0"), Qt::LeftButton);
  QCOMPARE(h.errors.size(), std::size_t(2));
  QVERIFY(h.errors[1].text.contains(QStringLiteral("无法开始排版")));
  // The server is put back: the next start finds it, without restarting the window.
  where = QF_FAKE_ENGINE;
  const int before = lookups;
  QTest::mouseClick(h.button("cmd排版_0"), Qt::LeftButton);
  QVERIFY(lookups > before);
  QVERIFY(h.waitForBatch());
  QCOMPARE(h.errors.size(), std::size_t(2));
  QVERIFY(h.messages().contains(QStringLiteral("完成：a.docx")));
}

void FrmMainBatchTest::enginePathResolution() {
  QTemporaryDir root;
  const std::string base = root.path().toStdString();
  auto makeProgram = [&](const std::string& folder, bool executable) {
    QDir().mkpath(QString::fromStdString(folder));
    QFile file(QString::fromStdString(folder + "/quillfold-engine"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.setPermissions(executable ? QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                   : QFile::ReadOwner | QFile::WriteOwner);
  };
  const std::string program = base + "/program", notExec = base + "/plain", bin = base + "/bin";
  QDir().mkpath(QString::fromStdString(program));
  makeProgram(notExec, false);
  makeProgram(bin, true);
  struct Case {
    const char* what;
    std::string path;
    std::string expected;
  };
  const Case withoutBeside[] = {
      {"nothing on PATH", "/nonexistent", ""},
      {"first executable on PATH", notExec + ":" + bin, bin + "/quillfold-engine"},
      {"relative and empty entries are passed over", "::bin:" + bin, bin + "/quillfold-engine"},
  };
  for (const Case& c : withoutBeside)
    QVERIFY2(app::gui::resolveEnginePath(program, c.path) == c.expected, c.what);
  makeProgram(program, true);
  QCOMPARE(app::gui::resolveEnginePath(program, bin), program + "/quillfold-engine");
}

void FrmMainBatchTest::legacyInputsShowTheirConversion() {
  Harness h;
  h.openFolder(h.folderWith("docs", {"a.doc", "b.doc", "slow.docx"}));
  h.select({0, 1, 2});
  bool endedBeforeTheBox = false;
  h.whileBoxShown = [&] {
    endedBeforeTheBox = !h.window->batchRunning() && h.button("cmd排版_0")->isEnabled() &&
                        h.label("Label1_54")->text().isEmpty() && h.progress()->value() == 100;
  };
  QTest::mouseClick(h.button("cmd排版_0"), Qt::LeftButton);
  // From the first moment: what is happening, and a bar that moves (a busy bar).
  QCOMPARE(h.label("Label1_54")->text(), QStringLiteral("正在转换 2 个旧格式文档…"));
  QCOMPARE(h.progress()->maximum(), 0);
  QTRY_VERIFY_WITH_TIMEOUT(h.label("Label1_54")->text().startsWith(QStringLiteral("正在处理：")),
                           10000);
  QCOMPARE(h.progress()->maximum(), 100);
  QVERIFY(h.waitForBatch());
  QVERIFY(endedBeforeTheBox);
  QCOMPARE(h.infos.size(), std::size_t(1));
}

void FrmMainBatchTest::closingDuringABatchAsksFirst() {
  Harness h;
  h.openFolder(h.folderWith("docs", {"slow1.docx", "slow2.docx", "slow3.docx"}));
  h.select({0, 1, 2});
  QTest::mouseClick(h.button("cmd排版_0"), Qt::LeftButton);
  QVERIFY(h.window->batchRunning());
  const std::vector<pid_t> servers = h.window->enginePool()->serverPids();
  h.nextChoice = 0; // 继续排版
  QVERIFY(!h.window->close());
  QCOMPARE(h.choiceButtons.last(), QStringLiteral("继续排版|停止并退出"));
  QVERIFY(h.window->isVisible());
  QVERIFY(h.window->batchRunning());
  for (pid_t server : servers)
    QVERIFY(running(server));
  h.nextChoice = 1; // 停止并退出
  QVERIFY(h.window->close());
  for (pid_t server : servers)
    QVERIFY(!running(server));
  QCOMPARE(h.infos.size(), std::size_t(2)); // the two questions, no closing box
  QCOMPARE(h.ini("sys", "docpath"), h.program.toStdString() + "/docs");
  h.window.reset();
}

void FrmMainBatchTest::exitLeavesNoProcessOfOurs() {
  // Something the user runs outside the program: it must survive the exit sweep.
  QProcess outsider;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove(QStringLiteral("QUILLFOLD_OWNER"));
  outsider.setProcessEnvironment(env);
  outsider.start(QStringLiteral("/bin/sleep"), {QStringLiteral("30")});
  QVERIFY(outsider.waitForStarted());

  Harness h;
  // One server per core, all started with the window.
  const std::vector<pid_t> servers = h.window->enginePool()->serverPids();
  QCOMPARE(servers.size(), app::EnginePool::defaultJobs());
  for (pid_t server : servers)
    QVERIFY(running(server));
  QCOMPARE(app::processesWithMarker(app::ownerMarker()).size(), servers.size());
  h.window->close();
  for (pid_t server : servers)
    QVERIFY(!running(server));
  for (pid_t pid : app::processesWithMarker(app::ownerMarker()))
    QVERIFY2(pid == outsider.processId(), "a process of ours outlived the window");
  QCOMPARE(outsider.state(), QProcess::Running);
  outsider.kill();
  outsider.waitForFinished();
}

void FrmMainBatchTest::screenshots() {
  const char* dir = std::getenv("QF_SCREENSHOT_DIR");
  if (!dir)
    QSKIP("QF_SCREENSHOT_DIR is not set");
  Harness h(QF_FAKE_ENGINE, false);
  h.printers = {"Office-Laser", "cups-pdf"};
  h.open();
  h.window->resize(1366, 768); // a common laptop screen
  QString folder = h.folderWith("公文", {"关于召开年度工作会议的通知.docx", "2024年工作总结.docx",
                                         "安全生产管理办法.doc", "请示.doc", "会议纪要.docx"});
  h.openFolder(folder);
  h.select({0, 2});
  h.progress()->setRange(0, 100); // as a batch does when it starts
  h.window->Message("2", "已用 LibreOffice 从 .doc 格式转换", "1", "2", "安全生产管理办法.doc");
  h.window->Message("100", "完成：关于召开年度工作会议的通知.docx", "1", "2", "");
  h.window->Message("0", "正在处理", "2", "2", "安全生产管理办法.doc");
  for (int page = 0; page < 11; ++page) {
    h.window->showPage(page);
    QApplication::processEvents();
    QVERIFY(h.window->grab().save(
        QStringLiteral("%1/page-%2.png").arg(dir).arg(page, 2, 10, QChar('0'))));
  }
}

QTEST_MAIN(FrmMainBatchTest)
#include "frmmain_batch_test.moc"
