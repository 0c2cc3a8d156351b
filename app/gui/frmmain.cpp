#include "app/gui/frmmain.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
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
#include <QTabBar>
#include <QTabWidget>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <cmath>
#include <thread>
#include <unistd.h>

#include "app/gui/filelist.h"
#include "app/gui/frmabout.h"
#include "app/gui/printers.h"
#include "app/merge/merge.h"
#include "app/print/print.h"
#include "app/server/engine_client.h"
#include "app/server/process_sweep.h"
#include "settings/settings.h"

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

// The navigation captions, and the background colour of each button (0: the default).
struct NavEntry {
  const char* caption;
  unsigned rgb;
};
constexpr NavEntry kNavigation[] = {
    {"欢迎", 0},
    {" 1. 选择文件", 0xC0C0FF},
    {" 2. 输出目录", 0xC0FFFF},
    {"3. 页面设置", 0xC0FFC0},
    {"4. 页眉与页脚", 0xFFE0C0},
    {"5. 字体与字号", 0xFFFFC0},
    {"6. 段落与缩进", 0xFFC0C0},
    {"7. 水印设置", 0xFFC0FF},
    {"8. 其他设置", 0xFFFFFF},
    {"9. 支持", 0xE0E0E0},
    {"10. 工作台", 0xC0C0FF},
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
    {"排版", "0", "使用全部设置参数对选定的文档进行处理。"},
    {"仅页眉", "YeMei", "仅按【页眉】设置部分的参数对选定的文档进行处理。"},
    {"仅页面", "YeMian", "仅按【页面设置】部分中的参数对选定的文档进行处理。"},
    {"仅字号", "ZiHao", "仅将【字号>10.5】的字号全部减小或增大1号。"},
};

// The keys of a section in the order its load operation reads them. The tool section is read
// with lower-case names (the file's names are matched without regard to case).
std::vector<const char*> readOrder(const char* section) {
  std::string_view name = section;
  if (name == "shuiyin")
    return {"txtfontname", "txtstyle", "jpg", "txt", "op", "color"};
  if (name == "tool")
    return {"biaodian", "kongge", "konghang", "toukongge", "xiaokuohao", "fenlan", "juhao"};
  std::vector<const char*> keys;
  for (const KeyInfo& key : settings::keyTable())
    if (key.section == name)
      keys.push_back(key.key.data());
  return keys;
}

// The program folder for documents: the executable's folder, or the home folder when that
// cannot be written (an installed copy lives in a system folder).
fs::path defaultProgramFolder() {
  fs::path program = settings::programFolder();
  if (!program.empty() && ::access(program.c_str(), W_OK | X_OK) == 0)
    return program;
  return fs::path(s(QDir::homePath()));
}

std::string defaultEnginePath() {
  fs::path beside = settings::programFolder() / "quillfold-engine";
  if (::access(beside.c_str(), X_OK) == 0)
    return beside.string();
  return "quillfold-engine";
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
  p.drawText(QRect(62, 0, width - 70, height), Qt::AlignVCenter | Qt::AlignLeft,
             QStringLiteral("Quillfold 公文批量排版"));
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

// ---- construction -----------------------------------------------------------------------

FrmMain::FrmMain(FrmMainOptions options, QWidget* parent)
    : QMainWindow(parent), options_(std::move(options)),
      ini_(options_.settingsPath.empty() ? settings::defaultSettingsPath()
                                         : options_.settingsPath) {
  // Everything the window starts inherits the marker the exit sweep looks for.
  app::ownerMarker();
  if (options_.programFolder.empty())
    options_.programFolder = defaultProgramFolder();
  if (options_.enginePath.empty())
    options_.enginePath = defaultEnginePath();
  if (!options_.printers)
    options_.printers = systemPrinters;
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
      QFileDialog dialog(parent, QStringLiteral("选择图片"), start);
      dialog.setObjectName(QStringLiteral("Dialog1"));
      dialog.setFileMode(QFileDialog::ExistingFile);
      dialog.setNameFilters({QStringLiteral("*.jpg (*.jpg)"), QStringLiteral("*.png (*.png)")});
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

  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QStringLiteral("Quillfold 公文排版 ") + QStringLiteral(QF_VERSION));
  setWindowIcon(quillfoldIcon());

  buildMenus();

  auto* central = new QWidget(this);
  auto* outer = new QHBoxLayout(central);
  outer->addWidget(buildNavigation());

  auto* right = new QVBoxLayout;
  auto* image1 = new Banner(central);
  image1->setObjectName(QStringLiteral("Image1"));
  right->addWidget(image1);

  tab_ = new QTabWidget(central);
  tab_->setObjectName(QStringLiteral("SSTab1"));
  tab_->tabBar()->hide(); // the navigation column chooses the page
  const QStringList titles = {"欢迎",       "选择文件",   "输出目录",   "页面设置",
                              "页眉与页脚", "字体与字号", "段落与缩进", "水印设置",
                              "其他设置",   "支持",       "工作台"};
  QWidget* pages[] = {buildPage0(), buildPage1(), buildPage2(), buildPage3(),
                      buildPage4(), buildPage5(), buildPage6(), buildPage7(),
                      buildPage8(), buildPage9(), buildPage10()};
  for (int i = 0; i < 11; ++i)
    tab_->addTab(pages[i], titles[i]);
  right->addWidget(tab_, 1);
  outer->addLayout(right, 1);
  setCentralWidget(central);
  resize(900, 620);

  connectSettings();
  formLoad();
  Option1_Click(0);
}

