// The preview pane of the window: a selected document shows its pages, a broken one its
// reason, a second look comes from the cache, and after a batch both the source and its
// typeset output can be seen; the PDF checkbox is kept in setup.ini and writes PDFs.

#include <QTest>
#include <cstdlib>

#include "app/gui/preview.h"
#include "app/server/process_sweep.h"
#include "gui_test_support.h"
#include "tests/render/render_fixtures.h"
#include "word/convert.h"

using app::gui::PreviewPane;
using gui_test::Harness;

class PreviewTest : public QObject {
  Q_OBJECT
private slots:
  void initTestCase();
  void selectingADocumentShowsItsPages();
  void afterABatchBothSidesAreShownAndPdfsAreWritten();
  void screenshot();

private:
  QTemporaryDir cache_;
};

namespace {

PreviewPane* pane(const Harness& h) {
  return h.window->findChild<PreviewPane*>(QStringLiteral("fraPreview"));
}

// Makes `row` the current entry of the file list, as a click does, and waits for the pane.
bool showRow(Harness& h, int row, int seconds = 120) {
  PreviewPane* p = pane(h);
  QSignalSpy spy(p, &PreviewPane::rendered);
  h.list("File1")->setCurrentRow(row);
  return !p->busy() || spy.wait(seconds * 1000);
}

} // namespace

void PreviewTest::initTestCase() {
  app::ownerMarker();
  // Rendered pages go into a cache of this test, not the user's.
  ::setenv("XDG_CACHE_HOME", cache_.path().toUtf8().constData(), 1);
}

void PreviewTest::selectingADocumentShowsItsPages() {
  Harness h;
  const QString folder = h.folderWith("docs", {});
  rendertest::writePagedDocx((folder + "/三页.docx").toStdString(), 3);
  QFile broken(folder + "/坏.docx");
  QVERIFY(broken.open(QIODevice::WriteOnly));
  broken.write("PK\x03\x04 no package");
  broken.close();
  h.openFolder(folder);
  QCOMPARE(h.list("File1")->count(), 2);
  PreviewPane* p = pane(h);
  QVERIFY(p);
  QCOMPARE(p->message(), QStringLiteral("选择一个文档即可在此预览"));

  QListWidget* files = h.list("File1");
  const int row =
      files->row(files->findItems(QStringLiteral("三页.docx"), Qt::MatchExactly).first());
  QVERIFY(showRow(h, row));
  QCOMPARE(p->pageCount(), 3);
  QCOMPARE(h.label("lblPreviewPages")->text(), QStringLiteral("第 1 页，共 3 页"));
  QVERIFY(!h.button("optPreviewOutput")->isEnabled()); // nothing typeset yet
  QTest::mouseClick(h.button("cmdPreviewNext"), Qt::LeftButton);
  QCOMPARE(h.label("lblPreviewPages")->text(), QStringLiteral("第 2 页，共 3 页"));
  QTest::mouseClick(h.button("cmdPreviewZoomIn"), Qt::LeftButton);
  QCOMPARE(p->pageCount(), 3);

  // A broken document shows the reason in Chinese instead of a blank area.
  QVERIFY(showRow(h, 1 - row));
  QCOMPARE(p->pageCount(), 0);
  QVERIFY2(p->message().startsWith(QStringLiteral("无法预览“坏.docx”：")),
           qPrintable(p->message()));

  // A second look at an unchanged document starts no LibreOffice.
  const unsigned launches = word::sofficeLaunchCount();
  QVERIFY(showRow(h, row, 10));
  QCOMPARE(p->pageCount(), 3);
  QCOMPARE(word::sofficeLaunchCount(), launches);
}

