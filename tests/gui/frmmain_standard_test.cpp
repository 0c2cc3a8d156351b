// The window's standard run (国标排版, cmdStandard) and its check (国标检查, cmdCheck): what
// reaches the engine server, the check's lines in the message list, a window that keeps
// working while it checks, and one click from a notice to an output that passes the check.

// The document model first: Qt's keyword macros (slots, signals) must not reach its headers.
#include "engine/standard/check.h"
#include "settings/settings.h"
#include "tests/engine/standard_notice.h"
#include "word/convert.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include "app/server/process_sweep.h"
#include "gui_test_support.h"

using gui_test::Harness;

namespace {

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

QString q(const std::string& text) {
  return QString::fromStdString(text);
}

QByteArray bytesOf(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A folder of three documents: the notice laid out by the standard run with `settings`, the
// notice as typed, and a file that is no document.
QString checkFolder(Harness& h, const engine::standard::Settings& settings = {}) {
  const QString folder = h.folderWith(QStringLiteral("公文"), {});
  stdtest::laidOutNotice(settings)->savePackage((folder + "/国标.docx").toStdString());
  qftest::makePackage(stdtest::noticeBody(), stdtest::kStyles)
      ->save((folder + "/原文.docx").toStdString());
  QFile broken(folder + "/坏.docx");
  broken.open(QIODevice::WriteOnly);
  broken.write("PK\x03\x04 not a package");
  return folder;
}

// The lines `quillfold check` prints for the typed notice under `settings`.
QStringList findingLines(const QString& path, const engine::standard::Settings& settings) {
  word::Application app;
  word::Document& doc = app.open(path.toStdString());
  const auto findings = engine::standard::checkDocument(doc, settings);
  QStringList lines{
      QStringLiteral("原文.docx：有 %1 处不符合 GB/T 9704-2012：").arg(findings.size())};
  for (const auto& f : findings)
    lines << QStringLiteral("  ") + q(f.text());
  return lines;
}

} // namespace

class FrmMainStandardTest : public QObject {
  Q_OBJECT

private slots:
  void initTestCase();
  void standardRunSendsItsModeAndTheStandardSettings();
  void checkNeedsASelection();
  void checkListsEachDocumentAsTheCommandPrintsIt_data();
  void checkListsEachDocumentAsTheCommandPrintsIt();
  void closingDuringACheckWaitsForIt();
  void aLegacyInputIsReadWhileTheWindowWorks();
  void oneClickGivesADocumentThatPassesTheCheck();

private:
  QTemporaryDir logDir_;
  QString log_;
};

void FrmMainStandardTest::initTestCase() {
  app::ownerMarker();
  log_ = logDir_.path() + "/requests.log";
  ::setenv("QF_FAKE_LOG", log_.toUtf8().constData(), 1);
}

// 国标排版 takes the road of 排版: the 46 settings, then the [standard] section as the file
// holds it (changed after the window opened), the documents, and Main("Standard").
void FrmMainStandardTest::standardRunSendsItsModeAndTheStandardSettings() {
  QFile::remove(log_);
  Harness h(QF_FAKE_ENGINE, false);
  h.writeIni("[standard]\ntitlefont=黑体\n");
  h.open();
  settings::IniFile other(h.iniPath().toStdString());
  QVERIFY(other.set("standard", "headings", "0").ok);
  h.openFolder(h.folderWith("docs", {"a.docx", "b.docx"}));
  h.select({1});
  QTest::mouseClick(h.button("cmdStandard"), Qt::LeftButton);
  QVERIFY(h.waitForBatch());

  const settings::IniFile file(h.iniPath().toStdString());
  auto expected = settings::loadEngineProperties(file);
  for (auto& property : settings::loadStandardProperties(file))
    expected.push_back(property);
  QCOMPARE(expected.size(), std::size_t(46 + 17));
  const QList<QJsonObject> log = requests(log_);
  QCOMPARE(log.size(), qsizetype(expected.size() + 3 + 2));
  QStringList differences;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const QJsonObject& sent = log[static_cast<qsizetype>(i)];
    if (sent["op"] != "set" || sent["name"] != q(expected[i].first) ||
        sent["value"] != q(expected[i].second))
      differences << q(expected[i].first) + ": sent " + sent["name"].toString() + "=" +
                         sent["value"].toString();
  }
  QVERIFY2(differences.isEmpty(), qPrintable(differences.join("; ")));
  auto sentValue = [&](const char* name) {
    for (const QJsonObject& r : log)
      if (r["op"] == "set" && r["name"] == QString::fromUtf8(name))
        return r["value"].toString();
    return QStringLiteral("<unset>");
  };
  QCOMPARE(sentValue("国标标题字体"), QStringLiteral("黑体"));
  QCOMPARE(sentValue("国标层次标题"), QStringLiteral("0"));
  QCOMPARE(sentValue("DocFileName"), QStringLiteral("b.docx"));
  QCOMPARE(log.last()["op"].toString(), QStringLiteral("main"));
  QCOMPARE(log.last()["mode"].toString(), QStringLiteral("Standard"));
  QVERIFY(h.messages().contains(QStringLiteral("模式 Standard:b.docx")));
  QCOMPARE(h.button("cmdStandard")->text(), QStringLiteral("国标排版"));
}