FrmMain::~FrmMain() {
  if (engine_) {
    engine_->setFdWatcher(nullptr);
    engine_.reset();
  }
}

void FrmMain::buildMenus() {
  auto* file = menuBar()->addMenu(QStringLiteral("文件"));
  file->setObjectName(QStringLiteral("mnuFile"));
  auto add = [&](QMenu* menu, const char* name, const char* caption) {
    QAction* action = menu->addAction(QString::fromUtf8(caption));
    action->setObjectName(QString::fromUtf8(name));
    return action;
  };
  connect(add(file, "mnuOpen", "打开..."), &QAction::triggered, this, &FrmMain::cmdOpen_Click);
  mnuStart_ = add(file, "mnuStart", "排版");
  connect(mnuStart_, &QAction::triggered, this, [this] { cmd排版_Click(0); });
  connect(add(file, "mnuPrint", "打印"), &QAction::triggered, this, [this] { cmd打印_Click(); });
  connect(add(file, "mnuMerge", "合并"), &QAction::triggered, this, [this] { cmd合并_Click(); });
  file->addSeparator();
  connect(add(file, "mnuClose", "退出"), &QAction::triggered, this, &FrmMain::opClose_Click);

  auto* help = menuBar()->addMenu(QStringLiteral("帮助"));
  help->setObjectName(QStringLiteral("mnuHelp"));
  connect(add(help, "mnuAbout", "关于"), &QAction::triggered, this, &FrmMain::mnuAbout_Click);
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
    option1_.push_back(button);
    connect(button, &QPushButton::clicked, this, [this, i] { Option1_Click(i); });
  }
  layout->addStretch(1);
  auto* close = new QPushButton(QStringLiteral("关闭"), column);
  close->setObjectName(QStringLiteral("opClose"));
  close->setMinimumHeight(34);
  connect(close, &QPushButton::clicked, this, &FrmMain::opClose_Click);
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

QWidget* FrmMain::buildPage0() {
  QFrame* page = framePage(0, this);
  auto* layout = new QVBoxLayout(page);
  layout->addSpacing(30);
  for (const char* line : {"本软件对纯文字性文档支持较好，暂时不能对含有表格及图片的文档进行排版。",
                           "本软件旨在提高文档处理速度，希望能减轻经常进行文档处理的人员的工作量。",
                           "感谢您使用本软件！"}) {
    QLabel* l = label(QString::fromUtf8(line), page);
    l->setWordWrap(true);
    layout->addWidget(l);
    layout->addSpacing(12);
  }
  layout->addStretch(1);
  return page;
}

QWidget* FrmMain::buildPage1() {
  QFrame* page = framePage(1, this);
  auto* layout = new QVBoxLayout(page);
  auto* top = new QHBoxLayout;
  QLabel* hint = label(
      QStringLiteral("选择要排版文件所在目录(选择后，该目录下有关文件列示在下面的列表框中)"), page);
  hint->setWordWrap(true);
  top->addWidget(hint, 1);
  auto* cmdOpen = new QPushButton(QStringLiteral("打开目录"), page);
  cmdOpen->setObjectName(QStringLiteral("cmdOpen"));
  connect(cmdOpen, &QPushButton::clicked, this, &FrmMain::cmdOpen_Click);
  top->addWidget(cmdOpen);
  layout->addLayout(top);

  label36_ = label(QString(), page, "Label1_36");
  layout->addWidget(label36_);
  file1_ = new FileListBox(page);
  file1_->setObjectName(QStringLiteral("File1"));
  layout->addWidget(file1_, 1);

  auto* filter = new QHBoxLayout;
  filter->addWidget(label(QStringLiteral("过滤："), page));
  txtPath_ = textBox("txtPath");
  filter->addWidget(txtPath_, 1);
  cbFilter_ = combo("cbFilter", QStringList{QStringLiteral("*.doc"), QStringLiteral("*.txt")});
  filter->addWidget(cbFilter_);
  filter->addWidget(label(QStringLiteral("通过输入过滤关键词可过滤掉无关的文件"), page));
  layout->addLayout(filter);
  layout->addWidget(
      label(QStringLiteral("第一步要选择文件，才能排版(可利用Shift、Ctrl+鼠标点击)"), page));
  connect(txtPath_, &QLineEdit::textChanged, this, &FrmMain::txtPath_Change);
  connect(cbFilter_, &QComboBox::currentIndexChanged, this, &FrmMain::cbFilter_Click);
  return page;
}

