#include "app/gui/frmabout.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/messages.h"

#ifndef QF_VERSION
#define QF_VERSION "0.0.0"
#endif

namespace app::gui {

namespace {

QPixmap iconPixmap(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 64.0, size / 64.0);
  // The page with its folded corner.
  QPainterPath page;
  page.moveTo(12, 6);
  page.lineTo(42, 6);
  page.lineTo(54, 18);
  page.lineTo(54, 58);
  page.lineTo(12, 58);
  page.closeSubpath();
  p.setPen(QPen(QColor(0x2f, 0x4f, 0x8f), 2));
  p.setBrush(QColor(0xf4, 0xf7, 0xff));
  p.drawPath(page);
  QPainterPath fold;
  fold.moveTo(42, 6);
  fold.lineTo(42, 18);
  fold.lineTo(54, 18);
  fold.closeSubpath();
  p.setBrush(QColor(0xc0, 0xcf, 0xef));
  p.drawPath(fold);
  // Lines of text.
  p.setPen(QPen(QColor(0x8f, 0xa3, 0xc8), 2.5, Qt::SolidLine, Qt::RoundCap));
  for (int y : {26, 33, 40, 47})
    p.drawLine(QPointF(19, y), QPointF(y == 47 ? 34 : 47, y));
  // The quill.
  QPainterPath quill;
  quill.moveTo(58, 4);
  quill.cubicTo(44, 10, 32, 26, 27, 44);
  quill.cubicTo(38, 34, 50, 22, 58, 4);
  p.setPen(QPen(QColor(0x9a, 0x3b, 0x1e), 1.5));
  p.setBrush(QColor(0xe0, 0x6c, 0x3c));
  p.drawPath(quill);
  p.drawLine(QPointF(27, 44), QPointF(24, 52));
  return pixmap;
}

} // namespace

QIcon quillfoldIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128})
    icon.addPixmap(iconPixmap(size));
  return icon;
}

namespace {
QString fromCatalogue(const char* text) {
  return QString::fromUtf8(text);
}
} // namespace

FrmAbout::FrmAbout(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmAbout"));
  setWindowTitle(fromCatalogue(msg::kAboutTitle));
  setModal(true);

  auto* picture = new QLabel(this);
  picture->setObjectName(QStringLiteral("picIcon"));
  picture->setPixmap(iconPixmap(64));
  auto* product = new QLabel(fromCatalogue(msg::kAboutProduct), this);
  product->setObjectName(QStringLiteral("lblProduct"));
  auto* version =
      new QLabel(QString::fromStdString(msg::text(msg::kAboutVersion, QF_VERSION)), this);
  version->setObjectName(QStringLiteral("lblVersion"));
  auto* maker = new QLabel(fromCatalogue(msg::kAboutMaker), this);
  maker->setObjectName(QStringLiteral("lblMaker"));
  auto* declaration = new QLabel(fromCatalogue(msg::kAboutDeclaration), this);
  declaration->setObjectName(QStringLiteral("lblDeclaration"));
  declaration->setWordWrap(true);
  auto* ok = new QPushButton(fromCatalogue(msg::kOk), this);
  ok->setObjectName(QStringLiteral("cmdOK"));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* text = new QVBoxLayout;
  text->addWidget(product);
  text->addWidget(version);
  text->addWidget(maker);
  auto* top = new QHBoxLayout;
  top->addWidget(picture, 0, Qt::AlignTop);
  top->addLayout(text, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addSpacing(8);
  layout->addWidget(declaration);
  layout->addSpacing(8);
  layout->addLayout(buttons);
  setMinimumWidth(420);
}

} // namespace app::gui
