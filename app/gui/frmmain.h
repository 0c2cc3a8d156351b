#pragma once
// The main window: the navigation column, the eleven pages with every setting the engine
// needs, the source files and the output folder, and the start commands. Every control bears
// its own name as objectName (arrays as "Option1_3", "cmd排版_2", "Label1_36").
//
// Every settings change is written to setup.ini at once; before each batch the window reads
// the file again into its controls and hands the engine server what loadEngineProperties
// (settings/settings.h) gives for the file, as the command line does. The batch runs in the
// server's process; its events arrive through the engine client while the window stays
// responsive, and the start commands are disabled until it ends.

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "settings/inifile.h"
#include "settings/keytable.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSocketNotifier;
class QTabWidget;
class QTextBrowser;

namespace app {
class EnginePool;
}

namespace app::gui {

class FileListBox;
class PreviewPane;

// What the window needs from its surroundings. The defaults are those of the program; tests
// replace the dialogs and the printer list and point at their own folders.
struct FrmMainOptions {
  // setup.ini; empty: settings::defaultSettingsPath().
  std::filesystem::path settingsPath;
  // The program folder (default source folder, start of the folder pickers); empty: the
  // executable's folder, or the home folder when that cannot be written (an installed copy).
  std::filesystem::path programFolder;
  // quillfold-engine; empty: found again at every start attempt by locateEngine.
  std::string enginePath;
  // Finds quillfold-engine: its path, or "" when it is nowhere. Empty: beside the executable
  // first, then on PATH (resolveEnginePath).
  std::function<std::string()> locateEngine;
  // Marker given to the engine server's processes; empty: a new one.
  std::string engineMarker;
  // The printers to offer; empty: the CUPS destinations, as app::print::printers() lists them.
  std::function<std::vector<std::string>()> printers;
  // Folder picker: the chosen folder, or an empty text when cancelled.
  std::function<QString(QWidget* parent, const QString& caption, const QString& start)>
      chooseFolder;
  // Picture dialog: the chosen file, or an empty text when cancelled.
  std::function<QString(QWidget* parent, const QString& start)> choosePicture;
  // Information box ("提示") and error box.
  std::function<void(QWidget* parent, const QString& title, const QString& text)> infoBox;
  std::function<void(QWidget* parent, const QString& title, const QString& text)> errorBox;
  // A box offering several buttons; the index of the one chosen, -1 when the box was closed.
  std::function<int(QWidget* parent, const QString& title, const QString& text,
                    const QStringList& buttons)>
      choiceBox;
  // Opens a file or folder in the system's default application.
  std::function<bool(const QUrl& url)> openUrl;
};

// The engine server program: `programFolder`/quillfold-engine when it is executable, else the
// first executable quillfold-engine in the folders of `pathVariable` (a PATH value), else "".
std::string resolveEnginePath(const std::filesystem::path& programFolder,
                              std::string_view pathVariable);

// The name the engine gives the output of source `name`: ".txt" (exactly) becomes ".doc".
QString outputNameFor(const QString& name);

class FrmMain : public QMainWindow {
  Q_OBJECT
public:
  explicit FrmMain(FrmMainOptions options = {}, QWidget* parent = nullptr);
  ~FrmMain() override;

  // ---- the engine's events (IQuillfoldEvents) ----
  void Message(const std::string& msgId, const std::string& msg, const std::string& curDocNum,
               const std::string& allDocNum, const std::string& docName);
  void Error(int32_t errId, const std::string& errMsg);

  // ---- the six load and six save operations of setup.ini ----
  void getFontInfo();
  void getShuiYinInfo();
  void getPageInfo();
  void getHeaderFooterInfo();
  void getParagraphInfo();
  void getToolInfo();
  void SaveFontInfo();
  void SaveShuiYinInfo();
  void SavePageInfo();
  void SaveHeaderFooterInfo();
  void SaveParagraphInfo();
  void SaveToolInfo();
  // True while a load operation fills the controls.
  bool loading() const { return loading_; }

  // ---- state the batch uses ----
  // The 46 engine properties (name, value) in the engine's order, as a batch hands them to
  // the engine: settings::loadEngineProperties over setup.ini as the window last read or
  // wrote it.
  std::vector<std::pair<std::string, std::string>> engineProperties() const;
  // The selected names of the file list in list order, joined by ",".
  QString selectedFileList() const;
  bool batchRunning() const { return batchRunning_; }
  // The engine servers batches run on (EnginePool::defaultJobs() of them).
  EnginePool* enginePool() const { return engine_.get(); }
  const std::filesystem::path& settingsPath() const { return ini_.path(); }

  // ---- commands ----
  // Start button n: cmd排版_n (0 full run, 1 header only, 2 page only, 3 font sizes only), 4
  // cmdStandard (国标排版, the standard run; the [standard] settings go to the engine too).
  void startBatch(int index);
  // Document merge (cmd合并) and print (cmd打印) of the selected files: wired to their
  // buttons and menu entries; the work itself is done by the merge and print modules.
  void mergeSelected();
  void printSelected();
  // 国标检查 (cmdCheck): the clauses of the national layout standard the selected files break,
  // listed per document in the message list as `quillfold check` prints them, with a closing
  // summary line. The files are only read; the window keeps repainting while they are checked.
  void checkSelected();
  // Opens the output folder in the system's file manager.
  void openOutputFolder();
  // Closes the window without the question a running batch asks (a termination request).
  void closeWithoutAsking();