void FrmMainStandardTest::checkNeedsASelection() {
  Harness h;
  h.openFolder(h.folderWith("docs", {"a.docx"}));
  QTest::mouseClick(h.button("cmdCheck"), Qt::LeftButton);
  QCOMPARE(h.infos.size(), std::size_t(1));
  QCOMPARE(h.infos[0].text, QStringLiteral("请选择要检查的文件！"));
  QVERIFY(h.messages().isEmpty());
  QVERIFY(h.button("cmdCheck")->isEnabled());
}

// Each document gets its line (and its findings), then one summary line; the [standard]
// section chooses what is checked, as it does for `quillfold check`.
void FrmMainStandardTest::checkListsEachDocumentAsTheCommandPrintsIt_data() {
  QTest::addColumn<QByteArray>("ini");
  QTest::newRow("defaults") << QByteArray();
  QTest::newRow("addressee and headings not handled")
      << QByteArray("[standard]\naddressee=0\nheadings=0\n");
}

void FrmMainStandardTest::checkListsEachDocumentAsTheCommandPrintsIt() {
  QFETCH(QByteArray, ini);
  Harness h(QF_FAKE_ENGINE, false);
  h.writeIni(ini);
  h.open();
  const settings::IniFile file(h.iniPath().toStdString());
  const auto standard = engine::standard::fromProperties(settings::loadStandardProperties(file));
  const QString folder = checkFolder(h, standard);
  h.openFolder(folder);
  QCOMPARE(h.list("File1")->count(), 3);
  const QByteArray before = bytesOf(folder + "/原文.docx");
  // What the window shows while the check runs (it repaints and takes events meanwhile).
  struct Seen {
    int value;
    bool running, checkEnabled, startEnabled, mergeEnabled;
  };
  QList<Seen> seen;
  connect(h.progress(), &QProgressBar::valueChanged, this, [&](int v) {
    if (v > 0)
      seen << Seen{v, h.window->batchRunning(), h.button("cmdCheck")->isEnabled(),
                   h.button("cmdStandard")->isEnabled(), h.button("cmd合并")->isEnabled()};
  });
  h.select({0, 1, 2});
  QTest::mouseClick(h.button("cmdCheck"), Qt::LeftButton);

  QCOMPARE(seen.size(), 3);
  for (int i = 0; i < 3; ++i) {
    QCOMPARE(seen[i].value, i + 1);
    QVERIFY(seen[i].running);
    QVERIFY(!seen[i].checkEnabled && !seen[i].startEnabled && !seen[i].mergeEnabled);
  }
  QVERIFY(!h.window->batchRunning());
  QVERIFY(h.button("cmdCheck")->isEnabled() && h.button("cmdStandard")->isEnabled());
  QCOMPARE(h.progress()->maximum(), 3);
  QCOMPARE(h.label("Label1_54")->text(), QString());

  const QStringList expected = findingLines(folder + "/原文.docx", standard);
  const QStringList lines = h.messages();
  QVERIFY2(lines.size() > 4, qPrintable(lines.join('\n')));
  const qsizetype at = lines.indexOf(expected.first());
  QVERIFY2(at >= 0, qPrintable(lines.join('\n')));
  QCOMPARE(lines.mid(at, expected.size()), expected);
  QVERIFY(lines.contains(QStringLiteral("国标.docx：符合 GB/T 9704-2012 的各项可测条款")));
  QVERIFY2(!lines.filter(QRegularExpression(QStringLiteral("^坏\\.docx：无法读取，没有检查：.+")))
                .isEmpty(),
           qPrintable(lines.join('\n')));
  QCOMPARE(lines.last(),
           QStringLiteral("共检查 3 个文档：符合 1 个，不符合 1 个，无法读取 1 个。"));
  // Three document lines, the findings, the summary: nothing else.
  QCOMPARE(lines.size(), expected.size() + 3);
  const bool addresseeFound =
      !lines.filter(QStringLiteral("（主送机关）：冒号为“:”，应为“：”")).isEmpty();
  QCOMPARE(addresseeFound, ini.isEmpty());
  // Headings not handled are measured as body text.
  const bool headingFont =
      !lines.filter(QStringLiteral("（一级标题）：字体为宋体，应为黑体")).isEmpty();
  QCOMPARE(headingFont, ini.isEmpty());

  // A document's line opens the document; its findings open nothing.
  QListWidget* list = h.list("List1");
  emit list->itemDoubleClicked(list->item(static_cast<int>(at)));
  QCOMPARE(h.opened, QStringList({folder + "/原文.docx"}));
  emit list->itemDoubleClicked(list->item(static_cast<int>(at) + 1));
  QCOMPARE(h.opened.size(), 1);
  QCOMPARE(bytesOf(folder + "/原文.docx"), before); // read, never written
}