QWidget* FrmMain::buildPage2() {
  QFrame* page = framePage(2, this);
  auto* layout = new QVBoxLayout(page);
  layout->addSpacing(20);
  layout->addWidget(
      label(QStringLiteral("排版后输出到目录   (排版后的文件存放在此目录下) ："), page));
  auto* row = new QHBoxLayout;
  txtOut_ = textBox("txtOut");
  row->addWidget(txtOut_, 1);
  auto* cmdBrowser = new QPushButton(QStringLiteral("..."), page);
  cmdBrowser->setObjectName(QStringLiteral("cmdBrowser"));
  cmdBrowser->setFixedWidth(40);
  connect(cmdBrowser, &QPushButton::clicked, this, &FrmMain::cmdBrowser_Click);
  row->addWidget(cmdBrowser);
  layout->addLayout(row);
  layout->addSpacing(20);
  QLabel* note = label(
      QStringLiteral("本软件排版时不会对原文件做任何修改，经软件排版后的文件保存在：输出目录中。"),
      page);
  note->setWordWrap(true);
  layout->addWidget(note);
  layout->addStretch(1);
  return page;
}

QWidget* FrmMain::buildPage3() {
  QFrame* page = framePage(3, this);
  auto* grid = new QGridLayout(page);
  int row = 0;
  auto measure = [&](const char* caption, const char* name, int column) {
    grid->addWidget(label(QString::fromUtf8(caption), page), row, column * 3);
    grid->addWidget(textBox(name), row, column * 3 + 1);
    grid->addWidget(label(QStringLiteral("厘米"), page), row, column * 3 + 2);
  };
  auto list = [&](const char* caption, const char* name, ValueList values, int column) {
    grid->addWidget(label(QString::fromUtf8(caption), page), row, column * 3);
    grid->addWidget(combo(name, values), row, column * 3 + 1);
  };
  measure("页边距左：", "txtPageLeft", 0);
  measure("页边距上：", "txtPageTop", 1);
  ++row;
  measure("页边距下：", "txtPageBottom", 0);
  measure("页边距右：", "txtPageRight", 1);
  ++row;
  list("纸张大小：", "cboPageSize", ValueList::PaperSize, 0);
  list("纸张方向：", "cboPageO", ValueList::Orientation, 1);
  ++row;
  measure("装订线：", "txtGutter", 0);
  list("线位置：", "cboGutterPos", ValueList::GutterPosition, 1);
  ++row;
  measure("页眉距边界：", "txtHeaderDistance", 0);
  measure("页脚距边界：", "txtFooterDistance", 1);
  ++row;
  grid->setRowStretch(row, 1);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(4, 1);
  return page;
}

QWidget* FrmMain::buildPage4() {
  QFrame* page = framePage(4, this);
  auto* grid = new QGridLayout(page);
  int row = 0;
  auto field = [&](const char* caption, QWidget* control) {
    grid->addWidget(label(QString::fromUtf8(caption), page), row, 0);
    if (qobject_cast<QLineEdit*>(control))
      grid->addWidget(control, row, 1, 1, 2);
    else
      grid->addWidget(control, row, 1);
    ++row;
  };
  grid->addWidget(checkBox("chkUseHeader", QStringLiteral("使用页眉")), row++, 0, 1, 3);
  field("页眉文字：", textBox("txtYeMei"));
  field("页眉对齐：", combo("cbAlign", ValueList::Alignment));
  field("页眉字体：", combo("cbFontYm", ValueList::FontNames));
  field("页眉字号：", combo("cbFontSizeYm", ValueList::SizesWithDaWu));
  QCheckBox* combined = checkBox(
      "chkZHYeMei",
      QStringLiteral(
          "使用 【 页眉文字+文章标题 】 组合为页眉文字，并分散对齐（【页眉对齐】参数失效）"));
  grid->addWidget(combined, row++, 0, 1, 3);
  grid->addWidget(horizontalLine("Line1", page), row++, 0, 1, 3);
  grid->addWidget(horizontalLine("Line2", page), row++, 0, 1, 3);
  grid->addWidget(checkBox("chkUseFooter", QStringLiteral("使用页码")), row++, 0, 1, 3);
  field("页码样式：", combo("cbStyle", ValueList::PageNumberStyle));
  field("页码对齐：", combo("cbAlignYj", ValueList::Alignment));
  grid->setRowStretch(row, 1);
  grid->setColumnStretch(2, 1);
  return page;
}

