#include "app/gui/chinese.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace app::gui {

bool installQtChinese(QCoreApplication& application) {
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  bool any = false;
  // qtbase holds the dialogs and message boxes; "qt" is the meta catalogue of older installs.
  for (const char* catalogue : {"qtbase", "qt"}) {
    auto* translator = new QTranslator(&application);
    if (translator->load(QLocale(QLocale::Chinese, QLocale::China), QString::fromLatin1(catalogue),
                         QStringLiteral("_"), folder) &&
        QCoreApplication::installTranslator(translator)) {
      any = true;
      break;
    }
    delete translator;
  }
  return any;
}

QCollator chineseCollator() {
  QCollator collator(QLocale(QLocale::Chinese, QLocale::China));
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  collator.setNumericMode(true);
  return collator;
}

} // namespace app::gui