void PreviewTest::afterABatchBothSidesAreShownAndPdfsAreWritten() {
  Harness h(QF_ENGINE_SERVER, false);
  h.writeIni("[paragraph]\nRightIndent=0\n");
  h.open();
  const QString folder = h.folderWith("in", {});
  rendertest::writePagedDocx((folder + "/通知.docx").toStdString(), 2);
  h.openFolder(folder);
  h.text("txtOut")->setText(h.program + "/out");
  QCheckBox* pdf = h.check("chkPdf");
  QVERIFY(pdf && !pdf->isChecked());
  pdf->setChecked(true);
  QCOMPARE(h.ini("sys", "pdf"), std::string("1"));

  QVERIFY(showRow(h, 0));
  PreviewPane* p = pane(h);
  QCOMPARE(p->pageCount(), 2);
  QCOMPARE(p->side(), PreviewPane::Source);

  QSignalSpy rendered(p, &PreviewPane::rendered);
  h.select({0});
  QTest::mouseClick(h.button("cmd排版_0"), Qt::LeftButton);
  QVERIFY(h.waitForBatch(180));
  QVERIFY(QFile::exists(h.program + "/out/通知.docx"));
  // The output is rendered after the batch and shown; the source is one click away.
  QVERIFY(rendered.count() > 0 || rendered.wait(120000));
  QCOMPARE(p->side(), PreviewPane::Output);
  QVERIFY2(p->pageCount() > 0, qPrintable(p->message()));
  QVERIFY(h.button("optPreviewOutput")->isEnabled());
  QTest::mouseClick(h.button("optPreviewSource"), Qt::LeftButton);
  QCOMPARE(p->side(), PreviewPane::Source);
  QCOMPARE(p->pageCount(), 2);
  QTest::mouseClick(h.button("optPreviewOutput"), Qt::LeftButton);
  QVERIFY(p->pageCount() > 0);

  // 同时输出 PDF: the PDF comes beside the output, and the list says so.
  QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(h.program + "/out/通知.pdf"), 120000);
  QTRY_VERIFY_WITH_TIMEOUT(!h.messages().filter(QStringLiteral("已生成 PDF：")).isEmpty(), 10000);

  // The checkbox comes back from setup.ini.
  h.closeWindow();
  h.open();
  QVERIFY(h.check("chkPdf")->isChecked());
}

void PreviewTest::screenshot() {
  const char* dir = std::getenv("QF_SCREENSHOT_DIR");
  if (!dir)
    QSKIP("QF_SCREENSHOT_DIR is not set");
  Harness h(QF_ENGINE_SERVER, false);
  h.writeIni("[paragraph]\nRightIndent=0\n");
  h.open();
  h.window->resize(1366, 768);
  const QString folder = h.folderWith("公文", {});
  rendertest::writeDocx(
      (folder + "/关于做好安全生产工作的通知.docx").toStdString(),
      {{"关于做好安全生产工作的通知", "方正小标宋简体"},
       {"各区县人民政府，市政府各部门：", "仿宋_GB2312"},
       {"为切实做好今年的安全生产工作，防范和遏制重特大事故发生，现将有关事项通知如下。",
        "仿宋_GB2312"},
       {"一、提高思想认识", "黑体"},
       {"各地各部门要充分认识做好安全生产工作的重要性和紧迫性，把安全生产摆在突出位置。",
        "仿宋_GB2312"},
       {"二、落实工作责任", "楷体_GB2312"},
       {"要层层落实安全生产责任制，明确责任人，做到责任到人、措施到位。", "仿宋_GB2312"}});
  h.openFolder(folder);
  h.text("txtOut")->setText(h.program + "/out");
  QVERIFY(showRow(h, 0));
  h.select({0});
  QTest::mouseClick(h.button("cmd排版_0"), Qt::LeftButton);
  QVERIFY(h.waitForBatch(180));
  QTRY_VERIFY_WITH_TIMEOUT(pane(h)->pageCount() > 0 && pane(h)->side() == PreviewPane::Output,
                           120000);
  h.window->showPage(1);
  QApplication::processEvents();
  QVERIFY(h.window->grab().save(QStringLiteral("%1/preview.png").arg(dir)));
}

QTEST_MAIN(PreviewTest)
#include "preview_test.moc"
