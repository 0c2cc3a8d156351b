#pragma once
// The About window: product, version, maker and the declaration line, closed by "确定".

#include <QDialog>
#include <QIcon>

namespace app::gui {

class FrmAbout : public QDialog {
  Q_OBJECT
public:
  explicit FrmAbout(QWidget* parent = nullptr);
};

// The program's icon (a quill over a folded page), painted so that it needs no image plugin.
QIcon quillfoldIcon();

} // namespace app::gui
