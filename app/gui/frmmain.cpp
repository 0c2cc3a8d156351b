#include "app/gui/frmmain.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCollator>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QFutureWatcher>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QSocketNotifier>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTimer>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <cmath>
#include <map>
#include <thread>
#include <unistd.h>

#include "app/gui/filelist.h"
#include "app/gui/frmabout.h"
#include "app/gui/preview.h"
#include "app/gui/settings_controls.h"
#include "app/merge/merge.h"
#include "app/print/print.h"
#include "app/render/render.h"
#include "app/server/engine_client.h"
#include "app/server/engine_pool.h"
#include "app/server/process_sweep.h"
#include "base/messages.h"
#include "engine/standard/check.h"
#include "settings/settings.h"
#include "word/fonts.h"

#ifndef QF_VERSION
#define QF_VERSION "0.0.0"
#endif

namespace app::gui {

namespace fs = std::filesystem;
using settings::Conversion;
using settings::KeyInfo;
using settings::ValueList;

namespace {

QString q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string s(const QString& text) {
  return text.toStdString();
}

// A catalogue text with its placeholders filled.
template <typename... Args> QString t(const char* pattern, Args&&... args) {
  return q(msg::text(pattern, std::forward<Args>(args)...));
}

// The navigation captions, and the background colour of each button (0: the default).
struct NavEntry {
  const char* caption;
  unsigned rgb;
};
constexpr NavEntry kNavigation[] = {
    {msg::kNavWelcome, 0},          {msg::kNavFiles, 0xC0C0FF},     {msg::kNavOutput, 0xC0FFFF},
    {msg::kNavPage, 0xC0FFC0},      {msg::kNavHeader, 0xFFE0C0},    {msg::kNavFonts, 0xFFFFC0},
    {msg::kNavParagraph, 0xFFC0C0}, {msg::kNavWatermark, 0xFFC0FF}, {msg::kNavOther, 0xFFFFFF},
    {msg::kNavSupport, 0xE0E0E0},   {msg::kNavWorkbench, 0xC0C0FF},
};

// Width of a caption in columns: a Chinese character takes two.
int columns(const QString& text) {
  int n = 0;
  for (QChar c : text)
    n += c.unicode() >= 0x1100 ? 2 : 1;
  return n;
}

// The captions of buttons 1 to 10 padded with trailing spaces to one common width.
QString navigationCaption(int index) {
  QString caption = QString::fromUtf8(kNavigation[index].caption);
  if (index == 0)
    return caption;
  int widest = 0;
  for (int i = 1; i <= 10; ++i)
    widest = std::max(widest, columns(QString::fromUtf8(kNavigation[i].caption)));
  return caption + QString(widest - columns(caption), ' ');
}

// The start buttons: caption, run mode, and the note beside them.
struct StartCommand {
  const char* caption;
  const char* mode;
  const char* note;
};
constexpr StartCommand kStartCommands[] = {
    {msg::kStartFull, "0", msg::kStartFullNote},
    {msg::kStartHeader, "YeMei", msg::kStartHeaderNote},
    {msg::kStartPage, "YeMian", msg::kStartPageNote},
    {msg::kStartSizes, "ZiHao", msg::kStartSizesNote},
    {msg::kStartStandard, "Standard", msg::kStartStandardNote},
};
constexpr int kStartCommandCount = static_cast<int>(std::size(kStartCommands));
constexpr int kStandardCommand = 4;

// The program folder for documents: the executable's folder, or the home folder when that
// cannot be written (an installed copy lives in a system folder).
fs::path defaultProgramFolder() {
  fs::path program = settings::programFolder();
  if (!program.empty() && ::access(program.c_str(), W_OK | X_OK) == 0)
    return program;
  return fs::path(s(QDir::homePath()));
}

constexpr const char* kEngineProgram = "quillfold-engine";

// The entry of a list key that `stored` selects: a position, or an entry's own text (宋体, as
// the font defaults and hand-written files give it); nothing when it selects no entry ("-1",
// a position past the end, any other text).
std::optional<int> selectedPosition(const KeyInfo& key, std::string_view stored) {
  std::optional<int> state = controlState(key, stored);
  if (state && *state >= 0)
    return state;
  if (state)
    return std::nullopt;
  const QString text = q(stored).trimmed();
  const auto entries = settings::listEntries(key.list);
  for (std::size_t i = 0; i < entries.size(); ++i)
    if (q(entries[i].name) == text)
      return static_cast<int>(i);
  return std::nullopt;
}

// The entry a list shows when the stored text selects none: the key's default, else the first.
int defaultPosition(const KeyInfo& key) {
  return selectedPosition(key, key.defaultText).value_or(0);
}

// The objectName of the control showing `key` (the first of several).
QString controlName(const KeyInfo& key) {
  const SettingsControl* row = controlOf(key);
  return row ? q(row->control).section(',', 0, 0) : QString();
}

// Inputs LibreOffice converts on the way in (and back on the way out).
bool isLegacyInput(const QString& name) {
  const QString suffix = QFileInfo(name).suffix().toLower();
  return suffix == QLatin1String("doc") || suffix == QLatin1String("rtf") ||
         suffix == QLatin1String("wps") || suffix == QLatin1String("odt");
}

QPixmap bannerPixmap(int width, int height) {
  QPixmap pixmap(width, height);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient gradient(0, 0, width, 0);
  gradient.setColorAt(0, QColor(0x2f, 0x4f, 0x8f));
  gradient.setColorAt(1, QColor(0x8f, 0xa8, 0xd8));
  p.fillRect(pixmap.rect(), gradient);
  quillfoldIcon().paint(&p, QRect(10, (height - 40) / 2, 40, 40));
  QFont font = p.font();
  font.setPointSize(16);
  font.setBold(true);
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(QRect(62, 0, width - 70, height), Qt::AlignVCenter | Qt::AlignLeft, t(msg::kBanner));
  return pixmap;
}

// The banner across the top of the pages; it is painted again for every width.
class Banner : public QLabel {
public:
  explicit Banner(QWidget* parent) : QLabel(parent) {
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    setFixedHeight(56);
  }

protected:
  void resizeEvent(QResizeEvent* event) override {
    QLabel::resizeEvent(event);
    if (width() > 0)
      setPixmap(bannerPixmap(width(), height()));
  }
};

QLabel* label(const QString& text, QWidget* parent, const char* name = nullptr) {
  auto* l = new QLabel(text, parent);
  if (name)
    l->setObjectName(QString::fromUtf8(name));
  return l;
}

// A page of the tab control: one frame holding the page's controls.
QFrame* framePage(int index, QWidget* parent) {
  auto* frame = new QFrame(parent);
  frame->setObjectName(QStringLiteral("Frame_%1").arg(index));
  frame->setFrameShape(QFrame::StyledPanel);
  return frame;
}

QFrame* horizontalLine(const char* name, QWidget* parent) {
  auto* line = new QFrame(parent);
  line->setObjectName(QString::fromUtf8(name));
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  return line;
}

} // namespace

std::string resolveEnginePath(const fs::path& programFolder, std::string_view pathVariable) {
  return app::findEngineServer({programFolder}, pathVariable);
}

QString outputNameFor(const QString& name) {
  if (name.endsWith(QLatin1String(".txt"), Qt::CaseSensitive))
    return name.left(name.size() - 4) + QStringLiteral(".doc");
  return name;
}

// ---- construction -----------------------------------------------------------------------

FrmMain::FrmMain(FrmMainOptions options, QWidget* parent)
    : QMainWindow(parent), options_(std::move(options)),
      ini_(options_.settingsPath.empty() ? settings::defaultSettingsPath()
                                         : options_.settingsPath) {
  // Everything the window starts inherits the marker the exit sweep looks for.
  app::ownerMarker();
  if (options_.programFolder.empty())
    options_.programFolder = defaultProgramFolder();
  if (!options_.locateEngine)
    options_.locateEngine = [] {
      const char* path = std::getenv("PATH");
      return resolveEnginePath(settings::programFolder(), path ? path : "");
    };
  if (!options_.printers)
    options_.printers = [] { return app::print::printers().names; };
  if (!options_.chooseFolder)
    options_.chooseFolder = [](QWidget* parent, const QString& caption, const QString& start) {
      QFileDialog dialog(parent, caption, start);
      dialog.setObjectName(QStringLiteral("dlgFolder"));
      dialog.setFileMode(QFileDialog::Directory);
      dialog.setOption(QFileDialog::ShowDirsOnly, true);
      if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
      return dialog.selectedFiles().first();
    };
  if (!options_.choosePicture)
    options_.choosePicture = [](QWidget* parent, const QString& start) {
      QFileDialog dialog(parent, t(msg::kChoosePictureTitle), start);
      dialog.setObjectName(QStringLiteral("Dialog1"));
      dialog.setFileMode(QFileDialog::ExistingFile);
      dialog.setNameFilters({t(msg::kPictureFilterJpg), t(msg::kPictureFilterPng)});
      if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
      return dialog.selectedFiles().first();
    };
  if (!options_.infoBox)
    options_.infoBox = [](QWidget* parent, const QString& title, const QString& text) {
      QMessageBox::information(parent, title, text);
    };
  if (!options_.errorBox)
    options_.errorBox = [](QWidget* parent, const QString& title, const QString& text) {
      QMessageBox::critical(parent, title, text);
    };
  if (!options_.choiceBox)
    options_.choiceBox = [](QWidget* parent, const QString& title, const QString& text,
                            const QStringList& buttons) {
      QMessageBox box(QMessageBox::Information, title, text, QMessageBox::NoButton, parent);
      std::vector<QAbstractButton*> added;
      for (int i = 0; i < buttons.size(); ++i)
        added.push_back(
            box.addButton(buttons[i], i == 0 ? QMessageBox::AcceptRole : QMessageBox::ActionRole));
      if (!added.empty())
        box.setEscapeButton(added.front());
      box.exec();
      for (std::size_t i = 0; i < added.size(); ++i)
        if (box.clickedButton() == added[i])
          return static_cast<int>(i);
      return -1;
    };
  if (!options_.openUrl)
    options_.openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };

  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(t(msg::kWindowTitle, QF_VERSION));
  setWindowIcon(quillfoldIcon());