QWidget* FrmMain::buildPage5() {
  QFrame* page = framePage(5, this);
  auto* grid = new QGridLayout(page);
  grid->addWidget(label(QStringLiteral("正文："), page), 0, 0);
  grid->addWidget(combo("cbFontZw", ValueList::FontNames), 0, 1);
  grid->addWidget(label(QStringLiteral("字号："), page), 0, 2);
  grid->addWidget(combo("cbFontSizeZw", ValueList::SizesWithDaWu), 0, 3);
  grid->addWidget(checkBox("chkBzw", QStringLiteral("加粗")), 0, 4);
  grid->addWidget(label(QStringLiteral("标题："), page), 1, 0);
  grid->addWidget(combo("cbFontBt", ValueList::FontNames), 1, 1);
  grid->addWidget(label(QStringLiteral("字号："), page), 1, 2);
  grid->addWidget(combo("cbFontSizeBt", ValueList::SizesWithoutDaWu), 1, 3);
  grid->addWidget(checkBox("chkB", QStringLiteral("加粗")), 1, 4);
  grid->setRowStretch(2, 1);
  grid->setColumnStretch(5, 1);
  return page;
}

QWidget* FrmMain::buildPage6() {
  QFrame* page = framePage(6, this);
  auto* grid = new QGridLayout(page);
  grid->addWidget(label(QStringLiteral("行距："), page), 0, 0);
  cbHangJu_ = combo("cbHangJu", ValueList::LineSpacing);
  grid->addWidget(cbHangJu_, 0, 1);
  label30_ = label(QStringLiteral("设置值："), page, "Label1_30");
  txtBang_ = textBox("txtBang");
  label31_ = label(QStringLiteral("磅"), page, "Label1_31");
  grid->addWidget(label30_, 0, 2);
  grid->addWidget(txtBang_, 0, 3);
  grid->addWidget(label31_, 0, 4);
  int row = 1;
  for (auto [caption, name, unit] :
       {std::tuple{"左缩进：", "txtLeft", "字符"}, std::tuple{"右缩进：", "txtRight", "字符"},
        std::tuple{"段前：", "txtDuanQian", "行"}, std::tuple{"段后：", "txtDuanHou", "行"}}) {
    grid->addWidget(label(QString::fromUtf8(caption), page), row, 0);
    grid->addWidget(textBox(name), row, 1);
    grid->addWidget(label(QString::fromUtf8(unit), page), row, 2);
    ++row;
  }
  grid->setRowStretch(row, 1);
  grid->setColumnStretch(5, 1);
  return page;
}

QWidget* FrmMain::buildPage7() {
  QFrame* page = framePage(7, this);
  auto* grid = new QGridLayout(page);
  const char* names[] = {"op1", "op2", "op3"};
  const char* captions[] = {"无水印", "图片水印", "文字水印"};
  auto* group = new QButtonGroup(page);
  for (int i = 0; i < 3; ++i) {
    op_[i] = new QRadioButton(QString::fromUtf8(captions[i]), page);
    op_[i]->setObjectName(QString::fromUtf8(names[i]));
    group->addButton(op_[i], i);
  }
  grid->addWidget(op_[0], 0, 0, 1, 3);
  grid->addWidget(op_[1], 1, 0, 1, 3);
  auto* cmdBrowse = new QPushButton(QStringLiteral("选择图片"), page);
  cmdBrowse->setObjectName(QStringLiteral("cmdBrowse"));
  connect(cmdBrowse, &QPushButton::clicked, this, &FrmMain::cmdBrowse_Click);
  grid->addWidget(cmdBrowse, 2, 1);
  txtJpg_ = textBox("txtJpg");
  grid->addWidget(txtJpg_, 2, 2, 1, 2);
  grid->addWidget(op_[2], 3, 0, 1, 3);
  grid->addWidget(label(QStringLiteral("水印文字："), page), 4, 1);
  grid->addWidget(textBox("txtShuiYin"), 4, 2, 1, 2);
  grid->addWidget(label(QStringLiteral("字体："), page), 5, 1);
  grid->addWidget(combo("cbShuiYinFontName", ValueList::FontNames), 5, 2);
  grid->addWidget(label(QStringLiteral("样式："), page), 6, 1);
  grid->addWidget(combo("cbShuiYinStyle", ValueList::WatermarkStyle), 6, 2);
  grid->addWidget(label(QStringLiteral("颜色："), page), 7, 1);
  grid->addWidget(combo("cbColor", ValueList::WatermarkColor), 7, 2);
  grid->setColumnMinimumWidth(0, 24);
  grid->setRowStretch(8, 1);
  grid->setColumnStretch(3, 1);
  return page;
}