  // The run mode of start button `index` ("0", "YeMei", "YeMian", "ZiHao", "Standard"); "" for
  // others.
  static std::string runModeOf(int index);

signals:
  // A batch has ended (the engine's Main returned, or the engine could not be reached).
  void batchFinished();

public slots:
  // Shows page `index` (0 to 10) and checks its navigation button.
  void showPage(int index);
  // Folder pickers: the source folder (cmdOpen, then the files page), the output folder
  // (cmdBrowser); the picture for the watermark (cmdBrowse).
  void chooseSourceFolder();
  void chooseOutputFolder();
  void chooseWatermarkPicture();
  // The file list shows the names matching the name filter (txtPath) and the type (cbFilter).
  void applyFileFilter();
  // The line spacing list (cbHangJu) changed: the fixed value's field (txtBang) and its labels
  // show only for its fourth entry (固定值), and the paragraph section is saved.
  void lineSpacingChosen();
  void showAbout();

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  // Building the window.
  void buildMenus();
  QWidget* buildNavigation();
  QWidget* buildWelcomePage();
  QWidget* buildFilesPage();
  QWidget* buildOutputPage();
  QWidget* buildPageSetupPage();
  QWidget* buildHeaderFooterPage();
  QWidget* buildFontsPage();
  QWidget* buildParagraphPage();
  QWidget* buildWatermarkPage();
  QWidget* buildOtherSettingsPage();
  QWidget* buildSupportPage();
  QWidget* buildWorkbenchPage();
  QComboBox* combo(const char* name, settings::ValueList list);
  QComboBox* combo(const char* name, const QStringList& entries);
  QLineEdit* textBox(const char* name);
  QCheckBox* checkBox(const char* name, const QString& caption);
  void connectSettings();

  // Start and exit.
  void formLoad();
  void fillPrinters();
  std::string enginePath() const;
  bool engineFound(QString& reason) const;
  void startEngine();
  void showHelpPage();

  // Settings.
  void loadSection(std::string_view section);
  void saveSection(std::string_view section);
  void putIntoControl(const settings::KeyInfo& key, const std::string& stored);
  std::string fromControl(const settings::KeyInfo& key) const;

  // Folders and the file list.
  QString pickFolder();
  void setProgressRangeToFileCount();
  void trySetProgressMinimum(int value);
  void trySetProgressMaximum(int value);

  // The batch.
  void runEngine(const std::string& runMode, const QString& folder, const QStringList& names);
  void batchEnded();
  void showBatchSummary();
  void setStartEnabled(bool enabled);
  void addLine(const QString& text, const QString& openPath = {});
  void openListEntry(const QString& path);
  bool askBeforeClosing();
  void watchEngine(int fd);

  void info(const QString& title, const QString& text);
  void errorMessage(const QString& title, const QString& text);

  // The preview of the current file and the PDFs of a batch (app/gui/preview.h).
  void updatePreview();
  void writeBatchPdfs();
  QString fontsHelpHtml() const;

  FrmMainOptions options_;
  settings::IniFile ini_;
  bool loading_ = false;

  std::unique_ptr<EnginePool> engine_;
  QSocketNotifier* engineNotifier_ = nullptr;
  bool batchRunning_ = false;
  bool closing_ = false;
  bool askOnClose_ = true;
  bool mergePrintRunning_ = false;
  bool closeAfterWork_ = false;
  std::atomic<bool> stopCheck_ = false; // a running check ends after its current document

  // What the running batch has reported, for its closing line and box.
  struct BatchTally {
    int total = 0;
    int legacy = 0;                      // inputs LibreOffice converts (and writes back)
    std::set<int> ended, failed, warned; // document numbers
    bool endReported = false;            // the engine said the batch is over
    QString outFolder;
  };
  BatchTally tally_;

  // Controls the code refers to directly (all of them can also be found by objectName). A
  // control whose objectName says what it is (txtOut, cbHangJu) lends it to its member.
  std::vector<QPushButton*> navigationButtons_;
  QTabWidget* tab_ = nullptr;
  FileListBox* fileList_ = nullptr;
  QLabel* currentFolderLabel_ = nullptr;
  QLineEdit* txtPath_ = nullptr;
  QComboBox* cbFilter_ = nullptr;
  QLineEdit* txtOut_ = nullptr;
  QComboBox* cbHangJu_ = nullptr;
  QLineEdit* txtBang_ = nullptr;
  QLabel* fixedSpacingLabel_ = nullptr;
  QLabel* fixedSpacingUnitLabel_ = nullptr;
  QRadioButton* watermarkKinds_[3] = {};
  QLineEdit* txtJpg_ = nullptr;
  QTextBrowser* helpBrowser_ = nullptr;
  std::vector<QPushButton*> startButtons_; // cmd排版_0..3, cmdStandard
  QComboBox* cbPrinter_ = nullptr;
  PreviewPane* preview_ = nullptr;
  QCheckBox* chkPdf_ = nullptr;
  QStringList batchOutputs_; // outputs of the running batch's documents that did not fail
  QProgressBar* progressBar_ = nullptr;
  QListWidget* messageList_ = nullptr;
  QLabel* statusLabel_ = nullptr;
  QAction* mnuStart_ = nullptr;
  QAction* mnuMerge_ = nullptr;
  QAction* mnuPrint_ = nullptr;
  QPushButton* cmdCheck_ = nullptr;
  QPushButton* cmdMerge_ = nullptr;
  QPushButton* cmdPrint_ = nullptr;
};

} // namespace app::gui