  buildMenus();

  auto* central = new QWidget(this);
  auto* outer = new QHBoxLayout(central);
  outer->addWidget(buildNavigation());

  auto* right = new QVBoxLayout;
  auto* banner = new Banner(central);
  banner->setObjectName(QStringLiteral("Image1"));
  right->addWidget(banner);

  tab_ = new QTabWidget(central);
  tab_->setObjectName(QStringLiteral("SSTab1"));
  tab_->tabBar()->hide(); // the navigation column chooses the page
  const char* titles[] = {msg::kPageWelcome,   msg::kPageFiles,     msg::kPageOutput,
                          msg::kPagePage,      msg::kPageHeader,    msg::kPageFonts,
                          msg::kPageParagraph, msg::kPageWatermark, msg::kPageOther,
                          msg::kPageSupport,   msg::kPageWorkbench};
  QWidget* pages[] = {buildWelcomePage(),   buildFilesPage(),        buildOutputPage(),
                      buildPageSetupPage(), buildHeaderFooterPage(), buildFontsPage(),
                      buildParagraphPage(), buildWatermarkPage(),    buildOtherSettingsPage(),
                      buildSupportPage(),   buildWorkbenchPage()};
  for (int i = 0; i < 11; ++i)
    tab_->addTab(pages[i], t(titles[i]));
  right->addWidget(tab_, 1);
  outer->addLayout(right, 1);
  setCentralWidget(central);
  resize(900, 620);

  connectSettings();
  formLoad();
  showPage(0);
}

FrmMain::~FrmMain() {
  if (engine_) {
    engine_->setFdWatcher(nullptr);
    engine_.reset();
  }
}

void FrmMain::buildMenus() {
  auto* file = menuBar()->addMenu(t(msg::kMenuFile));
  file->setObjectName(QStringLiteral("mnuFile"));
  auto add = [&](QMenu* menu, const char* name, const char* caption) {
    QAction* action = menu->addAction(QString::fromUtf8(caption));
    action->setObjectName(QString::fromUtf8(name));
    return action;
  };
  connect(add(file, "mnuOpen", msg::kMenuOpen), &QAction::triggered, this,
          &FrmMain::chooseSourceFolder);
  mnuStart_ = add(file, "mnuStart", msg::kMenuStart);
  connect(mnuStart_, &QAction::triggered, this, [this] { startBatch(0); });
  mnuPrint_ = add(file, "mnuPrint", msg::kMenuPrint);
  connect(mnuPrint_, &QAction::triggered, this, [this] { printSelected(); });
  mnuMerge_ = add(file, "mnuMerge", msg::kMenuMerge);
  connect(mnuMerge_, &QAction::triggered, this, [this] { mergeSelected(); });
  file->addSeparator();
  connect(add(file, "mnuClose", msg::kMenuClose), &QAction::triggered, this, &FrmMain::close);

  auto* help = menuBar()->addMenu(t(msg::kMenuHelp));
  help->setObjectName(QStringLiteral("mnuHelp"));
  connect(add(help, "mnuAbout", msg::kMenuAbout), &QAction::triggered, this, &FrmMain::showAbout);
}

QWidget* FrmMain::buildNavigation() {
  auto* column = new QWidget(this);
  column->setObjectName(QStringLiteral("fraNavigation"));
  auto* layout = new QVBoxLayout(column);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* group = new QButtonGroup(column);
  group->setExclusive(true);
  for (int i = 0; i < 11; ++i) {
    auto* button = new QPushButton(navigationCaption(i), column);
    button->setObjectName(QStringLiteral("Option1_%1").arg(i));
    button->setCheckable(true);
    button->setMinimumHeight(34);
    QString style = QStringLiteral("QPushButton { text-align: left; padding: 4px 10px; "
                                   "border: 1px solid #8a8a8a; border-radius: 3px;");
    if (kNavigation[i].rgb)
      style += QStringLiteral(" background-color: #%1;").arg(kNavigation[i].rgb, 6, 16, QChar('0'));
    style += QStringLiteral(" } QPushButton:checked { border: 2px solid #2f4f8f; "
                            "font-weight: bold; }");
    button->setStyleSheet(style);
    group->addButton(button, i);
    layout->addWidget(button);
    navigationButtons_.push_back(button);
    connect(button, &QPushButton::clicked, this, [this, i] { showPage(i); });
  }
  layout->addStretch(1);
  auto* close = new QPushButton(t(msg::kNavClose), column);
  close->setObjectName(QStringLiteral("opClose"));
  close->setMinimumHeight(34);
  connect(close, &QPushButton::clicked, this, &FrmMain::close);
  layout->addWidget(close);
  column->setFixedWidth(160);
  return column;
}

QComboBox* FrmMain::combo(const char* name, const QStringList& entries) {
  auto* box = new QComboBox(this);
  box->setObjectName(QString::fromUtf8(name));
  box->addItems(entries);
  box->setCurrentIndex(-1); // a list starts without selection until it is loaded
  box->setMinimumWidth(120);
  // Wide enough for its longest entry ("- 1 - , - 2 - , - 3 -, ...").
  box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  return box;
}

QComboBox* FrmMain::combo(const char* name, ValueList list) {
  QStringList entries;
  for (const settings::ListEntry& entry : settings::listEntries(list))
    entries << q(entry.name);
  return combo(name, entries);
}

QLineEdit* FrmMain::textBox(const char* name) {
  auto* box = new QLineEdit(this);
  box->setObjectName(QString::fromUtf8(name));
  return box;
}

QCheckBox* FrmMain::checkBox(const char* name, const QString& caption) {
  auto* box = new QCheckBox(caption, this);
  box->setObjectName(QString::fromUtf8(name));
  return box;
}

QWidget* FrmMain::buildWelcomePage() {
  QFrame* page = framePage(0, this);
  auto* layout = new QVBoxLayout(page);
  layout->addSpacing(30);
  for (const char* line : {msg::kWelcome1, msg::kWelcome2, msg::kWelcome3}) {
    QLabel* l = label(t(line), page);
    l->setWordWrap(true);
    layout->addWidget(l);
    layout->addSpacing(12);
  }
  layout->addStretch(1);
  return page;
}

