#include "app/gui/preview.h"

#include <QButtonGroup>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QLabel>
#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QPdfView>
#include <QPushButton>
#include <QStackedWidget>
#include <QThreadPool>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include "app/render/render.h"
#include "base/messages.h"

namespace app::gui {

namespace {

QString q(const std::string& text) {
  return QString::fromStdString(text);
}

template <typename... Args> QString t(const char* pattern, Args&&... args) {
  return q(msg::text(pattern, std::forward<Args>(args)...));
}

QPushButton* toolButton(const char* name, const char* caption, QWidget* parent) {
  auto* button = new QPushButton(QString::fromUtf8(caption), parent);
  button->setObjectName(QString::fromUtf8(name));
  return button;
}

} // namespace

PreviewPane::PreviewPane(QWidget* parent)
    : QWidget(parent), cacheFolder_(q(app::render::defaultCacheFolder())),
      pool_(std::make_unique<QThreadPool>()) {
  setObjectName(QStringLiteral("fraPreview"));
  pool_->setMaxThreadCount(1); // one LibreOffice at a time; requests queue

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* bar = new QHBoxLayout;
  optSource_ = toolButton("optPreviewSource", msg::kPreviewSource, this);
  optOutput_ = toolButton("optPreviewOutput", msg::kPreviewOutput, this);
  auto* sides = new QButtonGroup(this);
  for (QPushButton* b : {optSource_, optOutput_}) {
    b->setCheckable(true);
    sides->addButton(b);
    bar->addWidget(b);
  }
  optSource_->setChecked(true);
  optOutput_->setEnabled(false);
  connect(optSource_, &QPushButton::clicked, this, [this] { setSide(Source); });
  connect(optOutput_, &QPushButton::clicked, this, [this] { setSide(Output); });
  bar->addSpacing(12);
  prev_ = toolButton("cmdPreviewPrev", msg::kPreviewPrevPage, this);
  next_ = toolButton("cmdPreviewNext", msg::kPreviewNextPage, this);
  pages_ = new QLabel(this);
  pages_->setObjectName(QStringLiteral("lblPreviewPages"));
  bar->addWidget(prev_);
  bar->addWidget(pages_);
  bar->addWidget(next_);
  bar->addStretch(1);
  auto* zoomOut = toolButton("cmdPreviewZoomOut", msg::kPreviewZoomOut, this);
  auto* zoomIn = toolButton("cmdPreviewZoomIn", msg::kPreviewZoomIn, this);
  auto* fit = toolButton("cmdPreviewFit", msg::kPreviewFitWidth, this);
  for (QPushButton* b : {zoomOut, zoomIn, fit})
    bar->addWidget(b);
  layout->addLayout(bar);

  stack_ = new QStackedWidget(this);
  message_ = new QLabel(t(msg::kPreviewPick), stack_);
  message_->setObjectName(QStringLiteral("lblPreviewMessage"));
  message_->setAlignment(Qt::AlignCenter);
  message_->setWordWrap(true);
  message_->setMargin(16);
  view_ = new QPdfView(stack_);
  view_->setObjectName(QStringLiteral("pdfPreview"));
  view_->setPageMode(QPdfView::PageMode::MultiPage);
  view_->setZoomMode(QPdfView::ZoomMode::FitToWidth);
  stack_->addWidget(message_);
  stack_->addWidget(view_);
  layout->addWidget(stack_, 1);
  for (auto& doc : documents_)
    doc = new QPdfDocument(this);

  connect(prev_, &QPushButton::clicked, this, [this] { goToPage(currentPage() - 1); });
  connect(next_, &QPushButton::clicked, this, [this] { goToPage(currentPage() + 1); });
  connect(zoomIn, &QPushButton::clicked, this, [this] { zoomBy(1.25); });
  connect(zoomOut, &QPushButton::clicked, this, [this] { zoomBy(0.8); });
  connect(fit, &QPushButton::clicked, this,
          [this] { view_->setZoomMode(QPdfView::ZoomMode::FitToWidth); });
  connect(view_->pageNavigator(), &QPdfPageNavigator::currentPageChanged, this,
          [this] { updatePageLabel(); });
  display();
}

PreviewPane::~PreviewPane() {
  // Wait for a running render before the objects its result goes to are gone.
  pool_->waitForDone();
}

void PreviewPane::setCacheFolder(const QString& folder) {
  cacheFolder_ = folder;
}

void PreviewPane::showDocument(const QString& source, const QString& output) {
  if (source == sides_[Source].path && output == sides_[Output].path) {
    refresh();
    return;
  }
  ++generation_;
  pending_ = 0;
  sides_[Source] = SideState{};
  sides_[Output] = SideState{};
  sides_[Source].path = source;
  sides_[Output].path = output;
  side_ = Source;
  optSource_->setChecked(true);
  if (source.isEmpty()) {
    display();
    return;
  }
  sides_[Output].missing = output.isEmpty() || !QFileInfo(output).isFile();
  std::vector<Side> wanted{Source};
  if (!sides_[Output].missing)
    wanted.push_back(Output);
  render(wanted);
}

void PreviewPane::refresh() {
  SideState& out = sides_[Output];
  if (sides_[Source].path.isEmpty() || out.path.isEmpty())
    return;
  const bool exists = QFileInfo(out.path).isFile();
  const QString path = out.path;
  if (!exists) {
    out = SideState{};
    out.path = path;
    out.missing = true;
    display();
    return;
  }
  // A new output (or one written again) has a new cache name.
  const QString pdf =
      q(app::render::cacheFileFor(out.path.toStdString(), cacheFolder_.toStdString()));
  if (out.rendering || (out.ready && pdf == out.pdf)) {
    display();
    return;
  }
  out = SideState{};
  out.path = path;
  side_ = Output;
  optOutput_->setChecked(true);
  render({Output});
}

void PreviewPane::render(const std::vector<Side>& sides) {
  std::vector<std::string> inputs;
  for (Side s : sides) {
    sides_[s].rendering = true;
    inputs.push_back(sides_[s].path.toStdString());
  }
  ++pending_;
  const unsigned generation = generation_;
  auto* watcher = new QFutureWatcher<std::vector<app::render::CachedPdf>>(this);
  connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, sides, generation] {
    watcher->deleteLater();
    if (generation != generation_)
      return; // another document was chosen meanwhile
    --pending_;
    const auto results = watcher->result();
    for (size_t i = 0; i < sides.size() && i < results.size(); ++i) {
      SideState& state = sides_[sides[i]];
      state.rendering = false;
      state.ready = results[i].ok;
      state.pdf = q(results[i].pdf);
      state.error = q(results[i].error);
    }
    display();
    emit rendered();
  });
  const std::string cache = cacheFolder_.toStdString();
  watcher->setFuture(QtConcurrent::run(
      pool_.get(), [inputs, cache] { return app::render::cachedPdfs(inputs, cache); }));
  display();
}

