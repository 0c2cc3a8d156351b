#pragma once
// Shared pieces of the window tests: a window in a folder of its own with recorded message
// boxes and scripted dialogs, and small readers of setup.ini and the controls.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/gui/frmmain.h"
#include "settings/inifile.h"

namespace gui_test {

// One shown box: its title and text.
struct Box {
  QString title, text;
};

// A window living in a temporary program folder, with setup.ini there, the engine given, and
// every dialog scripted.
class Harness {
public:
  explicit Harness(std::string engine = QF_FAKE_ENGINE, bool create = true) : engine_(engine) {
    program = dir.path();
    if (create)
      open();
  }
  ~Harness() { closeWindow(); }

  // Opens the window (after a test has prepared setup.ini).
  void open() {
    app::gui::FrmMainOptions options;
    options.settingsPath = iniPath().toStdString();
    options.programFolder = program.toStdString();
    options.enginePath = engine_;
    if (!systemPrinters)
      options.printers = [this] { return printers; };
    options.chooseFolder = [this](QWidget*, const QString& caption, const QString& start) {
      folderCaptions << caption;
      folderStarts << start;
      return nextFolder;
    };
    options.choosePicture = [this](QWidget*, const QString&) { return nextPicture; };
    options.infoBox = [this](QWidget*, const QString& title, const QString& text) {
      infos.push_back({title, text});
    };
    options.errorBox = [this](QWidget*, const QString& title, const QString& text) {
      errors.push_back({title, text});
    };
    // A box with buttons is recorded among the information boxes, with its buttons; it
    // answers with nextChoice (the first button by default).
    options.choiceBox = [this](QWidget*, const QString& title, const QString& text,
                               const QStringList& buttons) {
      infos.push_back({title, text});
      choiceButtons << buttons.join('|');
      if (whileBoxShown)
        whileBoxShown();
      return nextChoice;
    };
    options.openUrl = [this](const QUrl& url) {
      opened << url.toLocalFile();
      return true;
    };
    if (locateEngine)
      options.locateEngine = locateEngine;
    window = std::make_unique<app::gui::FrmMain>(options);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
  }

  void closeWindow() {
    if (window) {
      window->close();
      window.reset();
    }
  }

  QString iniPath() const { return program + "/setup.ini"; }
  void writeIni(const QByteArray& bytes) const {
    QFile file(iniPath());
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(bytes);
  }
  QByteArray iniBytes() const {
    QFile file(iniPath());
    file.open(QIODevice::ReadOnly);
    return file.readAll();
  }
  // A key as setup.ini holds it now, "<missing>" when it is not there.
  std::string ini(const char* section, const char* key) const {
    settings::IniFile file(iniPath().toStdString());
    return file.contains(section, key) ? file.get(section, key, "") : "<missing>";
  }

  template <class T> T* find(const QString& name) const {
    T* w = window->findChild<T*>(name);
    if (!w)
      qWarning("no control %s", qPrintable(name));
    return w;
  }
  QComboBox* combo(const char* name) const { return find<QComboBox>(QString::fromUtf8(name)); }
  QLineEdit* text(const char* name) const { return find<QLineEdit>(QString::fromUtf8(name)); }
  QCheckBox* check(const char* name) const { return find<QCheckBox>(QString::fromUtf8(name)); }
  QRadioButton* radio(const char* name) const {
    return find<QRadioButton>(QString::fromUtf8(name));
  }
  QPushButton* button(const char* name) const { return find<QPushButton>(QString::fromUtf8(name)); }
  QLabel* label(const char* name) const { return find<QLabel>(QString::fromUtf8(name)); }
  QListWidget* list(const char* name) const { return find<QListWidget>(QString::fromUtf8(name)); }
  QProgressBar* progress() const { return find<QProgressBar>("ProgressBar1"); }

  // Makes empty files in a folder under the program folder and returns that folder.
  QString folderWith(const QString& name, const QStringList& files) const {
    QDir(program).mkpath(name);
    QString folder = program + "/" + name;
    for (const QString& f : files) {
      QFile file(folder + "/" + f);
      file.open(QIODevice::WriteOnly);
    }
    return folder;
  }

  // Points the file list at `folder` through the open-folder button.
  void openFolder(const QString& folder) {
    nextFolder = folder;
    QTest::mouseClick(button("cmdOpen"), Qt::LeftButton);
  }

  // Selects entries of the file list by index, as Ctrl+click does.
  void select(const std::vector<int>& indices) const {
    QListWidget* files = list("File1");
    files->clearSelection();
    for (int i : indices)
      files->item(i)->setSelected(true);
  }

  // Waits for the running batch to end (up to `seconds`).
  bool waitForBatch(int seconds = 120) const {
    if (!window->batchRunning())
      return true;
    QSignalSpy spy(window.get(), &app::gui::FrmMain::batchFinished);
    return spy.wait(seconds * 1000);
  }

  QStringList messages() const {
    QStringList lines;
    QListWidget* l = list("List1");
    for (int i = 0; i < l->count(); ++i)
      lines << l->item(i)->text();
    return lines;
  }

  QTemporaryDir dir;
  QString program;
  std::unique_ptr<app::gui::FrmMain> window;
  std::vector<std::string> printers;
  bool systemPrinters = false; // the window lists the system's printers instead of `printers`
  QString nextFolder, nextPicture;
  QStringList folderCaptions, folderStarts;
  QStringList choiceButtons, opened;
  int nextChoice = 0;
  std::function<void()> whileBoxShown;
  std::function<std::string()> locateEngine;
  std::vector<Box> infos, errors;

private:
  std::string engine_;
};

} // namespace gui_test