QWidget* FrmMain::buildFilesPage() {
  QFrame* page = framePage(1, this);
  auto* layout = new QVBoxLayout(page);
  auto* top = new QHBoxLayout;
  QLabel* hint = label(t(msg::kFilesHint), page);
  hint->setWordWrap(true);
  top->addWidget(hint, 1);
  auto* cmdOpen = new QPushButton(t(msg::kOpenFolder), page);
  cmdOpen->setObjectName(QStringLiteral("cmdOpen"));
  connect(cmdOpen, &QPushButton::clicked, this, &FrmMain::chooseSourceFolder);
  top->addWidget(cmdOpen);
  layout->addLayout(top);

  currentFolderLabel_ = label(QString(), page, "Label1_36");
  layout->addWidget(currentFolderLabel_);
  // The file list and, beside it, the preview of the current file.
  auto* splitter = new QSplitter(Qt::Horizontal, page);
  splitter->setObjectName(QStringLiteral("splPreview"));
  fileList_ = new FileListBox(splitter);
  fileList_->setObjectName(QStringLiteral("File1"));
  preview_ = new PreviewPane(splitter);
  splitter->addWidget(fileList_);
  splitter->addWidget(preview_);
  splitter->setStretchFactor(0, 2);
  splitter->setStretchFactor(1, 3);
  layout->addWidget(splitter, 1);
  connect(fileList_, &QListWidget::currentItemChanged, this, [this] { updatePreview(); });

  auto* filter = new QHBoxLayout;
  filter->addWidget(label(t(msg::kFilter), page));
  txtPath_ = textBox("txtPath");
  filter->addWidget(txtPath_, 1);
  cbFilter_ = combo("cbFilter", QStringList{QStringLiteral("*.doc"), QStringLiteral("*.txt")});
  filter->addWidget(cbFilter_);
  filter->addWidget(label(t(msg::kFilterHint), page));
  layout->addLayout(filter);
  layout->addWidget(label(t(msg::kSelectHint), page));
  connect(txtPath_, &QLineEdit::textChanged, this, &FrmMain::applyFileFilter);
  connect(cbFilter_, &QComboBox::currentIndexChanged, this, &FrmMain::applyFileFilter);
  return page;
}

QWidget* FrmMain::buildOutputPage() {
  QFrame* page = framePage(2, this);
  auto* layout = new QVBoxLayout(page);
  layout->addSpacing(20);
  layout->addWidget(label(t(msg::kOutputLabel), page));
  auto* row = new QHBoxLayout;
  txtOut_ = textBox("txtOut");
  row->addWidget(txtOut_, 1);
  auto* cmdBrowser = new QPushButton(QStringLiteral("..."), page);
  cmdBrowser->setObjectName(QStringLiteral("cmdBrowser"));
  cmdBrowser->setFixedWidth(40);
  connect(cmdBrowser, &QPushButton::clicked, this, &FrmMain::chooseOutputFolder);
  row->addWidget(cmdBrowser);
  layout->addLayout(row);
  layout->addSpacing(20);
  QLabel* note = label(t(msg::kOutputNote), page);
  note->setWordWrap(true);
  layout->addWidget(note);
  layout->addSpacing(12);
  auto* openRow = new QHBoxLayout;
  auto* cmdOpenOut = new QPushButton(t(msg::kOpenOutputFolder), page);
  cmdOpenOut->setObjectName(QStringLiteral("cmdOpenOut"));
  connect(cmdOpenOut, &QPushButton::clicked, this, &FrmMain::openOutputFolder);
  openRow->addWidget(cmdOpenOut);
  openRow->addStretch(1);
  layout->addLayout(openRow);
  layout->addSpacing(12);
  chkPdf_ = new QCheckBox(t(msg::kAlsoPdf), page);
  chkPdf_->setObjectName(QStringLiteral("chkPdf"));
  layout->addWidget(chkPdf_);
  connect(chkPdf_, &QCheckBox::toggled, this, [this](bool on) {
    if (!loading_)
      (void)ini_.set("sys", "pdf", on ? "1" : "0");
  });
  layout->addStretch(1);
  return page;
}

QWidget* FrmMain::buildPageSetupPage() {
  QFrame* page = framePage(3, this);
  auto* grid = new QGridLayout(page);
  int row = 0;
  auto measure = [&](const char* caption, const char* name, int column) {
    grid->addWidget(label(t(caption), page), row, column * 3);
    grid->addWidget(textBox(name), row, column * 3 + 1);
    grid->addWidget(label(t(msg::kCentimetres), page), row, column * 3 + 2);
  };
  auto list = [&](const char* caption, const char* name, ValueList values, int column) {
    grid->addWidget(label(t(caption), page), row, column * 3);
    grid->addWidget(combo(name, values), row, column * 3 + 1);
  };
  measure(msg::kMarginLeft, "txtPageLeft", 0);
  measure(msg::kMarginTop, "txtPageTop", 1);
  ++row;
  measure(msg::kMarginBottom, "txtPageBottom", 0);
  measure(msg::kMarginRight, "txtPageRight", 1);
  ++row;
  list(msg::kPaperSize, "cboPageSize", ValueList::PaperSize, 0);
  list(msg::kOrientation, "cboPageO", ValueList::Orientation, 1);
  ++row;
  measure(msg::kGutter, "txtGutter", 0);
  list(msg::kGutterPos, "cboGutterPos", ValueList::GutterPosition, 1);
  ++row;
  measure(msg::kHeaderDistance, "txtHeaderDistance", 0);
  measure(msg::kFooterDistance, "txtFooterDistance", 1);
  ++row;
  grid->setRowStretch(row, 1);
  // The spare width goes to the right of the two columns, so that on a wide window each
  // field stays beside its label and its unit.
  grid->setColumnMinimumWidth(2, 40);
  grid->setColumnStretch(6, 1);
  return page;
}

QWidget* FrmMain::buildHeaderFooterPage() {
  QFrame* page = framePage(4, this);
  auto* grid = new QGridLayout(page);
  int row = 0;
  auto field = [&](const char* caption, QWidget* control) {
    grid->addWidget(label(t(caption), page), row, 0);
    if (qobject_cast<QLineEdit*>(control))
      grid->addWidget(control, row, 1, 1, 2);
    else
      grid->addWidget(control, row, 1);
    ++row;
  };
  grid->addWidget(checkBox("chkUseHeader", t(msg::kUseHeader)), row++, 0, 1, 3);
  field(msg::kHeaderText, textBox("txtYeMei"));
  field(msg::kHeaderAlign, combo("cbAlign", ValueList::Alignment));
  field(msg::kHeaderFont, combo("cbFontYm", ValueList::FontNames));
  field(msg::kHeaderSize, combo("cbFontSizeYm", ValueList::SizesWithDaWu));
  QCheckBox* combined = checkBox("chkZHYeMei", t(msg::kCombinedHeader));
  grid->addWidget(combined, row++, 0, 1, 3);
  // Two separate rules with a gap between them, so they do not read as one thick line.
  grid->addWidget(horizontalLine("Line1", page), row++, 0, 1, 3);
  grid->setRowMinimumHeight(row++, 8);
  grid->addWidget(horizontalLine("Line2", page), row++, 0, 1, 3);
  grid->addWidget(checkBox("chkUseFooter", t(msg::kUseFooter)), row++, 0, 1, 3);
  field(msg::kNumberStyle, combo("cbStyle", ValueList::PageNumberStyle));
  field(msg::kNumberAlign, combo("cbAlignYj", ValueList::Alignment));
  grid->setRowStretch(row, 1);
  grid->setColumnStretch(2, 1);
  return page;
}

QWidget* FrmMain::buildFontsPage() {
  QFrame* page = framePage(5, this);
  auto* grid = new QGridLayout(page);
  grid->addWidget(label(t(msg::kBodyFont), page), 0, 0);
  grid->addWidget(combo("cbFontZw", ValueList::FontNames), 0, 1);
  grid->addWidget(label(t(msg::kFontSize), page), 0, 2);
  grid->addWidget(combo("cbFontSizeZw", ValueList::SizesWithDaWu), 0, 3);
  grid->addWidget(checkBox("chkBzw", t(msg::kBold)), 0, 4);
  grid->addWidget(label(t(msg::kTitleFont), page), 1, 0);
  grid->addWidget(combo("cbFontBt", ValueList::FontNames), 1, 1);
  grid->addWidget(label(t(msg::kFontSize), page), 1, 2);
  grid->addWidget(combo("cbFontSizeBt", ValueList::SizesWithoutDaWu), 1, 3);
  grid->addWidget(checkBox("chkB", t(msg::kBold)), 1, 4);
  grid->setRowStretch(2, 1);
  grid->setColumnStretch(5, 1);
  return page;
}

