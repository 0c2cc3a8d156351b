#pragma once
// The window speaks Chinese: Qt's own dialogs (buttons, file and folder dialogs) through Qt's
// Chinese translation, and lists of Chinese names in the order Chinese users expect.

#include <QCollator>

class QCoreApplication;

namespace app::gui {

// Loads Qt's own Chinese translation (qtbase_zh_CN from QLibraryInfo::TranslationsPath, as
// the qt6-translations-l10n package installs it) into `application`. False when it is not
// installed; Qt's dialogs then stay in English.
bool installQtChinese(QCoreApplication& application);

// Compares names as a Chinese user sorts them: Chinese characters by pinyin, digits by value,
// letters without regard to case.
QCollator chineseCollator();

} // namespace app::gui