void PreviewPane::setSide(Side side) {
  side_ = side;
  (side == Source ? optSource_ : optOutput_)->setChecked(true);
  display();
}

int PreviewPane::pageCount() const {
  return stack_->currentWidget() == view_ ? documents_[side_]->pageCount() : 0;
}

int PreviewPane::currentPage() const {
  return view_->pageNavigator()->currentPage();
}

QString PreviewPane::message() const {
  return stack_->currentWidget() == message_ ? message_->text() : QString();
}

void PreviewPane::display() {
  const SideState& state = sides_[side_];
  optOutput_->setEnabled(!sides_[Output].path.isEmpty() && !sides_[Output].missing);
  const QString name = QFileInfo(state.path).fileName();
  QString text;
  if (sides_[Source].path.isEmpty())
    text = t(msg::kPreviewPick);
  else if (state.missing)
    text = t(msg::kPreviewNoOutput, name.toStdString());
  else if (state.rendering)
    text = t(msg::kPreviewRendering, name.toStdString());
  else if (!state.ready)
    text = t(msg::kPreviewFailed, name.toStdString(), state.error.toStdString());
  if (text.isEmpty()) {
    QPdfDocument* doc = documents_[side_];
    if (sides_[side_].loaded != state.pdf) {
      doc->close();
      sides_[side_].loaded = state.pdf;
      if (doc->load(state.pdf) != QPdfDocument::Error::None || doc->pageCount() <= 0) {
        sides_[side_].loaded.clear();
        text = t(msg::kPreviewFailed, name.toStdString(), msg::kPreviewDamagedPdf);
      }
    }
  }
  if (!text.isEmpty()) {
    message_->setText(text);
    stack_->setCurrentWidget(message_);
    view_->setDocument(nullptr);
  } else {
    if (view_->document() != documents_[side_]) {
      view_->setDocument(documents_[side_]);
      view_->pageNavigator()->jump(0, {}, view_->zoomFactor());
    }
    stack_->setCurrentWidget(view_);
  }
  updatePageLabel();
}

void PreviewPane::updatePageLabel() {
  const int count = pageCount();
  const int page = count > 0 ? std::clamp(currentPage(), 0, count - 1) : 0;
  pages_->setText(count > 0 ? t(msg::kPreviewPages, page + 1, count) : QString());
  prev_->setEnabled(count > 0 && page > 0);
  next_->setEnabled(count > 0 && page + 1 < count);
}

void PreviewPane::goToPage(int page) {
  const int count = pageCount();
  if (count <= 0)
    return;
  page = std::clamp(page, 0, count - 1);
  view_->pageNavigator()->jump(page, {}, view_->zoomFactor());
  updatePageLabel();
}

void PreviewPane::zoomBy(double factor) {
  const double zoom = std::clamp(view_->zoomFactor() * factor, 0.1, 8.0);
  view_->setZoomMode(QPdfView::ZoomMode::Custom);
  view_->setZoomFactor(zoom);
}

} // namespace app::gui