QWidget* FrmMain::buildParagraphPage() {
  QFrame* page = framePage(6, this);
  auto* grid = new QGridLayout(page);
  grid->addWidget(label(t(msg::kLineSpacing), page), 0, 0);
  cbHangJu_ = combo("cbHangJu", ValueList::LineSpacing);
  grid->addWidget(cbHangJu_, 0, 1);
  fixedSpacingLabel_ = label(t(msg::kFixedValue), page, "Label1_30");
  txtBang_ = textBox("txtBang");
  fixedSpacingUnitLabel_ = label(t(msg::kPoints), page, "Label1_31");
  grid->addWidget(fixedSpacingLabel_, 0, 2);
  grid->addWidget(txtBang_, 0, 3);
  grid->addWidget(fixedSpacingUnitLabel_, 0, 4);
  int row = 1;
  for (auto [caption, name, unit] : {std::tuple{msg::kLeftIndent, "txtLeft", msg::kCharacters},
                                     std::tuple{msg::kRightIndent, "txtRight", msg::kCharacters},
                                     std::tuple{msg::kSpaceBefore, "txtDuanQian", msg::kLines},
                                     std::tuple{msg::kSpaceAfter, "txtDuanHou", msg::kLines}}) {
    grid->addWidget(label(t(caption), page), row, 0);
    grid->addWidget(textBox(name), row, 1);
    grid->addWidget(label(t(unit), page), row, 2);
    ++row;
  }
  grid->setRowStretch(row, 1);
  grid->setColumnStretch(5, 1);
  return page;
}

QWidget* FrmMain::buildWatermarkPage() {
  QFrame* page = framePage(7, this);
  auto* grid = new QGridLayout(page);
  const char* names[] = {"op1", "op2", "op3"};
  const char* captions[] = {msg::kNoWatermark, msg::kPictureWatermark, msg::kTextWatermark};
  auto* group = new QButtonGroup(page);
  for (int i = 0; i < 3; ++i) {
    watermarkKinds_[i] = new QRadioButton(t(captions[i]), page);
    watermarkKinds_[i]->setObjectName(QString::fromUtf8(names[i]));
    group->addButton(watermarkKinds_[i], i);
  }
  grid->addWidget(watermarkKinds_[0], 0, 0, 1, 3);
  grid->addWidget(watermarkKinds_[1], 1, 0, 1, 3);
  auto* cmdBrowse = new QPushButton(t(msg::kChoosePicture), page);
  cmdBrowse->setObjectName(QStringLiteral("cmdBrowse"));
  connect(cmdBrowse, &QPushButton::clicked, this, &FrmMain::chooseWatermarkPicture);
  grid->addWidget(cmdBrowse, 2, 1);
  txtJpg_ = textBox("txtJpg");
  grid->addWidget(txtJpg_, 2, 2, 1, 2);
  grid->addWidget(watermarkKinds_[2], 3, 0, 1, 3);
  grid->addWidget(label(t(msg::kWatermarkText), page), 4, 1);
  grid->addWidget(textBox("txtShuiYin"), 4, 2, 1, 2);
  grid->addWidget(label(t(msg::kWatermarkFont), page), 5, 1);
  grid->addWidget(combo("cbShuiYinFontName", ValueList::FontNames), 5, 2);
  grid->addWidget(label(t(msg::kWatermarkStyle), page), 6, 1);
  grid->addWidget(combo("cbShuiYinStyle", ValueList::WatermarkStyle), 6, 2);
  grid->addWidget(label(t(msg::kWatermarkColor), page), 7, 1);
  grid->addWidget(combo("cbColor", ValueList::WatermarkColor), 7, 2);
  grid->setColumnMinimumWidth(0, 24);
  grid->setRowStretch(8, 1);
  grid->setColumnStretch(3, 1);
  return page;
}

QWidget* FrmMain::buildOtherSettingsPage() {
  QFrame* page = framePage(8, this);
  auto* layout = new QVBoxLayout(page);
  for (auto [name, caption] : {
           std::pair{"chkBt", msg::kFirstIsTitle},
           std::pair{"chkKongGe", msg::kRemoveSpaces},
           std::pair{"chkBiaoDian", msg::kFullWidthPunctuation},
           std::pair{"chkKongHang", msg::kRemoveEmptyLines},
           std::pair{"chkTouKongGe", msg::kLeadingSpaces},
           std::pair{"chkXiaoKuoHao", msg::kHalfWidthParentheses},
           std::pair{"chkFenLan", msg::kTwoColumns},
           std::pair{"chkJuHao", msg::kFullStops},
       })
    layout->addWidget(checkBox(name, t(caption)));
  auto* row = new QHBoxLayout;
  row->addWidget(label(t(msg::kTitleAlign), page));
  row->addWidget(combo("cbBtAlign", ValueList::Alignment));
  row->addStretch(1);
  layout->addLayout(row);
  layout->addStretch(1);
  return page;
}

QWidget* FrmMain::buildSupportPage() {
  QFrame* page = framePage(9, this);
  auto* layout = new QVBoxLayout(page);
  helpBrowser_ = new QTextBrowser(page);
  helpBrowser_->setObjectName(QStringLiteral("WebBrowser1"));
  helpBrowser_->setOpenExternalLinks(false);
  layout->addWidget(helpBrowser_);
  return page;
}

QWidget* FrmMain::buildWorkbenchPage() {
  QFrame* page = framePage(10, this);
  auto* grid = new QGridLayout(page);
  int row = 0;
  // A note and the list that belongs to it share one cell, the list right after the note, so
  // that on a wide window the list stays beside its label instead of drifting to the far edge.
  auto noteWith = [&](const char* note, QComboBox* list) {
    auto* cell = new QHBoxLayout;
    cell->addWidget(label(t(note), page));
    if (list)
      cell->addWidget(list);
    cell->addStretch(1);
    grid->addLayout(cell, row, 1);
  };
  for (int i = 0; i < kStartCommandCount; ++i) {
    auto* button = new QPushButton(t(kStartCommands[i].caption), page);
    button->setObjectName(i == kStandardCommand
                              ? QStringLiteral("cmdStandard")
                              : QString::fromUtf8("cmd排版_") + QString::number(i));
    button->setMinimumWidth(100);
    connect(button, &QPushButton::clicked, this, [this, i] { startBatch(i); });
    startButtons_.push_back(button);
    grid->addWidget(button, row, 0);
    noteWith(kStartCommands[i].note, i == 3 ? combo("cbFontJJ", ValueList::FontSizeStep) : nullptr);
    ++row;
  }
  cmdCheck_ = new QPushButton(t(msg::kCheckStandard), page);
  cmdCheck_->setObjectName(QStringLiteral("cmdCheck"));
  connect(cmdCheck_, &QPushButton::clicked, this, [this] { checkSelected(); });
  grid->addWidget(cmdCheck_, row, 0);
  noteWith(msg::kCheckStandardNote, nullptr);
  ++row;
  cmdMerge_ = new QPushButton(t(msg::kMerge), page);
  cmdMerge_->setObjectName(QString::fromUtf8("cmd合并"));
  connect(cmdMerge_, &QPushButton::clicked, this, [this] { mergeSelected(); });
  grid->addWidget(cmdMerge_, row, 0);
  noteWith(msg::kMergeNote, nullptr);
  ++row;
  cmdPrint_ = new QPushButton(t(msg::kPrint), page);
  cmdPrint_->setObjectName(QString::fromUtf8("cmd打印"));
  connect(cmdPrint_, &QPushButton::clicked, this, [this] { printSelected(); });
  grid->addWidget(cmdPrint_, row, 0);
  cbPrinter_ = combo("cbPrinter", QStringList{});
  noteWith(msg::kPrintNote, cbPrinter_);
  ++row;
  progressBar_ = new QProgressBar(page);
  progressBar_->setObjectName(QStringLiteral("ProgressBar1"));
  progressBar_->setRange(0, 100);
  progressBar_->setValue(0);
  grid->addWidget(progressBar_, row++, 0, 1, 2);
  messageList_ = new QListWidget(page);
  messageList_->setObjectName(QStringLiteral("List1"));
  // Long lines wrap inside the list instead of needing sideways scrolling; each line also
  // carries its whole text as a tooltip.
  messageList_->setWordWrap(true);
  messageList_->setTextElideMode(Qt::ElideNone);
  messageList_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  messageList_->setResizeMode(QListView::Adjust);
  connect(messageList_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
    if (item)
      openListEntry(item->data(Qt::UserRole).toString());
  });
  grid->addWidget(messageList_, row++, 0, 1, 2);
  grid->setRowStretch(row - 1, 1);
  statusLabel_ = label(QString(), page, "Label1_54");
  statusLabel_->setWordWrap(true);
  grid->addWidget(statusLabel_, row++, 0, 1, 2);
  grid->setColumnStretch(1, 1);
  return page;
}