QWidget* FrmMain::buildPage8() {
  QFrame* page = framePage(8, this);
  auto* layout = new QVBoxLayout(page);
  for (auto [name, caption] : {
           std::pair{"chkBt", "第一段为标题"},
           std::pair{"chkKongGe", "删除文本内空格"},
           std::pair{"chkBiaoDian", "修正逗号、冒号、问号、叹号、分号为全角"},
           std::pair{"chkKongHang", "去掉空换行"},
           std::pair{"chkTouKongGe", "文章开头加2个全角空格(如果第一行不是标题，请选择)"},
           std::pair{"chkXiaoKuoHao", "全角小括号替换为半角小括号"},
           std::pair{"chkFenLan", "分 2 栏"},
           std::pair{"chkJuHao", "修正句号 (注意：有可能对小数点进行句号转换，谨慎使用)"},
       })
    layout->addWidget(checkBox(name, QString::fromUtf8(caption)));
  auto* row = new QHBoxLayout;
  row->addWidget(label(QStringLiteral("标题对齐："), page));
  row->addWidget(combo("cbBtAlign", ValueList::Alignment));
  row->addStretch(1);
  layout->addLayout(row);
  layout->addStretch(1);
  return page;
}

QWidget* FrmMain::buildPage9() {
  QFrame* page = framePage(9, this);
  auto* layout = new QVBoxLayout(page);
  webBrowser1_ = new QTextBrowser(page);
  webBrowser1_->setObjectName(QStringLiteral("WebBrowser1"));
  webBrowser1_->setOpenExternalLinks(false);
  layout->addWidget(webBrowser1_);
  return page;
}

