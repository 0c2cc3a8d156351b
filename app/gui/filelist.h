#pragma once
// The window's file list: the files of one folder whose names match a wildcard pattern, with
// several entries selectable by Shift and Ctrl.

#include <QListWidget>
#include <QString>
#include <QStringList>

namespace app::gui {

// True when `name` matches `pattern`. The pattern may hold several patterns separated by ';'
// (any of them may match); '*' stands for any run of characters, '?' for one; letters match
// without regard to case. As on the systems the documents come from, a pattern whose extension
// has exactly three plain characters also matches longer extensions that begin with them, so
// "*.doc" lists "a.docx" and "a.docm" as well.
bool matchesPattern(const QString& name, const QString& pattern);

class FileListBox : public QListWidget {
  Q_OBJECT
public:
  explicit FileListBox(QWidget* parent = nullptr);

  // The listed folder, without a trailing '/' (except the root itself).
  const QString& path() const { return path_; }
  // Lists `folder`; false (and nothing changes) when it is no folder that can be read.
  bool setPath(const QString& folder);

  const QString& pattern() const { return pattern_; }
  // Sets the pattern and lists the folder again.
  void setPattern(const QString& pattern);

  // Reads the folder again: regular files that are not hidden (no leading '.', no "~$" owner
  // files of an open document), matching the pattern, sorted as Chinese users sort names
  // (pinyin, numbers by value, letters without regard to case).
  // The selection is cleared.
  void refresh();

  // The names of the selected entries in list order.
  QStringList selectedNames() const;

private:
  QString path_;
  QString pattern_ = QStringLiteral("*.*");
};

} // namespace app::gui