// ---- settings -----------------------------------------------------------------------------

void FrmMain::connectSettings() {
  using Save = void (FrmMain::*)();
  const std::map<std::string_view, Save> saves = {
      {"font", &FrmMain::SaveFontInfo},           {"shuiyin", &FrmMain::SaveShuiYinInfo},
      {"pageinfo", &FrmMain::SavePageInfo},       {"headerfooter", &FrmMain::SaveHeaderFooterInfo},
      {"paragraph", &FrmMain::SaveParagraphInfo}, {"tool", &FrmMain::SaveToolInfo},
  };
  for (const SettingsControl& row : settingsControls()) {
    auto it = saves.find(row.section);
    if (it == saves.end())
      continue;
    Save save = it->second;
    const QStringList names = q(row.control).split(',');
    for (const QString& name : names) {
      QWidget* w = findChild<QWidget*>(name);
      if (auto* box = qobject_cast<QComboBox*>(w)) {
        if (box == cbHangJu_)
          connect(box, &QComboBox::currentIndexChanged, this, &FrmMain::lineSpacingChosen);
        else
          connect(box, &QComboBox::currentIndexChanged, this, save);
      } else if (auto* option = qobject_cast<QRadioButton*>(w)) {
        connect(option, &QRadioButton::toggled, this, [this, save](bool on) {
          if (on)
            (this->*save)();
        });
      } else if (auto* check = qobject_cast<QCheckBox*>(w)) {
        connect(check, &QCheckBox::toggled, this, save);
      } else if (auto* text = qobject_cast<QLineEdit*>(w)) {
        connect(text, &QLineEdit::textChanged, this, save);
      }
    }
  }
}

void FrmMain::putIntoControl(const KeyInfo& key, const std::string& stored) {
  std::optional<int> state = controlState(key, stored);
  switch (key.conversion) {
  case Conversion::Text:
    if (auto* box = findChild<QLineEdit*>(controlName(key)))
      box->setText(q(stored));
    break;
  case Conversion::Index:
  case Conversion::IndexToName:
  case Conversion::IndexToSize:
    if (auto* box = findChild<QComboBox*>(controlName(key))) {
      // A list never shows "no selection": a stored "-1", or a text that selects nothing
      // while the list has no entry selected yet, shows the key's default entry, and the
      // next save writes that entry's position.
      if (std::optional<int> position = selectedPosition(key, stored))
        box->setCurrentIndex(*position);
      else if ((state && *state < 0) || box->currentIndex() < 0)
        box->setCurrentIndex(defaultPosition(key));
    }
    break;
  case Conversion::Check:
    if (auto* box = findChild<QCheckBox*>(controlName(key)); box && state)
      box->setChecked(*state == 1);
    break;
  case Conversion::Option:
    if (state && *state >= 0 && *state < 3)
      watermarkKinds_[*state]->setChecked(true);
    break;
  case Conversion::LineSpacing:
    if (!state)
      break;
    cbHangJu_->setCurrentIndex(*state);
    if (*state == 3)
      txtBang_->setText(q(stored));
    break;
  }
}

std::string FrmMain::fromControl(const KeyInfo& key) const {
  switch (key.conversion) {
  case Conversion::Text:
    if (auto* box = findChild<QLineEdit*>(controlName(key)))
      return s(box->text());
    return {};
  case Conversion::Index:
  case Conversion::IndexToName:
  case Conversion::IndexToSize:
    if (auto* box = findChild<QComboBox*>(controlName(key)))
      return std::to_string(box->currentIndex());
    return "-1";
  case Conversion::Check:
    if (auto* box = findChild<QCheckBox*>(controlName(key)))
      return box->isChecked() ? "1" : "0";
    return "0";
  case Conversion::Option:
    return watermarkKinds_[0]->isChecked() ? "0" : watermarkKinds_[1]->isChecked() ? "1" : "2";
  case Conversion::LineSpacing:
    return cbHangJu_->currentIndex() == 3 ? s(txtBang_->text())
                                          : std::to_string(cbHangJu_->currentIndex());
  }
  return {};
}

void FrmMain::loadSection(std::string_view section) {
  loading_ = true;
  ini_.reload();
  // Every value is read before any control is filled: the change handlers of some sections
  // write the file while it is being loaded.
  std::vector<std::pair<const KeyInfo*, std::string>> stored;
  for (std::string_view name : loadOrder(section))
    if (const KeyInfo* key = settings::findKey(section, name))
      stored.emplace_back(key, ini_.get(section, name, key->defaultText));
  for (const auto& [key, text] : stored)
    putIntoControl(*key, text);
  loading_ = false;
}

void FrmMain::saveSection(std::string_view section) {
  for (const KeyInfo* key : saveOrder(section))
    (void)ini_.set(key->section, key->key, fromControl(*key)); // a failed write is ignored
}

void FrmMain::getFontInfo() {
  loadSection("font");
}
void FrmMain::getShuiYinInfo() {
  loadSection("shuiyin");
}
void FrmMain::getPageInfo() {
  loadSection("pageinfo");
}
void FrmMain::getHeaderFooterInfo() {
  loadSection("headerfooter");
}
void FrmMain::getParagraphInfo() {
  loadSection("paragraph");
}
void FrmMain::getToolInfo() {
  loadSection("tool");
}

// Four sections stay untouched while a load fills their controls.
void FrmMain::SaveFontInfo() {
  if (!loading_)
    saveSection("font");
}
void FrmMain::SaveShuiYinInfo() {
  if (!loading_)
    saveSection("shuiyin");
}
void FrmMain::SavePageInfo() {
  if (!loading_)
    saveSection("pageinfo");
}
void FrmMain::SaveHeaderFooterInfo() {
  if (!loading_)
    saveSection("headerfooter");
}

// The paragraph and tool sections are written whatever the flag says; they hold the flag for
// their own duration and clear it when they end, so loading these two sections writes them
// back with the values being loaded.
void FrmMain::SaveParagraphInfo() {
  loading_ = true;
  saveSection("paragraph");
  loading_ = false;
}
void FrmMain::SaveToolInfo() {
  loading_ = true;
  saveSection("tool");
  loading_ = false;
}

std::vector<std::pair<std::string, std::string>> FrmMain::engineProperties() const {
  return settings::loadEngineProperties(ini_);
}

// ---- start and exit -----------------------------------------------------------------------

void FrmMain::formLoad() {
  const fs::path program = options_.programFolder;
  // 1-2. The last source folder; one that cannot be listed leaves the list where it is.
  fileList_->setPath(q(settings::lastSourceFolder(ini_, program)));
  currentFolderLabel_->setText(t(msg::kCurrentFolder, s(fileList_->path())));
  // 3. The extension filter; its handler sets the pattern and the progress range.
  cbFilter_->setCurrentIndex(0);
  // 4. The last output folder (not created here), and whether PDFs go beside the outputs.
  txtOut_->setText(q(settings::lastOutputFolder(ini_, program)));
  loading_ = true;
  chkPdf_->setChecked(ini_.get("sys", "pdf", "0") == "1");
  loading_ = false;
  // 5. Every settings page.
  getPageInfo();
  getHeaderFooterInfo();
  getFontInfo();
  getParagraphInfo();
  getToolInfo();
  getShuiYinInfo();
  // 6-8.
  fillPrinters();
  startEngine();
  showHelpPage();
}

void FrmMain::fillPrinters() {
  cbPrinter_->clear();
  for (const std::string& name : options_.printers())
    cbPrinter_->addItem(q(name));
  cbPrinter_->setCurrentIndex(cbPrinter_->count() > 0 ? 0 : -1);
}