void FrmMainStandardTest::closingDuringACheckWaitsForIt() {
  Harness h;
  h.openFolder(checkFolder(h));
  bool closeAsked = false;
  connect(h.progress(), &QProgressBar::valueChanged, this, [&](int v) {
    if (v == 1 && !closeAsked) {
      closeAsked = true;
      QVERIFY(!h.window->close()); // refused for now
      QVERIFY(h.window->isVisible());
    }
  });
  h.select({0, 1, 2});
  QTest::mouseClick(h.button("cmdCheck"), Qt::LeftButton);
  QVERIFY(closeAsked);
  QVERIFY(!h.window->isVisible()); // closed once the check ended
  const QString summary = h.messages().last();
  QVERIFY2(summary.startsWith(QStringLiteral("共检查 ")), qPrintable(summary));
}

// LibreOffice reads a legacy input first (a second or more): meanwhile the window repaints,
// takes timer events and says what it waits for.
void FrmMainStandardTest::aLegacyInputIsReadWhileTheWindowWorks() {
  if (word::findSoffice().empty())
    QSKIP("LibreOffice is not installed");
  Harness h;
  const QString folder = h.folderWith(QStringLiteral("旧"), {});
  const QString doc = folder + "/决定.doc";
  QVERIFY(QFile::copy(QStringLiteral(QF_SOURCE_DIR "/samples/决定-表彰先进.doc"), doc));
  const QByteArray before = bytesOf(doc);
  h.openFolder(folder);
  h.select({0});
  bool fired = false, running = false, busyBar = false;
  QString status;
  QTimer::singleShot(200, this, [&] {
    fired = true;
    running = h.window->batchRunning();
    busyBar = h.progress()->maximum() == 0;
    status = h.label("Label1_54")->text();
  });
  QTest::mouseClick(h.button("cmdCheck"), Qt::LeftButton);
  QVERIFY(fired);
  QVERIFY(running);
  QVERIFY(busyBar);
  QCOMPARE(status, QStringLiteral("正在转换 1 个旧格式文档…"));
  const QStringList lines = h.messages();
  QVERIFY2(lines.first().startsWith(QStringLiteral("决定.doc：有 ")), qPrintable(lines.join('\n')));
  QCOMPARE(lines.last(),
           QStringLiteral("共检查 1 个文档：符合 0 个，不符合 1 个，无法读取 0 个。"));
  QCOMPARE(h.progress()->maximum(), 1);
  QCOMPARE(h.progress()->value(), 1);
  QCOMPARE(bytesOf(doc), before);
}

// From a notice as people type it to an output the check passes, with the real engine.
void FrmMainStandardTest::oneClickGivesADocumentThatPassesTheCheck() {
  Harness h(QF_ENGINE_SERVER);
  const QString in = h.folderWith(QStringLiteral("in"), {});
  qftest::makePackage(stdtest::noticeBody(), stdtest::kStyles)
      ->save((in + "/通知.docx").toStdString());
  h.openFolder(in);
  h.text("txtOut")->setText(h.program + "/out");
  h.select({0});
  QTest::mouseClick(h.button("cmdStandard"), Qt::LeftButton);
  QVERIFY(h.waitForBatch(180));
  QVERIFY2(h.messages().contains(QStringLiteral("完成：通知.docx")),
           qPrintable(h.messages().join('\n')));

  h.openFolder(h.program + "/out");
  h.select({0});
  QTest::mouseClick(h.button("cmdCheck"), Qt::LeftButton);
  const QStringList lines = h.messages();
  QVERIFY2(lines.contains(QStringLiteral("通知.docx：符合 GB/T 9704-2012 的各项可测条款")),
           qPrintable(lines.join('\n')));
  QCOMPARE(lines.last(),
           QStringLiteral("共检查 1 个文档：符合 1 个，不符合 0 个，无法读取 0 个。"));
  // The source, checked as typed, breaks clauses.
  h.openFolder(in);
  h.select({0});
  QTest::mouseClick(h.button("cmdCheck"), Qt::LeftButton);
  QCOMPARE(h.messages().last(),
           QStringLiteral("共检查 1 个文档：符合 0 个，不符合 1 个，无法读取 0 个。"));
}

QTEST_MAIN(FrmMainStandardTest)
#include "frmmain_standard_test.moc"
