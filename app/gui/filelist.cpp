#include "app/gui/filelist.h"

#include "app/gui/chinese.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace app::gui {

namespace {

// Wildcard match over code points, case-blind.
bool wildcard(const QList<uint>& name, const QList<uint>& pattern) {
  // Iterative matcher with one backtrack point for the last '*': linear in practice.
  qsizetype n = 0, p = 0, starP = -1, starN = 0;
  auto same = [](uint a, uint b) {
    return a == b || QChar::toCaseFolded(static_cast<char32_t>(a)) ==
                         QChar::toCaseFolded(static_cast<char32_t>(b));
  };
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (p < pattern.size() && (pattern[p] == '?' || same(pattern[p], name[n]))) {
      ++p;
      ++n;
    } else if (starP >= 0) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*')
    ++p;
  return p == pattern.size();
}

bool matchesOne(const QString& name, const QString& pattern) {
  if (wildcard(name.toUcs4(), pattern.toUcs4()))
    return true;
  // A three-character extension in the pattern also stands for the longer extensions that
  // begin with it ("*.doc" finds "a.docx").
  qsizetype patternDot = pattern.lastIndexOf('.');
  if (patternDot < 0 || pattern.size() - patternDot - 1 != 3)
    return false;
  QString patternExt = pattern.mid(patternDot + 1);
  if (patternExt.contains('*') || patternExt.contains('?'))
    return false;
  qsizetype nameDot = name.lastIndexOf('.');
  if (nameDot < 0 || name.size() - nameDot - 1 <= 3)
    return false;
  QString nameExt = name.mid(nameDot + 1);
  if (!std::all_of(nameExt.begin(), nameExt.end(), [](QChar c) { return c.isLetterOrNumber(); }))
    return false;
  return wildcard((name.left(nameDot + 1) + nameExt.left(3)).toUcs4(), pattern.toUcs4());
}

} // namespace

bool matchesPattern(const QString& name, const QString& pattern) {
  const QStringList parts = pattern.split(';', Qt::SkipEmptyParts);
  return std::any_of(parts.begin(), parts.end(),
                     [&](const QString& part) { return matchesOne(name, part.trimmed()); });
}

FileListBox::FileListBox(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  path_ = QDir::currentPath();
}

bool FileListBox::setPath(const QString& folder) {
  QFileInfo info(folder);
  if (folder.isEmpty() || !info.isDir() || !info.isReadable() || !info.isExecutable())
    return false;
  path_ = QDir::cleanPath(info.absoluteFilePath());
  refresh();
  return true;
}

void FileListBox::setPattern(const QString& pattern) {
  pattern_ = pattern;
  refresh();
}

void FileListBox::refresh() {
  QStringList names;
  QDir dir(path_);
  const QFileInfoList entries = dir.entryInfoList(QDir::Files, QDir::NoSort);
  for (const QFileInfo& entry : entries) {
    const QString name = entry.fileName();
    if (name.startsWith('.') || name.startsWith(QStringLiteral("~$")))
      continue;
    if (matchesPattern(name, pattern_))
      names << name;
  }
  // Chinese names by pinyin (办法 ‹ 决定 ‹ 通知), not by character code; names the collator
  // holds equal keep a fixed order by code.
  const QCollator collator = chineseCollator();
  std::sort(names.begin(), names.end(), [&collator](const QString& a, const QString& b) {
    int c = collator.compare(a, b);
    return c != 0 ? c < 0 : a < b;
  });
  clear();
  addItems(names);
}

QStringList FileListBox::selectedNames() const {
  QStringList names;
  for (int i = 0; i < count(); ++i)
    if (item(i)->isSelected())
      names << item(i)->text();
  return names;
}

} // namespace app::gui
