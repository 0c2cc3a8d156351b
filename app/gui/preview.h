#pragma once
// The preview pane: the pages of a document as LibreOffice lays them out with our fonts, and
// after a batch its typeset output (a 原文/排版后 switch), with page navigation and zoom.
//
// Rendering runs on a worker thread of the pane (LibreOffice to PDF, one start for a document
// and its output together); the window never waits for it. PDFs are kept in a cache folder by
// path, size and modification time, so a second look at an unchanged file is immediate. A
// document that cannot be rendered shows the reason in place of its pages.

#include <QString>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QPdfDocument;
class QPdfView;
class QPushButton;
class QStackedWidget;
class QThreadPool;

namespace app::gui {

class PreviewPane : public QWidget {
  Q_OBJECT
public:
  enum Side { Source = 0, Output = 1 };

  explicit PreviewPane(QWidget* parent = nullptr);
  ~PreviewPane() override;

  // Where rendered PDFs are kept; default: ~/.cache/quillfold/preview (XDG_CACHE_HOME).
  void setCacheFolder(const QString& folder);
  const QString& cacheFolder() const { return cacheFolder_; }

  // Shows `source` (an empty text clears the pane); `output` is where its typeset result is
  // or will be. The source side is shown first; the output side can be chosen once it exists.
  void showDocument(const QString& source, const QString& output);
  // Looks again for the output (after a batch): when it is there, it is rendered and shown.
  void refresh();

  void setSide(Side side);
  Side side() const { return side_; }
  // Pages of the side shown (0 while rendering, on failure or with nothing shown).
  int pageCount() const;
  // The page shown, from 0.
  int currentPage() const;
  // The text shown in place of pages ("" while pages are shown).
  QString message() const;
  // True while a render of the document shown is running.
  bool busy() const { return pending_ > 0; }

signals:
  // A render finished and its result (pages or a reason) is on screen.
  void rendered();

private:
  struct SideState {
    QString path;   // the document
    QString pdf;    // its rendered PDF (when ready)
    QString error;  // why it could not be rendered
    QString loaded; // the PDF the document object holds
    bool missing = false;
    bool rendering = false;
    bool ready = false;
  };
  void render(const std::vector<Side>& sides);
  void display();
  void updatePageLabel();
  void goToPage(int page);
  void zoomBy(double factor);

  QString cacheFolder_;
  Side side_ = Source;
  SideState sides_[2];
  QPdfDocument* documents_[2] = {};
  unsigned generation_ = 0; // of the document shown; older results are ignored
  int pending_ = 0;
  std::unique_ptr<QThreadPool> pool_;

  QPushButton* optSource_ = nullptr;
  QPushButton* optOutput_ = nullptr;
  QPushButton* prev_ = nullptr;
  QPushButton* next_ = nullptr;
  QLabel* pages_ = nullptr;
  QLabel* message_ = nullptr;
  QStackedWidget* stack_ = nullptr;
  QPdfView* view_ = nullptr;
};

} // namespace app::gui