std::string FrmMain::enginePath() const {
  if (!options_.enginePath.empty())
    return options_.enginePath;
  std::string found = options_.locateEngine();
  return found.empty() ? std::string(kEngineProgram) : found;
}

bool FrmMain::engineFound(QString& reason) const {
  if (!options_.enginePath.empty() || !options_.locateEngine().empty())
    return true;
  reason = t(msg::kEngineNotFound, settings::programFolder().string());
  return false;
}

void FrmMain::startEngine() {
  EngineCallbacks callbacks;
  callbacks.message = [this](const std::string& msgId, const std::string& msg,
                             const std::string& cur, const std::string& all,
                             const std::string& name) { Message(msgId, msg, cur, all, name); };
  callbacks.error = [this](int32_t id, const std::string& text) { Error(id, text); };
  callbacks.batchEnded = [this] { batchEnded(); };
  // As many servers as the processor has cores: a batch is dealt out to them.
  engine_ = std::make_unique<EnginePool>(enginePath(), std::move(callbacks),
                                         EnginePool::defaultJobs(), options_.engineMarker);
  // The server is looked for again at every start (also the restarts within a batch), so a
  // server put back after a failed start is found without restarting the window.
  engine_->setProgramResolver([this] { return enginePath(); });
  engine_->setFdWatcher([this](int fd) { watchEngine(fd); });
  std::string error;
  QString reason;
  if (!engineFound(reason))
    errorMessage(QStringLiteral("Quillfold"), t(msg::kEngineNotStarted, s(reason)));
  else if (!engine_->start(error))
    errorMessage(QStringLiteral("Quillfold"), t(msg::kEngineNotStarted, error));
}

void FrmMain::showHelpPage() {
  // The installed copy beside the program's share folder, else the one built into it.
  const fs::path installed =
      settings::programFolder() / ".." / "share" / "quillfold" / "help" / "index.html";
  QFileInfo file(q(installed.string()));
  if (file.isFile())
    helpBrowser_->setSource(QUrl::fromLocalFile(file.canonicalFilePath()));
  else
    helpBrowser_->setSource(QUrl(QStringLiteral("qrc:/help/index.html")));
  // The official fonts and what stands in for them on this computer.
  helpBrowser_->append(fontsHelpHtml());
}

bool FrmMain::askBeforeClosing() {
  if (closing_ || !askOnClose_)
    return true;
  if (mergePrintRunning_) {
    // A merge or print cannot be broken off halfway; a check stops after the document it
    // reads. The window closes when the work is done.
    closeAfterWork_ = true;
    stopCheck_ = true;
    return false;
  }
  if (!batchRunning_)
    return true;
  int choice = options_.choiceBox(this, t(msg::kAskCloseTitle), t(msg::kAskClose),
                                  {t(msg::kKeepWorking), t(msg::kStopAndQuit)});
  return choice == 1;
}

void FrmMain::closeWithoutAsking() {
  askOnClose_ = false;
  close();
}

void FrmMain::closeEvent(QCloseEvent* event) {
  if (!askBeforeClosing()) {
    event->ignore();
    return;
  }
  if (!closing_) {
    closing_ = true;
    // 1-2. The last folders, written even when they did not change.
    (void)settings::saveLastFolders(ini_, s(fileList_->path()), s(txtOut_->text()));
    // 4-5. The engine server, then whatever else this program started (LibreOffice, and
    // nothing the user opened outside it).
    // The client object itself stays until the window is destroyed: the close may come from
    // an event loop running inside one of its callbacks (a message box during a batch).
    // A running batch is stopped here: the server and its LibreOffice end, outputs are
    // written whole or not at all, and the batch's closing box is not shown.
    batchRunning_ = false;
    if (engine_) {
      engine_->setFdWatcher(nullptr);
      engine_->stop();
    }
    if (engineNotifier_) {
      engineNotifier_->setEnabled(false);
      engineNotifier_->deleteLater();
      engineNotifier_ = nullptr;
    }
    app::endMarkedProcesses(app::ownerMarker());
  }
  event->accept();
}

// ---- navigation and folders ------------------------------------------------------------

void FrmMain::showPage(int index) {
  if (index < 0 || index >= tab_->count())
    return;
  tab_->setCurrentIndex(index);
  navigationButtons_[static_cast<std::size_t>(index)]->setChecked(true);
}

QString FrmMain::pickFolder() {
  return options_.chooseFolder(this, t(msg::kFolderPrompt), q(options_.programFolder.string()));
}

void FrmMain::chooseSourceFolder() {
  QString folder = pickFolder();
  if (!folder.isEmpty()) {
    if (!fileList_->setPath(folder))
      info(t(msg::kBoxTitle), t(msg::kCannotListFolder, s(folder)));
    currentFolderLabel_->setText(t(msg::kCurrentFolder, s(fileList_->path())));
    setProgressRangeToFileCount();
  }
  showPage(1);
}

void FrmMain::chooseOutputFolder() {
  QString folder = pickFolder();
  if (!folder.isEmpty())
    txtOut_->setText(folder);
}

void FrmMain::chooseWatermarkPicture() {
  QString start = QFileInfo(txtJpg_->text()).absolutePath();
  if (txtJpg_->text().isEmpty() || !QFileInfo(start).isDir())
    start = q(options_.programFolder.string());
  QString file = options_.choosePicture(this, start);
  if (!file.isEmpty())
    txtJpg_->setText(QFileInfo(file).absoluteFilePath());
}

void FrmMain::applyFileFilter() {
  fileList_->setPattern(QStringLiteral("*") + txtPath_->text() + QStringLiteral("*") +
                        cbFilter_->currentText().mid(1));
  setProgressRangeToFileCount();
}

void FrmMain::lineSpacingChosen() {
  const bool fixed = cbHangJu_->currentIndex() == 3;
  txtBang_->setVisible(fixed);
  fixedSpacingLabel_->setVisible(fixed);
  fixedSpacingUnitLabel_->setVisible(fixed);
  SaveParagraphInfo();
}

void FrmMain::showAbout() {
  FrmAbout about(this);
  about.exec();
}

// A progress bar's minimum must stay below its maximum: a value that breaks the rule is
// refused and the old one stays.
void FrmMain::trySetProgressMinimum(int value) {
  if (value < progressBar_->maximum())
    progressBar_->setMinimum(value);
}

void FrmMain::trySetProgressMaximum(int value) {
  if (value > progressBar_->minimum())
    progressBar_->setMaximum(value);
}

void FrmMain::setProgressRangeToFileCount() {
  trySetProgressMinimum(1);
  trySetProgressMaximum(fileList_->count());
}

QString FrmMain::selectedFileList() const {
  return fileList_->selectedNames().join(',');
}

// ---- the batch --------------------------------------------------------------------------

std::string FrmMain::runModeOf(int index) {
  if (index < 0 || index >= kStartCommandCount)
    return {};
  return kStartCommands[index].mode;
}

void FrmMain::startBatch(int index) {
  if (batchRunning_ || index < 0 || index >= kStartCommandCount)
    return;
  QStringList names;
  for (int i = 0; i < fileList_->count(); ++i)
    if (fileList_->item(i)->isSelected())
      names << fileList_->item(i)->text();
  if (names.isEmpty()) {
    info(t(msg::kBoxTitle), t(msg::kSelectFiles));
    return;
  }
  progressBar_->setRange(0, 100);
  progressBar_->setValue(0);
  batchRunning_ = true;
  setStartEnabled(false);
  tally_ = BatchTally{};
  batchOutputs_.clear();
  tally_.total = static_cast<int>(names.size());
  tally_.legacy = static_cast<int>(std::count_if(names.begin(), names.end(), isLegacyInput));
  tally_.outFolder = txtOut_->text();
  if (tally_.legacy > 0) {
    // LibreOffice converts every legacy input before the first document starts: say so, and
    // keep the bar moving until then.
    statusLabel_->setText(t(msg::kConverting, tally_.legacy));
    progressBar_->setRange(0, 0);
  } else {
    statusLabel_->setText(QString());
  }
  // Let the window repaint while a long selection is gathered.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  runEngine(runModeOf(index), fileList_->path(), names);
}