QWidget* FrmMain::buildPage10() {
  QFrame* page = framePage(10, this);
  auto* grid = new QGridLayout(page);
  int row = 0;
  for (int i = 0; i < 4; ++i) {
    auto* button = new QPushButton(QString::fromUtf8(kStartCommands[i].caption), page);
    button->setObjectName(QString::fromUtf8("cmd排版_") + QString::number(i));
    button->setMinimumWidth(100);
    connect(button, &QPushButton::clicked, this, [this, i] { cmd排版_Click(i); });
    startButtons_.push_back(button);
    grid->addWidget(button, row, 0);
    grid->addWidget(label(QString::fromUtf8(kStartCommands[i].note), page), row, 1);
    if (i == 3)
      grid->addWidget(combo("cbFontJJ", ValueList::FontSizeStep), row, 2);
    ++row;
  }
  auto* merge = new QPushButton(QStringLiteral("文档合并"), page);
  merge->setObjectName(QString::fromUtf8("cmd合并"));
  connect(merge, &QPushButton::clicked, this, [this] { cmd合并_Click(); });
  grid->addWidget(merge, row, 0);
  grid->addWidget(label(QStringLiteral("将选定的文档合并为一个文档。"), page), row, 1);
  ++row;
  auto* print = new QPushButton(QStringLiteral("文档打印"), page);
  print->setObjectName(QString::fromUtf8("cmd打印"));
  connect(print, &QPushButton::clicked, this, [this] { cmd打印_Click(); });
  grid->addWidget(print, row, 0);
  grid->addWidget(label(QStringLiteral("将选定的文档输出到选定打印机："), page), row, 1);
  cbPrinter_ = combo("cbPrinter", QStringList{});
  grid->addWidget(cbPrinter_, row, 2);
  ++row;
  progressBar1_ = new QProgressBar(page);
  progressBar1_->setObjectName(QStringLiteral("ProgressBar1"));
  progressBar1_->setRange(0, 100);
  progressBar1_->setValue(0);
  grid->addWidget(progressBar1_, row++, 0, 1, 3);
  list1_ = new QListWidget(page);
  list1_->setObjectName(QStringLiteral("List1"));
  grid->addWidget(list1_, row++, 0, 1, 3);
  grid->setRowStretch(row - 1, 1);
  label54_ = label(QString(), page, "Label1_54");
  grid->addWidget(label54_, row++, 0, 1, 3);
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
  for (const KeyInfo& key : settings::keyTable()) {
    auto it = saves.find(key.section);
    if (key.propertyNumber == 0 || it == saves.end())
      continue;
    Save save = it->second;
    const QStringList names = q(key.control).split(',');
    for (const QString& name : names) {
      QWidget* w = findChild<QWidget*>(name);
      if (auto* box = qobject_cast<QComboBox*>(w)) {
        if (box == cbHangJu_)
          connect(box, &QComboBox::currentIndexChanged, this, &FrmMain::cbHangJu_Click);
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
  std::optional<int> state = settings::controlState(key, stored);
  switch (key.conversion) {
  case Conversion::Text:
    if (auto* box = findChild<QLineEdit*>(q(key.control)))
      box->setText(q(stored));
    break;
  case Conversion::Index:
  case Conversion::IndexToName:
  case Conversion::IndexToSize:
    if (auto* box = findChild<QComboBox*>(q(key.control)); box && state)
      box->setCurrentIndex(*state);
    break;
  case Conversion::Check:
    if (auto* box = findChild<QCheckBox*>(q(key.control)); box && state)
      box->setChecked(*state == 1);
    break;
  case Conversion::Option:
    if (state && *state >= 0 && *state < 3)
      op_[*state]->setChecked(true);
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
    if (auto* box = findChild<QLineEdit*>(q(key.control)))
      return s(box->text());
    return {};
  case Conversion::Index:
  case Conversion::IndexToName:
  case Conversion::IndexToSize:
    if (auto* box = findChild<QComboBox*>(q(key.control)))
      return std::to_string(box->currentIndex());
    return "-1";
  case Conversion::Check:
    if (auto* box = findChild<QCheckBox*>(q(key.control)))
      return box->isChecked() ? "1" : "0";
    return "0";
  case Conversion::Option:
    return op_[0]->isChecked() ? "0" : op_[1]->isChecked() ? "1" : "2";
  case Conversion::LineSpacing:
    return cbHangJu_->currentIndex() == 3 ? s(txtBang_->text())
                                          : std::to_string(cbHangJu_->currentIndex());
  }
  return {};
}

void FrmMain::loadSection(const char* section, const std::vector<const char*>& order) {
  loading_ = true;
  ini_.reload();
  // Every value is read before any control is filled: the change handlers of some sections
  // write the file while it is being loaded.
  std::vector<std::pair<const KeyInfo*, std::string>> stored;
  for (const char* name : order) {
    const KeyInfo* key = settings::findKey(section, name);
    if (!key)
      continue;
    stored.emplace_back(key, ini_.get(section, name, key->defaultText));
    fields_[key] = stored.back().second;
  }
  for (const auto& [key, text] : stored)
    putIntoControl(*key, text);
  for (const auto& [key, text] : stored)
    fields_[key] = settings::engineValue(*key, text);
  loading_ = false;
}

void FrmMain::saveSection(const char* section) {
  for (const KeyInfo& key : settings::keyTable())
    if (key.section == section)
      (void)ini_.set(key.section, key.key, fromControl(key)); // a failed write is ignored
}

void FrmMain::getFontInfo() {
  loadSection("font", readOrder("font"));
}
void FrmMain::getShuiYinInfo() {
  loadSection("shuiyin", readOrder("shuiyin"));
}
void FrmMain::getPageInfo() {
  loadSection("pageinfo", readOrder("pageinfo"));
}
void FrmMain::getHeaderFooterInfo() {
  loadSection("headerfooter", readOrder("headerfooter"));
}
void FrmMain::getParagraphInfo() {
  loadSection("paragraph", readOrder("paragraph"));
}
void FrmMain::getToolInfo() {
  loadSection("tool", readOrder("tool"));
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
  std::vector<std::pair<std::string, std::string>> properties;
  for (const KeyInfo* key : settings::keysInPropertyOrder()) {
    auto it = fields_.find(key);
    properties.emplace_back(std::string(key->property),
                            it != fields_.end() ? it->second : std::string(key->defaultText));
  }
  return properties;
}

// ---- start and exit -----------------------------------------------------------------------

void FrmMain::formLoad() {
  const fs::path program = options_.programFolder;
  // 1-2. The last source folder; one that cannot be listed leaves the list where it is.
  file1_->setPath(q(settings::lastSourceFolder(ini_, program)));
  label36_->setText(QStringLiteral("当前目录：") + file1_->path());
  // 3. The extension filter; its handler sets the pattern and the progress range.
  cbFilter_->setCurrentIndex(0);
  // 4. The last output folder (not created here).
  txtOut_->setText(q(settings::lastOutputFolder(ini_, program)));
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

void FrmMain::startEngine() {
  EngineCallbacks callbacks;
  callbacks.message = [this](const std::string& msgId, const std::string& msg,
                             const std::string& cur, const std::string& all,
                             const std::string& name) { Message(msgId, msg, cur, all, name); };
  callbacks.error = [this](int32_t id, const std::string& text) { Error(id, text); };
  callbacks.batchEnded = [this] { batchEnded(); };
  engine_ = std::make_unique<EngineClient>(options_.enginePath, std::move(callbacks),
                                           options_.engineMarker);
  engine_->setFdWatcher([this](int fd) { watchEngine(fd); });
  std::string error;
  if (!engine_->start(error))
    errorMessage(QStringLiteral("Quillfold"),
                 QStringLiteral("无法启动排版引擎：") + q(error) +
                     QStringLiteral("\n\n设置仍可修改；排版时将再次尝试启动引擎。"));
}

void FrmMain::showHelpPage() {
  // The installed copy beside the program's share folder, else the one built into it.
  const fs::path installed =
      settings::programFolder() / ".." / "share" / "quillfold" / "help" / "index.html";
  QFileInfo file(q(installed.string()));
  if (file.isFile())
    webBrowser1_->setSource(QUrl::fromLocalFile(file.canonicalFilePath()));
  else
    webBrowser1_->setSource(QUrl(QStringLiteral("qrc:/help/index.html")));
}

void FrmMain::closeEvent(QCloseEvent* event) {
  if (!closing_) {
    closing_ = true;
    // 1-2. The last folders, written even when they did not change.
    (void)settings::saveLastFolders(ini_, s(file1_->path()), s(txtOut_->text()));
    // 4-5. The engine server, then whatever else this program started (LibreOffice, and
    // nothing the user opened outside it).
    // The client object itself stays until the window is destroyed: the close may come from
    // an event loop running inside one of its callbacks (a message box during a batch).
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

void FrmMain::Option1_Click(int index) {
  if (index < 0 || index >= tab_->count())
    return;
  tab_->setCurrentIndex(index);
  option1_[static_cast<std::size_t>(index)]->setChecked(true);
}

void FrmMain::opClose_Click() {
  close();
}

QString FrmMain::pickFolder() {
  return options_.chooseFolder(this, QStringLiteral("This   is   the   title"),
                               q(options_.programFolder.string()));
}

void FrmMain::cmdOpen_Click() {
  QString folder = pickFolder();
  if (!folder.isEmpty()) {
    if (!file1_->setPath(folder))
      info(QStringLiteral("提示"), QStringLiteral("无法读取目录：") + folder);
    label36_->setText(QStringLiteral("当前目录：") + file1_->path());
    setProgressRangeToFileCount();
  }
  Option1_Click(1);
}

void FrmMain::cmdBrowser_Click() {
  QString folder = pickFolder();
  if (!folder.isEmpty())
    txtOut_->setText(folder);
}

void FrmMain::cmdBrowse_Click() {
  QString start = QFileInfo(txtJpg_->text()).absolutePath();
  if (txtJpg_->text().isEmpty() || !QFileInfo(start).isDir())
    start = q(options_.programFolder.string());
  QString file = options_.choosePicture(this, start);
  if (!file.isEmpty())
    txtJpg_->setText(QFileInfo(file).absoluteFilePath());
}

void FrmMain::txtPath_Change() {
  file1_->setPattern(QStringLiteral("*") + txtPath_->text() + QStringLiteral("*") +
                     cbFilter_->currentText().mid(1));
  setProgressRangeToFileCount();
}

void FrmMain::cbFilter_Click() {
  txtPath_Change();
}

void FrmMain::cbHangJu_Click() {
  const bool fixed = cbHangJu_->currentIndex() == 3;
  txtBang_->setVisible(fixed);
  label30_->setVisible(fixed);
  label31_->setVisible(fixed);
  SaveParagraphInfo();
}

void FrmMain::mnuAbout_Click() {
  FrmAbout about(this);
  about.exec();
}

// A progress bar's minimum must stay below its maximum: a value that breaks the rule is
// refused and the old one stays.
void FrmMain::trySetProgressMinimum(int value) {
  if (value < progressBar1_->maximum())
    progressBar1_->setMinimum(value);
}

void FrmMain::trySetProgressMaximum(int value) {
  if (value > progressBar1_->minimum())
    progressBar1_->setMaximum(value);
}

void FrmMain::setProgressRangeToFileCount() {
  trySetProgressMinimum(1);
  trySetProgressMaximum(file1_->count());
}

QString FrmMain::selectedFileList() const {
  return file1_->selectedNames().join(',');
}

// ---- the batch --------------------------------------------------------------------------

std::string FrmMain::runModeOf(int index) {
  if (index < 0 || index > 3)
    return {};
  return kStartCommands[index].mode;
}

void FrmMain::cmd排版_Click(int index) {
  if (batchRunning_ || index < 0 || index > 3)
    return;
  QStringList names;
  for (int i = 0; i < file1_->count(); ++i)
    if (file1_->item(i)->isSelected())
      names << file1_->item(i)->text();
  if (names.isEmpty()) {
    info(QStringLiteral("提示"), QStringLiteral("请选择要排版的文件！"));
    return;
  }
  progressBar1_->setRange(0, 100);
  progressBar1_->setValue(0);
  batchRunning_ = true;
  setStartEnabled(false);
  // Let the window repaint while a long selection is gathered.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  runEngine(runModeOf(index), file1_->path(), names);
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

void FrmMain::cmd合并_Click() {
  if (batchRunning_)
    return;
  const QStringList names = file1_->selectedNames();
  if (names.size() < 2) {
    info(QStringLiteral("提示"), q(app::merge::kTooFewFiles));
    return;
  }
  app::merge::MergeRequest request;
  for (const QString& name : names)
    request.files.push_back(s(QDir(file1_->path()).filePath(name)));
  request.outputFolder = s(txtOut_->text());
  // Progress arrives from the merge's thread; the window shows it on its own.
  request.progress = [this](const app::merge::MergeProgress& p) {
    QMetaObject::invokeMethod(
        this,
        [this, p] {
          progressBar1_->setValue(p.done);
          if (!p.ok) {
            list1_->addItem(q(p.line));
            list1_->scrollToBottom();
          }
        },
        Qt::QueuedConnection);
  };
  progressBar1_->setRange(0, static_cast<int>(names.size()));
  progressBar1_->setValue(0);
  batchRunning_ = true;
  setStartEnabled(false);
  app::merge::MergeResult result;
  runBesideTheWindow([&] { result = app::merge::mergeDocuments(request); });
  batchRunning_ = false;
  setStartEnabled(true);
  if (!result.saveError.empty()) {
    list1_->addItem(q(result.saveError));
    list1_->scrollToBottom();
  }
  info(QStringLiteral("提示"), q(result.summary()));
}

void FrmMain::cmd打印_Click() {
  if (batchRunning_)
    return;
  const QStringList names = file1_->selectedNames();
  if (names.isEmpty()) {
    info(QStringLiteral("提示"), q(app::print::kNothingSelected));
    return;
  }
  app::print::PrintRequest request;
  for (const QString& name : names)
    request.files.push_back(s(QDir(file1_->path()).filePath(name)));
  // No printer in the list: the system's default printer, if there is one.
  if (cbPrinter_->currentIndex() >= 0)
    request.printer = s(cbPrinter_->currentText());
  request.progress = [this](const app::print::PrintProgress& p) {
    QMetaObject::invokeMethod(
        this,
        [this, p] {
          progressBar1_->setValue(p.done);
          if (!p.ok) {
            list1_->addItem(q(p.line));
            list1_->scrollToBottom();
          }
        },
        Qt::QueuedConnection);
  };
  progressBar1_->setRange(0, static_cast<int>(names.size()));
  progressBar1_->setValue(0);
  batchRunning_ = true;
  setStartEnabled(false);
  app::print::PrintResult result;
  runBesideTheWindow([&] { result = app::print::printDocuments(request); });
  batchRunning_ = false;
  setStartEnabled(true);
  info(QStringLiteral("提示"), q(result.summary()));
}

void FrmMain::runEngine(const std::string& runMode, const QString& folder,
                        const QStringList& names) {
  // The file is the one source of the settings: read it again, section by section.
  getFontInfo();
  getHeaderFooterInfo();
  getPageInfo();
  getParagraphInfo();
  getShuiYinInfo();
  getToolInfo();

  EngineBatch batch;
  batch.properties = engineProperties();
  batch.docPath = s(folder);
  for (const QString& name : names)
    batch.files.push_back(s(name));
  batch.outFolder = s(txtOut_->text());
  batch.runMode = runMode;
  std::string error;
  if (!engine_ || !engine_->beginBatch(batch, error)) {
    errorMessage(QStringLiteral("Quillfold"), QStringLiteral("无法开始排版：") + q(error));
    batchEnded();
  }
}

void FrmMain::batchEnded() {
  batchRunning_ = false;
  setStartEnabled(true);
  emit batchFinished();
}

void FrmMain::setStartEnabled(bool enabled) {
  for (QPushButton* button : startButtons_)
    button->setEnabled(enabled);
  mnuStart_->setEnabled(enabled);
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
  if (msgId == "0") {
    label54_->setText(QStringLiteral("正在处理：") + q(docName));
  } else if (msgId == "2" || msgId == "3") {
    list1_->addItem(q(msg) + QStringLiteral(":") + q(docName));
    list1_->scrollToBottom();
  } else if (msgId == "100") {
    list1_->addItem(q(msg));
    list1_->scrollToBottom();
    bool curOk = false, allOk = false;
    double cur = q(curDocNum).trimmed().toDouble(&curOk);
    double all = q(allDocNum).trimmed().toDouble(&allOk);
    if (curOk && allOk && all != 0) {
      double percent = cur / all * 100.0;
      if (std::isfinite(percent) && std::fabs(percent) < 1e9)
        progressBar1_->setValue(static_cast<int>(std::lround(percent)));
    }
  } else if (msgId == "101") {
    info(QStringLiteral("提示"), QStringLiteral("处理完毕！"));
    label54_->setText(QString());
  }
}

void FrmMain::Error(int32_t /*errId*/, const std::string& errMsg) {
  list1_->addItem(q(errMsg));
  list1_->scrollToBottom();
}

void FrmMain::info(const QString& title, const QString& text) {
  options_.infoBox(this, title, text);
}

void FrmMain::errorMessage(const QString& title, const QString& text) {
  options_.errorBox(this, title, text);
}

} // namespace app::gui