namespace {

// Runs `work` on a thread of its own while the window keeps repainting and taking the progress
// it posts; user input waits until the work is done.
template <class Work> void runBesideTheWindow(Work&& work) {
  QEventLoop loop;
  std::thread worker([&] {
    work();
    QMetaObject::invokeMethod(
        &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
  });
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  worker.join();
}

} // namespace

void FrmMain::mergeSelected() {
  if (batchRunning_)
    return;
  const QStringList names = fileList_->selectedNames();
  if (names.size() < 2) {
    info(t(msg::kBoxTitle), q(app::merge::kTooFewFiles));
    return;
  }
  app::merge::MergeRequest request;
  for (const QString& name : names)
    request.files.push_back(s(QDir(fileList_->path()).filePath(name)));
  request.outputFolder = s(txtOut_->text());
  // Progress arrives from the merge's thread; the window shows it on its own.
  request.progress = [this](const app::merge::MergeProgress& p) {
    QMetaObject::invokeMethod(
        this,
        [this, p] {
          progressBar_->setValue(p.done);
          if (!p.ok)
            addLine(q(p.line));
        },
        Qt::QueuedConnection);
  };
  progressBar_->setRange(0, static_cast<int>(names.size()));
  progressBar_->setValue(0);
  batchRunning_ = mergePrintRunning_ = true;
  setStartEnabled(false);
  app::merge::MergeResult result;
  runBesideTheWindow([&] { result = app::merge::mergeDocuments(request); });
  batchRunning_ = mergePrintRunning_ = false;
  setStartEnabled(true);
  if (!result.saveError.empty())
    addLine(q(result.saveError));
  if (result.saved())
    addLine(q(result.summary()).split('\n').first(), q(result.outputPath));
  if (closeAfterWork_) {
    close();
    return;
  }
  info(t(msg::kBoxTitle), q(result.summary()));
}

void FrmMain::printSelected() {
  if (batchRunning_)
    return;
  const QStringList names = fileList_->selectedNames();
  if (names.isEmpty()) {
    info(t(msg::kBoxTitle), q(app::print::kNothingSelected));
    return;
  }
  app::print::PrintRequest request;
  for (const QString& name : names)
    request.files.push_back(s(QDir(fileList_->path()).filePath(name)));
  // No printer in the list: the system's default printer, if there is one.
  if (cbPrinter_->currentIndex() >= 0)
    request.printer = s(cbPrinter_->currentText());
  request.progress = [this](const app::print::PrintProgress& p) {
    QMetaObject::invokeMethod(
        this,
        [this, p] {
          progressBar_->setValue(p.done);
          if (!p.ok)
            addLine(q(p.line));
        },
        Qt::QueuedConnection);
  };
  progressBar_->setRange(0, static_cast<int>(names.size()));
  progressBar_->setValue(0);
  batchRunning_ = mergePrintRunning_ = true;
  setStartEnabled(false);
  app::print::PrintResult result;
  runBesideTheWindow([&] { result = app::print::printDocuments(request); });
  batchRunning_ = mergePrintRunning_ = false;
  setStartEnabled(true);
  if (closeAfterWork_) {
    close();
    return;
  }
  QString summary = q(result.summary());
  if (result.noPrinter.empty() && result.printed == 0 && !result.failures.empty()) {
    // Nothing reached the printer: a failure, not "打印完毕".
    QStringList failed;
    for (const app::print::PrintFailure& f : result.failures)
      failed << QFileInfo(q(f.file)).fileName();
    summary = t(msg::kPrintFailed, result.failures.size(), s(failed.join(t(msg::kListSeparator))));
  }
  info(t(msg::kBoxTitle), summary);
}

void FrmMain::checkSelected() {
  if (batchRunning_)
    return;
  const QStringList names = fileList_->selectedNames();
  if (names.isEmpty()) {
    info(t(msg::kBoxTitle), t(msg::kSelectFilesToCheck));
    return;
  }
  // The [standard] section as the file holds it now, as `quillfold check` reads it.
  ini_.reload();
  const engine::standard::Settings standard =
      engine::standard::fromProperties(settings::loadStandardProperties(ini_));
  std::vector<std::string> files;
  for (const QString& name : names)
    files.push_back(s(QDir(fileList_->path()).filePath(name)));

  const int legacy = static_cast<int>(std::count_if(names.begin(), names.end(), isLegacyInput));
  // LibreOffice reads every legacy input before the first document is checked: the bar keeps
  // moving until then.
  if (legacy > 0)
    progressBar_->setRange(0, 0);
  else
    progressBar_->setRange(0, static_cast<int>(names.size()));
  progressBar_->setValue(0);
  statusLabel_->setText(legacy > 0 ? t(msg::kConverting, legacy)
                                   : t(msg::kCheckingDocuments, names.size()));
  batchRunning_ = mergePrintRunning_ = true;
  stopCheck_ = false;
  setStartEnabled(false);

  // The check runs on a worker thread; each document's lines are listed as soon as it is done.
  int checked = 0, conforming = 0, breaking = 0, unreadable = 0;
  runBesideTheWindow([&] {
    engine::standard::checkFiles(files, standard, [&](const engine::standard::FileCheck& r) {
      ++checked;
      if (!r.readable())
        ++unreadable;
      else if (r.conforms())
        ++conforming;
      else
        ++breaking;
      QStringList lines;
      const std::string name = s(QFileInfo(q(r.file)).fileName());
      if (!r.readable())
        lines << t(msg::kCliCheckUnreadable, name, r.error);
      else if (r.conforms())
        lines << t(msg::kCliCheckConforms, name);
      else
        lines << t(msg::kCliCheckBreaks, name, r.findings.size());
      for (const auto& f : r.findings)
        lines << QStringLiteral("  ") + q(f.text());
      const QString path = q(r.file);
      const int done = checked, total = static_cast<int>(files.size());
      QMetaObject::invokeMethod(
          this,
          [this, lines, path, done, total] {
            if (progressBar_->maximum() == 0) // LibreOffice has read the legacy inputs
              progressBar_->setRange(0, total);
            statusLabel_->setText(t(msg::kCheckingDocuments, total));
            progressBar_->setValue(done);
            for (int i = 0; i < lines.size(); ++i)
              addLine(lines[i], i == 0 ? path : QString());
          },
          Qt::QueuedConnection);
      return !stopCheck_;
    });
  });
  batchRunning_ = mergePrintRunning_ = false;
  setStartEnabled(true);
  statusLabel_->setText(QString());
  if (progressBar_->maximum() == 0)
    progressBar_->setRange(0, static_cast<int>(names.size()));
  addLine(t(msg::kCliCheckSummary, checked, conforming, breaking, unreadable));
  if (closeAfterWork_)
    close();
}

void FrmMain::runEngine(const std::string& runMode, const QString& folder,
                        const QStringList& names) {
  // The file is the one source of the settings: read it again into the controls, section by
  // section (loading writes the paragraph and tool sections back), then hand the engine what
  // the file now holds, converted as the command line converts it.
  getFontInfo();
  getHeaderFooterInfo();
  getPageInfo();
  getParagraphInfo();
  getShuiYinInfo();
  getToolInfo();

  EngineBatch batch;
  batch.properties = engineProperties();
  // The standard run takes its own settings besides, from the [standard] section as the file
  // holds it; the other run modes get the 46 alone.
  if (runMode == kStartCommands[kStandardCommand].mode)
    for (auto& property : settings::loadStandardProperties(ini_))
      batch.properties.push_back(std::move(property));
  batch.docPath = s(folder);
  for (const QString& name : names)
    batch.files.push_back(s(name));
  batch.outFolder = s(txtOut_->text());
  batch.runMode = runMode;
  std::string error;
  QString reason;
  if (!engineFound(reason)) {
    error = s(reason);
  } else if (engine_ && engine_->beginBatch(batch, error)) {
    return;
  }
  errorMessage(QStringLiteral("Quillfold"), t(msg::kBatchNotStarted, error));
  tally_.endReported = false; // nothing ran: no closing box
  batchEnded();
}

void FrmMain::batchEnded() {
  // The batch is over: the status line, the bar and the buttons end with it, before the
  // closing box is shown.
  batchRunning_ = false;
  setStartEnabled(true);
  statusLabel_->setText(QString());
  if (progressBar_->maximum() == 0)
    progressBar_->setRange(0, 100);
  const bool summary = tally_.endReported && !closing_;
  if (summary) {
    progressBar_->setValue(progressBar_->maximum());
    tally_.endReported = false;
  }
  emit batchFinished();
  if (summary)
    showBatchSummary();
  preview_->refresh();
  writeBatchPdfs();
}

void FrmMain::showBatchSummary() {
  // Documents that never ended (the batch was broken off) count as failed.
  int succeeded = 0, warned = 0;
  for (int number : tally_.ended)
    if (!tally_.failed.count(number)) {
      ++succeeded;
      warned += tally_.warned.count(number) ? 1 : 0;
    }
  const int total = std::max(tally_.total, static_cast<int>(tally_.ended.size()));
  const QString counts = t(msg::kBatchSummary, succeeded, total - succeeded, warned);
  const QString folder = t(msg::kOutputFolderIs, s(tally_.outFolder));
  addLine(counts + QLatin1Char(' ') + folder, tally_.outFolder);
  int choice = options_.choiceBox(this, t(msg::kBoxTitle), counts + QLatin1Char('\n') + folder,
                                  {t(msg::kOk), t(msg::kOpenOutputFolder)});
  if (choice == 1)
    openOutputFolder();
}

void FrmMain::openOutputFolder() {
  openListEntry(txtOut_->text());
}

void FrmMain::openListEntry(const QString& path) {
  if (path.isEmpty())
    return;
  if (!QFileInfo::exists(path) || !options_.openUrl(QUrl::fromLocalFile(path)))
    info(t(msg::kBoxTitle), t(msg::kCannotOpen, s(path)));
}

void FrmMain::addLine(const QString& text, const QString& openPath) {
  auto* item = new QListWidgetItem(text);
  item->setToolTip(text);
  if (!openPath.isEmpty())
    item->setData(Qt::UserRole, openPath);
  messageList_->addItem(item);
  messageList_->scrollToBottom();
}

void FrmMain::setStartEnabled(bool enabled) {
  // One thing at a time: typesetting, merging and printing exclude one another.
  for (QPushButton* button : startButtons_)
    button->setEnabled(enabled);
  for (QPushButton* button : {cmdCheck_, cmdMerge_, cmdPrint_})
    button->setEnabled(enabled);
  for (QAction* action : {mnuStart_, mnuMerge_, mnuPrint_})
    action->setEnabled(enabled);
}

void FrmMain::watchEngine(int fd) {
  if (engineNotifier_) {
    engineNotifier_->setEnabled(false);
    engineNotifier_->deleteLater();
    engineNotifier_ = nullptr;
  }
  if (fd < 0)
    return;
  engineNotifier_ = new QSocketNotifier(static_cast<qintptr>(fd), QSocketNotifier::Read, this);
  connect(engineNotifier_, &QSocketNotifier::activated, this, [this] {
    if (engine_)
      engine_->processInput();
  });
}

void FrmMain::Message(const std::string& msgId, const std::string& msg,
                      const std::string& curDocNum, const std::string& allDocNum,
                      const std::string& docName) {
  bool curOk = false, allOk = false;
  const double cur = q(curDocNum).trimmed().toDouble(&curOk);
  const double all = q(allDocNum).trimmed().toDouble(&allOk);
  const int number = curOk && std::fabs(cur) < 1e9 ? static_cast<int>(cur) : 0;
  if (msgId == "0") {
    if (progressBar_->maximum() == 0) // the conversion of legacy inputs is over
      progressBar_->setRange(0, 100);
    statusLabel_->setText(t(msg::kProcessing, docName));
  } else if (msgId == "2" || msgId == "3") {
    if (msgId == "3" && number > 0)
      tally_.warned.insert(number);
    addLine(docName.empty() ? q(msg) : q(msg) + QStringLiteral(":") + q(docName));
  } else if (msgId == "100") {
    if (number > 0)
      tally_.ended.insert(number);
    const bool failed = number > 0 && tally_.failed.count(number);
    QString output;
    if (!failed && !docName.empty() && !tally_.outFolder.isEmpty())
      output = QDir(tally_.outFolder).filePath(outputNameFor(q(docName)));
    if (!output.isEmpty())
      batchOutputs_ << output;
    addLine(q(msg), output);
    if (curOk && allOk && all != 0) {
      double percent = cur / all * 100.0;
      if (std::isfinite(percent) && std::fabs(percent) < 1e9)
        progressBar_->setValue(static_cast<int>(std::lround(percent)));
    }
    // After the last document only the legacy outputs are left to write back.
    if (curOk && allOk && cur >= all)
      statusLabel_->setText(tally_.legacy > 0 ? t(msg::kWritingLegacy, tally_.legacy) : QString());
    else
      statusLabel_->setText(QString());
  } else if (msgId == "101") {
    if (allOk && all > 0)
      tally_.total = static_cast<int>(std::min(all, 1e6));
    if (tally_.outFolder.isEmpty())
      tally_.outFolder = txtOut_->text();
    tally_.endReported = true;
    statusLabel_->setText(QString());
    // The closing line and box come when the batch has ended (batchEnded); outside a batch
    // they come now.
    if (!batchRunning_) {
      tally_.endReported = false;
      showBatchSummary();
      tally_ = BatchTally{};
    }
  }
}

void FrmMain::Error(int32_t errId, const std::string& errMsg) {
  if (errId > 0)
    tally_.failed.insert(errId);
  addLine(q(errMsg));
}

void FrmMain::info(const QString& title, const QString& text) {
  options_.infoBox(this, title, text);
}

void FrmMain::errorMessage(const QString& title, const QString& text) {
  options_.errorBox(this, title, text);
}

// ---- preview, PDF output and the fonts on the help page -----------------------------------

void FrmMain::updatePreview() {
  QListWidgetItem* item = fileList_->currentItem();
  if (!item) {
    preview_->showDocument({}, {});
    return;
  }
  const QString name = item->text();
  const QString output =
      txtOut_->text().isEmpty() ? QString() : QDir(txtOut_->text()).filePath(outputNameFor(name));
  preview_->showDocument(QDir(fileList_->path()).filePath(name), output);
}

void FrmMain::writeBatchPdfs() {
  const QStringList outputs = batchOutputs_;
  batchOutputs_.clear();
  if (!chkPdf_->isChecked() || outputs.isEmpty() || closing_)
    return;
  std::vector<std::string> files;
  for (const QString& output : outputs)
    files.push_back(s(output));
  const std::string folder = s(QFileInfo(outputs.first()).absolutePath());
  statusLabel_->setText(t(msg::kPdfWriting, files.size()));
  // LibreOffice renders them on a worker thread; each result becomes a line of the list.
  auto* watcher = new QFutureWatcher<std::vector<app::render::PdfJob>>(this);
  connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
    watcher->deleteLater();
    if (!batchRunning_)
      statusLabel_->setText(QString());
    for (const auto& job : watcher->result()) {
      if (job.ok)
        addLine(t(msg::kPdfWritten, job.pdf), q(job.pdf));
      else
        addLine(t(msg::kPdfFailed, fs::path(job.input).filename().string(), job.error));
    }
  });
  watcher->setFuture(QtConcurrent::run([files, folder] {
    auto jobs = app::render::pdfJobsFor(files, folder);
    app::render::renderPdfs(jobs);
    return jobs;
  }));
}

QString FrmMain::fontsHelpHtml() const {
  QString rows;
  for (const auto& m : word::matchFonts(word::officialFontNames())) {
    QString used = m.family.empty() ? t(msg::kFontNoFace) : q(m.family + " " + m.style);
    rows += QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td></tr>")
                .arg(q(m.name).toHtmlEscaped(), t(m.installed ? msg::kYes : msg::kNo),
                     used.toHtmlEscaped());
  }
  const std::string conf = word::installedFontConfigPath();
  return QStringLiteral("<h3>%1</h3><table border=\"1\" cellpadding=\"4\" cellspacing=\"0\">"
                        "<tr><th>%2</th><th>%3</th><th>%4</th></tr>%5</table><p>%6</p>")
      .arg(t(msg::kFontsHelpTitle), t(msg::kFontsHeaderName), t(msg::kFontsHeaderInstalled),
           t(msg::kFontsHeaderUsed), rows,
           t(msg::kFontsNote, conf.empty() ? std::string(msg::kFontsBuiltIn) : conf)
               .toHtmlEscaped());
}

} // namespace app::gui
